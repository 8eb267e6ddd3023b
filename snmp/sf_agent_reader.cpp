// SPDX-License-Identifier: GPL-3.0-or-later
#include "sf_agent_reader.h"

#include <utility>

#include "sf_messages.h"
#include "sf_walk_parser.h"

namespace ortolan {

namespace {

constexpr const char* kV5Root = "sFlowAgent";
constexpr const char* kV4Root = "sFlowAgentV4";

}  // namespace

CSfAgentReader::CSfAgentReader(ISnmpClient& snmp, tagSfTimings timings) : m_snmp(snmp), m_timings(timings) {}

bool CSfAgentReader::StartRead(const tagSnmpAccess& access, tagSfStepOutcome& outcome)
{
    m_access = access;
    if (!m_snmp.Walk(access.mode, access.peerAddress, access.communityOrUser, access.password, kV5Root,
                     m_timings.readSeconds, m_timings.readRetries)) {
        outcome.message = kMsgRequestNotSent;
        m_busyState = BusyState::Idle;
        return false;
    }
    m_busyState = BusyState::ReadingV5;
    return true;
}

bool CSfAgentReader::StartSet(const tagSnmpAccess& access, const std::string& lines, tagSfStepOutcome& outcome)
{
    m_access = access;
    if (!m_snmp.SetValues(access.mode, access.peerAddress, access.communityOrUser, access.password, lines,
                          m_timings.setSeconds, m_timings.setRetries)) {
        outcome.message = kMsgSetRequestNotSent;
        m_busyState = BusyState::Idle;
        // A set refused before sending may leave a Done status behind.
        m_snmp.ResetSession();
        return false;
    }
    m_busyState = BusyState::AfterSet;
    return true;
}

tagSfStepOutcome CSfAgentReader::Poll()
{
    switch (m_busyState) {
    case BusyState::ReadingV5: return ReadV5Results();
    case BusyState::ReadingV4: return ReadV4Results();
    case BusyState::AfterSet: return OnSetFinished();
    case BusyState::Idle: break;
    }
    return {};
}

tagSfStepOutcome CSfAgentReader::ReadV5Results()
{
    tagSfStepOutcome outcome;
    if (m_snmp.status() == SnmpStatus::Pending) return outcome;
    // Whatever lines arrived are used, whatever the error code: an agent
    // error or a time-out after some lines still shows those lines.
    if (m_snmp.results().empty()) {
        if (m_snmp.Walk(m_access.mode, m_access.peerAddress, m_access.communityOrUser, m_access.password,
                        kV4Root, m_timings.readSeconds, m_timings.readRetries)) {
            m_busyState = BusyState::ReadingV4;
        } else {
            m_busyState = BusyState::Idle;
            m_snmp.ResetSession();
            outcome.message = kMsgNoSflowInfo;
        }
        return outcome;
    }
    TakeReadout(ParseV5Results(m_snmp.results()));
    outcome.listsChanged = true;
    return outcome;
}

tagSfStepOutcome CSfAgentReader::ReadV4Results()
{
    tagSfStepOutcome outcome;
    if (m_snmp.status() == SnmpStatus::Pending) return outcome;
    if (m_snmp.results().empty()) {
        m_busyState = BusyState::Idle;
        m_snmp.ResetSession();
        // The rows stay as they were, but without a generation both lists
        // are disabled.
        m_readout.info.mibGeneration = 0;
        outcome.message = kMsgNoSflowInfo;
        outcome.listsChanged = true;
        return outcome;
    }
    TakeReadout(ParseV4Results(m_snmp.results()));
    outcome.listsChanged = true;
    return outcome;
}

tagSfStepOutcome CSfAgentReader::OnSetFinished()
{
    tagSfStepOutcome outcome;
    if (m_snmp.status() == SnmpStatus::Pending) return outcome;
    if (m_snmp.status() != SnmpStatus::Done || m_snmp.errorCode() != 0) {
        m_busyState = BusyState::Idle;
        outcome.message = kMsgSetFailed;
        m_snmp.ResetSession();
        return outcome;
    }
    m_snmp.ResetSession();
    m_readout.v5Ports.clear();
    m_readout.v4Ports.clear();
    outcome.listsChanged = true;

    bool v5 = m_readout.info.mibGeneration >= 5;
    if (m_snmp.Walk(m_access.mode, m_access.peerAddress, m_access.communityOrUser, m_access.password,
                    v5 ? kV5Root : kV4Root, m_timings.rereadSeconds, m_timings.rereadRetries)) {
        m_busyState = v5 ? BusyState::ReadingV5 : BusyState::ReadingV4;
    } else {
        m_busyState = BusyState::Idle;
        m_snmp.ResetSession();
        outcome.message = kMsgNoSflowInfo;
    }
    return outcome;
}

void CSfAgentReader::TakeReadout(tagSfReadout readout)
{
    m_readout = std::move(readout);
    m_portColumnsGeneration = m_readout.info.mibGeneration;
    m_busyState = BusyState::Idle;
    m_snmp.ResetSession();
}

}  // namespace ortolan
