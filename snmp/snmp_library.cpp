// SPDX-License-Identifier: GPL-3.0-or-later
#include "snmp_library.h"

#include <QCoreApplication>
#include <QTimer>

namespace ortolan {

CSnmpLibrary::CSnmpLibrary(std::string appName, std::unique_ptr<QTimer> pollTimer)
    : m_appName(std::move(appName)), m_pollTimer(std::move(pollTimer))
{
}

CSnmpLibrary::~CSnmpLibrary()
{
    if (m_pollTimer) m_pollTimer->stop();
    m_pollTimer.reset();
    ShutdownNetSnmp(m_appName);
}

std::unique_ptr<CSnmpLibrary> SnmpLibraryStart(const std::string& appName, const std::string& configDir,
                                               const std::string& mibDir, const std::string& stateDir)
{
    InitNetSnmp(appName, configDir, mibDir, stateDir);
    std::unique_ptr<QTimer> timer;
    if (QCoreApplication::instance()) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(1);
        QObject::connect(timer.get(), &QTimer::timeout, [] { SnmpPollTick(); });
        timer->start();
    }
    return std::make_unique<CSnmpLibrary>(appName, std::move(timer));
}

void SnmpLibraryStop(std::unique_ptr<CSnmpLibrary> library)
{
    library.reset();
}

}  // namespace ortolan
