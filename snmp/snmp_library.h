// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Net-SNMP for the whole program: prepared once at start-up, driven by a 1 ms
// poll on the user-interface thread, shut down once at exit. The library
// itself can be initialised only once per process.
#include <memory>
#include <string>

class QTimer;

namespace ortolan {

// The running library and its poll timer; destroying it stops both.
class CSnmpLibrary {
public:
    CSnmpLibrary(std::string appName, std::unique_ptr<QTimer> pollTimer);
    ~CSnmpLibrary();
    CSnmpLibrary(const CSnmpLibrary&) = delete;
    CSnmpLibrary& operator=(const CSnmpLibrary&) = delete;

    const std::string& appName() const { return m_appName; }
    // False when no QCoreApplication existed at start: the caller then calls
    // SnmpPollTick itself.
    bool hasPollTimer() const { return m_pollTimer != nullptr; }

private:
    std::string m_appName;
    std::unique_ptr<QTimer> m_pollTimer;
};

// Sets MIBDIRS (mibDir, every module in it is loaded), SNMPCONFPATH
// (configDir), SNMP_PERSISTENT_DIR (stateDir) and SNMP_PERSISTENT_FILE
// ("<stateDir>/<appName>.tmp"), the library's print and parse defaults,
// initialises the library under appName and starts the 1 ms poll timer when
// a QCoreApplication exists. stateDir is made when missing; when it cannot
// be, the library keeps no persistent state. The persistent file is written
// anew by each run, so it never grows from run to run.
std::unique_ptr<CSnmpLibrary> SnmpLibraryStart(const std::string& appName, const std::string& configDir,
                                               const std::string& mibDir, const std::string& stateDir);

// Stops the poll timer and shuts the library down under its application name.
void SnmpLibraryStop(std::unique_ptr<CSnmpLibrary> library);

// One poll: reads answers that have arrived (their callbacks run inside) and
// lets the library retransmit and expire requests. Waits at most 100 µs, and
// not at all while no session is open.
void SnmpPollTick();

// The library calls behind start and stop (snmp_api.cpp).
void InitNetSnmp(const std::string& appName, const std::string& configDir, const std::string& mibDir,
                 const std::string& stateDir);
void ShutdownNetSnmp(const std::string& appName);

}  // namespace ortolan
