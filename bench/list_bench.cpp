// SPDX-License-Identifier: GPL-3.0-or-later
// A small harness, not a test: how long a list of 100,000 nodes takes to open,
// sort and write, next to a list of 1,000, and how much of the opening holds
// the collector's tables (the rows' copy, during which a receive thread
// waits). Prints times and their ratio; never fails on a timing.
#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "list_csv.h"
#include "list_dlg.h"
#include "list_model.h"
#include "list_rows.h"
#include "mon_port.h"
#include "name_tables.h"
#include "scripted_dialog_seam.h"
#include "view_sort_state.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

struct tagTimes {
    double hold, open, sort, csv;
};

tagTimes Measure(int nodes)
{
    using namespace ortolan;
    CMonPort port("10.0.0.254", 0);
    for (int i = 0; i < nodes; ++i) {
        char address[32];
        std::snprintf(address, sizeof address, "10.%d.%d.%d", (i >> 16) & 255, (i >> 8) & 255, i & 255);
        tagIpEntry& e = *port.FindOrAddIp(address, 1700000000 + i % 977);
        e.txPackets = i % 1013;
        e.txBytes = (i * 7919) % 100003;
        e.lastSeen = e.firstSeen + 60;
        port.AddMacToIp(e, "00:11:22:33:44:55");
        port.AddService(e.services, "http/tcp");
    }
    COuiTable oui;
    tagViewSortState sort;
    testing::ScriptedDialogSeam dialogs;
    QTemporaryDir dir;
    dialogs.saveAnswers.push_back(dir.filePath("out.csv"));
    tagTimes times{};
    auto t0 = Clock::now();
    const size_t rows = BuildListRows(1, port, oui).table.rows.size();
    times.hold = Ms(t0);
    if (rows != size_t(nodes)) std::fprintf(stderr, "list_bench: %zu rows for %d nodes\n", rows, nodes);
    t0 = Clock::now();
    CListDlg dlg(port, 1, oui, sort, dialogs);
    times.open = Ms(t0);
    t0 = Clock::now();
    dlg.SortByHeader(0);
    dlg.SortByHeader(8);
    times.sort = Ms(t0) / 2;
    t0 = Clock::now();
    dlg.ExportCsv();
    times.csv = Ms(t0);
    return times;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const tagTimes small = Measure(1000);
    const tagTimes large = Measure(100000);
    std::printf("rows      hold ms   open ms   sort ms   csv ms\n");
    std::printf("1000    %8.1f  %8.1f  %8.1f %8.1f\n", small.hold, small.open, small.sort, small.csv);
    std::printf("100000  %8.1f  %8.1f  %8.1f %8.1f\n", large.hold, large.open, large.sort, large.csv);
    std::printf("ratio   %8.1f  %8.1f  %8.1f %8.1f (100 times the rows)\n\n", large.hold / small.hold,
                large.open / small.open, large.sort / small.sort, large.csv / small.csv);
    return 0;
}
