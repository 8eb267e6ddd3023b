// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every platform dialog the program shows goes through this seam: message boxes,
// yes/no questions, save-file and folder pickers, and the clipboard. The Qt
// implementation shows real dialogs; tests hand in a scripted one, so no test
// can hang on a modal box.
#include <QString>

class QImage;
class QWidget;

namespace ortolan {

// What a save-file dialog is asked with. The filter is in the program's own
// "Description (*.ext)|*.ext||" form.
struct tagSaveFileRequest {
    QString title;             // empty: the platform's default title
    QString defaultName;       // e.g. "dump.pcap"
    QString defaultExtension;  // without the dot, e.g. "pcap"
    QString filter;            // e.g. "PCAP File (*.pcap)|*.pcap||"
};

class IDialogSeam {
public:
    virtual ~IDialogSeam() = default;
    // An information box with one OK button.
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    // The chosen path, or empty text when the user cancelled. Asks before
    // overwriting an existing file.
    virtual QString PickSaveFile(QWidget* parent, const tagSaveFileRequest& request) = 0;
    // A folder picker; the chosen folder or empty text.
    virtual QString PickFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
    // Replaces the clipboard's content with the picture.
    virtual void CopyImage(const QImage& image) = 0;
};

}  // namespace ortolan
