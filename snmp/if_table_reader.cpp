// SPDX-License-Identifier: GPL-3.0-or-later
#include "if_table_reader.h"

#include <charconv>

#include "snmp_text.h"

namespace ortolan {

namespace {

// The columns by number, so the walks need no MIB module to be loaded.
const char* RootOf(CIfTableReader::Step step)
{
    switch (step) {
    case CIfTableReader::Step::Names: return ".1.3.6.1.2.1.31.1.1.1.1";
    case CIfTableReader::Step::Aliases: return ".1.3.6.1.2.1.31.1.1.1.18";
    case CIfTableReader::Step::Descriptions: return ".1.3.6.1.2.1.2.2.1.2";
    case CIfTableReader::Step::HighSpeeds: return ".1.3.6.1.2.1.31.1.1.1.15";
    case CIfTableReader::Step::Speeds: return ".1.3.6.1.2.1.2.2.1.5";
    case CIfTableReader::Step::Idle: break;
    }
    return "";
}

// A gauge's value text ("10", "Gauge32: 10" read down to "10"); 0 for
// anything that is not a whole number.
uint64_t GaugeOf(const std::string& text)
{
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() ? value : 0;
}

}  // namespace

CIfTableReader::CIfTableReader(ISnmpClient& snmp, int timeoutSeconds, int retries)
    : m_snmp(snmp), m_timeoutSeconds(timeoutSeconds), m_retries(retries)
{
}

bool CIfTableReader::Start(const tagSnmpAccess& access)
{
    m_access = access;
    m_table.clear();
    m_answered = false;
    m_lastError = 0;
    if (!Send(Step::Names)) {
        m_snmp.ResetSession();
        m_step = Step::Idle;
        return false;
    }
    return true;
}

bool CIfTableReader::Send(Step step)
{
    m_step = step;
    return m_snmp.Walk(m_access.mode, m_access.peerAddress, m_access.communityOrUser, m_access.password,
                       RootOf(step), m_timeoutSeconds, m_retries);
}

void CIfTableReader::Poll()
{
    if (m_step == Step::Idle || m_snmp.status() == SnmpStatus::Pending) return;
    m_lastError = m_snmp.errorCode();
    const bool gotLines = TakeResults(m_step);
    // An agent that does not answer at all is not asked the other columns:
    // each walk would wait out its retries again.
    if (!gotLines && m_lastError == -1) {
        Finish();
        return;
    }
    bool sent = true;
    switch (m_step) {
    case Step::Names: sent = Send(Step::Aliases); break;
    case Step::Aliases: sent = gotLines ? Send(Step::HighSpeeds) : Send(Step::Descriptions); break;
    case Step::Descriptions: sent = Send(Step::HighSpeeds); break;
    case Step::HighSpeeds:
        if (gotLines) {
            Finish();
            return;
        }
        sent = Send(Step::Speeds);
        break;
    case Step::Speeds:
    case Step::Idle: Finish(); return;
    }
    if (!sent) Finish();
}

void CIfTableReader::Finish()
{
    m_step = Step::Idle;
    m_snmp.ResetSession();
}

bool CIfTableReader::SplitResultLine(const std::string& line, uint32_t& ifIndex, std::string& value)
{
    size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    std::string name = TrimSnmpText(std::string_view(line).substr(0, equals));
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 >= name.size()) return false;
    const char* first = name.data() + dot + 1;
    const char* last = name.data() + name.size();
    auto [end, error] = std::from_chars(first, last, ifIndex);
    if (error != std::errc() || end != last || ifIndex == 0) return false;
    value = ValueOf(line, name);
    return true;
}

bool CIfTableReader::TakeResults(Step step)
{
    const std::vector<std::string>& lines = m_snmp.results();
    if (lines.empty()) return false;
    m_answered = true;
    for (const std::string& line : lines) {
        uint32_t ifIndex = 0;
        std::string value;
        if (!SplitResultLine(line, ifIndex, value)) continue;
        auto entry = m_table.find(ifIndex);
        if (entry == m_table.end()) {
            // Beyond the bound the agent's further interfaces stay numbers.
            if (m_table.size() >= kMaxIfNameEntries) continue;
            entry = m_table.emplace(ifIndex, tagIfName{}).first;
        }
        tagIfName& ifName = entry->second;
        switch (step) {
        case Step::Names: ifName.name = BoundedIfText(value, kMaxIfNameBytes); break;
        case Step::Aliases:
        case Step::Descriptions: {
            std::string alias = BoundedIfText(value, kMaxIfAliasBytes);
            // ifDescr often repeats the name; it says nothing more then.
            ifName.alias = alias == ifName.name ? std::string() : alias;
            break;
        }
        case Step::HighSpeeds: ifName.speedBitsPerSecond = GaugeOf(value) * 1000000; break;
        case Step::Speeds: ifName.speedBitsPerSecond = GaugeOf(value); break;
        case Step::Idle: break;
        }
    }
    return true;
}

}  // namespace ortolan
