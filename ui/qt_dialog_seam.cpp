#include "qt_dialog_seam.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QMessageBox>

namespace ortolan {

namespace {

QString BoxTitle()
{
    QString name = QGuiApplication::applicationDisplayName();
    return name.isEmpty() ? QStringLiteral("Ortolan") : name;
}

}  // namespace

QStringList ConvertDialogFilter(const QString& filter)
{
    // The form is description|patterns pairs, ended by an empty pair ("||").
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QString patterns = parts[i + 1].trimmed();
        if (description.isEmpty() && patterns.isEmpty()) break;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.isEmpty()) description = patterns;
        if (!description.contains(QLatin1Char('('))) description += QStringLiteral(" (%1)").arg(patterns);
        out << description;
    }
    return out;
}

void CQtDialogSeam::ShowMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Information, BoxTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

bool CQtDialogSeam::AskYesNo(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, BoxTitle(), text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<QFileDialog> CQtDialogSeam::BuildSaveDialog(QWidget* parent, const tagSaveFileRequest& request)
{
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // Asking before overwriting is Qt's default; it is set here so nobody
    // turns it off by accident. Qt has no read-only check box to hide.
    dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
    if (!request.title.isEmpty()) dialog->setWindowTitle(request.title);
    QStringList filters = ConvertDialogFilter(request.filter);
    if (!filters.isEmpty()) dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(request.defaultExtension);
    if (!request.defaultName.isEmpty()) dialog->selectFile(request.defaultName);
    return dialog;
}

QString CQtDialogSeam::PickSaveFile(QWidget* parent, const tagSaveFileRequest& request)
{
    std::unique_ptr<QFileDialog> dialog = BuildSaveDialog(parent, request);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

std::unique_ptr<QFileDialog> CQtDialogSeam::BuildFolderDialog(QWidget* parent, const QString& title,
                                                              const QString& startFolder)
{
    auto dialog = std::make_unique<QFileDialog>(parent, title, startFolder);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    return dialog;
}

QString CQtDialogSeam::PickFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    std::unique_ptr<QFileDialog> dialog = BuildFolderDialog(parent, title, startFolder);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList folders = dialog->selectedFiles();
    return folders.isEmpty() ? QString() : folders.first();
}

void CQtDialogSeam::CopyImage(const QImage& image)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setImage(image);
}

}  // namespace ortolan
