// SPDX-License-Identifier: GPL-3.0-or-later
// The command line as a user meets it, through the real executable: every
// command's help, the version, and the refusals of what a command cannot run
// with as it was given.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>

#include "build_info.h"
#include "datagram_builder.h"
#include "monitor_settings.h"
#include "monitor_test_support.h"
#include "ortolan_process.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

const char kExitStatusLine[] = "Exit status: 0 success, 1 nothing to report or partial failure, 2 usage or start-up error.";

TEST(CommandLine, EveryCommandAnswersHelpWithItsOptionsRangesAndExitStatuses)
{
    struct tagCase {
        QStringList args;
        std::vector<QString> mentions;
    };
    std::vector<tagCase> cases = {
        {{"--help"}, {"Usage: ortolan [OPTIONS]", "--replay FILE", "--snapshot PNG", "--version", "collect", "report",
                      "agent"}},
        {{"collect", "--help"}, {"Usage: ortolan collect [OPTIONS]", "--log-dir DIR", "--memory-limit MIB",
                                 "(16 to 65536, default 2048)"}},
        {{"report", "--help"},
         {"Usage: ortolan report [OPTIONS] LOGFILE...", "--refresh SECONDS", "(5 to 300, default 60)", "--list KIND",
          "--port KEY", "--memory-limit MIB", "(16 to 65536, default 2048)"}},
        {{"agent", "--help"},
         {"Usage: ortolan agent [OPTIONS] ADDRESS", "--mode MODE", "--community TEXT", "--user TEXT",
          "--password TEXT", "--port N", "(1 to 65535, default 161)"}},
    };
    // collect's options are the settings table at its command-line ranges.
    for (const tagSettingRow& setting : kMonitorSettings) {
        cases[1].mentions.push_back(QString("--%1 %2").arg(setting.option, setting.valueName));
        cases[1].mentions.push_back(setting.help + QString(" (%1 to %2, default %3)")
                                                    .arg(setting.line.minimum)
                                                    .arg(setting.line.maximum)
                                                    .arg(setting.line.initial));
    }
    for (const tagCase& c : cases) {
        tagProcessRun run = RunOrtolan(c.args);
        ASSERT_TRUE(run.finished) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.status, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(kExitStatusLine)) << run.out.toStdString();
        for (const QString& text : c.mentions)
            EXPECT_TRUE(run.out.contains(text)) << c.args.join(' ').toStdString() << " lacks " << text.toStdString();
    }

    tagProcessRun version = RunOrtolan({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ortolan " ORTOLAN_VERSION "\n");
}

TEST(CommandLine, ValuesOutOfRangeAndUnknownWordsFailWithStatusTwoNamingTheProblem)
{
    struct tagCase {
        QStringList args;
        QString problem;
    };
    const std::vector<tagCase> cases = {
        {{"collect", "--sflow-port", "0"}, "--sflow-port: '0' is not a whole number from 1 to 65535"},
        {{"collect", "--sflow-port", "70000"}, "--sflow-port: '70000' is not a whole number from 1 to 65535"},
        {{"collect", "--netflow-port", "4294967295"}, "--netflow-port: '4294967295' is not a whole number from 1 to 65535"},
        {{"collect", "--refresh", "300"}, "--refresh: '300' is not a whole number from 5 to 120"},
        {{"collect", "--refresh", "4"}, "--refresh: '4' is not a whole number from 5 to 120"},
        {{"collect", "--retention", "-1"}, "--retention: '-1' is not a whole number from 0 to 4294967295"},
        {{"collect", "--counter-period", "99999999999999999999999"}, "is not a whole number from 0 to 4294967295"},
        {{"collect", "--memory-limit", "8"}, "--memory-limit: '8' is not a whole number from 16 to 65536"},
        {{"collect", "--bogus"}, "--bogus"},
        {{"collect", "--sampling-rate", "192.0.2.1=0"}, "--sampling-rate: not ADDRESS=N"},
        {{"collect", "--sampling-rate", "192.0.2.1=1000", "--sampling-rate", "router=100"}, "--sampling-rate: not ADDRESS=N"},
        {{"collect", "--sampling-rate", "2001:db8::1"}, "--sampling-rate: not ADDRESS=N"},
        {{"report", "--refresh", "soon", "FL20240101.log"}, "--refresh: 'soon' is not a whole number from 5 to 300"},
        {{"report", "--list", "13", "FL20240101.log"}, "--list: '13' is not 0 to 12 or local"},
        {{"report", "--memory-limit", "65537", "FL20240101.log"},
         "--memory-limit: '65537' is not a whole number from 16 to 65536"},
        {{"report", "--port", "sFlow V5:10.0.0.1:0", "FL20240101.log"}, "--port requires --list"},
        {{"report"}, "LOGFILE is required"},
        {{"agent", "--port", "65536", "10.0.0.1"}, "--port: '65536' is not a whole number from 1 to 65535"},
        {{"agent", "--mode", "v9", "10.0.0.1"}, "--mode: 'v9' is not v1, v2c, v3auth or v3priv"},
        {{"agent", "--mode", "v3priv", "--user", "u", "10.0.0.1"}, "need --user and --password"},
        {{"agent", "host.example"}, "'host.example' is not an IPv4 address"},
        {{"lookup"}, "lookup"},
        {{"--snapshot", "x.png"}, "--snapshot requires --replay"},
    };
    for (const tagCase& c : cases) {
        tagProcessRun run = RunOrtolan(c.args);
        ASSERT_TRUE(run.finished) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.problem)) << c.args.join(' ').toStdString() << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("--help")) << run.err.toStdString();
    }
}

// Without --log-dir, and in the default mode without a display, the log goes
// to the window's log folder.
TEST(CommandLine, HeadlessModesWriteTheirLogToTheWindowsLogFolder)
{
    QTemporaryDir home;
    QString logs = home.filePath("logs");
    ASSERT_TRUE(QDir().mkpath(logs));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    {
        QSettings settings(home.filePath("config/HALVARD/ORTOLAN/ortolan.conf"), QSettings::IniFormat);
        settings.setValue("Setting/LOGPATH", logs + "/");
    }
    uint16_t sflowPort = FreeUdpPort();
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(Executable(), {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                           QString::number(FreeUdpPort())});
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out;
    for (int i = 0; i < 50 && !out.contains("NetFlow on UDP port"); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("NetFlow on UDP port")) << out.toStdString();
    Bytes b = SflowV5Header(1, 1, 0, {10, 0, 0, 1}, 1000);
    b.raw(CounterSampleV5(IfCounters{}));
    SendTo(sflowPort, b.data());
    ::usleep(300 * 1000);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(("Flow log folder: " + logs + "/\n").toUtf8())) << out.toStdString();
    EXPECT_EQ(QDir(logs).entryList({"FL*.log"}).size(), 1);

    // The default mode is the same command at the form's defaults: it listens
    // on 6343 and 2100, which may be taken on a shared machine; the log
    // folder it announces is what this test checks.
    QProcess headless;
    headless.setProcessEnvironment(env);
    headless.start(Executable(), {});
    ASSERT_TRUE(headless.waitForStarted(5000));
    QByteArray said;
    for (int i = 0; i < 50 && headless.state() == QProcess::Running && !said.contains("NetFlow on UDP port"); ++i) {
        headless.waitForReadyRead(100);
        said += headless.readAllStandardOutput();
    }
    if (headless.state() == QProcess::Running) {
        ::kill(pid_t(headless.processId()), SIGTERM);
        headless.waitForFinished(10000);
    }
    said += headless.readAllStandardOutput();
    QString err = QString::fromUtf8(headless.readAllStandardError());
    EXPECT_TRUE(err.contains("no display; monitoring headless")) << err.toStdString();
    EXPECT_TRUE(said.contains(("Flow log folder: " + logs + "/\n").toUtf8())) << said.toStdString();
}

}  // namespace
}  // namespace ortolan
