#include "list_csv.h"

#include <QAbstractItemModel>
#include <QSaveFile>
#include <QString>

#include "dialog_seam.h"

namespace ortolan {

namespace {

// Longest prefix of at most max bytes that does not end inside a UTF-8 sequence.
std::string CutUtf8(const std::string& text, size_t max)
{
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

void AppendLine(std::string& out, const std::vector<std::string>& fields, size_t columns)
{
    for (size_t c = 0; c < columns; ++c) {
        if (c > 0) out += ',';
        out += QuoteCsvField(c < fields.size() ? fields[c] : std::string());
    }
    out += '\n';
}

std::string ToUtf8(const QString& s)
{
    QByteArray bytes = s.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

std::string QuoteCsvField(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string FormatListCsv(const std::string& title, const std::vector<std::string>& headers,
                          const std::vector<std::vector<std::string>>& rows)
{
    std::string out = QuoteCsvField(title) + "\n";
    std::vector<std::string> cut;
    cut.reserve(headers.size());
    for (const std::string& h : headers) cut.push_back(CutUtf8(h, kMaxCsvHeaderBytes));
    AppendLine(out, cut, headers.size());
    for (const auto& row : rows) AppendLine(out, row, headers.size());
    return out;
}

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
