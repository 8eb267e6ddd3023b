// SPDX-License-Identifier: GPL-3.0-or-later
#include "interface_name_keeper.h"

#include "interface_name_cache.h"

namespace ortolan {

CInterfaceNameKeeper::CInterfaceNameKeeper(QObject* parent) : QObject(parent)
{
    m_readTimer.setInterval(kReadPeriodMs);
    connect(&m_readTimer, &QTimer::timeout, this, &CInterfaceNameKeeper::ReadAll);
}

CInterfaceNameKeeper::~CInterfaceNameKeeper()
{
    *m_alive = false;
}

void CInterfaceNameKeeper::Start(IInterfaceNameReader* reader, std::vector<tagAgentSnmp> agents,
                                 std::string cacheFile)
{
    m_reader = reader;
    if (agents.size() > kMaxIfNameAgents) agents.resize(kMaxIfNameAgents);
    m_agents = std::move(agents);
    m_next = m_agents.size();
    m_cacheFile = std::move(cacheFile);
    // The cache may hold agents no longer configured: only the configured
    // ones are shown, as they are the ones read.
    AgentIfNames cached = m_cacheFile.empty() ? AgentIfNames{} : LoadInterfaceNames(m_cacheFile);
    m_names.clear();
    for (const tagAgentSnmp& agent : m_agents) {
        auto found = cached.find(agent.agent);
        if (found != cached.end()) m_names.insert(*found);
    }
    if (!m_names.empty()) emit NamesChanged();
    if (!m_reader || m_agents.empty()) {
        m_readTimer.stop();
        return;
    }
    m_readTimer.start();
    ReadAll();
}

void CInterfaceNameKeeper::ReadAll()
{
    if (!m_reader || m_agents.empty() || reading()) return;
    m_next = 0;
    ReadNext();
}

void CInterfaceNameKeeper::ReadNext()
{
    if (m_next >= m_agents.size()) return;
    std::weak_ptr<bool> alive = m_alive;
    const size_t index = m_next;
    m_reader->StartRead(m_agents[index], [this, alive, index](bool answered, const IfNameTable& table) {
        if (alive.expired() || !*alive.lock() || index != m_next) return;
        if (answered) {
            ++m_answers;
            m_names[m_agents[index].agent] = table;
            if (!m_cacheFile.empty()) SaveInterfaceNames(m_cacheFile, m_names);
            emit NamesChanged();
        }
        ++m_next;
        ReadNext();
    });
}

const IfNameTable* CInterfaceNameKeeper::Find(const std::string& agent) const
{
    auto found = m_names.find(agent);
    return found == m_names.end() ? nullptr : &found->second;
}

}  // namespace ortolan
