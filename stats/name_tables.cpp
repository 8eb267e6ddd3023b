#include "name_tables.h"

#include <fstream>

namespace ortolan {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

constexpr size_t kMaxWord = 255;

// Mirrors the "%d" conversion: optional white space, sign and digits. The value
// saturates instead of overflowing, so a huge number is simply out of range.
bool ScanNumber(std::string_view& s, long long* value)
{
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    size_t digits = i;
    long long v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (v < 1'000'000'000'000LL) v = v * 10 + (s[i] - '0');
        ++i;
    }
    if (i == digits) return false;
    *value = negative ? -v : v;
    s.remove_prefix(i);
    return true;
}

// Mirrors "%255s": optional white space, then at most 255 non-blank characters.
bool ScanWord(std::string_view& s, std::string_view* word)
{
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    size_t start = i;
    while (i < s.size() && !IsSpace(s[i]) && i - start < kMaxWord) ++i;
    if (i == start) return false;
    *word = s.substr(start, i - start);
    s.remove_prefix(i);
    return true;
}

// "%s %d" on the text before a "/tcp" or "/udp": a port from 1 to 65535 or nothing.
bool ScanService(std::string_view s, std::string_view* name, uint16_t* port)
{
    long long value = 0;
    if (!ScanWord(s, name) || !ScanNumber(s, &value)) return false;
    if (value < 1 || value > 65535) return false;
    *port = uint16_t(value);
    return true;
}

template <class Fn>
bool ForEachLine(const std::string& path, Fn&& fn)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) fn(std::string_view(line));
    return true;
}

}  // namespace

std::string_view TrimText(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool CNameTables::LoadProtocolTable(const std::string& path)
{
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return false;
    probe.close();
    ipProtocolNames.clear();
    return ForEachLine(path, [this](std::string_view line) {
        long long number = 0;
        std::string_view word;
        if (!ScanNumber(line, &number) || !ScanWord(line, &word)) return;
        if (number < 1 || number > 254) return;
        ipProtocolNames[uint16_t(number)] = std::string(word);
    });
}

bool CNameTables::LoadPortTable(const std::string& path)
{
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return false;
    probe.close();
    tcpPortNames.clear();
    udpPortNames.clear();
    return ForEachLine(path, [this](std::string_view line) {
        line = TrimText(line);
        std::string_view name;
        uint16_t port = 0;
        auto tcp = line.find("/tcp");
        if (tcp != std::string_view::npos) {
            line = line.substr(0, tcp);
            if (!ScanService(line, &name, &port)) return;
            tcpPortNames[port] = std::string(name);
        }
        auto udp = line.find("/udp");
        if (udp != std::string_view::npos && ScanService(line.substr(0, udp), &name, &port))
            udpPortNames[port] = std::string(name);
    });
}

bool COuiTable::LoadOuiTable(const std::string& path)
{
    std::ifstream probe(path, std::ios::binary);
    if (!probe) return false;
    probe.close();
    ouiNames.clear();
    return ForEachLine(path, [this](std::string_view line) {
        auto hex = line.find("(hex)");
        if (hex == std::string_view::npos) return;
        std::string key(TrimText(line.substr(0, hex)));
        for (char& c : key)
            if (c == '-') c = ':';
        ouiNames[key] = std::string(TrimText(line.substr(hex + 5)));
    });
}

const std::string* COuiTable::Find(std::string_view prefix) const
{
    auto it = ouiNames.find(prefix);
    return it == ouiNames.end() ? nullptr : &it->second;
}

std::string COuiTable::VendorOf(std::string_view macText) const
{
    std::string_view prefix = TrimText(macText).substr(0, 8);
    if (const std::string* name = Find(prefix)) return *name;
    return "不明(" + std::string(prefix) + ")";
}

}  // namespace ortolan
