// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A host-name lookup over a fixed table, for the lists' tests.
#include <map>
#include <string>
#include <utility>

#include "host_name_lookup.h"
#include "node_key.h"

namespace ortolan::testing {

class CFixedHostNames : public IHostNameLookup {
public:
    void Set(const CMonPort& port, const std::string& address, std::string name)
    {
        m_names[{&port, address}] = std::move(name);
    }
    std::string HostName(const CMonPort& port, const CIpAddress& address) const override
    {
        auto it = m_names.find({&port, address.String()});
        return it == m_names.end() ? std::string() : it->second;
    }

private:
    std::map<std::pair<const CMonPort*, std::string>, std::string> m_names;
};

}  // namespace ortolan::testing
