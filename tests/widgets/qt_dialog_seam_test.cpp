// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "qt_dialog_seam.h"
#include "qt_test_app.h"

namespace ortolan {
namespace {

TEST(DialogFilter, ProgramFiltersBecomeQtNameFilters)
{
    EXPECT_EQ(ConvertDialogFilter("CSV File (*.csv)|*.csv||"), QStringList{"CSV File (*.csv)"});
    EXPECT_EQ(ConvertDialogFilter("PCAP File (*.pcap)|*.pcap||"), QStringList{"PCAP File (*.pcap)"});
    EXPECT_EQ(ConvertDialogFilter("Bitmap Files (*.bmp)|*.bmp|All (*.*)|*.*||"),
              (QStringList{"Bitmap Files (*.bmp)", "All (*.*)"}));
    EXPECT_EQ(ConvertDialogFilter("Logs|*.log;*.txt||"), QStringList{"Logs (*.log *.txt)"});
    EXPECT_TRUE(ConvertDialogFilter("").isEmpty());
    EXPECT_TRUE(ConvertDialogFilter("|").isEmpty());
    EXPECT_EQ(ConvertDialogFilter("Text (*.txt)|*.txt"), QStringList{"Text (*.txt)"});   // no closing bars
}

TEST(QtDialogSeam, SaveDialogCarriesTitleNameExtensionFilterAndOverwritePrompt)
{
    testing::TestApp();
    tagSaveFileRequest request;
    request.title = QStringLiteral("グラフを画像保存");
    request.defaultName = QStringLiteral("無題");
    request.defaultExtension = QStringLiteral("bmp");
    request.filter = QStringLiteral("Bitmap Files (*.bmp)|*.bmp||");
    std::unique_ptr<QFileDialog> dialog = CQtDialogSeam::BuildSaveDialog(nullptr, request);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("グラフを画像保存"));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("bmp"));
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Bitmap Files (*.bmp)"});
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    ASSERT_FALSE(dialog->selectedFiles().isEmpty());
    // The default name, completed with the default extension as accepting would.
    EXPECT_TRUE(dialog->selectedFiles().first().endsWith(QStringLiteral("/無題.bmp")))
        << dialog->selectedFiles().first().toStdString();
}

TEST(QtDialogSeam, FolderPickerShowsFoldersOnly)
{
    testing::TestApp();
    std::unique_ptr<QFileDialog> dialog =
        CQtDialogSeam::BuildFolderDialog(nullptr, QStringLiteral("ログフォルダ"), QStringLiteral("/tmp"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::ShowDirsOnly));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("ログフォルダ"));
}

TEST(QtDialogSeam, CopyImageReplacesTheClipboard)
{
    testing::TestApp();
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));
    QImage image(64, 32, QImage::Format_RGB32);
    image.fill(QColor(255, 255, 0));
    CQtDialogSeam seam;
    seam.CopyImage(image);
    QImage back = QGuiApplication::clipboard()->image();
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(64, 32));
    EXPECT_EQ(back.pixelColor(10, 10), QColor(255, 255, 0));
}

TEST(QtDialogSeam, BoxesAreTitledOrtolanAndQtSpeaksJapanese)
{
    QApplication& app = testing::TestApp();
    // The executable's name is what Qt would take for a title.
    QCoreApplication::setApplicationName(QStringLiteral("ortolan"));
    ASSERT_TRUE(InstallQtTranslations(app)) << "qt6-translations-l10n is not installed";
    std::unique_ptr<QMessageBox> box = CQtDialogSeam::BuildMessageBox(nullptr, QStringLiteral("x"), true);
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Ortolan"));
    EXPECT_TRUE(box->button(QMessageBox::Yes)->text().startsWith(QStringLiteral("はい")));
    EXPECT_EQ(CQtDialogSeam::BuildMessageBox(nullptr, QStringLiteral("x"), false)->windowTitle(),
              QStringLiteral("Ortolan"));

    std::unique_ptr<QFileDialog> dialog = CQtDialogSeam::BuildSaveDialog(
        nullptr, {QString(), QStringLiteral("dump.pcap"), QStringLiteral("pcap"), QStringLiteral("PCAP File (*.pcap)|*.pcap||")});
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    QStringList texts;
    for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
    for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) texts << button->text();
    EXPECT_FALSE(texts.contains(QStringLiteral("Cancel"))) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("キャンセル"))) << texts.join(u'|').toStdString();
}

}  // namespace
}  // namespace ortolan
