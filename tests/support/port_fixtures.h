// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small hand-built ports and name tables for the tests of what lists show.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "counter_sample.h"
#include "mon_port.h"
#include "name_tables.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

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

// One interface sample of ifIndex 4.
inline _tagIf_counters IfSample(int64_t time, uint32_t uptime, uint64_t inOctets, uint64_t outOctets, uint32_t inUcast = 0)
{
    return CounterSample(4, time, uptime, inOctets, inUcast, outOctets);
}

// The local nodes the local node list's tests share: three local nodes of an
// sFlow port (one only ever received), one public one, and one local node of
// a NetFlow port; the first local node has two MACs and a service.
inline void AddLocalNodes(CSFlowMon& sflow, CNFlowMon& nflow)
{
    CMonPort& s = *sflow.AddPort("10.0.0.254", 0);
    tagIpEntry& a = AddIp(s, "192.168.1.5", 7, 7000, kT0 - 40 * 3600, kT0 - 3600);
    s.AddMacToIp(a, "00:AA:BB:CC:DD:EE");
    s.AddMacToIp(a, "00:11:22:33:44:55");
    s.AddService(a.services, "http/tcp");
    AddIp(s, "10.0.0.1", 2, 120, kT0 - 3600, kT0);
    AddIp(s, "10.0.0.2", 0, 0);           // only ever received
    AddIp(s, "8.8.8.8", 5, 500);          // not local
    CMonPort& n = *nflow.AddPort("192.0.2.1", 0);
    AddIp(n, "172.16.0.9", 12, 1200, kT0 - 40 * 3600, kT0 - 30 * 3600);
}

// A fresh folder under the temporary folder, removed with everything in it.
class CScratchFolder {
public:
    CScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "ortolan-test-XXXXXX").string();
        if (::mkdtemp(pattern.data())) m_path = pattern;
    }
    ~CScratchFolder()
    {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // Empty when the folder could not be made.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// An oui.txt with the given lines written into the folder.
inline std::string WriteOuiFile(const std::string& folder, const std::string& lines)
{
    std::string path = folder + "/oui.txt";
    std::ofstream(path) << lines;
    return path;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace ortolan::testing
