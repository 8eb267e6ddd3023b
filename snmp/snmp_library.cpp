// SPDX-License-Identifier: GPL-3.0-or-later
#include "snmp_library.h"

namespace ortolan {

CSnmpLibrary::CSnmpLibrary(std::string appName) : m_appName(std::move(appName)) {}

CSnmpLibrary::~CSnmpLibrary() { ShutdownNetSnmp(m_appName); }

std::unique_ptr<CSnmpLibrary> SnmpLibraryStart(const std::string& appName, const std::string& configDir,
                                               const std::string& mibDir, const std::string& stateDir)
{
    InitNetSnmp(appName, configDir, mibDir, stateDir);
    return std::make_unique<CSnmpLibrary>(appName);
}

void SnmpLibraryStop(std::unique_ptr<CSnmpLibrary> library)
{
    library.reset();
}

}  // namespace ortolan
