// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interface names of the configured agents for a monitoring session:
// loaded from the state folder's cache when it starts, then read from each
// agent in turn (one reading at a time) at the start and every hour, each
// answer kept and written back to the cache. An agent that does not answer
// keeps what the cache had of it. Without configured agents nothing is read.
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "agent_snmp_settings.h"
#include "interface_name_reader.h"
#include "interface_names.h"
#include "interface_texts.h"

namespace ortolan {

class CInterfaceNameKeeper : public QObject, public IInterfaceNameLookup {
    Q_OBJECT
public:
    static constexpr int kReadPeriodMs = 3600 * 1000;

    explicit CInterfaceNameKeeper(QObject* parent = nullptr);
    ~CInterfaceNameKeeper() override;

    // Loads the cache file (empty path: none) and starts reading the agents
    // (at most kMaxIfNameAgents) with the reader, which must outlive this.
    void Start(IInterfaceNameReader* reader, std::vector<tagAgentSnmp> agents, std::string cacheFile);
    // Reads every agent again (the hourly timer's work; public for tests).
    // A round still running is not started twice.
    void ReadAll();

    // The names by agent address text.
    const AgentIfNames& names() const { return m_names; }
    // The table of one agent; null when none is known.
    const IfNameTable* Find(const std::string& agent) const;
    const IfNameTable* InterfaceNames(const std::string& agent) const override { return Find(agent); }
    // Readings answered since the start (tests wait on it).
    int answers() const { return m_answers; }
    bool reading() const { return m_next < m_agents.size(); }
    const QTimer& readTimer() const { return m_readTimer; }

signals:
    // An agent's names changed (the views may redraw).
    void NamesChanged();

private:
    void ReadNext();

    IInterfaceNameReader* m_reader = nullptr;
    std::vector<tagAgentSnmp> m_agents;
    size_t m_next = 0;  // the agent being read; m_agents.size(): none
    std::string m_cacheFile;
    AgentIfNames m_names;
    int m_answers = 0;
    QTimer m_readTimer;
    // Guards answers that come after this keeper is gone.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace ortolan
