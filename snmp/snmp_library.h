// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Net-SNMP for the whole program: prepared once at start-up, shut down once
// at exit. Each CSnmpApi drives it with a poll timer of its own while a
// request is outstanding, so nothing polls while no request waits. The
// library itself can be initialised only once per process.
#include <memory>
#include <string>

namespace ortolan {

// The running library; destroying it shuts it down.
class CSnmpLibrary {
public:
    explicit CSnmpLibrary(std::string appName);
    ~CSnmpLibrary();
    CSnmpLibrary(const CSnmpLibrary&) = delete;
    CSnmpLibrary& operator=(const CSnmpLibrary&) = delete;

    const std::string& appName() const { return m_appName; }

private:
    std::string m_appName;
};

// Sets MIBDIRS (mibDir, every module in it is loaded), SNMPCONFPATH
// (configDir), SNMP_PERSISTENT_DIR (stateDir) and SNMP_PERSISTENT_FILE
// ("<stateDir>/<appName>.tmp"), the library's print and parse defaults,
// and initialises the library under appName. stateDir is made when missing; when it cannot
// be, the library keeps no persistent state. The persistent file is written
// anew by each run, so it never grows from run to run.
std::unique_ptr<CSnmpLibrary> SnmpLibraryStart(const std::string& appName, const std::string& configDir,
                                               const std::string& mibDir, const std::string& stateDir);

// Shuts the library down under its application name.
void SnmpLibraryStop(std::unique_ptr<CSnmpLibrary> library);

// One poll: reads answers that have arrived (their callbacks run inside) and
// lets the library retransmit and expire requests. Waits at most 100 µs, and
// not at all while no request is outstanding.
void SnmpPollTick();

// The library calls behind start and stop (snmp_api.cpp).
void InitNetSnmp(const std::string& appName, const std::string& configDir, const std::string& mibDir,
                 const std::string& stateDir);
void ShutdownNetSnmp(const std::string& appName);

}  // namespace ortolan
