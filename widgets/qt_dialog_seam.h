// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog seam shown with Qt's own boxes and file dialogs.
#include <QStringList>
#include <memory>

#include "dialog_seam.h"

class QCoreApplication;
class QFileDialog;
class QMessageBox;

namespace ortolan {

// "CSV File (*.csv)|*.csv||" becomes the name filters Qt takes ("CSV File (*.csv)");
// a description without its patterns in brackets gets them appended.
QStringList ConvertDialogFilter(const QString& filter);

// Loads Qt's own Japanese texts (buttons, file dialogs) into the application,
// whatever the system's language, since the program speaks Japanese
// throughout. False when the translation files are not installed.
bool InstallQtTranslations(QCoreApplication& app);

class CQtDialogSeam : public IDialogSeam {
public:
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    QString PickSaveFile(QWidget* parent, const tagSaveFileRequest& request) override;
    QString PickFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    void CopyImage(const QImage& image) override;

    // The save dialog as PickSaveFile shows it, not yet shown.
    static std::unique_ptr<QFileDialog> BuildSaveDialog(QWidget* parent, const tagSaveFileRequest& request);
    // The message box ShowMessage (question: AskYesNo) shows, not yet shown.
    static std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const QString& text, bool question);
    // The folder picker as PickFolder shows it, not yet shown.
    static std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* parent, const QString& title,
                                                          const QString& startFolder);
};

}  // namespace ortolan
