// SPDX-License-Identifier: GPL-3.0-or-later
// `collect --metrics` scraped by a real Prometheus on loopback: what it serves
// passes promtool's check, and the counters Prometheus stores equal the ones
// collect prints. Skipped where Prometheus is not installed.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <chrono>
#include <csignal>
#include <nlohmann/json.hpp>
#include <thread>

#include "datagram_builder.h"
#include "http_client.h"
#include "loopback_udp.h"
#include "monitor_test_support.h"
#include "ortolan_process.h"

namespace ortolan {
namespace {

using namespace ortolan::testing;
using Clock = std::chrono::steady_clock;

const QString kPrometheus = "/usr/bin/prometheus";
const QString kPromtool = "/usr/bin/promtool";

// The value of "name value" in the last counters line of a collector; -1 when none.
long long LastCounter(const QByteArray& out, const QString& collector, const QString& name)
{
    long long value = -1;
    for (const QString& line : QString::fromUtf8(out).split('\n')) {
        if (!line.startsWith(collector + "\t")) continue;
        for (const QString& field : line.split('\t'))
            if (field.startsWith(name + " ")) value = field.mid(name.size() + 1).toLongLong();
    }
    return value;
}

// A process of the test's, stopped by its PID at the end whatever happens.
struct tagOwnedProcess {
    QProcess process;
    ~tagOwnedProcess()
    {
        if (process.state() == QProcess::NotRunning) return;
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(30000)) {
            ::kill(pid_t(process.processId()), SIGKILL);
            process.waitForFinished(5000);
        }
    }
};

// The one value of an instant query, as Prometheus answers it; empty while
// it has none.
std::string QueryValue(uint16_t port, const std::string& query)
{
    QByteArray encoded = QUrl::toPercentEncoding(QString::fromStdString(query));
    tagHttpAnswer answer = HttpGet(port, "/api/v1/query?query=" + encoded.toStdString());
    if (answer.status != 200) return {};
    nlohmann::json reply = nlohmann::json::parse(answer.body, nullptr, false);
    if (reply.is_discarded() || reply.value("status", "") != "success") return {};
    const nlohmann::json& result = reply["data"]["result"];
    if (!result.is_array() || result.size() != 1) return {};
    return result[0]["value"][1].get<std::string>();
}

TEST(CollectMetrics, PrometheusStoresTheCountersCollectPrints)
{
    if (!QFileInfo(kPrometheus).isExecutable() || !QFileInfo(kPromtool).isExecutable())
        GTEST_SKIP() << "prometheus and promtool are not installed";
    ASSERT_TRUE(QFileInfo(Executable()).isExecutable());
    QTemporaryDir dir;
    const uint16_t sflowPort = FreeUdpPort(), netflowPort = FreeUdpPort(), metricsPort = FreeTcpPort();

    tagOwnedProcess collect;
    QProcess& p = collect.process;
    p.start(Executable(), {"collect", "--sflow-port", QString::number(sflowPort), "--netflow-port",
                           QString::number(netflowPort), "--refresh", "5", "--log-dir", dir.path(), "--metrics",
                           QString("127.0.0.1:%1").arg(metricsPort)});
    QByteArray out;
    const QByteArray listening = QString("Prometheus metrics on http://127.0.0.1:%1/metrics").arg(metricsPort).toUtf8();
    for (int i = 0; i < 100 && !out.contains(listening) && p.state() != QProcess::NotRunning; ++i) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains(listening)) << out.toStdString() << p.readAllStandardError().toStdString();

    // 20 sFlow datagrams and 3 repeats of the last; 4 NetFlow datagrams of no known version.
    const int kDatagrams = 20, kRepeats = 3, kUnknown = 4;
    for (int i = 1; i <= kDatagrams + kRepeats; ++i) {
        Bytes b = SflowV5Header(uint32_t(std::min(i, kDatagrams)), 1);
        b.raw(FlowSampleV5({RawHeaderRecordV5(EthernetIpv4Frame(FrameSpec{}), 1000)}));
        SendTo(sflowPort, b.data());
    }
    for (int i = 0; i < kUnknown; ++i) SendTo(netflowPort, {0, 42, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(WaitUntilRead(sflowPort) && WaitUntilRead(netflowPort));

    // What collect serves passes promtool's own check.
    tagHttpAnswer scrape = HttpGet(metricsPort, "/metrics");
    ASSERT_EQ(scrape.status, 200) << scrape.head;
    EXPECT_NE(scrape.head.find("Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(scrape.body.find("ortolan_port_datagrams_total{port=\"sFlow V5:10.0.0.1:0\",exporter=\"10.0.0.1\","
                               "kind=\"sflow\",version=\"5\"} 20\n"),
              std::string::npos)
        << scrape.body;
    QProcess check;
    check.start(kPromtool, {"check", "metrics"});
    ASSERT_TRUE(check.waitForStarted(5000));
    check.write(QByteArray::fromStdString(scrape.body));
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString()
                                   << check.readAllStandardError().toStdString();

    // The counters line of a print made after every datagram was read.
    const auto printCap = Clock::now() + std::chrono::seconds(60);
    while (LastCounter(out, "NetFlow", "rejectedDatagrams") != kUnknown && Clock::now() < printCap) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    const long long sflowRejected = LastCounter(out, "sFlow", "rejectedDatagrams");
    const long long netflowRejected = LastCounter(out, "NetFlow", "rejectedDatagrams");
    ASSERT_EQ(netflowRejected, kUnknown) << out.toStdString();
    ASSERT_EQ(sflowRejected, kRepeats) << out.toStdString();

    // A Prometheus of the test's own scrapes collect every second.
    const uint16_t prometheusPort = FreeTcpPort();
    QFile config(dir.filePath("prometheus.yml"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(QString("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\n"
                         "scrape_configs:\n  - job_name: ortolan\n    static_configs:\n"
                         "      - targets: ['127.0.0.1:%1']\n")
                     .arg(metricsPort)
                     .toUtf8());
    config.close();
    tagOwnedProcess prometheus;
    prometheus.process.setProcessChannelMode(QProcess::MergedChannels);
    prometheus.process.start(kPrometheus, {"--config.file=" + config.fileName(),
                                           "--storage.tsdb.path=" + dir.filePath("tsdb"),
                                           QString("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
    ASSERT_TRUE(prometheus.process.waitForStarted(10000));

    // Waits on what Prometheus holds, not on time: the cap only guards a hang.
    const std::vector<std::pair<std::string, long long>> expected = {
        {R"(ortolan_rejected_datagrams_total{kind="sflow"})", sflowRejected},
        {R"(ortolan_rejected_datagrams_total{kind="netflow"})", netflowRejected},
        {R"(ortolan_port_datagrams_total{kind="sflow"})", kDatagrams},
    };
    const auto queryCap = Clock::now() + std::chrono::seconds(90);
    for (const auto& [query, value] : expected) {
        std::string seen;
        while ((seen = QueryValue(prometheusPort, query)) != std::to_string(value) && Clock::now() < queryCap &&
               prometheus.process.state() == QProcess::Running)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(seen, std::to_string(value)) << query << "\n"
                                               << prometheus.process.readAll().toStdString();
    }
    EXPECT_EQ(QueryValue(prometheusPort, R"(up{job="ortolan"})"), "1");
}

// A metrics port that cannot be had stops the start as a collector's port
// does: named on stderr, status 2, nothing collected. So is a bad address.
TEST(CollectMetrics, PortThatCannotOpenFailsTheStart)
{
    ASSERT_TRUE(QFileInfo(Executable()).isExecutable());
    QTemporaryDir dir;
    int held = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ASSERT_EQ(::bind(held, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(held, 1), 0);
    ASSERT_EQ(::getsockname(held, reinterpret_cast<sockaddr*>(&a), &length), 0);
    const QString port = QString::number(ntohs(a.sin_port));
    for (const QString& metrics : {port, "[::1:" + port, "localhost:" + port}) {
        tagProcessRun run = RunOrtolan({"collect", "--sflow-port", QString::number(FreeUdpPort()), "--netflow-port",
                                        QString::number(FreeUdpPort()), "--log-dir", dir.path(), "--metrics", metrics});
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.status, 2) << metrics.toStdString();
        EXPECT_TRUE(run.err.contains(metrics == port ? "cannot serve metrics on 127.0.0.1 port " + port
                                                     : "--metrics: \"" + metrics + "\""))
            << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("Prometheus metrics on")) << run.out.toStdString();
    }
    ::close(held);
}

}  // namespace
}  // namespace ortolan
