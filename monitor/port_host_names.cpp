// SPDX-License-Identifier: GPL-3.0-or-later
#include "port_host_names.h"

#include "memory_costs.h"
#include "mon_port.h"

namespace ortolan {
namespace {

using NameTable = absl::flat_hash_map<CIpAddress, std::string>;

uint64_t NameCost(const std::string& name)
{
    return cost::FlatTableEntry(sizeof(NameTable::value_type)) + cost::Text(name.size());
}

uint64_t PortCost()
{
    return cost::FlatTableEntry(sizeof(std::pair<const CMonPort* const, NameTable>));
}

}  // namespace

std::string CPortHostNames::HostName(const CMonPort& port, const CIpAddress& address) const
{
    auto names = m_names.find(&port);
    if (names == m_names.end()) return {};
    auto it = names->second.find(address);
    return it == names->second.end() ? std::string() : it->second;
}

bool CPortHostNames::Contains(const CMonPort& port, const CIpAddress& address) const
{
    auto names = m_names.find(&port);
    return names != m_names.end() && names->second.contains(address);
}

void CPortHostNames::Note(const CMonPort& port, const CIpAddress& address, std::string name)
{
    if (!port.ips.contains(address) || Contains(port, address)) return;
    auto names = m_names.find(&port);
    const uint64_t bytes = NameCost(name) + (names == m_names.end() ? PortCost() : 0);
    if (!m_memory.Charge(bytes)) return;
    if (names == m_names.end()) names = m_names.try_emplace(&port).first;
    names->second.try_emplace(address, std::move(name));
}

void CPortHostNames::Clear()
{
    m_names.clear();
    m_memory.Clear();
}

}  // namespace ortolan
