// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface_name_cache.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string_view>
#include <vector>

namespace ortolan {

namespace {

constexpr std::string_view kFirstLine = "ortolan interface names 1";
constexpr size_t kMaxAgentBytes = 64;

template <class Number>
bool ReadNumber(std::string_view text, Number& value)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() < 6) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

void ReadLine(std::string_view line, AgentIfNames& names)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != 5) return;
    uint32_t ifIndex = 0;
    uint64_t speed = 0;
    if (fields[0].empty() || fields[0].size() > kMaxAgentBytes || !ReadNumber(fields[1], ifIndex) || ifIndex == 0 ||
        !ReadNumber(fields[2], speed))
        return;
    std::string agent(fields[0]);
    auto table = names.find(agent);
    if (table == names.end()) {
        if (names.size() >= kMaxIfNameAgents) return;
        table = names.emplace(std::move(agent), IfNameTable{}).first;
    }
    if (table->second.size() >= kMaxIfNameEntries && !table->second.count(ifIndex)) return;
    tagIfName& entry = table->second[ifIndex];
    entry.name = BoundedIfText(fields[3], kMaxIfNameBytes);
    entry.alias = BoundedIfText(fields[4], kMaxIfAliasBytes);
    entry.speedBitsPerSecond = speed;
}

}  // namespace

AgentIfNames LoadInterfaceNames(const std::string& path)
{
    AgentIfNames names;
    std::ifstream in(path, std::ios::binary);
    if (!in) return names;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size <= 0) return names;
    std::string text(std::min<size_t>(size_t(size), kMaxIfNameCacheBytes), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    // A file cut at the bound ends in a partial line, which is left out.
    if (text.size() == kMaxIfNameCacheBytes) text.resize(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n'));
    std::string_view rest(text);
    size_t end = rest.find('\n');
    std::string_view first = rest.substr(0, end);
    if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    if (first != kFirstLine) return names;
    while (end != std::string_view::npos) {
        rest = rest.substr(end + 1);
        end = rest.find('\n');
        ReadLine(rest.substr(0, end), names);
    }
    return names;
}

bool SaveInterfaceNames(const std::string& path, const AgentIfNames& names)
{
    std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << kFirstLine << '\n';
        for (const auto& [agent, table] : names) {
            for (const auto& [ifIndex, entry] : table) {
                // Tabs and line breaks would split the line: the stored texts are bounded ones.
                out << agent << '\t' << ifIndex << '\t' << entry.speedBitsPerSecond << '\t'
                    << BoundedIfText(entry.name, kMaxIfNameBytes) << '\t' << BoundedIfText(entry.alias, kMaxIfAliasBytes)
                    << '\n';
            }
        }
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace ortolan
