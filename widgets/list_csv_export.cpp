// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_csv_export.h"

#include <QAbstractItemModel>
#include <QSaveFile>
#include <QString>
#include <vector>

#include "dialog_seam.h"

namespace ortolan {

namespace {

std::string ToUtf8(const QString& s)
{
    QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

bool WriteWholeFile(const QString& path, const std::string& bytes)
{
    // QSaveFile writes beside the target and renames at the end, so a failed
    // write never leaves half a file in place of the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool ExportListCsv(IDialogSeam& dialogs, QWidget* parent, const QString& title,
                   const QString& defaultName, const QAbstractItemModel& model)
{
    const int rows = model.rowCount();
    if (rows <= 0) return false;
    tagSaveFileRequest request;
    request.defaultName = defaultName;
    request.defaultExtension = QStringLiteral("csv");
    request.filter = QStringLiteral("CSV File (*.csv)|*.csv||");
    QString path = dialogs.PickSaveFile(parent, request);
    if (path.isEmpty()) return false;

    const int columns = model.columnCount();
    std::vector<std::string> headers;
    headers.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) headers.push_back(ToUtf8(model.headerData(c, Qt::Horizontal).toString()));
    std::vector<std::vector<std::string>> cells(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        auto& line = cells[static_cast<size_t>(r)];
        line.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) line.push_back(ToUtf8(model.index(r, c).data().toString()));
    }
    return WriteWholeFile(path, FormatListCsv(ToUtf8(title), headers, cells));
}

}  // namespace ortolan
