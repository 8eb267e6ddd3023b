// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The name tables that label what the statistics count: IP protocols by number,
// TCP and UDP services by port, NIC vendors by MAC prefix. Loaders read plain
// text files; a file that cannot be opened leaves its table as it was, and
// malformed lines are skipped. The application owns one set and hands it to
// both collectors and the views.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "text_map.h"

namespace ortolan {

class COuiTable {
public:
    // Vendor prefix ("08:00:20", as written in the file) to vendor name.
    TextMap<std::string> ouiNames;

    // Lines of the IEEE listing: "08-00-20   (hex)		Vendor".
    bool LoadOuiTable(const std::string& path);
    // Vendor of a MAC text, or "不明(%s)" with its first 8 characters.
    std::string VendorOf(std::string_view macText) const;
    // The vendor of the prefix when the table has one, else null.
    const std::string* Find(std::string_view prefix) const;
};

class CNameTables {
public:
    std::unordered_map<uint16_t, std::string> ipProtocolNames;  // 1 to 254
    std::unordered_map<uint16_t, std::string> tcpPortNames;     // 1 to 65535
    std::unordered_map<uint16_t, std::string> udpPortNames;     // 1 to 65535
    COuiTable oui;

    // "%d %s" lines: number, white space, one word.
    bool LoadProtocolTable(const std::string& path);
    // Services-file lines: name, white space, port/tcp or port/udp, anything after.
    bool LoadPortTable(const std::string& path);
    bool LoadOuiTable(const std::string& path) { return oui.LoadOuiTable(path); }
    // Moves on at every load of the protocol or port table, so whoever keeps
    // labels formed from them knows to form them anew.
    uint64_t generation() const { return m_generation; }

    // Null when the table has no name for the key.
    const std::string* ProtocolName(uint16_t protocol) const { return Find(ipProtocolNames, protocol); }
    const std::string* TcpName(uint16_t port) const { return Find(tcpPortNames, port); }
    const std::string* UdpName(uint16_t port) const { return Find(udpPortNames, port); }

private:
    uint64_t m_generation = 0;

    static const std::string* Find(const std::unordered_map<uint16_t, std::string>& map, uint16_t key)
    {
        if (map.empty()) return nullptr;
        auto it = map.find(key);
        return it == map.end() ? nullptr : &it->second;
    }
};

// Leading and trailing white space removed.
std::string_view TrimText(std::string_view text);

}  // namespace ortolan
