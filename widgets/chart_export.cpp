// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart_export.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "chart_ctrl.h"
#include "chart_model.h"
#include "dialog_seam.h"
#include "list_csv_export.h"

namespace ortolan {

namespace {

std::string LocalTimeText(double x)
{
    // Beyond this a time_t of any platform may overflow; such points are noise.
    constexpr double kLimit = 253402300799.0;  // 9999-12-31
    if (!std::isfinite(x) || x < 0 || x > kLimit) return {};
    std::time_t t = static_cast<std::time_t>(x);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, "%Y/%m/%d %H:%M:%S", &tm);
    return std::string(buf, n);
}

std::string FixedText(double y)
{
    // "%lf" of the largest double is 317 characters with its sign.
    char buf[400];
    int n = std::snprintf(buf, sizeof buf, "%lf", y);
    if (n < 0) return {};
    return std::string(buf, std::min(static_cast<size_t>(n), sizeof buf - 1));
}

std::string ToUtf8(const QString& s)
{
    QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

std::string FormatChartCsv(const std::string& title, const std::string& seriesCaption,
                           const std::string& columnCaption, const CDataSeries& series)
{
    std::string out = QuoteCsvField(title + "-(" + seriesCaption + ")") + "\n";
    out += QuoteCsvField("モニタ日時") + "," + QuoteCsvField(columnCaption) + "\n";
    for (int i = 0; i < series.GetCount(); ++i) {
        const CDataPoint* p = series.GetAt(i);
        out += QuoteCsvField(LocalTimeText(p->x)) + "," + QuoteCsvField(FixedText(p->y)) + "\n";
    }
    return out;
}

bool ExportChartCsv(IDialogSeam& dialogs, QWidget* parent, const CChartModel& chart, int seriesIndex,
                    const QString& title, const QString& columnCaption)
{
    const CDataSeries* series = chart.GetDataSeries(seriesIndex);
    if (!series) return false;
    tagSaveFileRequest request;
    request.title = QStringLiteral("グラフをCSV保存");
    request.defaultName = QStringLiteral("ORTOLANEXPORT.CSV");
    request.defaultExtension = QStringLiteral("csv");
    request.filter = QStringLiteral("CSV Files (*.csv)|*.csv||");
    QString path = dialogs.PickSaveFile(parent, request);
    if (path.isEmpty()) return false;
    return WriteWholeFile(path, FormatChartCsv(ToUtf8(title), series->GetCaption(), ToUtf8(columnCaption), *series));
}

bool SaveChartBitmap(IDialogSeam& dialogs, QWidget* parent, CChartCtrl& chart)
{
    tagSaveFileRequest request;
    request.title = QStringLiteral("グラフを画像保存");
    request.defaultName = QStringLiteral("無題");
    request.defaultExtension = QStringLiteral("bmp");
    request.filter = QStringLiteral("Bitmap Files (*.bmp)|*.bmp||");
    QString path = dialogs.PickSaveFile(parent, request);
    if (path.isEmpty()) return false;
    return chart.ExportBMPToFile(path);
}

void CopyChartImage(IDialogSeam& dialogs, CChartCtrl& chart)
{
    QImage image = chart.GrabImage();
    if (!image.isNull()) dialogs.CopyImage(image);
}

}  // namespace ortolan
