// SPDX-License-Identifier: GPL-3.0-or-later
// `ortolan collect --clickhouse` as a process: against a real clickhouse-server
// the rows equal what the report of the same flow log counts, and survive the
// server's restart within the queue's bound; against hostile servers the
// collectors go on counting every datagram, the counters say what happened and
// the stop keeps its bound.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "clickhouse_server.h"
#include "clickhouse_store.h"
#include "datagram_builder.h"
#include "fake_http_server.h"
#include "loopback_udp.h"
#include "ortolan_process.h"
#include "peer_harness.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;
using nlohmann::json;
using Datagrams = std::vector<std::vector<uint8_t>>;

// Records per NetFlow v5 datagram the tests make: rows come 30 at a time.
constexpr int kRecordsPerDatagram = 30;

// The value of "name value" in a counters line ("ClickHouse", "NetFlow").
long long Counter(const QString& out, const QString& line, const QString& name)
{
    long long value = -1;
    for (const QString& text : out.split('\n')) {
        if (!text.startsWith(line + "\t")) continue;
        for (const QString& field : text.split('\t'))
            if (field.startsWith(name + " ")) value = field.mid(name.size() + 1).toLongLong();
    }
    return value;  // the last line's: the one printed at the exit
}

class CCollectRun {
public:
    // Starts collect with the store's options; false when it does not say it listens.
    bool Start(const QStringList& storeOptions, const QString& logDir, int refresh = 120)
    {
        m_sflow = FreeUdpPort();
        m_netflow = FreeUdpPort();
        QStringList args = {"collect", "--sflow-port", QString::number(m_sflow), "--netflow-port",
                            QString::number(m_netflow), "--refresh", QString::number(refresh), "--log-dir", logDir};
        m_process.start(Executable(), args + storeOptions);
        if (!m_process.waitForStarted(5000)) return false;
        for (int i = 0; i < 100 && !m_out.contains("NetFlow on UDP port"); ++i) {
            m_process.waitForReadyRead(100);
            m_out += m_process.readAllStandardOutput();
        }
        return m_out.contains("NetFlow on UDP port");
    }
    // Sends in groups the socket's buffer holds, each read before the next.
    bool Send(bool sflow, const Datagrams& datagrams)
    {
        const uint16_t port = sflow ? m_sflow : m_netflow;
        for (size_t i = 0; i < datagrams.size(); ++i) {
            SendTo(port, datagrams[i]);
            if ((i + 1) % 20 == 0 && !WaitUntilRead(port)) return false;
        }
        return WaitUntilRead(port);
    }
    // Until a refresh prints the store's counter at least at `least` (a minute at most).
    bool WaitForCounter(const QString& name, long long least)
    {
        for (int i = 0; i < 600; ++i) {
            if (Counter(out(), "ClickHouse", name) >= least) return true;
            m_process.waitForReadyRead(100);
            m_out += m_process.readAllStandardOutput();
        }
        return false;
    }
    // SIGTERM; the seconds the stop took, or -1 when it did not end in 30 s.
    double Stop()
    {
        const auto start = std::chrono::steady_clock::now();
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(30000)) return -1;
        m_out += m_process.readAllStandardOutput();
        m_err = m_process.readAllStandardError();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    int status() const { return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1; }
    QString out() const { return QString::fromUtf8(m_out); }
    QString err() const { return QString::fromUtf8(m_err); }

private:
    QProcess m_process;
    uint16_t m_sflow = 0;
    uint16_t m_netflow = 0;
    QByteArray m_out;
    QByteArray m_err;
};

// NetFlow v5 datagrams of 30 records each, numbered from `first`, with
// addresses and ports that vary by record.
Datagrams NetflowStream(uint32_t first, int count)
{
    Datagrams out;
    for (int d = 0; d < count; ++d) {
        std::vector<FlowSpec> flows(kRecordsPerDatagram);
        for (int r = 0; r < kRecordsPerDatagram; ++r) {
            flows[size_t(r)].src[3] = uint8_t(r + 1);
            flows[size_t(r)].dst[2] = uint8_t(d);
            flows[size_t(r)].sport = uint16_t(1024 + r);
            flows[size_t(r)].packets = uint32_t(1 + r);
            flows[size_t(r)].octets = uint32_t(100 * (r + 1));
        }
        out.push_back(NetflowV5(first + uint32_t(d), flows));
    }
    return out;
}

// Every line of the folder's flow logs, and the logs' paths.
size_t LogLines(const QString& folder, QStringList* paths = nullptr)
{
    size_t lines = 0;
    for (const QString& name : QDir(folder).entryList({"FL*.log"})) {
        QFile f(QDir(folder).filePath(name));
        if (paths) *paths << f.fileName();
        if (f.open(QIODevice::ReadOnly)) lines += size_t(f.readAll().count('\n'));
    }
    return lines;
}

// Waits for a condition on an outside process (the server, collect's sender):
// at most a minute, a hang guard only.
template <class Condition>
bool Eventually(Condition condition)
{
    for (int i = 0; i < 600; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

long long CountRows(CClickHouseServer& server, const std::string& table)
{
    tagHttpAnswer a = server.Query("SELECT count() FROM " + table);
    return a.kind == tagHttpAnswer::Kind::Ok ? std::stoll(a.text) : -1;
}

// Ethernet/IPv4 traffic among a few dozen hosts: TCP, UDP and ICMP, a VLAN tag, a ToS mark.
std::vector<TestFrame> Traffic()
{
    std::vector<TestFrame> frames;
    const uint8_t server[4] = {192, 168, 1, 100};
    const uint8_t dns[4] = {192, 168, 1, 53};
    for (uint8_t h = 2; h <= 40; ++h) {
        const uint8_t host[4] = {192, 168, 1, h};
        for (int i = 0; i < 3; ++i) {
            frames.push_back(MakeFrame(host, server, 6, uint16_t(40000 + h), 80, 20 + 100 * i));
            frames.push_back(MakeFrame(server, host, 6, 80, uint16_t(40000 + h), 900 + 40 * i, h % 5 ? -1 : 42));
        }
        frames.push_back(MakeFrame(host, dns, 17, uint16_t(5000 + h), 53, 40, -1, h == 3 ? 0xB8 : 0));
        frames.push_back(MakeFrame(host, server, 1, 0, 0, 56));
    }
    return frames;
}

// A real server of the test's own, and collect feeding it. One server serves
// both checks: an 18.16 server takes seconds to start.
TEST(ClickHouseStore, RowsEqualTheReportOfTheSameLogAndOutliveARestartWithinTheBound)
{
    if (CClickHouseServer::Binary().empty()) GTEST_SKIP() << "clickhouse-server is not installed";
    for (const char* tool : {"softflowd", "pmacctd"})
        if (!HaveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    CClickHouseServer server;
    ASSERT_TRUE(server.Start()) << "see " << server.folder() << "/log";

    // Real exporters' streams: softflowd's NetFlow v5 and v9, pmacctd's sFlow v5.
    const std::string dir = MakeTempDir();
    const std::string pcap = dir + "/traffic.pcap";
    WritePcap(pcap, Traffic(), 1700000000);
    Datagrams v5 = CatchExport("softflowd -d -c none -p " + dir + "/sf.pid -r " + pcap + " -n 127.0.0.1:{PORT} -v 5", 20);
    Datagrams v9 = CatchExport("softflowd -d -c none -p " + dir + "/sf.pid -r " + pcap + " -n 127.0.0.1:{PORT} -v 9", 20);
    {
        std::ofstream conf(dir + "/pmacctd.conf");
        conf << "daemonize: false\npcap_savefile: " << pcap << "\nplugins: sfprobe\n"
             << "sfprobe_receiver: 127.0.0.1:@PORT@\nsfprobe_agentip: 10.9.9.9\n"
             << "sfprobe_agentsubid: 3\nsampling_rate: 1\n";
    }
    Datagrams sflow = CatchExport("sh -c 'sed -i s/@PORT@/{PORT}/ " + dir + "/pmacctd.conf && pmacctd -f " + dir +
                                      "/pmacctd.conf'", 25);
    std::filesystem::remove_all(dir);
    ASSERT_FALSE(v5.empty() || v9.empty() || sflow.empty()) << "an exporter sent nothing";

    {
        SCOPED_TRACE("rows against the report");
        // A day long past, in a table made as the store makes it: the
        // retention drops its partition before the first insert.
        ASSERT_EQ(server.Query(CClickHouseStore::CreateTableQuery("flows_report")).kind, tagHttpAnswer::Kind::Ok);
        ASSERT_EQ(server.Query("INSERT INTO flows_report (time, port_key) VALUES ('2020-01-01 12:00:00', 'old')").kind,
                  tagHttpAnswer::Kind::Ok);
        QTemporaryDir logs;
        CCollectRun collect;
        ASSERT_TRUE(collect.Start({"--clickhouse", QString::fromStdString(server.Url()), "--clickhouse-table",
                                   "flows_report", "--retention", "30"}, logs.path()));
        // v5 and v9 come from different exporter ports: the same address, two port keys.
        ASSERT_TRUE(collect.Send(false, v5));
        ASSERT_TRUE(collect.Send(false, v9));
        ASSERT_TRUE(collect.Send(true, sflow));
        ASSERT_GE(collect.Stop(), 0);
        ASSERT_EQ(collect.status(), 0) << collect.err().toStdString();

        QStringList paths;
        LogLines(logs.path(), &paths);
        tagProcessRun report = RunOrtolan(QStringList{"report"} + paths);
        ASSERT_EQ(report.status, 0) << report.err.toStdString();
        json figures = json::parse(report.out.toStdString());
        tagHttpAnswer rows = server.Query(
            "SELECT port_key, hex(exporter), count(), sum(packets), sum(bytes), min(sampling_rate), "
            "sum(src_mac != 0), sum(protocol = 17 AND dst_port = 53) FROM flows_report GROUP BY port_key, exporter "
            "ORDER BY port_key FORMAT TabSeparated");
        ASSERT_EQ(rows.kind, tagHttpAnswer::Kind::Ok) << rows.text;
        std::map<std::string, std::vector<std::string>> byKey;
        for (const std::string& line : SplitText(rows.text, '\n'))
            if (!line.empty()) byKey[SplitText(line, '\t')[0]] = SplitText(line, '\t');

        size_t ports = 0;
        for (const char* collector : {"sflow", "netflow"}) {
            for (const json& port : figures[collector]["ports"]) {
                ++ports;
                const std::string key = port["key"];
                SCOPED_TRACE(key);
                ASSERT_TRUE(byKey.count(key)) << rows.text;
                const std::vector<std::string>& row = byKey[key];
                long long packets = 0, bytes = 0;
                for (const auto& [address, ip] : port["ips"].items()) {
                    packets += ip["txPackets"].get<long long>();
                    bytes += ip["txBytes"].get<long long>();
                }
                // The exporter's address, IPv4 mapped.
                EXPECT_EQ(row[1], std::string(collector) == std::string("sflow")
                                      ? "00000000000000000000FFFF0A090909" : "00000000000000000000FFFF7F000001");
                EXPECT_EQ(std::stoll(row[3]), packets);
                EXPECT_EQ(std::stoll(row[4]), bytes);
                EXPECT_EQ(row[5], "1");
                EXPECT_GT(std::stoll(row[7]), 0) << "DNS rows carry their protocol and port";
                if (std::string(collector) == "sflow") {
                    // One row per sampled header: one packet of the frame's length each.
                    EXPECT_EQ(std::stoll(row[2]), port["sampleCount"].get<long long>());
                    EXPECT_EQ(std::stoll(row[4]), port["sampledBytes"].get<long long>());
                    EXPECT_EQ(row[6], row[2]) << "every Ethernet sample carries its MACs";
                } else {
                    EXPECT_EQ(row[6], "0");
                }
            }
        }
        EXPECT_EQ(ports, byKey.size()) << rows.text;
        EXPECT_EQ(byKey.count("old"), 0u) << "the day past the retention was dropped";
        EXPECT_EQ(ports, 3u) << "sFlow, NetFlow V5 and NetFlow V9";
        const long long queued = Counter(collect.out(), "ClickHouse", "rowsQueued");
        EXPECT_EQ(Counter(collect.out(), "ClickHouse", "rowsSent"), queued);
        EXPECT_EQ(CountRows(server, "flows_report"), queued);
    }
    {
        SCOPED_TRACE("the server stopped mid-run");
        QTemporaryDir logs;
        CCollectRun collect;
        // 16 MiB of memory: the queue holds 2 MiB, about 14,000 rows.
        ASSERT_TRUE(collect.Start({"--clickhouse", QString::fromStdString(server.Url()), "--clickhouse-table",
                                   "flows_restart", "--memory-limit", "16"}, logs.path(), 5));
        // Within the bound: 3,000 rows while the server is away all arrive
        // once it is back, sent by the store's own retries.
        ASSERT_TRUE(collect.Send(false, NetflowStream(1, 10)));
        ASSERT_TRUE(Eventually([&] { return CountRows(server, "flows_restart") == 300; }));
        server.Stop();
        ASSERT_TRUE(collect.Send(false, NetflowStream(11, 100)));
        ASSERT_TRUE(collect.WaitForCounter("failedInserts", 1)) << "the store met the server away";
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(Eventually([&] { return CountRows(server, "flows_restart") == 3300; }));
        // Beyond it: 30,000 rows while the server is away again; the queue's
        // bound keeps what it can and counts the rest.
        const long long failedBefore = Counter(collect.out(), "ClickHouse", "failedInserts");
        server.Stop();
        ASSERT_TRUE(collect.Send(false, NetflowStream(111, 1000)));
        ASSERT_TRUE(collect.WaitForCounter("failedInserts", failedBefore + 1));
        ASSERT_TRUE(server.Start());
        ASSERT_GE(collect.Stop(), 0);
        EXPECT_EQ(collect.status(), 0) << collect.err().toStdString();

        const QString out = collect.out();
        EXPECT_EQ(LogLines(logs.path()), 1110u) << "every datagram reached the log";
        EXPECT_EQ(Counter(out, "NetFlow", "kernelDrops"), 0);
        const long long queued = Counter(out, "ClickHouse", "rowsQueued");
        const long long dropped = Counter(out, "ClickHouse", "rowsDropped");
        const long long sent = Counter(out, "ClickHouse", "rowsSent");
        EXPECT_EQ(queued, 1110 * kRecordsPerDatagram);
        EXPECT_GT(dropped, 0) << out.toStdString();
        EXPECT_LT(dropped, 1000 * kRecordsPerDatagram) << "the queue held what its bound allows";
        EXPECT_EQ(sent, queued - dropped) << out.toStdString();
        EXPECT_EQ(Counter(out, "ClickHouse", "unsentRows"), 0);
        EXPECT_EQ(CountRows(server, "flows_restart"), sent);
        EXPECT_TRUE(collect.err().contains("ClickHouse takes the rows again")) << collect.err().toStdString();
    }
    server.Stop();
}

// Servers that never answer an insert, fail it, refuse it or cut it off.
class HostileServer : public ::testing::TestWithParam<InsertAnswer> {};

TEST_P(HostileServer, CollectKeepsCountingAndStopsWithinItsBound)
{
    CFakeHttpServer fake(GetParam());
    ASSERT_NE(fake.port(), 0);
    QTemporaryDir logs;
    CCollectRun collect;
    ASSERT_TRUE(collect.Start({"--clickhouse", QString("http://127.0.0.1:%1/").arg(fake.port())}, logs.path()));
    // A full batch (50,000 rows) goes at once; then more datagrams arrive
    // while the sender is stuck with the server.
    ASSERT_TRUE(collect.Send(false, NetflowStream(1, 1700)));
    ASSERT_TRUE(Eventually([&] { return fake.inserts() >= 1; }));
    ASSERT_TRUE(collect.Send(false, NetflowStream(1701, 100)));
    const double stopSeconds = collect.Stop();
    ASSERT_GE(stopSeconds, 0) << "the stop did not end";
    // The store's part is bounded by 4 s (and a request's last second);
    // writing the log and the rest take the remainder.
    EXPECT_LT(stopSeconds, 10.0);

    const QString out = collect.out();
    EXPECT_EQ(LogLines(logs.path()), 1800u) << "every datagram was received and logged";
    EXPECT_EQ(Counter(out, "NetFlow", "kernelDrops"), 0);
    EXPECT_EQ(Counter(out, "ClickHouse", "rowsQueued"), 1800 * kRecordsPerDatagram);
    EXPECT_EQ(Counter(out, "ClickHouse", "rowsDropped"), 0);
    EXPECT_EQ(Counter(out, "ClickHouse", "rowsSent"), 0);
    EXPECT_EQ(Counter(out, "ClickHouse", "unsentRows"), 1800 * kRecordsPerDatagram);
    EXPECT_EQ(collect.status(), 1) << "rows were given up";
    EXPECT_TRUE(collect.err().contains("54000 rows could not be sent to ClickHouse")) << collect.err().toStdString();
    if (GetParam() == InsertAnswer::Refuse404) {
        EXPECT_GE(Counter(out, "ClickHouse", "refusals"), 1);
        EXPECT_EQ(Counter(out, "ClickHouse", "failedInserts"), 0);
        EXPECT_EQ(collect.err().count("ClickHouse: inserting into ortolan_flows refused (HTTP 404): Code: 60"), 1)
            << "said once: " << collect.err().toStdString();
    } else {
        EXPECT_GE(Counter(out, "ClickHouse", "failedInserts"), 1);
        EXPECT_EQ(Counter(out, "ClickHouse", "refusals"), 0);
    }
}

std::string AnswerName(const ::testing::TestParamInfo<InsertAnswer>& info)
{
    static const char* const names[] = {"Never", "Error500", "Refuse404", "CloseMidway"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Answers, HostileServer,
                         ::testing::Values(InsertAnswer::Never, InsertAnswer::Error500, InsertAnswer::Refuse404,
                                           InsertAnswer::CloseMidway),
                         AnswerName);

}  // namespace
}  // namespace ortolan
