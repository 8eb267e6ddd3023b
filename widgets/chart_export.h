// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Saving charts: the points of one trend series as CSV, and a chart as a
// bitmap file or on the clipboard, each asking through the dialog seam with
// the program's own dialog texts.
#include <string>

class QString;
class QWidget;

namespace ortolan {

class CChartCtrl;
class CChartModel;
class CDataSeries;
class IDialogSeam;

// "\"<title>-(<series caption>)\"\n\"モニタ日時\",\"<column caption>\"\n", then one
// line per point, oldest first: the X value as local time "%Y/%m/%d %H:%M:%S"
// and the Y value as "%lf", each quoted. A point whose X is no valid time gets
// an empty time field.
std::string FormatChartCsv(const std::string& title, const std::string& seriesCaption,
                           const std::string& columnCaption, const CDataSeries& series);

// Series `seriesIndex` of the chart as CSV ("ORTOLANEXPORT.CSV", title
// "グラフをCSV保存"). A missing series asks nothing. True when a file was written.
bool ExportChartCsv(IDialogSeam& dialogs, QWidget* parent, const CChartModel& chart, int seriesIndex,
                    const QString& title, const QString& columnCaption);

// The chart as a bitmap file ("無題", title "グラフを画像保存"). True when written.
bool SaveChartBitmap(IDialogSeam& dialogs, QWidget* parent, CChartCtrl& chart);

// The chart as drawn, the size of its widget, onto the clipboard.
void CopyChartImage(IDialogSeam& dialogs, CChartCtrl& chart);

}  // namespace ortolan
