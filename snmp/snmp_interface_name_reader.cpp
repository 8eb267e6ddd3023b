// SPDX-License-Identifier: GPL-3.0-or-later
#include "snmp_interface_name_reader.h"

namespace ortolan {

CSnmpInterfaceNameReader::CSnmpInterfaceNameReader(int timeoutSeconds, int retries)
    : m_reader(m_snmp, timeoutSeconds, retries)
{
    m_stepTimer.setInterval(kStepMs);
    QObject::connect(&m_stepTimer, &QTimer::timeout, [this] { Step(); });
}

CSnmpInterfaceNameReader::~CSnmpInterfaceNameReader()
{
    m_stepTimer.stop();
    m_snmp.ResetSession();
}

void CSnmpInterfaceNameReader::StartRead(const tagAgentSnmp& agent, DoneFn done)
{
    m_done = std::move(done);
    tagSnmpAccess access;
    access.mode = agent.mode;
    access.peerAddress = agent.agent;
    if (agent.port != 161) access.peerAddress += ":" + std::to_string(agent.port);
    access.communityOrUser = agent.communityOrUser;
    access.password = agent.password;
    // A reading that could not even be sent is answered at the next step,
    // like any other.
    m_sent = m_reader.Start(access);
    m_stepTimer.start();
}

void CSnmpInterfaceNameReader::Step()
{
    if (m_sent) m_reader.Poll();
    if (m_sent && m_reader.busy()) return;
    m_stepTimer.stop();
    DoneFn done = std::move(m_done);
    m_done = nullptr;
    const bool answered = m_sent && m_reader.answered();
    if (done) done(answered, answered ? m_reader.table() : IfNameTable{});
}

}  // namespace ortolan
