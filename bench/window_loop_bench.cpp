// SPDX-License-Identifier: GPL-3.0-or-later
// How long the main window's event loop stalls while it monitors live traffic:
//   ortolan_bench_ui SFLOW_PORT NETFLOW_PORT LOGDIR SECONDS [REFRESH [LIST_EVERY [LIST_ROWS]]]
// Hosts the real main window and controller (run it with QT_QPA_PLATFORM=offscreen),
// starts online monitoring on the given ports with the flow log in LOGDIR, and
// ticks a precise 10 ms timer: how late each tick fires is the time the loop was
// busy elsewhere. REFRESH sets the form's refresh interval (seconds), so
// refresh ticks fall within a short run too. Every LIST_EVERY seconds (default 3) it also
// runs a refresh tick and opens the IP list of the port with the most IP nodes, of the
// sFlow and the NetFlow collector in turn, as a user would while monitoring, and prints "LOOP_LIST rows=N hold_ms=X open_ms=Y": how
// long the tables were held while the rows were copied (the receive threads hold
// their datagrams back meanwhile), and how long the window took to open. Before the
// traffic starts, a port of each collector is given LIST_ROWS IP nodes (default
// 100,000), so that list is the one opened. Before each refresh an SNMPv3 walk of a
// silent agent (a loopback UDP port nobody answers on) is started unless one is
// still waiting, as the agent window may do while the lists are open; at the end
// "LOOP_SNMP walks=N unanswered=M longest_call_ms=X" says how many were started, how
// many ended without an answer, and the longest any call of the walk kept the
// window's thread. Prints "LOOP second=N max_ms=X" every second, then
// "LOOP_RESULT max_ms=X p99_ms=Y ticks=N", closes the window after SECONDS and prints
// "LOOP_COUNTED datagrams=N kernel_drops=K" (what both collectors took in, every
// datagram the kernel or the held-back bound dropped): the sender's count minus it is
// what the window lost.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <cstdlib>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dialog_seam.h"
#include "list_dlg.h"
#include "list_rows.h"
#include "ortolan_dlg.h"
#include "snmp_api.h"
#include "snmp_library.h"
#include "view_sort_state.h"

using namespace ortolan;

namespace {

// No one is there to answer: messages go to standard error, questions are
// answered yes (so closing while monitoring stops it), pickers cancel.
class CUnattendedSeam : public IDialogSeam {
public:
    void ShowMessage(QWidget*, const QString& text) override
    {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    bool AskYesNo(QWidget*, const QString&) override { return true; }
    QString PickSaveFile(QWidget*, const tagSaveFileRequest&) override { return {}; }
    QString PickFolder(QWidget*, const QString&, const QString&) override { return {}; }
    void CopyImage(const QImage&) override {}
};

// A UDP socket on a free port of 127.0.0.1 that is never read: an SNMP agent
// that never answers. Returns the port, 0 when none could be had.
uint16_t SilentAgent(int& fd)
{
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return 0;
    return ntohs(a.sin_port);
}

// Gives a port of its own in the collector rows IP nodes, as a busy segment
// would over a day, so the list opened is as large as a user's may be.
void FillListPort(CFlowCollector& collector, int rows)
{
    std::lock_guard lock(collector.tablesMutex());
    CMonPort* port = collector.AddPort("192.0.2.254", 0);
    if (!port) return;
    for (int i = 0; i < rows; ++i) {
        char address[32];
        std::snprintf(address, sizeof address, "10.%d.%d.%d", (i >> 16) & 255, (i >> 8) & 255, i & 255);
        tagIpEntry* e = port->FindOrAddIp(address, 1700000000 + i % 977);
        if (!e) break;
        e->txPackets = uint64_t(i % 1013);
        e->txBytes = uint64_t(i) * 7919 % 100003;
        e->lastSeen = e->firstSeen + 60;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: ortolan_bench_ui SFLOW_PORT NETFLOW_PORT LOGDIR SECONDS [REFRESH]\n");
        return 2;
    }
    const QString sflowPort = argv[1], netflowPort = argv[2];
    std::string logFolder = argv[3];
    if (!logFolder.empty() && logFolder.back() != '/') logFolder += '/';
    const int seconds = std::max(1, std::atoi(argv[4]));
    const int listEvery = argc > 6 ? std::max(1, std::atoi(argv[6])) : 3;
    const int listRows = argc > 7 ? std::max(0, std::atoi(argv[7])) : 100000;

    QApplication app(argc, argv);
    // The SNMP library as the program starts it, its state in the log folder.
    const std::string here = QCoreApplication::applicationDirPath().toStdString() + "/";
    std::unique_ptr<CSnmpLibrary> snmpLibrary =
        SnmpLibraryStart("ORTOLAN", here + "Config", here + "Mibs", logFolder + "snmp");
    CUnattendedSeam seam;
    tagMainWindowHooks hooks;
    hooks.chooseStart = [](QWidget*) { return std::optional<tagStartChoice>(tagStartChoice{true, {}}); };
    hooks.logFolder = [logFolder] { return logFolder; };
    COrtolanDlg window(seam, std::move(hooks));
    window.field(int(FormField::SflowPort))->setText(sflowPort);
    window.field(int(FormField::NetflowPort))->setText(netflowPort);
    if (argc > 5) window.field(int(FormField::Refresh))->setText(argv[5]);
    window.show();

    // A walk of an agent that never answers, waiting throughout the refresh and the list.
    int silentFd = -1;
    const uint16_t silentPort = SilentAgent(silentFd);
    const std::string silentPeer = "127.0.0.1:" + std::to_string(silentPort);
    CSnmpApi snmp;
    int walks = 0, unanswered = 0;
    double longestSnmpCallMs = 0;
    auto timedSnmp = [&](auto&& call) {
        const auto start = std::chrono::steady_clock::now();
        call();
        longestSnmpCallMs = std::max(
            longestSnmpCallMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    };
    auto collectWalk = [&] {
        if (snmp.status() != SnmpStatus::Done) return;
        if (snmp.errorCode() == -1) ++unanswered;
        timedSnmp([&] { snmp.ResetSession(); });
    };

    constexpr int kTickMs = 10;
    QElapsedTimer clock;
    std::vector<double> lateness;
    lateness.reserve(size_t(seconds) * 1000 / kTickMs + 16);
    double last = -1, secondMax = 0;
    int second = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        if (last >= 0) {
            const double late = std::max(0.0, now - last - kTickMs);
            lateness.push_back(late);
            secondMax = std::max(secondMax, late);
        }
        last = now;
        if (now >= (second + 1) * 1000.0) {
            std::printf("LOOP second=%d max_ms=%.1f\n", ++second, secondMax);
            std::fflush(stdout);
            secondMax = 0;
        }
        collectWalk();
        if (now >= seconds * 1000.0) {
            tick.stop();
            window.accept();
        }
    });
    // A refresh and the biggest IP list, as a user opening it while monitoring.
    CMonitorController& controller = window.controller();
    tagViewSortState sortState;
    int lists = 0;
    QTimer lister;
    lister.setInterval(listEvery * 1000);
    QObject::connect(&lister, &QTimer::timeout, [&] {
        if (!tick.isActive()) {
            lister.stop();
            return;
        }
        collectWalk();
        if (silentPort != 0 && snmp.status() == SnmpStatus::Idle) {
            // SNMPv3 authNoPriv: the engine discovery goes out first and is never answered.
            timedSnmp([&] { snmp.Walk(3, silentPeer, "benchuser", "benchpassword", "sFlowAgent", 2, 0); });
            ++walks;
        }
        controller.RefreshTick();
        // The lists of both collectors in turn, so each one's receiving meets a held lock.
        CFlowCollector& collector = lists++ % 2 == 0 ? static_cast<CFlowCollector&>(controller.sflow())
                                                     : static_cast<CFlowCollector&>(controller.netflow());
        CMonPort* biggest = nullptr;
        double holdMs = 0;
        size_t rows = 0;
        {
            std::lock_guard lock(collector.tablesMutex());
            for (auto& [key, port] : collector.ports)
                if (!biggest || port->ips.size() > biggest->ips.size()) biggest = port.get();
            if (!biggest) return;
            const auto start = std::chrono::steady_clock::now();
            rows = BuildListRows(1, *biggest, controller.names().oui, &controller.portHostNames()).table.rows.size();
            holdMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        const auto start = std::chrono::steady_clock::now();
        {
            CListDlg list(*biggest, 1, controller.names().oui, sortState, seam, &window, &controller.portHostNames(),
                          &collector.tablesMutex());
        }
        const double openMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("LOOP_LIST rows=%zu hold_ms=%.2f open_ms=%.1f\n", rows, holdMs, openMs);
        std::fflush(stdout);
    });
    QTimer::singleShot(0, &window, [&] {
        window.startButton()->click();
        if (listRows > 0) {
            FillListPort(controller.sflow(), listRows);
            FillListPort(controller.netflow(), listRows);
        }
        std::printf("LOOP_START monitoring on sFlow %s, NetFlow %s\n", argv[1], argv[2]);
        std::fflush(stdout);
        clock.start();
        tick.start();
        lister.start();
    });
    window.exec();

    std::vector<double> sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    const double max = sorted.empty() ? 0 : sorted.back();
    const double p99 = sorted.empty() ? 0 : sorted[size_t(double(sorted.size() - 1) * 0.99)];
    std::printf("LOOP_RESULT max_ms=%.1f p99_ms=%.1f ticks=%zu\n", max, p99, lateness.size());
    collectWalk();
    std::printf("LOOP_SNMP walks=%d unanswered=%d longest_call_ms=%.2f\n", walks, unanswered, longestSnmpCallMs);
    uint64_t counted = 0, kernelDrops = 0;
    for (CFlowCollector* c : {static_cast<CFlowCollector*>(&controller.sflow()),
                              static_cast<CFlowCollector*>(&controller.netflow())}) {
        c->UpdateKernelDrops();
        std::lock_guard lock(c->tablesMutex());
        counted += c->datagramCount + c->oversizeDatagrams + c->emptyDatagrams;
        kernelDrops += c->kernelDrops;
    }
    std::printf("LOOP_COUNTED datagrams=%llu kernel_drops=%llu\n", static_cast<unsigned long long>(counted),
                static_cast<unsigned long long>(kernelDrops));
    snmp.ResetSession();
    SnmpLibraryStop(std::move(snmpLibrary));
    if (silentFd >= 0) ::close(silentFd);
    return 0;
}
