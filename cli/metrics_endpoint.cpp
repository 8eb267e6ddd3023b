// SPDX-License-Identifier: GPL-3.0-or-later
#include "metrics_endpoint.h"

#include <QMetaObject>
#include <chrono>
#include <future>

#include "metrics_gather.h"
#include "metrics_text.h"
#include "monitor_controller.h"

namespace ortolan {

CMetricsEndpoint::CMetricsEndpoint(CMonitorController& controller, std::string buildVersion,
                                   tagMetricsLimits limits)
    : m_controller(controller),
      m_buildVersion(std::move(buildVersion)),
      m_limits(limits),
      m_server([this] { return Render(); }, limits)
{
}

CMetricsEndpoint::~CMetricsEndpoint() { Stop(); }

bool CMetricsEndpoint::Start(const tagListenAddress& where, std::string* error)
{
    m_stopping = false;
    return m_server.Start(where, error);
}

void CMetricsEndpoint::Stop()
{
    m_stopping = true;
    m_server.Stop();
}

std::optional<std::string> CMetricsEndpoint::Render()
{
    auto figures = std::make_shared<std::promise<tagMetricsSnapshot>>();
    std::future<tagMetricsSnapshot> ready = figures->get_future();
    // The collectors are read between two bursts of the event loop, which
    // only copies the figures; the text is formed here, off that thread.
    QMetaObject::invokeMethod(
        &m_context,
        [this, figures] {
            figures->set_value(
                GatherMetrics(m_controller.sflow(), m_controller.netflow(), m_limits, m_store, m_buildVersion));
        },
        Qt::QueuedConnection);
    // In short steps, so that a Stop on the event loop's thread, which waits
    // for this thread, is not kept waiting by it.
    const auto deadline = std::chrono::steady_clock::now() + m_limits.gatherTimeout;
    while (!m_stopping && std::chrono::steady_clock::now() < deadline)
        if (ready.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready)
            return FormatMetrics(ready.get());
    return std::nullopt;
}

}  // namespace ortolan
