#pragma once
// Small hand-built ports and name tables for the view tests.
#include <QTemporaryDir>
#include <fstream>
#include <string>

#include "mon_port.h"
#include "name_tables.h"

namespace ortolan::testing {

// 2023-11-15 07:13:20 in Tokyo.
inline constexpr int64_t kT0 = 1700000000;

inline tagIpEntry& AddIp(CMonPort& port, const std::string& address, int64_t txPackets, int64_t txBytes,
                         int64_t firstSeen = kT0, int64_t lastSeen = kT0)
{
    tagIpEntry& e = *port.FindOrAddIp(address, firstSeen);
    e.txPackets = txPackets;
    e.txBytes = txBytes;
    e.lastSeen = lastSeen;
    return e;
}

inline tagMacEntry& AddMac(CMonPort& port, const std::string& address, int64_t txPackets, int64_t txBytes)
{
    tagMacEntry& e = *port.FindOrAddMac(address, kT0);
    e.txPackets = txPackets;
    e.txBytes = txBytes;
    e.lastSeen = kT0;
    return e;
}

inline tagProtStat& AddStat(CMonPort& port, StatTable& table, const std::string& name, int64_t packets,
                            int64_t bytes)
{
    tagProtStat& e = *port.FindOrAddStat(table, name);
    e.packets = packets;
    e.bytes = bytes;
    return e;
}

// An oui.txt with the given lines written into dir.
inline std::string WriteOuiFile(const QTemporaryDir& dir, const std::string& lines)
{
    std::string path = dir.filePath("oui.txt").toStdString();
    std::ofstream(path) << lines;
    return path;
}

inline std::string ReadFile(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ortolan::testing
