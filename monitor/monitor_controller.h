// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The logic behind the main window, without widgets: start and stop of
// monitoring (start dialog and replay), the collectors' receive threads, the refresh
// timer (1234: closes an interval, one-shot, re-armed after each tick) and
// the log timer (1235: has the writer thread write the queues to the flow log
// each second), the
// per-port figures of the monitor list and the trend charts, reverse name
// look-ups and the status text. The window and the headless mode each supply
// an IMonitorHost; tests supply their own, with a fixed clock.
#include <QObject>
#include <QTimer>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "flow_log.h"
#include "flow_log_writer.h"
#include "host_resolver.h"
#include "interface_name_keeper.h"
#include "monitor_list_model.h"
#include "monitor_settings.h"
#include "nflow_mon.h"
#include "port_host_names.h"
#include "receive_thread.h"
#include "sflow_mon.h"
#include "status_text.h"
#include "trend_charts.h"

namespace ortolan {

struct tagStartChoice {
    bool online = true;
    std::vector<std::string> logFiles;   // bare names, oldest first
};

class IMonitorHost {
public:
    virtual ~IMonitorHost() = default;
    // The form's values, or nothing when a value is out of range. Unless
    // quiet, a refusal is shown to the user.
    virtual std::optional<tagMonitorSettings> ReadForm(bool quiet) = 0;
    // The start dialog; nothing when cancelled.
    virtual std::optional<tagStartChoice> ChooseStart() = 0;
    // The log folder (empty or ending with a separator); asked after the
    // start dialog, which may change it.
    virtual std::string LogFolder() = 0;
    // The user's sampling rates for exporters that send none, as "ADDRESS=N"
    // texts (sampling_overrides.h); asked at each start.
    virtual std::vector<std::string> SamplingRates() { return {}; }

    virtual void MonitoringChanged(bool monitoring) {}
    virtual void StatusChanged(const std::string& markup) {}
    // The list had no rows and now has some (size its columns).
    virtual void RowsAppeared() {}
    // A socket could not be opened (name "sFlow" or "NetFlow", the port tried).
    virtual void SocketFailed(const char* name, uint32_t port) {}
    // A refresh tick has finished.
    virtual void RefreshDone() {}
    // Replay of file `index` (from 0) of `count` has read `done` of its `total`
    // bytes; false cancels the rest of the replay (what was replayed stays).
    virtual bool ReplayProgress(const std::string& file, size_t index, size_t count, uint64_t done, uint64_t total)
    {
        return true;
    }
    // The replay of the start sequence has ended.
    virtual void ReplayFinished() {}
    // The flow log's trouble changed: why records stay queued, naming the
    // file, or empty once everything is written again.
    virtual void LogProblemChanged(const std::string& problem) {}
    // The wall clock stepped by `seconds` against the time since boot, so the
    // log purge waits; 0 once the clocks agree again.
    virtual void ClockStepChanged(int64_t seconds) {}
};

class CMonitorController : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<int64_t()>;

    static constexpr int kMaxPendingLookups = 11;
    // Host names kept; beyond this the oldest entries make room. An entry
    // costs about 60 bytes and its name (at most 255), so the cache stays
    // under about 11 MB whatever the senders make up.
    static constexpr size_t kMaxHostNames = 32768;

    // The host and the resolver must outlive the controller. Without charts
    // set, the controller fills plain chart models of its own.
    CMonitorController(IMonitorHost& host, IHostResolver& resolver, QObject* parent = nullptr);
    ~CMonitorController() override;

    void SetCharts(const TrendCharts& charts);
    // Seconds since 1970; the collectors are handed the same clock.
    void SetClock(Clock clock);
    int64_t Now() const { return m_clock(); }
    // Seconds since boot, suspends included; the log purge checks the wall
    // clock against it. Tests hand in their own.
    void SetMonotonicClock(Clock clock) { m_monotonicClock = std::move(clock); }
    // Whether NetFlow ports' packet and bandwidth figures are scaled by the
    // sampling rates of their records, from the next refresh on.
    void SetScaledFigures(bool on) { m_scaledFigures = on; }

    // The one start/stop button.
    void StartStop();
    // Runs the start sequence; false when the form or the dialog refused it.
    bool Start();
    void Stop();
    // Resets the charts (used once when the window opens, and by Start).
    void ResetCharts();

    // Timer work, public so tests run a tick without waiting for it.
    void RefreshTick();
    // Asks the writer thread to write the queues to the flow log and returns
    // at once; false when its last finished pass left records queued.
    bool LogTick();
    void UpdateTrends();
    void UpdateStatus();
    const std::string& statusMarkup() const { return m_status; }

    // Name of an address from the cache; starts a look-up when unknown and
    // fewer than kMaxPendingLookups are outstanding. Empty when unknown.
    std::string ResolveHostName(const CIpAddress& address);
    void OnHostNameReply(const tagHostReply& reply);
    // By the binary address: the text is formed only where a name is shown.
    // Views may store "name\tmore" for an address; ResolveHostName cuts at the tab.
    using HostNameCache = absl::flat_hash_map<CIpAddress, std::string>;
    HostNameCache& hostNameCache() { return m_hostNames; }
    void SetHostNameLimit(size_t limit) { m_hostNameLimit = limit; }
    // Names are looked up for what a view shows: the ports whose IP nodes an
    // open list shows (none when no list is open). Their nodes get names from
    // the cache now, at every refresh and as answers arrive; other ports' nodes
    // are not walked at all.
    void SetShownPorts(std::vector<CMonPort*> ports) { m_shownPorts = std::move(ports); }
    // The caller holds the port's collector's tables' lock.
    void ResolveNamesOf(const CMonPort& port);
    // The names the lists show beside the shown ports' addresses.
    const IHostNameLookup& portHostNames() const { return m_portHostNames; }
    // The interface names of the agents configured for SNMP: started by the
    // window or command that has the SNMP library (Start), nothing otherwise.
    CInterfaceNameKeeper& interfaceNames() { return m_interfaceNames; }
    const CInterfaceNameKeeper& interfaceNames() const { return m_interfaceNames; }
    int pendingLookups() const { return m_pendingLookups; }

    // The one memory limit both collectors' tables share; others that keep
    // what senders can grow (the host-name cache) charge it too.
    CMemoryBudget& memoryBudget() { return m_memory; }
    // The name tables both collectors and the views use; loading one renames
    // what both count from then on.
    CNameTables& names() { return m_names; }
    CSFlowMon& sflow() { return m_sflow; }
    CNFlowMon& netflow() { return m_netflow; }
    // The collector whose tables hold the port; null for a port of neither.
    // The caller holds both collectors' tables' locks.
    CFlowCollector* CollectorOf(const CMonPort& port);
    // The threads that read the sockets while monitoring.
    const CReceiveThread& sflowReceiver() const { return m_sflowReceiver; }
    const CReceiveThread& netflowReceiver() const { return m_netflowReceiver; }
    CFlowLog& flowLog() { return m_flowLog; }
    CFlowLogWriter& logWriter() { return m_logWriter; }
    CMonitorListModel& list() { return m_list; }
    const TrendCharts& charts() const { return m_charts; }
    CChartModel& chart(TrendChart which) { return ChartOf(m_charts, which); }

    bool monitoring() const { return m_monitoring; }
    const tagMonitorSettings& settings() const { return m_settings; }
    int64_t shownFrom() const { return m_shownFrom; }
    int64_t shownTo() const { return m_shownTo; }
    int64_t intervalTime() const { return m_intervalTime; }
    void SetIntervalTime(int64_t t) { m_intervalTime = t; }
    // Timer 1234's period in milliseconds for a refresh interval in seconds.
    static int RefreshPeriodMs(uint32_t refreshSeconds);
    const QTimer& refreshTimer() const { return m_refreshTimer; }
    const QTimer& logTimer() const { return m_logTimer; }

private:
    void CloseSockets();
    void UpdatePort(const std::string& key, CMonPort& port, bool netflow, bool& pointAdded);
    void FitTimeAxis();
    tagLossFigures LossFigures() const;
    // Stores a name (or the empty "asked" mark), making room by dropping the
    // oldest entries when the cache is full.
    // False, keeping nothing, when the memory limit refuses a new entry.
    bool CacheHostName(const CIpAddress& address, const std::string& name);
    void ForgetHostName(HostNameCache::iterator entry);
    void RedrawCharts();
    // Takes the writer's last finished pass into the status and tells the host
    // when its problem changed.
    void NoteLogState();

    IMonitorHost& m_host;
    IHostResolver& m_resolver;
    Clock m_clock;
    Clock m_monotonicClock;
    int64_t m_clockStep = 0;  // the step the last purge found
    CMemoryBudget m_memory;  // before the collectors, which give their share back when destroyed
    CNameTables m_names;     // before the collectors, which label with it
    CSFlowMon m_sflow{m_names};
    CNFlowMon m_netflow{m_names};
    CFlowLog m_flowLog;              // replay and purge, on this thread
    CFlowLogWriter m_logWriter{m_netflow.logQueue(), m_sflow.logQueue()};
    CMonitorListModel m_list;
    std::array<std::unique_ptr<CChartModel>, kTrendChartCount> m_ownCharts;
    TrendCharts m_charts{};
    // After the collectors and the writer: the threads end before what they fill.
    CReceiveThread m_sflowReceiver{m_sflow};
    CReceiveThread m_netflowReceiver{m_netflow};
    QTimer m_refreshTimer;
    QTimer m_logTimer;

    tagMonitorSettings m_settings;
    bool m_scaledFigures = false;
    bool m_monitoring = false;
    int64_t m_shownFrom = 0;
    int64_t m_shownTo = 0;
    int64_t m_intervalTime = 0;
    int64_t m_lastRedrawSecond = 0;
    HostNameCache m_hostNames;
    std::deque<CIpAddress> m_hostNameOrder;    // cache keys, oldest first
    CMemoryAccount m_hostNameMemory{m_memory};  // the cache's share of the limit
    size_t m_hostNameLimit = kMaxHostNames;
    std::vector<CMonPort*> m_shownPorts;
    CPortHostNames m_portHostNames{m_memory};
    CInterfaceNameKeeper m_interfaceNames;
    int m_pendingLookups = 0;
    std::string m_status;
    std::string m_logProblem;
    bool m_logFailing = false;
    // The loss figures at the last refresh tick: the status warns while they grow.
    tagLossFigures m_lossAtTick;
    // Guards the answers of look-ups that outlive this controller.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace ortolan
