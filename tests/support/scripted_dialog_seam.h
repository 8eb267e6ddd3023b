// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A dialog seam for tests: answers come from queues the test fills, and every
// call is recorded so the test can check what the user would have seen.
#include <QImage>
#include <QStringList>
#include <deque>

#include "dialog_seam.h"

namespace ortolan::testing {

class ScriptedDialogSeam : public IDialogSeam {
public:
    // Recorded calls.
    QStringList messages;
    QStringList questions;
    std::vector<tagSaveFileRequest> saveRequests;
    QStringList folderTitles;
    std::vector<QImage> copiedImages;

    // Scripted answers; an empty queue answers No, cancel, or no folder.
    std::deque<bool> yesNoAnswers;
    std::deque<QString> saveAnswers;
    std::deque<QString> folderAnswers;

    void ShowMessage(QWidget*, const QString& text) override { messages << text; }
    bool AskYesNo(QWidget*, const QString& text) override
    {
        questions << text;
        if (yesNoAnswers.empty()) return false;
        bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    QString PickSaveFile(QWidget*, const tagSaveFileRequest& request) override
    {
        saveRequests.push_back(request);
        return Next(saveAnswers);
    }
    QString PickFolder(QWidget*, const QString& title, const QString&) override
    {
        folderTitles << title;
        return Next(folderAnswers);
    }
    void CopyImage(const QImage& image) override { copiedImages.push_back(image); }

private:
    static QString Next(std::deque<QString>& queue)
    {
        if (queue.empty()) return {};
        QString answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

}  // namespace ortolan::testing
