#pragma once
// Bounds the statistics a collector keeps. Every new key (a port, a node, a pair,
// a labelled counter, an interface) takes one unit; once the budget is spent new
// keys are refused and counted, while entries that already exist keep counting.
// Without it, datagrams with spoofed, ever-changing addresses would grow the
// process without bound.
#include <cstdint>

namespace ortolan {

struct tagLimits {
    // Far above any local network: a /16 full of hosts talking to each other
    // needs a few hundred thousand entries. At about 400 bytes per entry the
    // default budget caps one collector's statistics near 800 MB.
    uint64_t maxEntries = 2'000'000;
    // Ports (agent and sub-agent, or exporter and engine) per collector.
    uint32_t maxPorts = 4096;
    // MAC addresses remembered per IP node (spoofed source MACs would grow it).
    uint32_t maxMacsPerIp = 256;
    // Service labels per IP node and per IP pair: a host offers a handful, but
    // a port scan through named ports would otherwise add every name there is.
    uint32_t maxServicesPerEntry = 64;
    // Interfaces per port: a switch has hundreds, a router some thousands of
    // sub-interfaces; spoofed ifIndex values would otherwise add one each.
    uint32_t maxInterfacesPerPort = 4096;
};

class CEntryBudget {
public:
    explicit CEntryBudget(uint64_t limit = tagLimits{}.maxEntries) : m_limit(limit) {}

    // Takes one unit for a new key; false (and counted) when the budget is spent.
    bool Take()
    {
        if (m_used >= m_limit) {
            ++m_refused;
            return false;
        }
        ++m_used;
        return true;
    }
    void Refuse() { ++m_refused; }
    void Clear() { m_used = 0; m_refused = 0; }
    void SetLimit(uint64_t limit) { m_limit = limit; }

    uint64_t used() const { return m_used; }
    uint64_t refused() const { return m_refused; }
    uint64_t limit() const { return m_limit; }

private:
    uint64_t m_limit;
    uint64_t m_used = 0;
    uint64_t m_refused = 0;
};

}  // namespace ortolan
