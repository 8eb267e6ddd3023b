// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status panel's lines as the tests expect to read them, written once:
// the status text's own tests build whole mark-up from them, and the
// controller's and the headless command's tests look for them in what they
// were shown or printed. Plain C++, for the core-only build too.
#include <string>

namespace ortolan::testing {

inline constexpr const char* kNotMonitoringLine = "モニタしていません。";

inline std::string SflowLine(unsigned agents, unsigned ports, unsigned datagrams)
{
    return "sFlow:   " + std::to_string(agents) + "ノード(" + std::to_string(ports) + "ポート)  " +
           std::to_string(datagrams) + "パケット";
}

// NetFlow's line has full-width parentheses and single spaces.
inline std::string NetflowLine(unsigned agents, unsigned ports, unsigned datagrams)
{
    return "NetFlow: " + std::to_string(agents) + "ノード（" + std::to_string(ports) + "ポート） " +
           std::to_string(datagrams) + "パケット";
}

// from and span as the panel writes them ("12/07 10:40", "0日 00時間00分00秒間").
inline std::string MonitoringLine(const std::string& from, const std::string& span)
{
    return from + "から" + span + "モニタしています。";
}

inline std::string OfflineLine(const std::string& from, const std::string& to)
{
    return from + "から" + to + "のオフライン情報を表示しています。";
}

inline std::string LookupsLine(int pending)
{
    return std::to_string(pending) + "件のDNS問い合わせを行っています。";
}

inline std::string LossLine(unsigned long long receiveLost, unsigned long long logWaiting,
                            unsigned long long logLost, unsigned long long refused)
{
    return "警告: 受信損失" + std::to_string(receiveLost) + "件 ログ未書込" + std::to_string(logWaiting) +
           "件 ログ損失" + std::to_string(logLost) + "件 拒否" + std::to_string(refused) + "件";
}

inline std::string ClockStepLine(long long seconds)
{
    return "警告: 時計が" + std::string(seconds > 0 ? "+" : "") + std::to_string(seconds) +
           "秒飛びました。ログの削除を止めています。";
}

}  // namespace ortolan::testing
