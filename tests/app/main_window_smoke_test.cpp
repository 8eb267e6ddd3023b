// SPDX-License-Identifier: GPL-3.0-or-later
// The real executable under a virtual X server: it replays a log into its
// window, shows it, saves its picture and exits cleanly, within a minute.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <climits>
#include <unistd.h>

#include "monitor_log_fixture.h"

namespace ortolan {
namespace {

QString ExecutablePath()
{
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    path[n] = '\0';
    return QFileInfo(QString::fromLocal8Bit(path)).absolutePath() + "/ortolan";
}

TEST(MainWindowSmoke, ReplaysALogShowsTheWindowAndExitsCleanly)
{
    QString program = ExecutablePath();
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << "build the ortolan target first: " << program.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString log = dir.filePath("FL2026-12-07.log");
    QString png = dir.filePath("window.png");
    testing::WriteSampleLog(log.toStdString(), 1796605500);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("HOME", dir.path());   // settings of this run stay in the temporary folder
    env.insert("XDG_CONFIG_HOME", dir.path());
    process.setProcessEnvironment(env);
    process.start("xvfb-run", {"-a", "-s", "-screen 0 1280x1024x24", program, "--replay", log, "--snapshot", png});
    ASSERT_TRUE(process.waitForStarted(10000));
    bool finished = process.waitForFinished(60000);
    if (!finished) process.kill();
    ASSERT_TRUE(finished) << "the window did not close by itself";
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("window \"Ortolan\" shown")) << out.toStdString();
    EXPECT_TRUE(out.contains(", 4 rows")) << out.toStdString();
    QImage picture(png);
    ASSERT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 800);
    EXPECT_GE(picture.height(), 600);
}

}  // namespace
}  // namespace ortolan
