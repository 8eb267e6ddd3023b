// SPDX-License-Identifier: GPL-3.0-or-later
// An sFlow agent behind snmpd's pass_persist hook, served from a table file.
//
//   fake_sflow_agent --table FILE --log FILE --root OID
//
// The tests write the table; it is read again whenever the file changes, so
// one snmpd can play several agents in turn. Sets change the table in memory
// and are appended to the log as "OID TYPE VALUE" (octet strings as upper
// case hex without spaces), so a test sees exactly what reached the agent.
//
// Table lines (blank lines and lines starting with # are ignored):
//   obj OID TYPE ACCESS VALUE   TYPE integer|gauge|counter|timeticks|objectid|
//                               string|octet, ACCESS ro|rw; an octet VALUE is
//                               hex bytes ("C0 A8 01 0A"), a string VALUE the
//                               rest of the line
//   range OID MIN MAX           integer sets outside MIN..MAX: wrong-value
//   maxlen OID N                string sets longer than N bytes: wrong-length
//   endless PREFIX TYPE VALUE   every PREFIX.n (n = 1, 2, ...) exists: a
//                               subtree that a walk never leaves
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using Oid = std::vector<uint64_t>;

std::optional<Oid> ParseOid(const std::string& text)
{
    Oid oid;
    std::string part;
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r' || t.back() == ' ')) t.pop_back();
    size_t pos = 0;
    while (pos < t.size() && t[pos] == '.') ++pos;
    if (pos >= t.size()) return std::nullopt;
    uint64_t value = 0;
    bool digits = false;
    for (; pos <= t.size(); ++pos) {
        if (pos == t.size() || t[pos] == '.') {
            if (!digits) return std::nullopt;
            oid.push_back(value);
            value = 0;
            digits = false;
            continue;
        }
        if (t[pos] < '0' || t[pos] > '9' || value > 0xFFFFFFFFull) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(t[pos] - '0');
        digits = true;
    }
    return oid;
}

std::string OidText(const Oid& oid)
{
    std::string text;
    for (uint64_t part : oid) text += "." + std::to_string(part);
    return text;
}

bool StartsWith(const Oid& oid, const Oid& prefix)
{
    return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

struct Entry {
    std::string type;
    std::string access;
    std::string value;
};

struct Endless {
    Oid prefix;
    std::string type;
    std::string value;
};

struct Table {
    std::map<Oid, Entry> objects;
    std::map<Oid, std::pair<int64_t, int64_t>> ranges;
    std::map<Oid, size_t> maxLengths;
    std::vector<Endless> endless;
};

std::vector<std::string> Words(const std::string& line, size_t count, std::string& rest)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while (words.size() < count && pos <= line.size()) {
        size_t space = line.find(' ', pos);
        if (space == std::string::npos) {
            words.push_back(line.substr(pos));
            pos = line.size() + 1;
            break;
        }
        words.push_back(line.substr(pos, space - pos));
        pos = space + 1;
    }
    rest = pos <= line.size() ? line.substr(pos) : std::string();
    return words;
}

void AddLine(Table& table, const std::string& line);

Table LoadTable(const std::string& path)
{
    Table table;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        try {
            AddLine(table, line);
        } catch (const std::exception&) {
            // A line that does not parse is left out.
        }
    }
    return table;
}

void AddLine(Table& table, const std::string& line)
{
    std::string rest;
    std::vector<std::string> w = Words(line, 4, rest);
    if (w.empty()) return;
    if (w[0] == "obj" && w.size() >= 4) {
        std::optional<Oid> oid = ParseOid(w[1]);
        if (oid) table.objects[*oid] = Entry{w[2], w[3], rest};
    } else if (w[0] == "range" && w.size() == 4) {
        std::optional<Oid> oid = ParseOid(w[1]);
        if (oid) table.ranges[*oid] = {std::stoll(w[2]), std::stoll(w[3])};
    } else if (w[0] == "maxlen" && w.size() >= 3) {
        std::optional<Oid> oid = ParseOid(w[1]);
        if (oid) table.maxLengths[*oid] = static_cast<size_t>(std::stoul(w[2]));
    } else if (w[0] == "endless" && w.size() >= 3) {
        std::optional<Oid> oid = ParseOid(w[1]);
        std::string value = w.size() >= 4 ? w[3] + (rest.empty() ? "" : " " + rest) : std::string();
        if (oid) table.endless.push_back(Endless{*oid, w[2], value});
    }
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

class Agent {
public:
    Agent(std::string tablePath, std::string logPath, Oid root)
        : m_tablePath(std::move(tablePath)), m_logPath(std::move(logPath)), m_root(std::move(root))
    {
        Reload();
    }

    void Reload()
    {
        struct stat st {};
        std::string stamp;
        if (stat(m_tablePath.c_str(), &st) == 0) {
            stamp = std::to_string(st.st_mtim.tv_sec) + ":" + std::to_string(st.st_mtim.tv_nsec) + ":" +
                    std::to_string(st.st_size) + ":" + std::to_string(st.st_ino);
        }
        if (stamp == m_stamp) return;
        m_stamp = stamp;
        m_table = LoadTable(m_tablePath);
    }

    // The three reply lines of a get or getnext, or "NONE".
    std::string Get(const Oid& oid) const
    {
        auto it = m_table.objects.find(oid);
        if (it != m_table.objects.end()) return Reply(oid, it->second.type, it->second.value);
        for (const Endless& e : m_table.endless) {
            if (StartsWith(oid, e.prefix) && oid.size() == e.prefix.size() + 1) return Reply(oid, e.type, e.value);
        }
        return "NONE\n";
    }

    std::string GetNext(const Oid& oid) const
    {
        std::optional<std::pair<Oid, Entry>> best;
        for (auto it = m_table.objects.upper_bound(oid); it != m_table.objects.end(); ++it) {
            if (!StartsWith(it->first, m_root)) continue;
            best = *it;
            break;
        }
        for (const Endless& e : m_table.endless) {
            Oid candidate = e.prefix;
            if (StartsWith(oid, e.prefix) && oid.size() > e.prefix.size()) {
                candidate.push_back(oid[e.prefix.size()] + 1);
            } else {
                candidate.push_back(1);
                if (!(oid < candidate)) continue;
            }
            if (!best || candidate < best->first) best = std::make_pair(candidate, Entry{e.type, "ro", e.value});
        }
        if (!best) return "NONE\n";
        return Reply(best->first, best->second.type, best->second.value);
    }

    std::string Set(const Oid& oid, const std::string& type, const std::string& value)
    {
        auto it = m_table.objects.find(oid);
        if (it == m_table.objects.end() || it->second.access != "rw") return "not-writable";
        Entry& entry = it->second;
        std::string logged;
        bool stringy = type == "string" || type == "octet";
        if (entry.type == "string" || entry.type == "octet") {
            if (!stringy) return "wrong-type";
            std::optional<std::string> bytes = BytesOf(type, value);
            if (!bytes) return "wrong-value";
            auto limit = m_table.maxLengths.find(oid);
            if (limit != m_table.maxLengths.end() && bytes->size() > limit->second) return "wrong-length";
            std::string spaced;
            for (size_t i = 0; i < bytes->size(); ++i) spaced += (i ? " " : "") + Hex(bytes->substr(i, 1));
            entry.type = "octet";
            entry.value = spaced;
            logged = Hex(*bytes);
        } else {
            if (type != entry.type) return "wrong-type";
            char* end = nullptr;
            long long number = std::strtoll(value.c_str(), &end, 10);
            if (end == value.c_str()) return "wrong-value";
            auto range = m_table.ranges.find(oid);
            if (range != m_table.ranges.end() && (number < range->second.first || number > range->second.second)) {
                return "wrong-value";
            }
            entry.value = std::to_string(number);
            logged = entry.value;
        }
        std::ofstream log(m_logPath, std::ios::app);
        log << OidText(oid) << " " << type << " " << logged << "\n";
        return "DONE";
    }

private:
    static std::string Reply(const Oid& oid, const std::string& type, const std::string& value)
    {
        return OidText(oid) + "\n" + type + "\n" + value + "\n";
    }

    // snmpd hands octet strings over in double quotes: as hex pairs
    // ("0a 00 00 01") or, when printable, as the text itself.
    static std::optional<std::string> BytesOf(const std::string& type, const std::string& value)
    {
        std::string text = value;
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        if (type != "octet") return text;
        std::string bytes;
        std::istringstream in(text);
        std::string pair;
        while (in >> pair) {
            if (pair.size() > 2) return std::nullopt;
            char* end = nullptr;
            unsigned long b = std::strtoul(pair.c_str(), &end, 16);
            if (*end != '\0') return std::nullopt;
            bytes += static_cast<char>(b);
        }
        return bytes;
    }

    std::string m_tablePath;
    std::string m_logPath;
    Oid m_root;
    std::string m_stamp = "-";
    Table m_table;
};

}  // namespace

int main(int argc, char** argv)
{
    std::string table, log, root;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        if (key == "--table") table = argv[i + 1];
        if (key == "--log") log = argv[i + 1];
        if (key == "--root") root = argv[i + 1];
    }
    std::optional<Oid> rootOid = ParseOid(root);
    if (table.empty() || log.empty() || !rootOid) {
        std::cerr << "usage: fake_sflow_agent --table FILE --log FILE --root OID\n";
        return 2;
    }
    Agent agent(table, log, *rootOid);
    std::string command;
    while (std::getline(std::cin, command)) {
        if (!command.empty() && command.back() == '\r') command.pop_back();
        if (command == "PING") {
            std::cout << "PONG\n" << std::flush;
            continue;
        }
        if (command != "get" && command != "getnext" && command != "set") continue;
        std::string oidLine;
        if (!std::getline(std::cin, oidLine)) break;
        agent.Reload();
        std::optional<Oid> oid = ParseOid(oidLine);
        if (command == "set") {
            std::string valueLine;
            if (!std::getline(std::cin, valueLine)) break;
            size_t space = valueLine.find(' ');
            std::string type = valueLine.substr(0, space);
            std::string value = space == std::string::npos ? std::string() : valueLine.substr(space + 1);
            std::cout << (oid ? agent.Set(*oid, type, value) : std::string("not-writable")) << "\n" << std::flush;
            continue;
        }
        if (!oid) {
            std::cout << "NONE\n" << std::flush;
            continue;
        }
        std::cout << (command == "get" ? agent.Get(*oid) : agent.GetNext(*oid)) << std::flush;
    }
    return 0;
}
