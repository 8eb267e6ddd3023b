// SPDX-License-Identifier: GPL-3.0-or-later
#include "ortolan_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <fstream>
#include <map>
#include <unistd.h>

#include "monitor_settings.h"
#include "nflow_mon.h"
#include "scripted_dialog_seam.h"
#include "sflow_mon.h"
#include "splash.h"

namespace ortolan {
namespace {

void EnsureApp()
{
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

std::string ProcessFolder()
{
    char path[4096];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string text(path, size_t(n > 0 ? n : 0));
    return text.substr(0, text.rfind('/') + 1);
}

// An environment of the given variables only.
CUserFolders FoldersOf(std::map<std::string, std::string> variables)
{
    return CUserFolders([variables](const char* name) -> const char* {
        auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    });
}

TEST(OrtolanAppSettings, FirstRunGivesTheDefaults)
{
    QTemporaryDir dir;
    std::string data = dir.filePath("data").toStdString();
    COrtolanApp app(dir.filePath("settings.ini"), FoldersOf({{"XDG_DATA_HOME", data}}));
    app.ReadSettings();
    EXPECT_EQ(app.LogFolder(), data + "/ortolan/logs/");
    EXPECT_TRUE(QFileInfo(QString::fromStdString(app.LogFolder())).isDir()) << "made for the first log";
    EXPECT_EQ(app.SfIp(), "0.0.0.0");

    tagMonitorSettings form;
    EXPECT_EQ(form.sflowPort, 0u);
    EXPECT_EQ(form.netflowPort, 0u);
    EXPECT_EQ(form.refreshSeconds, 60u);
    EXPECT_EQ(form.counterPeriod, 120u);
    EXPECT_EQ(form.retentionDays, 14u);
    EXPECT_EQ(FirstFormRangeError(form), nullptr);
}

TEST(OrtolanAppSettings, LogFolderAndAgentAddressArePersistedAndReRead)
{
    QTemporaryDir dir;
    QString file = dir.filePath("settings.ini");
    {
        COrtolanApp app(file);
        app.ReadSettings();
        EXPECT_TRUE(app.SetLogFolder("/var/log/ortolan"));
        EXPECT_EQ(app.LogFolder(), "/var/log/ortolan/");
        EXPECT_TRUE(app.SetSfIp("192.0.2.7"));
        EXPECT_FALSE(app.ScaledFigures());
        EXPECT_TRUE(app.SetScaledFigures(true));
    }
    QSettings raw(file, QSettings::IniFormat);
    // Rates for exporters that send none, as a user types them into the file.
    raw.setValue("Setting/SAMPLING_RATES", "192.0.2.1=100, 10.0.0.1=2048");
    raw.sync();
    EXPECT_EQ(raw.value("Setting/LOGPATH").toString(), QStringLiteral("/var/log/ortolan/"));
    EXPECT_EQ(raw.value("Setting/SF_IP").toString(), QStringLiteral("192.0.2.7"));

    COrtolanApp again(file);
    again.ReadSettings();
    EXPECT_EQ(again.LogFolder(), "/var/log/ortolan/");
    EXPECT_EQ(again.SfIp(), "192.0.2.7");
    EXPECT_TRUE(again.ScaledFigures());
    EXPECT_EQ(again.SamplingRates(), (std::vector<std::string>{"192.0.2.1=100", "10.0.0.1=2048"}));
}

TEST(OrtolanAppSettings, UnreadableStoreGivesTheDefaults)
{
    QTemporaryDir dir;
    // A folder where the settings file should be cannot be read as settings.
    COrtolanApp app(dir.path(), FoldersOf({{"HOME", dir.path().toStdString()}}));
    app.ReadSettings();
    EXPECT_EQ(app.LogFolder(), dir.path().toStdString() + "/.local/share/ortolan/logs/");
    EXPECT_EQ(app.SfIp(), "0.0.0.0");
    EXPECT_FALSE(app.SetLogFolder("/tmp/x/")) << "the failed save is reported";
    EXPECT_EQ(app.LogFolder(), "/tmp/x/") << "and the folder still serves this run";
}

TEST(OrtolanAppFolders, WrittenFilesGoToTheXdgFoldersOfTheUser)
{
    CUserFolders set = FoldersOf({{"HOME", "/home/u"}, {"XDG_STATE_HOME", "/s"}, {"XDG_DATA_HOME", "/d"}});
    EXPECT_EQ(set.StateFolder(), "/s/ortolan/");
    EXPECT_EQ(set.DefaultLogFolder(), "/d/ortolan/logs/");
    // Relative or empty values are ignored, as the XDG rules say.
    CUserFolders fallback = FoldersOf({{"HOME", "/home/u"}, {"XDG_STATE_HOME", "state"}, {"XDG_DATA_HOME", ""}});
    EXPECT_EQ(fallback.StateFolder(), "/home/u/.local/state/ortolan/");
    EXPECT_EQ(fallback.DefaultLogFolder(), "/home/u/.local/share/ortolan/logs/");
    // Nowhere to write: nothing is made up, and the log goes to the current folder.
    CUserFolders none = FoldersOf({});
    EXPECT_EQ(none.StateFolder(), "");
    QTemporaryDir dir;
    COrtolanApp app(dir.filePath("settings.ini"), none);
    app.ReadSettings();
    EXPECT_EQ(app.LogFolder(), "");
}

TEST(OrtolanAppForm, RangesAreEnforced)
{
    tagMonitorSettings form;
    form.sflowPort = 65535;
    const tagSettingRow* error = FirstFormRangeError(form);
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error->caption, "sFlowポート");
    EXPECT_EQ(error->form.minimum, 0u);
    EXPECT_EQ(error->form.maximum, 65534u);

    form.sflowPort = 65534;
    form.netflowPort = 70000;
    form.counterPeriod = 0;
    form.retentionDays = 0;
    for (uint32_t ok : {5u, 300u}) {
        form.refreshSeconds = ok;
        EXPECT_EQ(FirstFormRangeError(form), nullptr) << ok;
    }
    for (uint32_t bad : {4u, 301u}) {
        form.refreshSeconds = bad;
        error = FirstFormRangeError(form);
        ASSERT_NE(error, nullptr) << bad;
        EXPECT_STREQ(error->caption, "画面更新間隔");
        EXPECT_EQ(FormRangeMessage(error->form.minimum, error->form.maximum),
                  "5 から 300 までの整数を入力してください。");
    }

    EXPECT_EQ(ParseFormNumber(" 2100 "), 2100u);
    EXPECT_EQ(ParseFormNumber("4294967295"), 4294967295u);
    EXPECT_FALSE(ParseFormNumber("4294967296"));
    EXPECT_FALSE(ParseFormNumber("-1"));
    EXPECT_FALSE(ParseFormNumber(""));
    EXPECT_FALSE(ParseFormNumber("12a"));
}

TEST(OrtolanAppFolders, BesideTheRunningExecutable)
{
    COrtolanApp app;
    EXPECT_EQ(app.ExecutableFolder(), ProcessFolder());
    EXPECT_EQ(app.ExecutableFolder().back(), '/');
    EXPECT_EQ(app.ConfigFolder(), ProcessFolder() + "Config");
    EXPECT_EQ(app.MibFolder(), ProcessFolder() + "Mibs");
    EXPECT_EQ(app.SplashPath(), ProcessFolder() + "Setup.bmp");
    app.SetExecutableFolder("/opt/ortolan");
    EXPECT_EQ(app.ConfigFolder(), "/opt/ortolan/Config");
}

TEST(OrtolanAppNameTables, LoadedIntoTheSharedTables)
{
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    std::ofstream(folder + "oui.txt") << "08-00-20   (hex)\t\tSun Microsystems\n";
    std::ofstream(folder + "IPProt.txt") << "6 TCP\n17 UDP\n";
    std::ofstream(folder + "Port.txt") << "ftp 21/tcp\ndomain 53/udp\n";
    CNameTables names;
    EXPECT_TRUE(COrtolanApp::LoadNameTables(folder, names).empty());
    ASSERT_NE(names.oui.Find("08:00:20"), nullptr);
    EXPECT_EQ(*names.oui.Find("08:00:20"), "Sun Microsystems");
    ASSERT_NE(names.ProtocolName(6), nullptr);
    EXPECT_EQ(*names.ProtocolName(17), "UDP");
    ASSERT_NE(names.TcpName(21), nullptr);
    EXPECT_EQ(*names.UdpName(53), "domain");

    CNameTables empty;
    EXPECT_EQ(COrtolanApp::LoadNameTables(folder + "missing", empty).size(), 3u);
    EXPECT_TRUE(empty.ipProtocolNames.empty());
    EXPECT_TRUE(empty.oui.ouiNames.empty());
}

class SplashTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    QString Write(const char* name, QByteArray bytes)
    {
        QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }
    static QByteArray Shipped()
    {
        QFile f(QString::fromStdString(COrtolanApp().SplashPath()));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    QTemporaryDir m_dir;
    testing::ScriptedDialogSeam m_seam;
};

TEST_F(SplashTest, ShippedPictureLoads)
{
    CSplash splash(m_seam);
    ASSERT_EQ(splash.Load(QString::fromStdString(COrtolanApp().SplashPath())), CSplash::LoadResult::Ok);
    EXPECT_EQ(splash.picture().size(), QSize(400, 240));
    EXPECT_TRUE(m_seam.messages.isEmpty());
}

TEST_F(SplashTest, BadFilesShowNoSplash)
{
    QByteArray good = Shipped();
    ASSERT_GT(good.size(), 54);
    CSplash splash(m_seam);
    EXPECT_EQ(splash.Load(m_dir.filePath("none.bmp")), CSplash::LoadResult::Unreadable);

    QByteArray notBm = good;
    notBm[0] = 'P';
    EXPECT_EQ(splash.Load(Write("a.bmp", notBm)), CSplash::LoadResult::Unreadable);
    EXPECT_EQ(splash.Load(Write("b.bmp", good.left(good.size() - 1))), CSplash::LoadResult::Unreadable)
        << "fewer bytes than the header's file size";
    EXPECT_EQ(splash.Load(Write("c.bmp", "B")), CSplash::LoadResult::Unreadable);
    EXPECT_TRUE(m_seam.messages.isEmpty());
    EXPECT_TRUE(splash.picture().isNull());

    QByteArray negative = good;
    negative[25] = char(0xFF);  // the height's top byte: negative
    EXPECT_EQ(splash.Load(Write("d.bmp", negative)), CSplash::LoadResult::NegativeSize);
    EXPECT_EQ(m_seam.messages, QStringList{QStringLiteral("ビットマップデータが大きすぎます。")});
    EXPECT_TRUE(splash.picture().isNull());
}

TEST_F(SplashTest, ClosesOnKeyMouseOrTime)
{
    CSplash splash(m_seam);
    ASSERT_EQ(splash.Load(QString::fromStdString(COrtolanApp().SplashPath())), CSplash::LoadResult::Ok);
    splash.ShowFor(3000);
    ASSERT_TRUE(splash.isVisible());
    QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&splash, &key);
    EXPECT_FALSE(splash.isVisible());

    for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        splash.ShowFor(3000);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(&splash, &press);
        EXPECT_FALSE(splash.isVisible()) << int(button);
    }

    splash.ShowFor(30);
    QElapsedTimer timer;
    timer.start();
    while (splash.isVisible() && timer.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(splash.isVisible());
}

TEST_F(SplashTest, ClosesOnAKeyOrItsOwnClickWhileTheMainWindowRunsModally)
{
    // As at start-up: the splash is shown, then the main window runs modally
    // and takes the focus; the user's key goes to that window.
    QDialog window;
    window.resize(320, 200);
    CSplash splash(m_seam, &window);
    ASSERT_EQ(splash.Load(QString::fromStdString(COrtolanApp().SplashPath())), CSplash::LoadResult::Ok);
    splash.ShowFor(3000);
    bool closedByKey = false, windowKept = false, closedByClick = false;
    QTimer::singleShot(50, &window, [&] {
        QTest::keyClick(&window, Qt::Key_Escape);
        closedByKey = !splash.isVisible();
        windowKept = window.isVisible();   // the key closed the splash only
        splash.ShowFor(3000);
        QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
        closedByClick = !splash.isVisible();
        window.accept();
    });
    QTimer::singleShot(10000, &window, &QDialog::reject);   // never hang the suite
    window.exec();
    EXPECT_TRUE(closedByKey);
    EXPECT_TRUE(windowKept);
    EXPECT_TRUE(closedByClick);
}

}  // namespace
}  // namespace ortolan
