// SPDX-License-Identifier: GPL-3.0-or-later
// How long the main window's event loop stalls while it monitors live traffic:
//   ortolan_bench_ui SFLOW_PORT NETFLOW_PORT LOGDIR SECONDS [REFRESH]
// Hosts the real main window and controller (run it with QT_QPA_PLATFORM=offscreen),
// starts online monitoring on the given ports with the flow log in LOGDIR, and
// ticks a precise 10 ms timer: how late each tick fires is the time the loop was
// busy elsewhere. REFRESH sets the form's refresh interval (seconds), so
// refresh ticks fall within a short run too. Every LIST_EVERY seconds (default 3) it also
// runs a refresh tick and opens the IP list of the port with the most IP nodes, as a
// user would while monitoring, and prints "LOOP_LIST rows=N hold_ms=X open_ms=Y": how
// long the receive thread waited for the tables while the rows were copied, and how
// long the window took to open. Prints "LOOP second=N max_ms=X" every second, then
// "LOOP_RESULT max_ms=X p99_ms=Y ticks=N", closes the window after SECONDS and prints
// "LOOP_COUNTED datagrams=N kernel_drops=K" (what both collectors took in, every
// datagram the kernel dropped): the sender's count minus it is what the window lost.
#include <QApplication>
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

#include "dialog_seam.h"
#include "list_dlg.h"
#include "list_rows.h"
#include "ortolan_dlg.h"
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

    QApplication app(argc, argv);
    CUnattendedSeam seam;
    tagMainWindowHooks hooks;
    hooks.chooseStart = [](QWidget*) { return std::optional<tagStartChoice>(tagStartChoice{true, {}}); };
    hooks.logFolder = [logFolder] { return logFolder; };
    COrtolanDlg window(seam, std::move(hooks));
    window.field(int(FormField::SflowPort))->setText(sflowPort);
    window.field(int(FormField::NetflowPort))->setText(netflowPort);
    if (argc > 5) window.field(int(FormField::Refresh))->setText(argv[5]);
    window.show();

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
        if (now >= seconds * 1000.0) {
            tick.stop();
            window.accept();
        }
    });
    // A refresh and the biggest IP list, as a user opening it while monitoring.
    CMonitorController& controller = window.controller();
    tagViewSortState sortState;
    QTimer lister;
    lister.setInterval(listEvery * 1000);
    QObject::connect(&lister, &QTimer::timeout, [&] {
        if (!tick.isActive()) {
            lister.stop();
            return;
        }
        controller.RefreshTick();
        CSFlowMon& sflow = controller.sflow();
        CMonPort* biggest = nullptr;
        double holdMs = 0;
        size_t rows = 0;
        {
            std::lock_guard lock(sflow.tablesMutex());
            for (auto& [key, port] : sflow.ports)
                if (!biggest || port->ips.size() > biggest->ips.size()) biggest = port.get();
            if (!biggest) return;
            const auto start = std::chrono::steady_clock::now();
            rows = BuildListRows(1, *biggest, controller.names().oui, &controller.portHostNames()).table.rows.size();
            holdMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        }
        const auto start = std::chrono::steady_clock::now();
        {
            CListDlg list(*biggest, 1, controller.names().oui, sortState, seam, &window, &controller.portHostNames(),
                          &sflow.tablesMutex());
        }
        const double openMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("LOOP_LIST rows=%zu hold_ms=%.2f open_ms=%.1f\n", rows, holdMs, openMs);
        std::fflush(stdout);
    });
    QTimer::singleShot(0, &window, [&] {
        window.startButton()->click();
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
    return 0;
}
