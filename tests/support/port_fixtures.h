#pragma once
// Small hand-built ports and name tables for the tests of what lists show.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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
