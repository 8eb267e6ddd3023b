// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor_controller.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "memory_costs.h"
#include "replay_feed.h"
#include "sampling_overrides.h"
#include "status_text.h"

namespace ortolan {
namespace {

constexpr uint32_t kSnapshotLimitMs = 60480000;   // a week of agent uptime
constexpr int64_t kFreshIconSeconds = 600;
constexpr int64_t kStaleIconSeconds = 3600;
constexpr int64_t kLongWindowSeconds = 129600;     // 36 hours: dates on the X axis

std::string Format(const char* format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

std::string FormatCount(uint64_t value) { return std::to_string(value); }

uint32_t EffectivePort(uint32_t port, const CFlowCollector& c)
{
    return port == 0 || port > 65535 ? c.defaultPort() : port;
}

tagCollectorFigures FiguresOf(const CFlowCollector& c)
{
    std::lock_guard lock(c.tablesMutex());
    return {uint64_t(c.agents.size()), c.CountInterfaces(), c.datagramCount};
}

}  // namespace

CMonitorController::CMonitorController(IMonitorHost& host, IHostResolver& resolver, QObject* parent)
    : QObject(parent),
      m_host(host),
      m_resolver(resolver),
      m_clock([] { return int64_t(std::time(nullptr)); }),
      m_monotonicClock([] {
          timespec t{};
          ::clock_gettime(CLOCK_BOOTTIME, &t);
          return int64_t(t.tv_sec);
      })
{
    for (int i = 0; i < kTrendChartCount; ++i) {
        m_ownCharts[size_t(i)] = std::make_unique<CChartModel>();
        m_charts[size_t(i)] = m_ownCharts[size_t(i)].get();
    }
    m_sflow.SetClock(m_clock);
    m_netflow.SetClock(m_clock);
    m_sflow.ShareMemoryBudget(m_memory);
    m_netflow.ShareMemoryBudget(m_memory);
    // While monitoring the writer keeps the queues short on its own; the log
    // timer only takes its state into the status.
    m_logWriter.SetEagerPasses(true);
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CMonitorController::RefreshTick);
    m_logTimer.setInterval(1000);
    connect(&m_logTimer, &QTimer::timeout, this, &CMonitorController::LogTick);
}

CMonitorController::~CMonitorController()
{
    *m_alive = false;
    CloseSockets();
}

void CMonitorController::SetCharts(const TrendCharts& charts)
{
    for (int i = 0; i < kTrendChartCount; ++i)
        m_charts[size_t(i)] = charts[size_t(i)] ? charts[size_t(i)] : m_ownCharts[size_t(i)].get();
}

void CMonitorController::SetClock(Clock clock)
{
    m_clock = std::move(clock);
    m_sflow.SetClock(m_clock);
    m_netflow.SetClock(m_clock);
}

int CMonitorController::RefreshPeriodMs(uint32_t refreshSeconds)
{
    return int(std::clamp<uint64_t>(uint64_t(refreshSeconds) * 1000, 5000, 120000));
}

void CMonitorController::ResetCharts() { ResetTrendCharts(m_charts, Now()); }

void CMonitorController::StartStop()
{
    if (m_monitoring)
        Stop();
    else
        Start();
}

bool CMonitorController::Start()
{
    if (m_monitoring) return false;
    std::optional<tagMonitorSettings> form = m_host.ReadForm(false);
    if (!form) return false;
    std::optional<tagStartChoice> choice = m_host.ChooseStart();
    if (!choice) return false;

    m_settings = *form;
    {
        const auto rates = SamplingOverrides(m_host.SamplingRates());
        std::scoped_lock lock(m_sflow.tablesMutex(), m_netflow.tablesMutex());
        m_sflow.SetSamplingOverrides(rates);
        m_netflow.SetSamplingOverrides(rates);
    }
    m_flowLog.SetFolder(m_host.LogFolder());
    // Rows point at ports: the list goes before the collectors drop them.
    m_list.Clear();
    ResetCharts();
    m_sflow.Reset();
    m_netflow.Reset();
    m_portHostNames.Clear();  // the names of the ports just dropped
    m_memory.SetLimit(MiB(m_settings.memoryLimitMib));
    m_shownFrom = 0;
    m_lastRedrawSecond = 0;
    m_lossAtTick = {};
    m_logFailing = false;
    m_shownPorts.clear();  // the reset below deletes them

    bool replayed = false;
    bool cancelled = false;
    tagReplayHooks hooks;
    hooks.observeTime = [this, &replayed](int64_t t) {
        if (m_shownFrom == 0) m_shownFrom = t;
        m_shownTo = t;
        replayed = true;
    };
    hooks.closeInterval = [this](int64_t t) {
        m_intervalTime = t;
        UpdateTrends();
    };
    const std::vector<std::string>& files = choice->logFiles;
    for (size_t i = 0; i < files.size() && !cancelled; ++i) {
        auto progress = [&, i](uint64_t done, uint64_t total) {
            if (!m_host.ReplayProgress(files[i], i, files.size(), done, total)) cancelled = true;
            return !cancelled;
        };
        m_flowLog.ReplayLog(files[i], ReplayFeed(m_netflow, m_sflow), m_settings.refreshSeconds, hooks, progress);
        UpdateStatus();
    }
    if (!files.empty()) m_host.ReplayFinished();
    // A log shorter than one refresh interval closed no interval: one close
    // at its last datagram shows what it held (a repeated close at the same
    // time changes nothing).
    if (replayed) {
        m_intervalTime = m_shownTo;
        UpdateTrends();
    }
    RedrawCharts();

    if (choice->online) {
        // A file size limit (ulimit -f) must fail the log's write, which keeps
        // the records queued, rather than kill the program with a torn line.
        std::signal(SIGXFSZ, SIG_IGN);
        m_logWriter.SetFolder(m_flowLog.folder());
        m_logWriter.Start();
        m_monitoring = true;
        bool sflowOpen = m_sflow.Open(m_settings.sflowPort);
        if (!sflowOpen) m_host.SocketFailed("sFlow", EffectivePort(m_settings.sflowPort, m_sflow));
        bool netflowOpen = m_netflow.Open(m_settings.netflowPort);
        if (!netflowOpen) m_host.SocketFailed("NetFlow", EffectivePort(m_settings.netflowPort, m_netflow));
        if (!sflowOpen && !netflowOpen) {
            m_logWriter.Stop();
            m_monitoring = false;
            UpdateStatus();
            return true;
        }
        // The window's thread never reads a socket: a stall of it (a list
        // opening, a refresh) would overflow the socket's buffer.
        if (sflowOpen) m_sflowReceiver.Start();
        if (netflowOpen) m_netflowReceiver.Start();
        m_host.MonitoringChanged(true);
        m_refreshTimer.start(RefreshPeriodMs(m_settings.refreshSeconds));
        m_logTimer.start();
        if (m_shownFrom == 0) m_shownFrom = Now();
    }
    UpdateStatus();
    return true;
}

void CMonitorController::Stop()
{
    if (!m_monitoring) return;
    m_monitoring = false;
    m_host.MonitoringChanged(false);
    CloseSockets();
    m_refreshTimer.stop();
    m_logTimer.stop();
    // What arrived since the last log tick would otherwise be dropped by the
    // next start's reset; it belongs in the log. The writer's last pass takes
    // everything queued, and the stop waits for it.
    m_logWriter.Stop();
    NoteLogState();
    // The statistics now show the period up to this moment; without this the
    // offline status of a live run would end at 1970.
    m_shownTo = Now();
    UpdateStatus();
}

void CMonitorController::CloseSockets()
{
    // Each thread takes in what its socket's buffer holds before it ends, so
    // the stop keeps everything that had arrived.
    m_sflowReceiver.Stop();
    m_netflowReceiver.Stop();
    m_sflow.Close();
    m_netflow.Close();
}

void CMonitorController::RefreshTick()
{
    m_refreshTimer.stop();
    m_intervalTime = Now();
    UpdateStatus();
    m_lossAtTick = LossFigures();
    UpdateTrends();
    if (std::optional<tagMonitorSettings> form = m_host.ReadForm(true)) {
        // Only the retention stays editable while monitoring.
        m_settings.retentionDays = form->retentionDays;
    }
    m_flowLog.PurgeOldLogs(m_settings.retentionDays, Now(), m_monotonicClock(), m_logWriter.writtenFiles());
    if (m_flowLog.clockStep() != m_clockStep) {
        m_clockStep = m_flowLog.clockStep();
        m_host.ClockStepChanged(m_clockStep);
        UpdateStatus();
    }
    if (m_monitoring) m_refreshTimer.start(RefreshPeriodMs(m_settings.refreshSeconds));
    m_host.RefreshDone();
}

bool CMonitorController::LogTick()
{
    m_logWriter.Request();
    NoteLogState();
    return !m_logFailing;
}

void CMonitorController::NoteLogState()
{
    m_logFailing = m_logWriter.failing();
    std::string problem = m_logWriter.problem();
    if (problem != m_logProblem) {
        m_logProblem = std::move(problem);
        m_host.LogProblemChanged(m_logProblem);
    }
}

void CMonitorController::UpdateTrends()
{
    bool wasEmpty = m_list.rowCount() == 0;
    bool pointAdded = false;
    {
        // A few cells and chart points per port: short enough to hold both
        // collectors' tables for (the receive threads queue in the socket
        // buffers meanwhile).
        std::scoped_lock tables(m_sflow.tablesMutex(), m_netflow.tablesMutex());
        for (auto& [key, port] : m_sflow.ports) UpdatePort(key, *port, false, pointAdded);
        for (auto& [key, port] : m_netflow.ports) UpdatePort(key, *port, true, pointAdded);
        // Only the nodes an open list shows are named, not every node of every port.
        for (CMonPort* port : m_shownPorts) ResolveNamesOf(*port);
    }
    m_list.NotifyChanged();
    if (pointAdded) FitTimeAxis();
    if (wasEmpty && m_list.rowCount() > 0) m_host.RowsAppeared();
}

// The key is the port's own map key: the collector's version belongs to the
// last datagram it decoded (or refused), not to this port.
void CMonitorController::UpdatePort(const std::string& key, CMonPort& port, bool netflow, bool& pointAdded)
{
    int row = m_list.FindRow(key);
    if (row < 0) {
        row = m_list.AppendRow(key);
        if (row < kSeriesRows) {
            for (CChartModel* chart : m_charts) {
                int series = chart->AddDataSeries(key, SeriesColor(row));
                if (CDataSeries* s = chart->GetDataSeries(series)) s->SetMaxNumDataPoints(kMaxTrendPoints);
            }
        }
    }
    int64_t age = Now() - port.lastReceived;
    m_list.SetStateIcon(row, age <= kFreshIconSeconds ? 0 : age <= kStaleIconSeconds ? 1 : 2);
    m_list.SetPort(row, &port);
    m_list.SetCell(row, MonitorColumn::Ports, FormatCount(port.interfaces.size()), double(port.interfaces.size()));
    m_list.SetCell(row, MonitorColumn::Macs, FormatCount(port.macs.size()), double(port.macs.size()));
    m_list.SetCell(row, MonitorColumn::Ips, FormatCount(port.ips.size()), double(port.ips.size()));
    m_list.SetCell(row, MonitorColumn::MacPairs, FormatCount(port.macMatrix.size()), double(port.macMatrix.size()));
    m_list.SetCell(row, MonitorColumn::IpPairs, FormatCount(port.ipMatrix.size()), double(port.ipMatrix.size()));

    uint32_t elapsed = CInterfaceTable::Elapsed(port.interfaces.counterUptime(), port.interfaces.snapshotUptime());
    if (elapsed > kSnapshotLimitMs) {
        port.interfaces.TakeSnapshot();
        return;
    }
    if (!netflow && elapsed == 0) return;
    if (netflow && uint64_t(elapsed) < 100 * uint64_t(m_settings.counterPeriod)) return;

    const double packetFactor = m_scaledFigures ? port.FlowPacketFactor() : 1;
    const double byteFactor = m_scaledFigures ? port.FlowByteFactor() : 1;
    if (netflow) {
        double total = port.interfaces.InSum(CounterSet::Current, InboundFigure::Packets) * packetFactor;
        m_list.SetCell(row, MonitorColumn::TotalPackets, Format("%.0lf", total), total);
    } else {
        double total = port.interfaces.InSum(CounterSet::Current, InboundFigure::Packets);
        char buf[96];
        const double sinceBase = port.interfaces.InSum(CounterSet::SinceBase, InboundFigure::Packets);
        std::snprintf(buf, sizeof buf, "%.0f(%.0lf)", total, sinceBase);
        m_list.SetCell(row, MonitorColumn::TotalPackets, buf, total);
    }
    m_list.SetCell(row, MonitorColumn::Samples, std::to_string(port.sampleCount), double(port.sampleCount));

    if (port.datagrams > 1) {
        double pps = port.interfaces.InRate(RateUnit::PacketsPerSecond) * packetFactor;
        double mbps = port.interfaces.InRate(RateUnit::MegabitsPerSecond) * byteFactor;
        double actMac = port.ActiveNodes(NodeKind::Mac, m_intervalTime);
        double actIp = port.ActiveNodes(NodeKind::Ip, m_intervalTime);
        double load = actIp * mbps * pps;
        m_list.SetCell(row, MonitorColumn::LoadIndex, Format("%.4lf", load), load);
        m_list.SetCell(row, MonitorColumn::PacketRate, Format("%.4lf", pps), pps);
        m_list.SetCell(row, MonitorColumn::Bandwidth, Format("%.5lf", mbps), mbps);
        m_list.SetCell(row, MonitorColumn::ActiveMacs, Format("%.0lf", actMac), actMac);
        m_list.SetCell(row, MonitorColumn::ActiveIps, Format("%.0lf", actIp), actIp);
        if (row < kSeriesRows) {
            CDataPoint point;
            point.x = double(m_intervalTime);
            point.color = SeriesColor(row);
            auto add = [&](TrendChart which, double y, const char* caption) {
                point.y = y;
                point.caption = Format(caption, y);
                chart(which).AddDataPoint(point, row);
            };
            add(TrendChart::Bandwidth, mbps, "%.4f");
            add(TrendChart::PacketRate, pps, "%.2f");
            add(TrendChart::ActiveIp, actIp, "%.0f");
            add(TrendChart::ActiveMac, actMac, "%.0f");
            add(TrendChart::LoadIndex, load, netflow ? "%.3f" : "%.2f");
            pointAdded = true;
        }
    }

    port.interfaces.TakeSnapshot();
}

void CMonitorController::ResolveNamesOf(const CMonPort& port)
{
    for (const auto& [address, node] : port.ips) {
        if (m_portHostNames.Contains(port, address)) continue;
        std::string name = ResolveHostName(address);
        if (!name.empty()) m_portHostNames.Note(port, address, std::move(name));
    }
}

void CMonitorController::FitTimeAxis()
{
    int64_t t = m_intervalTime;
    double start = double(t - t % 60);
    int seriesRows = std::min(m_list.rowCount(), kSeriesRows);
    for (TrendChart which : {TrendChart::Bandwidth, TrendChart::PacketRate}) {
        CChartModel& c = chart(which);
        for (int i = 0; i < seriesRows; ++i) {
            CDataSeries* series = c.GetDataSeries(i);
            if (!series || series->GetCount() == 0) continue;
            while (series->GetCount() > kMaxTrendPoints) series->RemoveDataPoint(0);
            double oldest = series->GetAt(0)->x;
            if (oldest < start) start = oldest;
        }
    }
    int64_t from = int64_t(start);
    from -= ((from % 3600) + 3600) % 3600;
    int64_t to = t - t % 3600 + 3600;
    if (from == to) to += 3600;
    double span = double(to - from);
    for (CChartModel* c : m_charts) {
        c->SetAxisScale(CChartModel::kAxisX, double(from), double(to));
        c->SetScaleStep(CChartModel::kAxisX, span / 4, span / 4);
        if (to - from > kLongWindowSeconds) c->SetAxisFormatString(CChartModel::kAxisX, "%m/%d %H:%M");
        c->SetAxisStyleY(c->GetAxisStyleY() | CChartModel::kAxisAutoScale);
    }
    int64_t second = Now();
    if (second != m_lastRedrawSecond) {
        RedrawCharts();
        m_lastRedrawSecond = second;
    }
}

void CMonitorController::RedrawCharts()
{
    for (CChartModel* c : m_charts) c->Redraw();
}

void CMonitorController::UpdateStatus()
{
    // The collectors look at their sockets' drop counters only now and then;
    // the status, and the tick's figures taken after it, count every drop.
    m_sflow.UpdateKernelDrops();
    m_netflow.UpdateKernelDrops();
    tagStatusInputs in;
    in.monitoring = m_monitoring;
    in.sflow = FiguresOf(m_sflow);
    in.netflow = FiguresOf(m_netflow);
    in.now = Now();
    in.shownFrom = m_shownFrom;
    in.shownTo = m_shownTo;
    in.pendingLookups = m_pendingLookups;
    in.loss = LossFigures();
    in.clockStep = m_clockStep;
    for (const CFlowCollector* c : {static_cast<const CFlowCollector*>(&m_sflow),
                                    static_cast<const CFlowCollector*>(&m_netflow)})
        if (c->receiveBufferShort() && (in.shortReceiveBuffer == 0 || c->receiveBuffer() < in.shortReceiveBuffer))
            in.shortReceiveBuffer = c->receiveBuffer();
    in.askedReceiveBuffer = kReceiveBufferRequest;
    in.warning = in.loss.logWaiting > 0 || in.loss.receiveLost > m_lossAtTick.receiveLost ||
                 in.loss.logLost > m_lossAtTick.logLost || in.loss.refused > m_lossAtTick.refused;
    m_status = FormatStatusMarkup(in);
    m_host.StatusChanged(m_status);
}

tagLossFigures CMonitorController::LossFigures() const
{
    tagLossFigures loss;
    for (const CFlowCollector* c : {static_cast<const CFlowCollector*>(&m_sflow),
                                    static_cast<const CFlowCollector*>(&m_netflow)}) {
        std::lock_guard lock(c->tablesMutex());
        loss.receiveLost += c->oversizeDatagrams + c->emptyDatagrams + c->kernelDrops;
        if (m_logFailing) loss.logWaiting += c->logQueue().size();
        loss.logLost += c->logQueue().dropped() + c->logQueue().unwritten();
        loss.refused += c->refusedPorts + c->budget().refused();
    }
    loss.refused += m_hostNameMemory.refused() + m_portHostNames.refused();
    return loss;
}

CFlowCollector* CMonitorController::CollectorOf(const CMonPort& port)
{
    for (CFlowCollector* c : {static_cast<CFlowCollector*>(&m_sflow), static_cast<CFlowCollector*>(&m_netflow)})
        for (const auto& [key, held] : c->ports)
            if (held.get() == &port) return c;
    return nullptr;
}

std::string CMonitorController::ResolveHostName(const CIpAddress& address)
{
    if (address.IsV4() && address.Number() == 0) {
        if (auto it = m_hostNames.find(address); it != m_hostNames.end()) ForgetHostName(it);
        return {};
    }
    if (auto it = m_hostNames.find(address); it != m_hostNames.end()) {
        const std::string& value = it->second;
        return value.substr(0, value.find('\t'));
    }
    if (m_pendingLookups >= kMaxPendingLookups) return {};
    // An address the cache cannot take is not asked: its answer would have nowhere to go.
    if (!CacheHostName(address, std::string())) return {};
    ++m_pendingLookups;
    std::weak_ptr<bool> alive = m_alive;
    m_resolver.StartLookup(address, [this, alive](const tagHostReply& reply) {
        if (alive.lock()) OnHostNameReply(reply);
    });
    return {};
}

bool CMonitorController::CacheHostName(const CIpAddress& address, const std::string& name)
{
    if (auto it = m_hostNames.find(address); it != m_hostNames.end()) {
        m_hostNameMemory.Release(cost::HostName(it->second.size()));
        // A name the limit cannot take leaves the "asked" mark, which costs no more than what was released.
        bool kept = m_hostNameMemory.Charge(cost::HostName(name.size()));
        it->second = kept ? name : std::string();
        if (!kept) m_hostNameMemory.Charge(cost::HostName(0), false);
        return kept;
    }
    while (!m_hostNameOrder.empty() && (m_hostNames.size() >= m_hostNameLimit || m_hostNameOrder.size() >= m_hostNameLimit)) {
        if (auto it = m_hostNames.find(m_hostNameOrder.front()); it != m_hostNames.end()) ForgetHostName(it);
        m_hostNameOrder.pop_front();
    }
    if (!m_hostNameMemory.Charge(cost::HostName(name.size()))) return false;
    m_hostNames.emplace(address, name);
    m_hostNameOrder.push_back(address);
    return true;
}

void CMonitorController::ForgetHostName(HostNameCache::iterator entry)
{
    m_hostNameMemory.Release(cost::HostName(entry->second.size()));
    m_hostNames.erase(entry);
}

void CMonitorController::OnHostNameReply(const tagHostReply& reply)
{
    if (reply.error == 0 && !reply.hostName.empty()) {
        size_t count = std::min<size_t>(reply.addresses.size(), 10);
        for (size_t i = 0; i < count; ++i) {
            const CIpAddress& key = reply.addresses[i];
            // Not this network's hosts: 0/8 and the loopback 127/8.
            if (key.IsV4() && (key.bytes()[0] == 0 || key.bytes()[0] == 127)) continue;
            CacheHostName(key, reply.hostName);
            // A list that is open shows the name from its next build on.
            std::scoped_lock tables(m_sflow.tablesMutex(), m_netflow.tablesMutex());
            for (CMonPort* port : m_shownPorts)
                if (port->ips.contains(key)) m_portHostNames.Note(*port, key, reply.hostName);
        }
    }
    if (m_pendingLookups > 0) --m_pendingLookups;
    // The status counts the look-ups still out; after a replay nothing else
    // would refresh it.
    UpdateStatus();
}

}  // namespace ortolan
