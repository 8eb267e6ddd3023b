// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real clickhouse-server of the test's own: loopback only, free ports, its
// data, temporary and log folders in a temporary directory, stopped by its PID.
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "clickhouse_http.h"

namespace ortolan::testing {

class CClickHouseServer {
public:
    CClickHouseServer();
    ~CClickHouseServer();
    CClickHouseServer(const CClickHouseServer&) = delete;
    CClickHouseServer& operator=(const CClickHouseServer&) = delete;

    // The server's executable, or empty when it is not installed.
    static std::string Binary();
    // Starts it and waits until it answers (a minute at most); false when it does not.
    bool Start();
    // SIGTERM to its PID, and the wait for its end.
    void Stop();
    bool running() const { return m_pid > 0; }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_httpPort) + "/"; }
    // A query's answer text (TabSeparated unless the query says otherwise).
    tagHttpAnswer Query(const std::string& sql);
    const std::string& folder() const { return m_dir; }

private:
    std::string m_dir;
    uint16_t m_httpPort = 0;
    uint16_t m_tcpPort = 0;
    pid_t m_pid = -1;
};

}  // namespace ortolan::testing
