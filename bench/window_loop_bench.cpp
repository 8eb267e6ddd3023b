// SPDX-License-Identifier: GPL-3.0-or-later
// How long the main window's event loop stalls while it monitors live traffic:
//   ortolan_bench_ui SFLOW_PORT NETFLOW_PORT LOGDIR SECONDS [REFRESH]
// Hosts the real main window and controller (run it with QT_QPA_PLATFORM=offscreen),
// starts online monitoring on the given ports with the flow log in LOGDIR, and
// ticks a precise 10 ms timer: how late each tick fires is the time the loop was
// busy elsewhere. REFRESH sets the form's refresh interval (seconds), so
// refresh ticks fall within a short run too. Prints "LOOP second=N max_ms=X" every second, then
// "LOOP_RESULT max_ms=X p99_ms=Y ticks=N", and closes the window after SECONDS.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_seam.h"
#include "ortolan_dlg.h"

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
    QTimer::singleShot(0, &window, [&] {
        window.startButton()->click();
        std::printf("LOOP_START monitoring on sFlow %s, NetFlow %s\n", argv[1], argv[2]);
        std::fflush(stdout);
        clock.start();
        tick.start();
    });
    window.exec();

    std::vector<double> sorted = lateness;
    std::sort(sorted.begin(), sorted.end());
    const double max = sorted.empty() ? 0 : sorted.back();
    const double p99 = sorted.empty() ? 0 : sorted[size_t(double(sorted.size() - 1) * 0.99)];
    std::printf("LOOP_RESULT max_ms=%.1f p99_ms=%.1f ticks=%zu\n", max, p99, lateness.size());
    return 0;
}
