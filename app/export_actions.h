// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's export buttons as functions: the capture file of a port on
// and off, a trend chart as a bitmap, as CSV of one series, or on the
// clipboard. Every question goes through the dialog seam; the main window
// owns the buttons and their captions.
#include <QString>

class QWidget;

namespace ortolan {

class CChartCtrl;
class CChartModel;
class CMonPort;
class CSFlowMon;
class IDialogSeam;

enum class CaptureToggle {
    Closed,     // the open file was closed: the "出力ファイル" cell is emptied
    Opened,     // a file was opened: the cell shows CapturePath
    Failed,     // "ファイル出力できません。" was shown
    Cancelled,  // the save dialog was cancelled
};

// "ファイル出力" / "出力停止" on the selected port; the sFlow collector keeps
// the capture files of its ports.
CaptureToggle ToggleCapture(IDialogSeam& dialogs, QWidget* parent, CSFlowMon& sflow, const CMonPort& port);
// The path of the port's open capture file, else empty (the "出力ファイル" cell).
QString CapturePath(const CSFlowMon& sflow, const CMonPort& port);
// The button's caption for the port: "出力停止" while a file is open.
QString CaptureButtonText(const CSFlowMon& sflow, const CMonPort* port);

// "グラフ出力": the chart of the selected tab as a bitmap. True when written.
bool ExportChartImage(IDialogSeam& dialogs, QWidget* parent, CChartCtrl& chart);

// "グラフCSV出力": series `row` (the first selected row of the monitor list) of
// the chart of tab `tab` (0 to 4). Rows without a series (the ninth on) and
// charts without series write nothing and ask nothing. True when written.
bool ExportTrendCsv(IDialogSeam& dialogs, QWidget* parent, const CChartModel& chart, int tab, int row);

// The CSV title and column caption of a tab's chart; tab 0 for an unknown tab.
QString TrendCsvTitle(int tab);
QString TrendCsvColumn(int tab);

// "グラフCOPY": the chart as drawn onto the clipboard.
void CopyChartToClipboard(IDialogSeam& dialogs, CChartCtrl& chart);

}  // namespace ortolan
