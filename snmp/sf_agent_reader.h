// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reading and writing procedure of the sFlow setup: a walk of the version
// 5 MIB, falling back to the older MIB when it brings nothing; one set request
// per edited row, followed by a re-read. Driven by polls (the window's timer,
// or the headless command's loop), it keeps the busy state, the MIB generation
// and the rows read. Plain C++ over an ISnmpClient.
#include <string>

#include "sf_agent_rows.h"
#include "snmp_client.h"

namespace ortolan {

enum class BusyState { Idle, ReadingV5, ReadingV4, AfterSet };

// How the agent is reached; mode as in ISnmpClient.
struct tagSnmpAccess {
    int mode = 1;
    std::string peerAddress;  // dotted IPv4, optionally ":port"
    std::string communityOrUser;
    std::string password;
};

// Time-out per try (seconds) and retries of each request kind.
struct tagSfTimings {
    int readSeconds = 5;
    int readRetries = 2;
    int setSeconds = 2;
    int setRetries = 2;
    int rereadSeconds = 3;
    int rereadRetries = 2;
};

// What one step left to show: a message for the user (empty: none) and
// whether the lists and fields changed.
struct tagSfStepOutcome {
    std::string message;
    bool listsChanged = false;
};

class CSfAgentReader {
public:
    explicit CSfAgentReader(ISnmpClient& snmp, tagSfTimings timings = {});

    void SetTimings(const tagSfTimings& timings) { m_timings = timings; }

    // "取得": starts the walk of "sFlowAgent". False (with the message in
    // outcome) when it could not be sent; the state stays Idle.
    bool StartRead(const tagSnmpAccess& access, tagSfStepOutcome& outcome);
    // Sends the set lines of one row. False (with the message) when they
    // could not be sent.
    bool StartSet(const tagSnmpAccess& access, const std::string& lines, tagSfStepOutcome& outcome);

    // One poll: the step of the current busy state. Nothing happens while the
    // request is pending.
    tagSfStepOutcome Poll();
    tagSfStepOutcome ReadV5Results();
    tagSfStepOutcome ReadV4Results();
    tagSfStepOutcome OnSetFinished();

    BusyState busyState() const { return m_busyState; }
    int mibGeneration() const { return m_readout.info.mibGeneration; }
    const tagSfReadout& readout() const { return m_readout; }
    // The generation whose port columns the lists show (that of the last parse).
    int portColumnsGeneration() const { return m_portColumnsGeneration; }

private:
    void TakeReadout(tagSfReadout readout);

    ISnmpClient& m_snmp;
    tagSfTimings m_timings;
    tagSnmpAccess m_access;
    BusyState m_busyState = BusyState::Idle;
    tagSfReadout m_readout;
    int m_portColumnsGeneration = 0;
};

}  // namespace ortolan
