// SPDX-License-Identifier: GPL-3.0-or-later
#include "collect_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <utility>
#include <unistd.h>

#include <fstream>
#include <iostream>

#include "build_info.h"
#include "clickhouse_store.h"
#include "command_line.h"
#include "metrics_endpoint.h"
#include "monitor_controller.h"
#include "ortolan_app.h"
#include "sampling_overrides.h"
#include "status_text.h"

namespace ortolan {
namespace {

// The signal handler may only write to this pipe; the event loop watches it.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    // Nobody drains the pipe once the stop has begun, so a storm of signals
    // fills it; a full pipe already says "stop", and a handler that waited
    // for room would hang the stop for good. errno is the interrupted code's.
    int saved = errno;
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

// SIGINT, SIGTERM and SIGHUP from now on only write to the pipe. A hang-up
// (the terminal closed, a service manager's reload) stops like SIGTERM: the
// queues are written first. False when the pipe cannot be made.
bool CatchStopSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) return false;
    ::fcntl(g_signalPipe[1], F_SETFL, ::fcntl(g_signalPipe[1], F_GETFL) | O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // The interrupted call goes on: a signal must not pass for a closed
    // standard output or a failed write.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    return true;
}

class CHeadlessHost : public IMonitorHost {
public:
    CHeadlessHost(tagMonitorSettings settings, std::string folder)
        : m_settings(settings), m_folder(std::move(folder))
    {
    }
    void SetController(CMonitorController* controller) { m_controller = controller; }
    void SetStore(const CClickHouseStore* store) { m_store = store; }

    std::optional<tagMonitorSettings> ReadForm(bool) override { return m_settings; }
    std::optional<tagStartChoice> ChooseStart() override { return tagStartChoice{true, {}}; }
    std::string LogFolder() override { return m_folder; }
    std::vector<std::string> SamplingRates() override { return m_samplingRates; }
    void SetSamplingRates(std::vector<std::string> rates) { m_samplingRates = std::move(rates); }
    void SocketFailed(const char* name, uint32_t port) override
    {
        std::fprintf(stderr, "ortolan collect: cannot open the %s port %u (UDP)\n", name, port);
    }
    void RefreshDone() override { Print(); }
    void LogProblemChanged(const std::string& problem) override
    {
        if (problem.empty())
            std::fprintf(stderr, "ortolan collect: the flow log is written again\n");
        else
            std::fprintf(stderr, "ortolan collect: %s; the records stay queued\n", problem.c_str());
    }

    void ClockStepChanged(int64_t seconds) override
    {
        if (seconds == 0)
            std::fprintf(stderr, "ortolan collect: the clock agrees with the time since boot again; "
                                 "old flow logs are purged again\n");
        else
            std::fprintf(stderr, "ortolan collect: the clock stepped by %+lld seconds against the time since boot; "
                                 "no flow log is purged until it agrees again\n",
                         static_cast<long long>(seconds));
    }

    // Standard output, until a reader goes away (`ortolan collect | head`):
    // then printing stops and collecting goes on until a signal.
    void Emit(const std::string& text)
    {
        if (!m_printing) return;
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            m_printing = false;
            std::clearerr(stdout);
        }
    }

    void Print()
    {
        if (!m_controller) return;
        const CMonitorListModel& list = m_controller->list();
        std::string out;
        for (int c = 0; c < kMonitorColumnCount; ++c) {
            if (c) out += '\t';
            out += CMonitorListModel::HeaderTexts()[size_t(c)];
        }
        out += '\n';
        for (int r = 0; r < list.rowCount(); ++r) {
            for (int c = 0; c < kMonitorColumnCount; ++c) {
                if (c) out += '\t';
                out += list.text(r, MonitorColumn(c));
            }
            out += '\n';
        }
        out += StatusPlainText(m_controller->statusMarkup());
        out += '\n';
        out += Counters("sFlow", m_controller->sflow());
        out += Counters("NetFlow", m_controller->netflow());
        if (m_store) out += StoreCounters(*m_store);
        out += '\n';
        Emit(out);
    }

private:
    // One line per collector: its name, then "name value" fields, tab-separated.
    static std::string Counters(const char* name, const CFlowCollector& c)
    {
        std::lock_guard lock(c.tablesMutex());
        const std::pair<const char*, uint64_t> fields[] = {
            {"rejectedDatagrams", c.rejectedDatagrams},
            {"oversizeDatagrams", c.oversizeDatagrams},
            {"emptyDatagrams", c.emptyDatagrams},
            {"kernelDrops", c.kernelDrops},
            {"droppedLogRecords", c.logQueue().dropped()},
            {"queuedLogRecords", uint64_t(c.logQueue().size())},
            {"unwrittenLogRecords", c.logQueue().unwritten()},
            {"refusedPorts", c.refusedPorts},
            {"refusedEntries", c.budget().refused()},
            {"unknownTemplateSets", c.unknownTemplateSets},
        };
        std::string line = name;
        for (const auto& [field, value] : fields) {
            line += '\t';
            line += field;
            line += ' ';
            line += std::to_string(value);
        }
        line += '\n';
        return line;
    }

    // The ClickHouse store's line, in the collectors' form.
    static std::string StoreCounters(const CClickHouseStore& store)
    {
        const tagStoreCounters c = store.Counters();
        const std::pair<const char*, uint64_t> fields[] = {
            {"rowsQueued", c.rowsQueued},       {"rowsSent", c.rowsSent},   {"rowsDropped", c.rowsDropped},
            {"failedInserts", c.failedInserts}, {"refusals", c.refusals},   {"heldRows", c.rowsHeld},
            {"unsentRows", c.rowsUnsent},
        };
        std::string line = "ClickHouse";
        for (const auto& [field, value] : fields) line += '\t' + std::string(field) + ' ' + std::to_string(value);
        const std::string problem = store.problem();
        if (!problem.empty()) line += "\tproblem " + problem;
        line += '\n';
        return line;
    }

    tagMonitorSettings m_settings;
    std::string m_folder;
    std::vector<std::string> m_samplingRates;
    CMonitorController* m_controller = nullptr;
    const CClickHouseStore* m_store = nullptr;
    bool m_printing = true;
};

// --NAME for one setting of the table, with its command-line range and default.
void AddSettingOption(CLI::App& parser, const tagSettingRow& setting, tagMonitorSettings& settings)
{
    parser
        .add_option(std::string("--") + setting.option, settings.*setting.field,
                    setting.help + RangeHelp(setting.line.minimum, setting.line.maximum, std::to_string(setting.line.initial)))
        ->type_name(setting.valueName)
        ->check(WholeNumber(setting.line.minimum, setting.line.maximum));
}

// The password file's first line, without its line break; nothing when it cannot be read.
std::optional<std::string> ReadPasswordFile(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof())) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

int RunCollectCommand(const std::vector<std::string>& args)
{
    tagMonitorSettings settings = CommandLineDefaults();
    std::string folder;
    std::unique_ptr<CLI::App> parser = NewCommandParser(
        "ortolan collect",
        "Headless live monitoring: both collectors, the daily flow log and its purge. Every refresh prints the "
        "monitor list (tab-separated, header first), the status text and the robustness counters. SIGINT, "
        "SIGTERM or SIGHUP writes what is queued to the log, then exits.");
    for (const tagSettingRow& setting : kMonitorSettings) AddSettingOption(*parser, setting, settings);
    parser->add_option("--log-dir", folder,
                       "folder of the daily flow logs (default: the window's log folder, LOGPATH, else "
                       "$XDG_DATA_HOME/ortolan/logs)")
        ->type_name("DIR");
    std::string metricsText;
    CLI::Option* metricsOption =
        parser
            ->add_option("--metrics", metricsText,
                         "serve Prometheus metrics over HTTP at /metrics on [ADDRESS:]PORT (a numeric address, "
                         "IPv6 as [::1]:PORT; default 127.0.0.1); given alone, on 127.0.0.1:" +
                             std::to_string(kDefaultMetricsPort) + ". Off unless given")
            ->type_name("[ADDRESS:]PORT")
            ->expected(0, 1);
    std::vector<std::string> samplingRates;
    parser->add_option("--sampling-rate", samplingRates,
                       "the sampling rate of an exporter (sFlow: agent) that sends none, e.g. 192.0.2.1=1000; "
                       "repeatable. A rate the records or the exporter's options carry wins. Default: none")
        ->type_name("ADDRESS=N")
        ->check([](const std::string& text) {
            return ParseSamplingOverride(text) ? std::string()
                                               : std::string("not ADDRESS=N with an IP address and a whole number from 1 up");
        });
    tagStoreSettings store;
    std::string passwordFile;
    parser->add_option("--clickhouse", store.url,
                       "also insert every sampled header and flow record into ClickHouse over HTTP "
                       "(e.g. http://127.0.0.1:8123/; default: no store); --retention also drops the table's "
                       "days older than that")
        ->type_name("URL")
        ->check([](const std::string& url) {
            return url.starts_with("http://") || url.starts_with("https://") ? std::string()
                                                                              : std::string("an http:// or https:// URL");
        });
    parser->add_option("--clickhouse-table", store.table,
                       "the table, created when absent (default: " + tagStoreSettings{}.table + ")")
        ->type_name("[DATABASE.]NAME")
        ->check([](const std::string& table) { return CClickHouseStore::CheckTable(table).value_or(""); });
    parser->add_option("--clickhouse-user", store.user, "the ClickHouse user (default: the server's default user)")
        ->type_name("NAME");
    parser->add_option("--clickhouse-password-file", passwordFile,
                       "file whose first line is the ClickHouse user's password")
        ->type_name("FILE");
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;
    std::optional<tagListenAddress> metricsAt;
    if (metricsOption->count()) {
        metricsAt = ParseListenAddress(metricsText);
        if (!metricsAt) {
            std::fprintf(stderr, "ortolan collect: --metrics: \"%s\" is not [ADDRESS:]PORT with a numeric address "
                                 "and a port from 1 to 65535\n", metricsText.c_str());
            return kExitUsage;
        }
    }
    if (!passwordFile.empty()) {
        std::optional<std::string> password = ReadPasswordFile(passwordFile);
        if (!password) {
            std::fprintf(stderr, "ortolan collect: --clickhouse-password-file: cannot read %s\n", passwordFile.c_str());
            return kExitUsage;
        }
        store.password = *password;
    }
    store.retentionDays = settings.retentionDays;
    // Before anything starts: a signal in the first moments of the run stops
    // it like any later one, rather than killing it with the default action.
    if (!CatchStopSignals()) {
        std::fprintf(stderr, "ortolan collect: cannot set up the stop signals: %s\n", std::strerror(errno));
        return kExitUsage;
    }

    int argc = 1;
    char name[] = "ortolan";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    COrtolanApp ortolan;
    if (folder.empty()) {
        // The window's log folder, as the window would use it.
        ortolan.ReadSettings();
        folder = ortolan.LogFolder();
    }
    if (!folder.empty()) {
        if (folder.back() != '/') folder += '/';
        QFileInfo info(QString::fromStdString(folder));
        if (!info.isDir() || !info.isWritable())
            std::fprintf(stderr, "ortolan collect: the log folder %s is not a writable folder; "
                                 "datagrams stay queued until it is\n", folder.c_str());
    }
    CHeadlessHost host(settings, folder);
    host.SetSamplingRates(samplingRates);
    CQtHostResolver resolver;
    CMonitorController controller(host, resolver);
    host.SetController(&controller);
    // The store's queue is charged to the same memory limit as the tables.
    std::unique_ptr<CClickHouseStore> flowStore;
    if (!store.url.empty()) {
        flowStore = std::make_unique<CClickHouseStore>(store);
        flowStore->SetReportHook(
            [](const std::string& text) { std::fprintf(stderr, "ortolan collect: ClickHouse: %s\n", text.c_str()); });
        controller.memoryBudget().SetLimit(MiB(settings.memoryLimitMib));
        if (!flowStore->Start(controller.memoryBudget())) {
            std::fprintf(stderr, "ortolan collect: the memory limit has no room for the ClickHouse queue\n");
            return kExitUsage;
        }
        controller.sflow().SetRowSink(flowStore.get());
        controller.netflow().SetRowSink(flowStore.get());
        host.SetStore(flowStore.get());
    }
    for (const std::string& problem :
         COrtolanApp::LoadNameTables(ortolan.ConfigFolder(), controller.names()))
        std::fprintf(stderr, "ortolan collect: %s\n", problem.c_str());

    // A closed standard output is seen as EPIPE by the printing, which then
    // stops; the signal would end the collecting with it.
    std::signal(SIGPIPE, SIG_IGN);
    host.Emit("Flow log folder: " + (folder.empty() ? std::string("the current folder") : folder) + "\n");
    auto* stop = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(stop, &QSocketNotifier::activated, &app, [&] {
        // Stopping writes every queued datagram to the log before the exit.
        controller.Stop();
        QCoreApplication::quit();
    });
    controller.Start();
    // Each collector needs its own port: running with one would quietly lose
    // the other's traffic. The host has named the port that failed.
    if (!controller.monitoring()) return kExitUsage;
    if (!controller.sflow().IsOpen() || !controller.netflow().IsOpen()) {
        controller.Stop();
        return kExitUsage;
    }
    std::string ports;
    if (controller.sflow().IsOpen()) ports += "sFlow on UDP port " + std::to_string(controller.sflow().boundPort()) + "\n";
    if (controller.netflow().IsOpen())
        ports += "NetFlow on UDP port " + std::to_string(controller.netflow().boundPort()) + "\n";
    // The endpoint goes before the controller it reads.
    std::optional<CMetricsEndpoint> metrics;
    if (metricsAt) {
        metrics.emplace(controller, ORTOLAN_VERSION);
        if (flowStore) metrics->SetStoreCounters([&flowStore] { return flowStore->Counters(); });
        std::string problem;
        if (!metrics->Start(*metricsAt, &problem)) {
            std::fprintf(stderr, "ortolan collect: cannot serve metrics on %s port %u (TCP): %s\n",
                         metricsAt->address.c_str(), unsigned(metricsAt->port), problem.c_str());
            controller.Stop();
            return kExitUsage;
        }
        std::string shown = metricsAt->address.find(':') != std::string::npos ? "[" + metricsAt->address + "]"
                                                                              : metricsAt->address;
        ports += "Prometheus metrics on http://" + shown + ":" + std::to_string(metrics->boundPort()) + "/metrics\n";
    }
    host.Emit(ports);
    for (const CFlowCollector* c : {static_cast<const CFlowCollector*>(&controller.sflow()),
                                    static_cast<const CFlowCollector*>(&controller.netflow())})
        if (c->receiveBufferShort())
            std::fprintf(stderr,
                         "ortolan collect: the kernel granted UDP port %u a receive buffer of %d KiB of the %d KiB "
                         "asked; bursts may be lost. Raise it with: sudo sysctl -w net.core.rmem_max=%d\n",
                         unsigned(c->boundPort()), c->receiveBuffer() / 1024, kReceiveBufferRequest / 1024,
                         kReceiveBufferRequest);

    app.exec();
    if (metrics) metrics->Stop();
    controller.Stop();
    // Within its bound: what ClickHouse would not take by then is given up.
    uint64_t unsent = 0;
    if (flowStore) {
        unsent = flowStore->Stop();
        if (unsent)
            std::fprintf(stderr, "ortolan collect: %llu rows could not be sent to ClickHouse (%s)\n",
                         static_cast<unsigned long long>(unsent),
                         flowStore->problem().empty() ? "the stop's time ran out" : flowStore->problem().c_str());
    }
    // What the log would not take by now is lost with the process: say so,
    // count it, and end with a failure status.
    uint64_t unwritten = controller.netflow().logQueue().Discard() + controller.sflow().logQueue().Discard();
    if (unwritten)
        std::fprintf(stderr, "ortolan collect: %llu records could not be written to the flow log (%s)\n",
                     static_cast<unsigned long long>(unwritten), controller.logWriter().problem().c_str());
    // The last, unfinished interval is closed too, so the final print shows
    // everything that arrived.
    controller.SetIntervalTime(controller.Now());
    controller.UpdateTrends();
    controller.UpdateStatus();
    host.Print();
    return unwritten || unsent ? 1 : 0;
}

}  // namespace ortolan
