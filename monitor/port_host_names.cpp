#include "port_host_names.h"

namespace ortolan {

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
    m_names[&port].try_emplace(address, std::move(name));
}

}  // namespace ortolan
