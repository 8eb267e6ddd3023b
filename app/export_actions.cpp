// SPDX-License-Identifier: GPL-3.0-or-later
#include "export_actions.h"

#include <mutex>

#include "chart_ctrl.h"
#include "chart_export.h"
#include "chart_model.h"
#include "dialog_seam.h"
#include "mon_port.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

struct tagTrendCsvText {
    const char* title;
    const char* column;
};

// By tab: load index, packet rate, bandwidth, active IP, active MAC.
constexpr tagTrendCsvText kTrendCsv[5] = {
    {"回線負荷指数(HALVARDオリジナル)", "回線負荷指数(PPS×MBPS×Act.NODE)"},
    {"毎秒パケット数", "毎秒パケット数(PPS)"},
    {"回線帯域", "回線帯域(MBPS)"},
    {"アクティブIPノード数", "アクティブIP"},
    {"アクティブMACノード数", "アクティブMAC"},
};

const tagTrendCsvText& TrendText(int tab) { return kTrendCsv[tab >= 0 && tab < 5 ? tab : 0]; }

}  // namespace

namespace {

// The capture files sit in the collector's tables (the receive thread writes
// them and drops a replaced port's file): every look runs under their lock,
// never across a dialog.
bool CaptureOpen(const CSFlowMon& sflow, const CMonPort& port)
{
    std::lock_guard lock(sflow.tablesMutex());
    const CCaptureFile* file = sflow.Capture(port);
    return file && file->IsOpen();
}

}  // namespace

CaptureToggle ToggleCapture(IDialogSeam& dialogs, QWidget* parent, CSFlowMon& sflow, const CMonPort& port)
{
    {
        std::lock_guard lock(sflow.tablesMutex());
        const CCaptureFile* file = sflow.Capture(port);
        if (file && file->IsOpen()) {
            sflow.CloseCapture(port);
            return CaptureToggle::Closed;
        }
    }
    tagSaveFileRequest request;
    request.defaultName = QStringLiteral("dump.pcap");
    request.defaultExtension = QStringLiteral("pcap");
    request.filter = QStringLiteral("PCAP File (*.pcap)|*.pcap||");
    const QString path = dialogs.PickSaveFile(parent, request);
    if (path.isEmpty()) return CaptureToggle::Cancelled;
    const QByteArray local = path.toLocal8Bit();
    bool opened = false;
    {
        std::lock_guard lock(sflow.tablesMutex());
        opened = sflow.OpenCapture(port, std::string(local.constData(), static_cast<size_t>(local.size())));
    }
    if (!opened) {
        dialogs.ShowMessage(parent, QStringLiteral("ファイル出力できません。"));
        return CaptureToggle::Failed;
    }
    return CaptureToggle::Opened;
}

QString CapturePath(const CSFlowMon& sflow, const CMonPort& port)
{
    std::string path;
    {
        std::lock_guard lock(sflow.tablesMutex());
        const CCaptureFile* file = sflow.Capture(port);
        if (!file || !file->IsOpen()) return {};
        path = file->path();
    }
    return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}

QString CaptureButtonText(const CSFlowMon& sflow, const CMonPort* port)
{
    return port && CaptureOpen(sflow, *port) ? QStringLiteral("出力停止") : QStringLiteral("ファイル出力");
}

bool ExportChartImage(IDialogSeam& dialogs, QWidget* parent, CChartCtrl& chart)
{
    return SaveChartBitmap(dialogs, parent, chart);
}

bool ExportTrendCsv(IDialogSeam& dialogs, QWidget* parent, const CChartModel& chart, int tab, int row)
{
    if (row < 0 || row >= chart.GetCount()) return false;
    return ExportChartCsv(dialogs, parent, chart, row, TrendCsvTitle(tab), TrendCsvColumn(tab));
}

QString TrendCsvTitle(int tab) { return QString::fromUtf8(TrendText(tab).title); }

QString TrendCsvColumn(int tab) { return QString::fromUtf8(TrendText(tab).column); }

void CopyChartToClipboard(IDialogSeam& dialogs, CChartCtrl& chart) { CopyChartImage(dialogs, chart); }

}  // namespace ortolan
