// The headless live mode as a process: it listens on both ports, prints the
// monitor list and the status, writes the log on SIGTERM and says which port
// it could not open.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <unistd.h>

#include "datagram_builder.h"
#include "monitor_test_support.h"
#include "ortolan_process.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

bool WaitForOutput(QProcess& p, QByteArray& out, const QByteArray& text)
{
    for (int i = 0; i < 50 && !out.contains(text); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    return out.contains(text);
}

TEST(CollectCommand, PrintsRowsAndWritesTheQueuesOnSigterm)
{
    QString program = Executable();
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    QTemporaryDir dir;
    uint16_t sflowPort = FreeUdpPort();
    uint16_t netflowPort = FreeUdpPort();
    QProcess p;
    p.start(program, {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                      QString::number(netflowPort), "--refresh", "120", "--log-dir", dir.path()});
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out;
    ASSERT_TRUE(WaitForOutput(p, out, "NetFlow on UDP port")) << out.toStdString();

    Bytes b = SflowV5Header(1, 1, 0, {10, 0, 0, 1}, 1000);
    b.raw(CounterSampleV5(IfCounters{}));
    SendTo(sflowPort, b.data());
    SendTo(netflowPort, NetflowV5(1, {FlowSpec{}}));
    ::usleep(300 * 1000);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    QString text = QString::fromUtf8(out);
    EXPECT_TRUE(text.contains(QString::fromUtf8("エージェント \tポート\tMAC.Addr\tIP.Addr"))) << out.toStdString();
    EXPECT_TRUE(text.contains("\nsFlow V5:10.0.0.1:0\t1\t")) << out.toStdString();
    EXPECT_TRUE(text.contains("\nNetFlow V5:127.0.0.1:0\t")) << out.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf8("sFlow:   1ノード(1ポート)  1パケット\n"))) << out.toStdString();
    EXPECT_TRUE(text.contains("sFlow\trejectedDatagrams 0\tdroppedLogRecords 0\trefusedPorts 0\trefusedEntries 0"));

    // Both datagrams reached the day's log before the exit, NetFlow first.
    QStringList logs = QDir(dir.path()).entryList({"FL*.log"});
    ASSERT_EQ(logs.size(), 1);
    QFile log(QDir(dir.path()).filePath(logs[0]));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = log.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith("N\t"));
    EXPECT_TRUE(lines[1].startsWith("S\t"));
}

TEST(CollectCommand, NamesEachPortThatCannotOpenAndFailsWhenNeitherDoes)
{
    QString program = Executable();
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    uint16_t sflowPort = FreeUdpPort();
    uint16_t netflowPort = FreeUdpPort();
    int held[2];
    uint16_t ports[2] = {sflowPort, netflowPort};
    for (int i = 0; i < 2; ++i) {
        held[i] = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(ports[i]);
        ::bind(held[i], reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    QProcess p;
    p.start(program, {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                      QString::number(netflowPort)});
    ASSERT_TRUE(p.waitForFinished(10000));
    QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(err.contains(QString("cannot open the sFlow port %1").arg(sflowPort))) << err.toStdString();
    EXPECT_TRUE(err.contains(QString("cannot open the NetFlow port %1").arg(netflowPort))) << err.toStdString();
    for (int s : held) ::close(s);
}

}  // namespace
}  // namespace ortolan
