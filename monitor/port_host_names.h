#pragma once
// The host names the lists show, by port: what the look-ups answered for the
// addresses of the ports a list showed. A port keeps the names it was given
// while it lives, even when the look-up cache has forgotten them since.
#include <absl/container/flat_hash_map.h>

#include <string>
#include <unordered_map>

#include "host_name_lookup.h"
#include "node_key.h"

namespace ortolan {

class CPortHostNames : public IHostNameLookup {
public:
    std::string HostName(const CMonPort& port, const CIpAddress& address) const override;
    bool Contains(const CMonPort& port, const CIpAddress& address) const;
    // Keeps the first name given for an address of the port.
    void Note(const CMonPort& port, const CIpAddress& address, std::string name);
    // Forgets every port's names, as the collectors drop their ports.
    void Clear() { m_names.clear(); }

private:
    std::unordered_map<const CMonPort*, absl::flat_hash_map<CIpAddress, std::string>> m_names;
};

}  // namespace ortolan
