// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real snmpd on a loopback port for the tests, with a configuration of its
// own: communities "tundra" (read-write), "public" (read-only) and
// "viewonly" (read-only, sFlow version 5 subtree only), SNMPv3 users
// "md5user" (MD5, pass phrase "md5password") and "desuser" (MD5 + DES,
// "despassword"), and both sFlow subtrees served by fake_sflow_agent from a
// table file the test writes. Started in its own temporary folder, stopped
// by its pid.
#include <sys/types.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string>

namespace ortolan::testing {

class CSnmpdAgent {
public:
    CSnmpdAgent();
    ~CSnmpdAgent();
    CSnmpdAgent(const CSnmpdAgent&) = delete;
    CSnmpdAgent& operator=(const CSnmpdAgent&) = delete;

    // Whether snmpd is installed at all.
    static bool Available();

    // Starts snmpd serving the table; false (with the reason in problem())
    // when it did not come up within a few seconds.
    bool Start(const std::string& table);
    void Stop();

    // Replaces the agent's table (the handler rereads it on its next request).
    void WriteTable(const std::string& table);
    // The sets that reached the agent, one "OID TYPE VALUE" line each.
    std::string SetLog() const;

    std::string peer() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Datagrams received since the last call (read and dropped).
    int TakeReceived();
    const std::string& problem() const { return m_problem; }

private:
    bool StartOnPort(int port);
    std::string Path(const char* name) const;

    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_problem;
};

// A UDP port on 127.0.0.1 that receives and never answers.
class CSilentAgent {
public:
    CSilentAgent();
    ~CSilentAgent();
    CSilentAgent(const CSilentAgent&) = delete;
    CSilentAgent& operator=(const CSilentAgent&) = delete;
    std::string peer() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Datagrams received since the last call (read and dropped).
    int TakeReceived();

private:
    int m_socket = -1;
    int m_port = 0;
};

// Runs the event loop and the SNMP poll until done() holds or the time is
// up; true when done() held.
bool PollUntil(const std::function<bool()>& done, int timeoutMs);

// Each SNMP mode with the access the agent grants it, for tests run in every mode.
struct tagModeCase {
    int mode;
    const char* name;
    const char* user;
    const char* password;
};

inline void PrintTo(const tagModeCase& mode, std::ostream* out)
{
    *out << mode.name;
}

inline constexpr tagModeCase kModes[] = {
    {1, "v1", "tundra", ""},
    {2, "v2c", "tundra", ""},
    {3, "v3auth", "md5user", "md5password"},
    {4, "v3priv", "desuser", "despassword"},
};

// A missing snmpd fails the tests where it must be there (CI), and skips
// them elsewhere.
inline bool MustHaveSnmpd()
{
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

#define START_AGENT(agent, table)                                                        \
    do {                                                                                 \
        if (!CSnmpdAgent::Available()) {                                                 \
            if (MustHaveSnmpd()) FAIL() << "snmpd is not installed";                     \
            GTEST_SKIP() << "snmpd is not installed";                                    \
        }                                                                                \
        ASSERT_TRUE((agent).Start(table)) << (agent).problem();                          \
    } while (false)

}  // namespace ortolan::testing
