#pragma once
// The dialog seam shown with Qt's own boxes and file dialogs.
#include <QStringList>
#include <memory>

#include "dialog_seam.h"

class QFileDialog;

namespace ortolan {

// "CSV File (*.csv)|*.csv||" becomes the name filters Qt takes ("CSV File (*.csv)");
// a description without its patterns in brackets gets them appended.
QStringList ConvertDialogFilter(const QString& filter);

class CQtDialogSeam : public IDialogSeam {
public:
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& text) override;
    QString PickSaveFile(QWidget* parent, const tagSaveFileRequest& request) override;
    QString PickFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    void CopyImage(const QImage& image) override;

    // The save dialog as PickSaveFile shows it, not yet shown.
    static std::unique_ptr<QFileDialog> BuildSaveDialog(QWidget* parent, const tagSaveFileRequest& request);
    // The folder picker as PickFolder shows it, not yet shown.
    static std::unique_ptr<QFileDialog> BuildFolderDialog(QWidget* parent, const QString& title,
                                                          const QString& startFolder);
};

}  // namespace ortolan
