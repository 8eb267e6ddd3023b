// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The monitoring session's interface name reading over the program's SNMP
// library: one CIfTableReader on a session of its own, stepped by a timer of
// the caller's event loop only while a reading runs. Its answer comes from
// that timer, never from inside StartRead.
#include <QTimer>
#include <memory>

#include "if_table_reader.h"
#include "interface_name_reader.h"
#include "snmp_api.h"

namespace ortolan {

class CSnmpInterfaceNameReader : public IInterfaceNameReader {
public:
    static constexpr int kStepMs = 10;

    // Time-out per try and retries of each walk.
    explicit CSnmpInterfaceNameReader(int timeoutSeconds = 5, int retries = 2);
    ~CSnmpInterfaceNameReader() override;

    void StartRead(const tagAgentSnmp& agent, DoneFn done) override;
    // Whether the step timer runs (only while a reading runs).
    bool isStepping() const { return m_stepTimer.isActive(); }

private:
    void Step();

    CSnmpApi m_snmp;
    CIfTableReader m_reader;
    QTimer m_stepTimer;
    DoneFn m_done;
    bool m_sent = false;
};

}  // namespace ortolan
