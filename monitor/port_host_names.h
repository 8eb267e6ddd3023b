// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The host names the lists show, by port: what the look-ups answered for the
// addresses of the ports a list showed. A port keeps the names it was given
// while it lives, even when the look-up cache has forgotten them since.
// A port keeps names only for the IP nodes it holds, so it never keeps more
// names than nodes, and every name is charged to the memory limit.
#include <absl/container/flat_hash_map.h>

#include <string>

#include "host_name_lookup.h"
#include "memory_budget.h"
#include "node_key.h"

namespace ortolan {

class CPortHostNames : public IHostNameLookup {
public:
    explicit CPortHostNames(CMemoryBudget& budget) : m_memory(budget) {}

    std::string HostName(const CMonPort& port, const CIpAddress& address) const override;
    bool Contains(const CMonPort& port, const CIpAddress& address) const;
    // Keeps the first name given for an address the port holds as an IP node;
    // a name the memory limit cannot take is left out and counted as refused.
    void Note(const CMonPort& port, const CIpAddress& address, std::string name);
    // Forgets every port's names, as the collectors drop their ports.
    void Clear();

    uint64_t refused() const { return m_memory.refused(); }
    uint64_t memoryUsed() const { return m_memory.used(); }

private:
    // By the port's address: a port stays where it is while it lives, and
    // Clear goes with every drop of the ports.
    absl::flat_hash_map<const CMonPort*, absl::flat_hash_map<CIpAddress, std::string>> m_names;
    CMemoryAccount m_memory;
};

}  // namespace ortolan
