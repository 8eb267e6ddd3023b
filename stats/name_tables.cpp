// SPDX-License-Identifier: GPL-3.0-or-later
#include "name_tables.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

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

// Opens a table for reading: a regular file only, and without blocking, so a
// name that leads to a FIFO or a device (/dev/zero would grow a table without
// end) is refused like a missing file.
std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenTable(const std::string& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> none(nullptr, &std::fclose);
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return none;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return none;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return {file, &std::fclose};
}

template <class Fn>
void ForEachLine(std::FILE* in, Fn&& fn)
{
    char* buffer = nullptr;
    size_t capacity = 0;
    ssize_t n;
    while ((n = ::getline(&buffer, &capacity, in)) > 0) {
        std::string_view line(buffer, size_t(n));
        if (line.back() == '\n') line.remove_suffix(1);
        fn(line);
    }
    std::free(buffer);
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
    ++m_generation;
    auto in = OpenTable(path);
    if (!in) return false;
    ipProtocolNames.clear();
    ForEachLine(in.get(), [this](std::string_view line) {
        long long number = 0;
        std::string_view word;
        if (!ScanNumber(line, &number) || !ScanWord(line, &word)) return;
        if (number < 1 || number > 254) return;
        ipProtocolNames[uint16_t(number)] = std::string(word);
    });
    return true;
}

bool CNameTables::LoadPortTable(const std::string& path)
{
    ++m_generation;
    auto in = OpenTable(path);
    if (!in) return false;
    tcpPortNames.clear();
    udpPortNames.clear();
    ForEachLine(in.get(), [this](std::string_view line) {
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
    return true;
}

bool COuiTable::LoadOuiTable(const std::string& path)
{
    auto in = OpenTable(path);
    if (!in) return false;
    ouiNames.clear();
    ForEachLine(in.get(), [this](std::string_view line) {
        auto hex = line.find("(hex)");
        if (hex == std::string_view::npos) return;
        std::string key(TrimText(line.substr(0, hex)));
        for (char& c : key)
            if (c == '-') c = ':';
        ouiNames[key] = std::string(TrimText(line.substr(hex + 5)));
    });
    return true;
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
