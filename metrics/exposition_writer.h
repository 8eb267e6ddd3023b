// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Prometheus text exposition format (version 0.0.4): a family's # HELP
// and # TYPE lines, then its samples, one a line, label values escaped.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace ortolan {

inline constexpr std::string_view kExpositionContentType = "text/plain; version=0.0.4; charset=utf-8";

enum class MetricType { Counter, Gauge };

class CExpositionWriter {
public:
    using Label = std::pair<std::string_view, std::string_view>;

    explicit CExpositionWriter(std::string& out) : m_out(out) {}

    // Starts a family: every sample written until the next Family belongs to it.
    void Family(std::string_view name, MetricType type, std::string_view help);
    // One sample of the current family. Label names are the program's own;
    // values may hold anything and are escaped.
    void Sample(std::initializer_list<Label> labels, uint64_t value);
    // With labels that come first (a port's), then more of the sample's own.
    void Sample(std::initializer_list<Label> first, std::initializer_list<Label> more, uint64_t value);

    // A label value as the format writes it: \ " and line breaks escaped.
    static void AppendEscaped(std::string& out, std::string_view value);

private:
    void Labels(std::initializer_list<Label> labels, bool& any);

    std::string& m_out;
    std::string m_family;
};

}  // namespace ortolan
