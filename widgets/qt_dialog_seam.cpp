// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt_dialog_seam.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QMessageBox>

namespace ortolan {

namespace {

// The program's name as the user knows it, not the executable's ("ortolan").
QString BoxTitle() { return QStringLiteral("Ortolan"); }

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

bool InstallQtTranslations(QCoreApplication& app)
{
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

std::unique_ptr<QMessageBox> CQtDialogSeam::BuildMessageBox(QWidget* parent, const QString& text, bool question)
{
    auto box = question ? std::make_unique<QMessageBox>(QMessageBox::Question, BoxTitle(), text,
                                                        QMessageBox::Yes | QMessageBox::No, parent)
                        : std::make_unique<QMessageBox>(QMessageBox::Information, BoxTitle(), text,
                                                        QMessageBox::Ok, parent);
    if (question) box->setDefaultButton(QMessageBox::Yes);
    return box;
}

void CQtDialogSeam::ShowMessage(QWidget* parent, const QString& text)
{
    BuildMessageBox(parent, text, false)->exec();
}

bool CQtDialogSeam::AskYesNo(QWidget* parent, const QString& text)
{
    return BuildMessageBox(parent, text, true)->exec() == QMessageBox::Yes;
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
