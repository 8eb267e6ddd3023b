// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include "datagram_builder.h"
#include "monitor_test_support.h"
#include "ortolan_process.h"
#include "status_lines.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;

// The value of "name value" in the counters line of a collector.
long long Counter(const QString& out, const QString& collector, const QString& name)
{
    for (const QString& line : out.split('\n')) {
        if (!line.startsWith(collector + "\t")) continue;
        for (const QString& field : line.split('\t'))
            if (field.startsWith(name + " ")) return field.mid(name.size() + 1).toLongLong();
    }
    return -1;
}

// Every line of the folder's logs, which must all be whole.
QList<QByteArray> LogLines(const QString& folder)
{
    QList<QByteArray> lines;
    for (const QString& name : QDir(folder).entryList({"FL*.log"})) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        QByteArray all = f.readAll();
        EXPECT_TRUE(all.isEmpty() || all.endsWith('\n')) << name.toStdString() << " ends in a torn line";
        for (const QByteArray& line : all.split('\n'))
            if (!line.isEmpty()) lines.append(line);
    }
    return lines;
}

// An sFlow v5 datagram without samples, padded to the size asked for.
std::vector<uint8_t> PaddedSflow(uint32_t sequence, size_t size)
{
    Bytes b = SflowV5Header(sequence, 0);
    b.zeros(size - b.size());
    return b.data();
}

bool WaitForOutput(QProcess& p, QByteArray& out, const QByteArray& text)
{
    for (int i = 0; i < 50 && !out.contains(text); ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    return out.contains(text);
}

// Starts `collect` on the two ports with the refresh and log folder given, and
// waits until it says it listens; `out` holds what it printed so far.
bool StartCollect(QProcess& p, uint16_t sflowPort, uint16_t netflowPort, int refresh, const QString& logDir,
                  QByteArray& out)
{
    if (!QFileInfo(Executable()).isExecutable()) return false;
    p.start(Executable(), {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                           QString::number(netflowPort), "--refresh", QString::number(refresh), "--log-dir",
                           logDir});
    return p.waitForStarted(5000) && WaitForOutput(p, out, "NetFlow on UDP port");
}

TEST(CollectCommand, PrintsRowsAndWritesTheQueuesOnSigterm)
{
    QTemporaryDir dir;
    uint16_t sflowPort = FreeUdpPort();
    uint16_t netflowPort = FreeUdpPort();
    QProcess p;
    QByteArray out;
    ASSERT_TRUE(StartCollect(p, sflowPort, netflowPort, 120, dir.path(), out)) << out.toStdString();

    Bytes b = SflowV5Header(1, 1, 0, {10, 0, 0, 1}, 1000);
    b.raw(CounterSampleV5(IfCounters{}));
    SendTo(sflowPort, b.data());
    SendTo(netflowPort, NetflowV5(1, {FlowSpec{}}));
    ASSERT_TRUE(WaitUntilRead(sflowPort) && WaitUntilRead(netflowPort));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(10000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);

    QString text = QString::fromUtf8(out);
    EXPECT_TRUE(text.contains(QString::fromUtf8("エージェント \tポート\tMAC.Addr\tIP.Addr"))) << out.toStdString();
    EXPECT_TRUE(text.contains("\nsFlow V5:10.0.0.1:0\t1\t")) << out.toStdString();
    EXPECT_TRUE(text.contains("\nNetFlow V5:127.0.0.1:0\t")) << out.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(SflowLine(1, 1, 1) + "\n"))) << out.toStdString();
    EXPECT_TRUE(text.contains("sFlow\trejectedDatagrams 0\toversizeDatagrams 0\temptyDatagrams 0\tkernelDrops 0\t"
                              "droppedLogRecords 0\tqueuedLogRecords 0\tunwrittenLogRecords 0\trefusedPorts 0\t"
                              "refusedEntries 0\tunknownTemplateSets 0\n"))
        << out.toStdString();
    EXPECT_FALSE(text.contains(QString::fromUtf8("警告"))) << "nothing was lost";

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

// Each collector needs its port: when either cannot open it (held by another
// program, or the same as the other's), collect names it and fails with 2.
TEST(CollectCommand, NamesEachPortThatCannotOpenAndFailsWhenEitherDoes)
{
    QString program = Executable();
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    auto holdPort = [](uint16_t port) {
        int s = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        EXPECT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return s;
    };
    QTemporaryDir dir;
    for (int held : {0, 1, 2, 3}) {  // both held, sFlow held, NetFlow held, one port for both
        uint16_t sflowPort = FreeUdpPort();
        uint16_t netflowPort = held == 3 ? sflowPort : FreeUdpPort();
        std::vector<int> sockets;
        if (held == 0 || held == 1) sockets.push_back(holdPort(sflowPort));
        if (held == 0 || held == 2) sockets.push_back(holdPort(netflowPort));
        QProcess p;
        p.start(program, {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                          QString::number(netflowPort), "--log-dir", dir.path()});
        ASSERT_TRUE(p.waitForFinished(10000)) << "case " << held;
        QString err = QString::fromUtf8(p.readAllStandardError());
        QString out = QString::fromUtf8(p.readAllStandardOutput());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 2) << "case " << held;
        EXPECT_EQ(err.contains(QString("cannot open the sFlow port %1").arg(sflowPort)), held < 2)
            << err.toStdString();
        EXPECT_EQ(err.contains(QString("cannot open the NetFlow port %1").arg(netflowPort)), held != 1)
            << err.toStdString();
        EXPECT_FALSE(out.contains("on UDP port")) << out.toStdString();
        for (int s : sockets) ::close(s);
    }
}

// Standard output of a collect process through a FIFO of the test's, so the
// test can fill it and hold the process in its next print, wherever that is.
class CHeldOutput {
public:
    explicit CHeldOutput(const QString& folder) : m_path((folder + "/out").toStdString())
    {
        ::mkfifo(m_path.c_str(), 0600);
        m_read = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~CHeldOutput()
    {
        if (m_read >= 0) ::close(m_read);
    }
    // The process's standard output goes into the FIFO, blocking when it is full.
    void Attach(QProcess& p)
    {
        std::string path = m_path;
        p.setChildProcessModifier([path] {
            int fd = ::open(path.c_str(), O_WRONLY);
            ::dup2(fd, 1);
            ::close(fd);
        });
    }
    // Fills the FIFO to the last byte from a writer of the test's own.
    bool Fill()
    {
        int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        char block[4096] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        while (::write(fd, block, 1) > 0) {
        }
        ::close(fd);
        return true;
    }
    // Reads until the text has come (bounded) or, with an empty text, until
    // every writer is gone; what was read is appended to out.
    bool ReadUntil(QByteArray& out, const QByteArray& text = {})
    {
        for (int i = 0; i < 2000; ++i) {
            if (!text.isEmpty() && out.contains(text)) return true;
            pollfd fd{m_read, POLLIN, 0};
            if (::poll(&fd, 1, 10) <= 0) continue;
            char buf[65536];
            ssize_t n = ::read(m_read, buf, sizeof buf);
            if (n > 0) out.append(buf, n);
            if (n == 0 && text.isEmpty()) return true;  // POLLHUP: no writer left
        }
        return !text.isEmpty() && out.contains(text);
    }

private:
    std::string m_path;
    int m_read = -1;
};

// Whether the process catches the signal: its handlers are in.
bool CatchesSignal(qint64 pid, int signal)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// A hang-up in the first moments, before any port is open (the process is held
// in its first print, ahead of them), stops the run as a later one would.
TEST(CollectCommand, SignalBeforeThePortsOpenStopsNormally)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFileInfo(Executable()).isExecutable());
    CHeldOutput output(dir.path());
    ASSERT_TRUE(output.Fill());
    QProcess p;
    output.Attach(p);
    uint16_t sflowPort = FreeUdpPort();
    p.start(Executable(), {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                           QString::number(FreeUdpPort()), "--log-dir", dir.path()});
    ASSERT_TRUE(p.waitForStarted(5000));
    for (int i = 0; i < 5000 && !CatchesSignal(p.processId(), SIGHUP); ++i) ::usleep(1000);
    ::kill(pid_t(p.processId()), SIGHUP);
    QByteArray out;
    EXPECT_TRUE(output.ReadUntil(out));
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << "killed by the hang-up";
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    // The signal came before the ports were open, and still stopped the run.
    EXPECT_TRUE(out.contains("NetFlow on UDP port")) << out.toStdString();
}

// A storm of signals during a long stop (here its last print, held by a full
// output) fills the signal pipe nobody reads any more; the stop still ends
// normally, writes what was queued and finishes its print.
TEST(CollectCommand, SignalStormDuringTheStopEndsItNormally)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QFileInfo(Executable()).isExecutable());
    CHeldOutput output(dir.path());
    QProcess p;
    output.Attach(p);
    uint16_t sflowPort = FreeUdpPort();
    p.start(Executable(), {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                           QString::number(FreeUdpPort()), "--refresh", "120", "--log-dir", dir.path()});
    ASSERT_TRUE(p.waitForStarted(5000));
    QByteArray out;
    ASSERT_TRUE(output.ReadUntil(out, "NetFlow on UDP port")) << out.toStdString();
    for (uint32_t i = 1; i <= 3; ++i) SendTo(sflowPort, PaddedSflow(i, 64));
    ASSERT_TRUE(WaitUntilRead(sflowPort));
    ASSERT_TRUE(output.Fill());
    pid_t pid = pid_t(p.processId());
    // More than the pipe's 65536 bytes of signals, bounded in count.
    for (int i = 0; i < 200000; ++i) ::kill(pid, SIGTERM);
    EXPECT_TRUE(output.ReadUntil(out)) << "the stop hangs";
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished(5000);
        FAIL() << "the stop hangs";
    }
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(LogLines(dir.path()).size(), 3);
    // The signals did not cut the last print short either: its counters came.
    EXPECT_EQ(Counter(QString::fromUtf8(out), "NetFlow", "kernelDrops"), 0) << out.right(2000).toStdString();
}

// Loss the collector cannot help is still counted and shown: datagrams over the
// buffer, empty ones, and those the kernel dropped while the process could not
// read (stopped here, as a busy machine would hold it off).
TEST(CollectCommand, CountsOversizeEmptyAndKernelDroppedDatagrams)
{
    QTemporaryDir dir;
    uint16_t sflowPort = FreeUdpPort();
    QProcess p;
    QByteArray out;
    ASSERT_TRUE(StartCollect(p, sflowPort, FreeUdpPort(), 120, dir.path(), out)) << out.toStdString();

    SendTo(sflowPort, std::vector<uint8_t>(9000, 0x05));
    SendTo(sflowPort, {});
    ASSERT_TRUE(WaitUntilRead(sflowPort));
    // Far more than the socket's buffer holds (at most 2 x 8 MiB), bounded.
    ::kill(pid_t(p.processId()), SIGSTOP);
    int sender = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(sflowPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    long long sent = 0;
    for (uint32_t i = 1; i <= 20000; ++i) {
        std::vector<uint8_t> d = PaddedSflow(i, 1000);
        if (::sendto(sender, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == ssize_t(d.size()))
            ++sent;
    }
    ::close(sender);
    ::kill(pid_t(p.processId()), SIGCONT);
    ASSERT_TRUE(WaitUntilRead(sflowPort));
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    QString text = QString::fromUtf8(out);
    EXPECT_EQ(Counter(text, "sFlow", "oversizeDatagrams"), 1) << out.toStdString();
    EXPECT_EQ(Counter(text, "sFlow", "emptyDatagrams"), 1);
    long long drops = Counter(text, "sFlow", "kernelDrops");
    EXPECT_GT(drops, 0);
    // Every datagram sent was either received or counted as dropped.
    long long received = LogLines(dir.path()).size();
    EXPECT_EQ(received + drops, sent) << "received " << received << ", dropped " << drops;
    EXPECT_EQ(Counter(text, "NetFlow", "kernelDrops"), 0);
    // The status warns in its own colour; the lines above it are as ever.
    QString warning = QString::fromStdString(LossLine(drops + 2, 0, 0, 0));
    EXPECT_TRUE(text.contains("\n" + warning + "\n")) << out.toStdString();
}

// A file size limit fails the log's writes instead of killing the collector;
// on the stop what could not be written is named, counted and fails the exit.
TEST(CollectCommand, UnwritableLogAtTheStopIsReportedAndFailsTheExit)
{
    QTemporaryDir dir;
    uint16_t sflowPort = FreeUdpPort();
    QProcess p;
    p.setChildProcessModifier([] {
        rlimit small{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &small);
    });
    QByteArray out;
    ASSERT_TRUE(StartCollect(p, sflowPort, FreeUdpPort(), 120, dir.path(), out)) << out.toStdString();
    for (uint32_t i = 1; i <= 40; ++i) SendTo(sflowPort, PaddedSflow(i, 400));  // 40 lines of ~830 bytes
    ASSERT_TRUE(WaitUntilRead(sflowPort));
    // A log tick runs into the limit: the first lines appear, and the process lives on.
    for (int i = 0; i < 3000 && LogLines(dir.path()).isEmpty(); ++i) ::usleep(10 * 1000);
    ASSERT_EQ(p.state(), QProcess::Running) << "killed by the file size limit";
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(10000));
    out += p.readAllStandardOutput();
    QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);

    long long written = LogLines(dir.path()).size();
    EXPECT_GT(written, 0);
    EXPECT_LT(written, 40);
    QString text = QString::fromUtf8(out);
    EXPECT_EQ(Counter(text, "sFlow", "unwrittenLogRecords"), 40 - written) << out.toStdString();
    EXPECT_EQ(Counter(text, "sFlow", "queuedLogRecords"), 0);
    EXPECT_TRUE(err.contains(QString("%1 records could not be written to the flow log").arg(40 - written)))
        << err.toStdString();
    EXPECT_TRUE(err.contains("cannot write the log file " + dir.path())) << err.toStdString();
}

// `ortolan collect | head -1`: the reader goes away and printing stops, but
// collecting and logging go on; a hang-up then writes the queue like SIGTERM.
TEST(CollectCommand, ClosedOutputKeepsCollectingAndHangUpWritesTheQueue)
{
    QTemporaryDir dir;
    uint16_t sflowPort = FreeUdpPort();
    QProcess p;
    QByteArray out;
    ASSERT_TRUE(StartCollect(p, sflowPort, FreeUdpPort(), 5, dir.path(), out)) << out.toStdString();
    p.closeReadChannel(QProcess::StandardOutput);
    SendTo(sflowPort, PaddedSflow(1, 64));
    ::usleep(5800 * 1000);  // a refresh prints into the closed pipe
    ASSERT_EQ(p.state(), QProcess::Running) << "died of the closed output";
    SendTo(sflowPort, PaddedSflow(2, 64));
    ASSERT_TRUE(WaitUntilRead(sflowPort));
    ::kill(pid_t(p.processId()), SIGHUP);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(LogLines(dir.path()).size(), 2);
}

}  // namespace
}  // namespace ortolan
