// SPDX-License-Identifier: GPL-3.0-or-later
#include "exposition_writer.h"

namespace ortolan {
namespace {

// HELP text escapes \ and line breaks only; label values also the quote.
void AppendHelp(std::string& out, std::string_view help)
{
    for (char c : help) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
}

}  // namespace

void CExpositionWriter::AppendEscaped(std::string& out, std::string_view value)
{
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
}

void CExpositionWriter::Family(std::string_view name, MetricType type, std::string_view help)
{
    m_family.assign(name);
    m_out += "# HELP ";
    m_out += name;
    m_out += ' ';
    AppendHelp(m_out, help);
    m_out += "\n# TYPE ";
    m_out += name;
    m_out += type == MetricType::Counter ? " counter\n" : " gauge\n";
}

void CExpositionWriter::Labels(std::initializer_list<Label> labels, bool& any)
{
    for (const auto& [name, value] : labels) {
        m_out += any ? ',' : '{';
        any = true;
        m_out += name;
        m_out += "=\"";
        AppendEscaped(m_out, value);
        m_out += '"';
    }
}

void CExpositionWriter::Sample(std::initializer_list<Label> labels, uint64_t value)
{
    Sample(labels, {}, value);
}

void CExpositionWriter::Sample(std::initializer_list<Label> first, std::initializer_list<Label> more, uint64_t value)
{
    m_out += m_family;
    bool any = false;
    Labels(first, any);
    Labels(more, any);
    if (any) m_out += '}';
    m_out += ' ';
    m_out += std::to_string(value);
    m_out += '\n';
}

}  // namespace ortolan
