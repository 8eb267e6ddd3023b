// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `ortolan collect --metrics`: the Prometheus endpoint over the controller's
// collectors. Scrapes are served on the endpoint's own thread; the figures
// are gathered on the event loop's thread, which the collectors belong to,
// and only their copies cross back.
#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "metrics_server.h"
#include "metrics_snapshot.h"

namespace ortolan {

class CMonitorController;

class CMetricsEndpoint {
public:
    CMetricsEndpoint(CMonitorController& controller, std::string buildVersion, tagMetricsLimits limits = {});
    ~CMetricsEndpoint();
    CMetricsEndpoint(const CMetricsEndpoint&) = delete;
    CMetricsEndpoint& operator=(const CMetricsEndpoint&) = delete;

    // The row store's counters, shown from the next scrape on; called on the
    // event loop's thread. Without one, their families are left out.
    void SetStoreCounters(StoreCountersSource source) { m_store = std::move(source); }

    bool Start(const tagListenAddress& where, std::string* error);
    // Ends serving; a scrape waiting for figures is answered 503 at once.
    void Stop();
    uint16_t boundPort() const { return m_server.boundPort(); }

private:
    // On the server's thread: asks the event loop for the page and waits
    // for it, at most the gather timeout, and never past a Stop.
    std::optional<std::string> Render();

    CMonitorController& m_controller;
    std::string m_buildVersion;
    tagMetricsLimits m_limits;
    StoreCountersSource m_store;
    std::atomic<bool> m_stopping{false};
    // Lives on the event loop's thread: what is posted to it runs there, and
    // is dropped unrun once it is gone.
    QObject m_context;
    CMetricsServer m_server;
};

}  // namespace ortolan
