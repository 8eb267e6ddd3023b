// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reads an agent's interface names and speeds from IF-MIB: a walk of ifName,
// then of ifAlias (ifDescr when the agent has no ifAlias column), then of
// ifHighSpeed (ifSpeed when the agent has no ifHighSpeed column), one walk at
// a time over an ISnmpClient. Driven by polls like the sFlow reading, so the
// caller's thread never waits for the network. The table keeps at most
// kMaxIfNameEntries interfaces and bounded texts (interface_names.h).
#include <string>
#include <vector>

#include "interface_names.h"
#include "sf_agent_reader.h"
#include "snmp_client.h"

namespace ortolan {

class CIfTableReader {
public:
    enum class Step { Idle, Names, Aliases, Descriptions, HighSpeeds, Speeds };

    explicit CIfTableReader(ISnmpClient& snmp, int timeoutSeconds = 5, int retries = 2);

    // Starts the first walk. False when it could not be sent (a wrong
    // address, mode or pass phrase); the reader stays idle.
    bool Start(const tagSnmpAccess& access);
    // One poll: takes a finished walk and sends the next. Nothing happens
    // while a walk is pending or the reader is idle.
    void Poll();

    bool busy() const { return m_step != Step::Idle; }
    // After the reading: whether the agent answered any of the walks. A
    // reading that got nothing leaves table() empty.
    bool answered() const { return m_answered; }
    // The error code of the last walk (ISnmpClient's codes).
    int lastError() const { return m_lastError; }
    const IfNameTable& table() const { return m_table; }

    // The ifIndex and value text of a walk's result line ("ifName.3=STRING:
    // \"eth0\"" gives 3 and "eth0"); false for a line without a whole
    // positive index. Public for the tests of odd lines.
    static bool SplitResultLine(const std::string& line, uint32_t& ifIndex, std::string& value);

private:
    bool Send(Step step);
    // Files the finished walk's lines under the step's column; false when
    // the walk brought no line.
    bool TakeResults(Step step);
    void Finish();

    ISnmpClient& m_snmp;
    int m_timeoutSeconds;
    int m_retries;
    tagSnmpAccess m_access;
    Step m_step = Step::Idle;
    bool m_answered = false;
    int m_lastError = 0;
    IfNameTable m_table;
};

}  // namespace ortolan
