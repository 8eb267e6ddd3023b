#include "collect_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include <iostream>

#include "command_line.h"
#include "monitor_controller.h"
#include "ortolan_app.h"
#include "status_text.h"

namespace ortolan {
namespace {

// The signal handler may only write to this pipe; the event loop reads it.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

class CHeadlessHost : public IMonitorHost {
public:
    CHeadlessHost(tagMonitorSettings settings, std::string folder)
        : m_settings(settings), m_folder(std::move(folder))
    {
    }
    void SetController(CMonitorController* controller) { m_controller = controller; }

    std::optional<tagMonitorSettings> ReadForm(bool) override { return m_settings; }
    std::optional<tagStartChoice> ChooseStart() override { return tagStartChoice{true, {}}; }
    std::string LogFolder() override { return m_folder; }
    void SocketFailed(const char* name, uint32_t port) override
    {
        std::fprintf(stderr, "ortolan collect: cannot open the %s port %u (UDP)\n", name, port);
    }
    void RefreshDone() override { Print(); }

    void Print() const
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
        out += '\n';
        std::fputs(out.c_str(), stdout);
        std::fflush(stdout);
    }

private:
    static std::string Counters(const char* name, const CFlowCollector& c)
    {
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "%s\trejectedDatagrams %llu\tdroppedLogRecords %llu\trefusedPorts %llu\trefusedEntries %llu\n",
                      name, static_cast<unsigned long long>(c.rejectedDatagrams),
                      static_cast<unsigned long long>(c.droppedLogRecords),
                      static_cast<unsigned long long>(c.refusedPorts),
                      static_cast<unsigned long long>(c.budget().refused()));
        return buf;
    }

    tagMonitorSettings m_settings;
    std::string m_folder;
    CMonitorController* m_controller = nullptr;
};

// --NAME for one setting of the table, with its command-line range and default.
void AddSettingOption(CLI::App& parser, const tagSettingSpec& spec, tagMonitorSettings& settings)
{
    parser
        .add_option(std::string("--") + spec.option, settings.*spec.field,
                    spec.help + RangeHelp(spec.line.minimum, spec.line.maximum, std::to_string(spec.line.initial)))
        ->type_name("N")
        ->check(WholeNumber(spec.line.minimum, spec.line.maximum));
}

}  // namespace

int RunCollectCommand(const std::vector<std::string>& args)
{
    tagMonitorSettings settings = CommandLineDefaults();
    std::string folder;
    std::unique_ptr<CLI::App> parser = NewCommandParser(
        "ortolan collect",
        "Headless live monitoring: both collectors, the daily flow log and its purge. Every refresh prints the "
        "monitor list (tab-separated, header first), the status text and the robustness counters. SIGINT or "
        "SIGTERM writes what is queued to the log, then exits.");
    for (const tagSettingSpec& spec : kMonitorSettings) AddSettingOption(*parser, spec, settings);
    parser->add_option("--log-dir", folder,
                       "folder of the daily flow logs (default: the window's log folder, LOGPATH)")
        ->type_name("DIR");
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;

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
    CQtHostResolver resolver;
    CMonitorController controller(host, resolver);
    host.SetController(&controller);
    COrtolanApp::LoadNameTables(ortolan.ConfigFolder(), controller.sflow(), controller.netflow());

    std::printf("Flow log folder: %s\n", folder.empty() ? "the current folder" : folder.c_str());
    std::fflush(stdout);
    controller.Start();
    if (!controller.monitoring()) return 2;
    if (controller.sflow().IsOpen()) std::printf("sFlow on UDP port %u\n", controller.sflow().boundPort());
    if (controller.netflow().IsOpen()) std::printf("NetFlow on UDP port %u\n", controller.netflow().boundPort());
    std::fflush(stdout);

    if (::pipe(g_signalPipe) == 0) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        auto* stop = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(stop, &QSocketNotifier::activated, &app, [&] {
            // Stopping writes every queued datagram to the log before the exit.
            controller.Stop();
            QCoreApplication::quit();
        });
    }
    app.exec();
    controller.Stop();
    // The last, unfinished interval is closed too, so the final print shows
    // everything that arrived.
    controller.SetIntervalTime(controller.Now());
    controller.UpdateTrends();
    controller.UpdateStatus();
    host.Print();
    return 0;
}

}  // namespace ortolan
