// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_command.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <QTemporaryDir>
#include <nlohmann/json.hpp>
#include <cstdio>
#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

#include "datagram_builder.h"
#include "test_datagrams.h"
#include "flow_log.h"
#include "ortolan_process.h"
#include "nflow_mon.h"
#include "ortolan_app.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using nlohmann::json;
using ortolan::testing::FlowSpec;
using ortolan::testing::NetflowV5;

struct tagRun {
    int status = 0;
    std::string out;
    std::string err;
};

// Runs the command with standard output and error caught in files.
tagRun RunReport(const std::vector<std::string>& args, const std::string& scratch)
{
    auto capture = [](int stream, const std::string& path) {
        std::fflush(nullptr);
        int saved = ::dup(stream);
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, stream);
        ::close(fd);
        return saved;
    };
    auto restore = [](int stream, int saved) {
        std::fflush(nullptr);
        ::dup2(saved, stream);
        ::close(saved);
    };
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    int savedOut = capture(1, scratch + "/out.txt");
    int savedErr = capture(2, scratch + "/err.txt");
    tagRun run;
    run.status = RunReportCommand(args);
    restore(1, savedOut);
    restore(2, savedErr);
    run.out = slurp(scratch + "/out.txt");
    run.err = slurp(scratch + "/err.txt");
    return run;
}

// One NetFlow v5 export from 192.0.2.9 (engine 0, sequence 7) with one TCP
// flow 10.0.0.1:1024 -> 10.0.0.2:80 of 10 packets and 4000 bytes, from
// interface 1 to interface 2; then lines the replay skips or rejects.
const char kHandMadeLog[] =
    "N\t1700000000\t192.0.2.9\t2055\t"
    "0005000100001388655F1000000000000000000700000000"
    "0A0000010A00000200000000000100020000000A00000FA000000BB800001388"
    "04000050001806000000000018180000\n"
    "this line has no tabs\n"
    "S\t1700000005\t192.0.2.10\t6343\t00000009\n";

TEST(ReportCommand, HandMadeLogGivesItsStatistics)
{
    QTemporaryDir dir;
    std::string log = dir.filePath("FL2023-11-15.log").toStdString();
    std::ofstream(log) << kHandMadeLog;
    tagRun run = RunReport({log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.back(), '\n');
    json report = json::parse(run.out);

    EXPECT_EQ(report["sflow"]["datagramCount"], 1);
    EXPECT_EQ(report["sflow"]["agents"], json::array());
    EXPECT_EQ(report["sflow"]["ports"], json::array());

    const json& netflow = report["netflow"];
    EXPECT_EQ(netflow["datagramCount"], 1);
    EXPECT_EQ(netflow["agents"], json::array({"192.0.2.9"}));
    ASSERT_EQ(netflow["ports"].size(), 1u);
    const json& port = netflow["ports"][0];
    EXPECT_EQ(port["key"], "NetFlow V5:192.0.2.9:0");
    EXPECT_EQ(port["agent"], "192.0.2.9");
    EXPECT_EQ(port["subAgentId"], 0);
    EXPECT_EQ(port["datagrams"], 1);
    EXPECT_EQ(port["lastSequence"], 7);

    const json& source = port["ips"]["10.0.0.1"];
    EXPECT_EQ(source["txPackets"], 10);
    EXPECT_EQ(source["txBytes"], 4000);
    EXPECT_EQ(source["rxPackets"], 0);
    EXPECT_EQ(source["firstSeen"], 1700000000);
    EXPECT_EQ(source["lastSeen"], 1700000000);
    EXPECT_TRUE(source["services"].is_array());
    EXPECT_TRUE(source["macs"].is_array());
    EXPECT_EQ(port["ips"]["10.0.0.2"]["rxBytes"], 4000);
    const json& pair = port["ipMatrix"]["10.0.0.1<->10.0.0.2"];
    EXPECT_EQ(pair["packetsAtoB"], 10);
    EXPECT_EQ(pair["bytesAtoB"], 4000);
    EXPECT_EQ(pair["packetsBtoA"], 0);

    const json& in = port["interfaces"]["1"]["current"];
    EXPECT_EQ(in.size(), 19u);
    EXPECT_EQ(in["ifIndex"], 1);
    EXPECT_EQ(in["ifInOctets"], 4000);
    EXPECT_EQ(in["ifInUcastPkts"], 10);
    EXPECT_EQ(port["interfaces"]["2"]["current"]["ifOutOctets"], 4000);
    EXPECT_TRUE(port["interfaces"]["1"]["history"].is_array());

    EXPECT_EQ(port["sizeClasses"].size(), 7u);
    EXPECT_TRUE(port["sizeClasses"][0].contains("label"));
    for (const char* table : {"ethernetTypes", "ipProtocols", "tcpServices", "udpServices", "icmpTypes",
                              "tosTable", "macs", "macMatrix"})
        EXPECT_TRUE(port[table].is_object()) << table;
    int64_t protocolPackets = 0;
    for (const auto& [name, stat] : port["ipProtocols"].items()) protocolPackets += stat["packets"].get<int64_t>();
    EXPECT_EQ(protocolPackets, 10);
}

// Where the user set agents up for SNMP, the report shows the interface
// names the window last kept of them; without that section it is as ever.
TEST(ReportCommand, InterfacesOfAgentsSetUpForSnmpCarryTheKeptNames)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("FL2023-11-15.log");
    std::ofstream(log.toStdString()) << kHandMadeLog;
    QDir(dir.path()).mkpath("config/HALVARD/ORTOLAN");
    QDir(dir.path()).mkpath("state/ortolan");
    std::ofstream(dir.filePath("state/ortolan/interface-names.txt").toStdString())
        << "ortolan interface names 1\n192.0.2.9\t1\t1000000000\tge-0/0/1\tuplink\n"
           "192.0.2.77\t2\t0\tother agent\t\n";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_STATE_HOME", dir.filePath("state"));
    const std::string settings = dir.filePath("config/HALVARD/ORTOLAN/ortolan.conf").toStdString();

    // Not set up: the names kept are not shown.
    std::ofstream(settings) << "[Setting]\nSF_IP=0.0.0.0\n";
    testing::tagProcessRun plain = testing::RunOrtolan({"report", log}, env);
    ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
    EXPECT_EQ(plain.out.indexOf("ifName"), -1);

    std::ofstream(settings) << "[SnmpAgents]\n192.0.2.9=v2c public\n";
    testing::tagProcessRun named = testing::RunOrtolan({"report", log}, env);
    ASSERT_EQ(named.status, 0) << named.err.toStdString();
    const json report = json::parse(named.out.toStdString());
    const json& interfaces = report["netflow"]["ports"][0]["interfaces"];
    EXPECT_EQ(interfaces["1"]["ifName"], "ge-0/0/1");
    EXPECT_EQ(interfaces["1"]["ifAlias"], "uplink");
    EXPECT_EQ(interfaces["1"]["ifHighSpeed"], 1000000000);
    EXPECT_EQ(interfaces["1"]["current"], json::parse(plain.out.toStdString())["netflow"]["ports"][0]["interfaces"]["1"]["current"]);
    EXPECT_FALSE(interfaces["2"].contains("ifName"));

    testing::tagProcessRun list = testing::RunOrtolan({"report", "--list", "11", log}, env);
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    EXPECT_NE(list.out.indexOf("\"1 ge-0/0/1 (uplink)\",\"10\""), -1) << list.out.toStdString();
    EXPECT_NE(list.out.indexOf("\"2\","), -1) << list.out.toStdString();
}

// The same export twice from one exporter: once sampled 1 in 100 (the v5
// header's interval, mode 1 in its top bits), once with no rate. The JSON
// keeps its counts and adds their scaled sums; --list --scaled writes them.
TEST(ReportCommand, ScaledFiguresSumEachRecordTimesItsRate)
{
    std::string sampled = std::string(kHandMadeLog).substr(0, std::string(kHandMadeLog).find('\n') + 1);
    std::string unsampled = sampled;
    const size_t sampling = sampled.find("0000000700000000") + 12;  // after the sequence, engine type and id
    sampled.replace(sampling, 4, "4064");
    unsampled.replace(unsampled.find("00000007"), 8, "00000008");
    QTemporaryDir dir;
    std::string log = dir.filePath("FL2023-11-15.log").toStdString();
    std::ofstream(log) << sampled << unsampled;
    tagRun run = RunReport({log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    const json port = json::parse(run.out)["netflow"]["ports"].at(0);
    EXPECT_EQ(port["samplingRateLowest"], 100);
    EXPECT_EQ(port["samplingRateHighest"], 100);
    EXPECT_EQ(port["unscaledRecords"], 1);
    const json& source = port["ips"]["10.0.0.1"];
    EXPECT_EQ(source["txPackets"], 20);
    EXPECT_EQ(source["scaledTxPackets"], 10 * 100 + 10);
    EXPECT_EQ(source["scaledTxBytes"], 4000 * 100 + 4000);
    EXPECT_EQ(port["ipMatrix"]["10.0.0.1<->10.0.0.2"]["scaledBytesAtoB"], 4000 * 100 + 4000);
    EXPECT_EQ(port["ipProtocols"]["TCP"]["scaledPackets"], 10 * 100 + 10);
    EXPECT_EQ(port["scaledPackets"], 10 * 100 + 10);
    EXPECT_EQ(port["scaledBytes"], 4000 * 100 + 4000);

    tagRun list = RunReport({"--list", "5", "--scaled", log}, dir.path().toStdString());
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("\"TCP\",\"1010\",\"404000\"\n"), std::string::npos) << list.out;
    tagRun plain = RunReport({"--list", "5", log}, dir.path().toStdString());
    EXPECT_EQ(plain.out.find("1010"), std::string::npos) << plain.out;
}

// sFlow v5 samples of an IPv6 echo request with traffic class 184, from
// 2001:db8::1 to the link-local fe80::2, and its reply: every text a user
// reads is RFC 5952, and only the link-local node is local.
TEST(ReportCommand, Ipv6SamplesShowTheirRfc5952Text)
{
    using testing::Bytes;
    const std::initializer_list<uint8_t> global = {0x20, 0x01, 0x0D, 0xB8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const std::initializer_list<uint8_t> link = {0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    auto line = [](uint32_t sequence, uint8_t srcMac, uint8_t type, std::initializer_list<uint8_t> src,
                   std::initializer_list<uint8_t> dst) {
        Bytes frame;
        frame.raw({0x02, 0, 0, 0, 0, uint8_t(3 - srcMac), 0x02, 0, 0, 0, 0, srcMac}).u16(0x86DD);
        frame.u32(0x6B800000).u16(8).u8(58).u8(64).raw(src).raw(dst).raw({type, 0, 0, 0, 0, 1, 0, 1});
        Bytes datagram = testing::SflowV5Header(sequence, 1);
        datagram.raw(testing::FlowSampleV5({testing::RawHeaderRecordV5(frame.data(), 70)}));
        std::string text = "S\t" + std::to_string(1700000000 + sequence) + "\t10.0.0.1\t6343\t";
        for (uint8_t b : datagram.data()) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", b);
            text += two;
        }
        return text + "\n";
    };
    QTemporaryDir dir;
    std::string log = dir.filePath("FL2023-11-15.log").toStdString();
    std::ofstream(log) << line(1, 1, 128, global, link) << line(2, 2, 129, link, global);

    tagRun run = RunReport({log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    const json report = json::parse(run.out);
    const json& port = report["sflow"]["ports"].at(0);
    EXPECT_EQ(port["ips"]["2001:db8::1"]["txPackets"], 1);
    EXPECT_EQ(port["ips"]["fe80::2"]["rxBytes"], 70);
    EXPECT_EQ(port["ipMatrix"]["2001:db8::1<->fe80::2"]["packetsAtoB"], 1);
    EXPECT_EQ(port["ipMatrix"]["2001:db8::1<->fe80::2"]["packetsBtoA"], 1);
    EXPECT_EQ(port["tosTable"]["[2001:db8::1]:184"]["packets"], 1);
    EXPECT_EQ(port["icmpTypes"]["ICMPv6 Echo Request"]["packets"], 1);
    EXPECT_EQ(port["icmpTypes"]["ICMPv6 Echo Reply"]["packets"], 1);
    EXPECT_EQ(port["ethernetTypes"]["IPv6"]["packets"], 2);

    run = RunReport({"--list", "local", log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"fe80::2\",\"02:00:00:00:00:02\""), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("2001:db8::1"), std::string::npos) << "a global address is not local";
}

TEST(ReportCommand, UnreadableLogFailsWithNothingOnStandardOutput)
{
    QTemporaryDir dir;
    std::string good = dir.filePath("FLgood.log").toStdString();
    std::ofstream(good) << kHandMadeLog;
    std::string missing = dir.filePath("FLmissing.log").toStdString();
    tagRun run = RunReport({good, missing}, dir.path().toStdString());
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;

    EXPECT_EQ(RunReport({}, dir.path().toStdString()).status, 2);
    tagRun badRefresh = RunReport({"--refresh", "soon", good}, dir.path().toStdString());
    EXPECT_EQ(badRefresh.status, 2);
    EXPECT_TRUE(badRefresh.out.empty());
}

// Only regular files are read, and nothing blocks: a device or a FIFO given as
// a log or planted as a name table is refused. A file without one flow-log
// line fails the report; skipped lines and unusable name tables are told.
TEST(ReportCommand, ReadsRegularFilesOnlyAndSaysWhatItCouldNotUse)
{
    char self[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    QString binFolder = QFileInfo(QString::fromLocal8Bit(self)).absolutePath();
    // The program beside a Config folder of our own: a hard link keeps
    // /proc/self/exe, and with it the Config folder, in the scratch folder.
    QTemporaryDir dir(binFolder + "/report-files-XXXXXX");
    ASSERT_TRUE(dir.isValid());
    std::string folder = dir.path().toStdString();
    std::string program = folder + "/ortolan";
    ASSERT_EQ(::link((binFolder + "/ortolan").toLocal8Bit().constData(), program.c_str()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("Config"));
    std::ofstream(folder + "/Config/oui.txt") << "no vendor lines here\n";
    ASSERT_EQ(::symlink("/dev/zero", (folder + "/Config/Port.txt").c_str()), 0);
    std::string fifo = folder + "/FL2023-11-15.log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string good = folder + "/FLgood.log";
    std::ofstream(good) << kHandMadeLog;

    auto run = [&program](const std::string& file) {
        QProcess p;
        p.start(QString::fromStdString(program), {"report", QString::fromStdString(file)});
        bool finished = p.waitForFinished(10000);
        if (!finished) p.kill();
        EXPECT_TRUE(finished) << file << " held the report";
        tagRun r;
        r.status = p.exitCode();
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    };
    for (const std::string& notAFile : {std::string("/dev/zero"), fifo, folder}) {
        tagRun r = run(notAFile);
        EXPECT_EQ(r.status, 2) << notAFile;
        EXPECT_NE(r.err.find(notAFile + " is not a regular file"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }

    tagRun passwd = run("/etc/passwd");
    EXPECT_EQ(passwd.status, 1);
    EXPECT_TRUE(passwd.out.empty());
    EXPECT_NE(passwd.err.find("/etc/passwd holds no flow-log line"), std::string::npos) << passwd.err;
    EXPECT_NE(passwd.err.find("the name table " + folder + "/Config/oui.txt holds no names"), std::string::npos)
        << passwd.err;
    EXPECT_NE(passwd.err.find("the name table " + folder + "/Config/IPProt.txt is missing"), std::string::npos);
    EXPECT_NE(passwd.err.find("the name table " + folder + "/Config/Port.txt is missing or not a regular file"),
              std::string::npos);

    tagRun ok = run(good);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.err.find("lines skipped in " + good + " (not flow-log lines): 1\n"), std::string::npos) << ok.err;
    EXPECT_EQ(json::parse(ok.out)["netflow"]["datagramCount"], 1);
}

// --memory-limit bounds what the report's collectors keep together, as it
// bounds collect's: a log of more distinct addresses than 16 MiB can hold
// reports part of them and says how many new entries were refused.
TEST(ReportCommand, MemoryLimitBoundsTheReplayedTablesAndIsTold)
{
    QTemporaryDir dir;
    std::string log = dir.filePath("FL2023-11-16.log").toStdString();
    constexpr int kDatagrams = 4000;
    constexpr int kFlows = 30;
    {
        std::ofstream out(log, std::ios::binary);
        for (int d = 0; d < kDatagrams; ++d) {
            std::vector<FlowSpec> flows(kFlows);
            for (int f = 0; f < kFlows; ++f) {
                uint32_t n = uint32_t(d * kFlows + f);
                uint8_t a = uint8_t(n >> 16), b = uint8_t(n >> 8), c = uint8_t(n);
                std::copy_n(std::array<uint8_t, 4>{10, a, b, c}.data(), 4, flows[size_t(f)].src);
                std::copy_n(std::array<uint8_t, 4>{172, uint8_t(16 + a), b, c}.data(), 4, flows[size_t(f)].dst);
            }
            out << "N\t" << 1700000000 + d << "\t192.0.2.9\t2055\t";
            for (uint8_t byte : NetflowV5(uint32_t(d * kFlows), flows)) {
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02X", byte);
                out << hex;
            }
            out << "\n";
        }
    }
    tagRun run = RunReport({"--memory-limit", "16", log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("new entries refused by the memory limit of 16 MiB: "), std::string::npos) << run.err;
    json report = json::parse(run.out);
    EXPECT_EQ(report["netflow"]["datagramCount"], kDatagrams);
    ASSERT_EQ(report["netflow"]["ports"].size(), 1u);
    size_t ips = report["netflow"]["ports"][0]["ips"].size();
    EXPECT_GT(ips, 0u);
    EXPECT_LT(ips, size_t(2 * kDatagrams * kFlows));
}

// The report of a log the writer made equals the statistics of the live run
// that received the datagrams, name tables included.
TEST(ReportCommand, ReportOfAWrittenLogEqualsTheLiveRun)
{
    QTemporaryDir dir;
    CNameTables names;
    CSFlowMon liveSflow(names);
    CNFlowMon liveNetflow(names);
    COrtolanApp app;
    COrtolanApp::LoadNameTables(app.ConfigFolder(), names);
    int64_t now = 1765000000;
    liveSflow.SetClock([&now] { return now; });
    liveNetflow.SetClock([&now] { return now; });
    ASSERT_TRUE(testdata::LoopbackExporter::OpenOnFreePort(liveSflow));
    ASSERT_TRUE(testdata::LoopbackExporter::OpenOnFreePort(liveNetflow));
    testdata::LoopbackExporter exporter;
    for (int i = 0; i < 40; ++i) {
        now += 5;
        auto s = testdata::SFlowV5(uint8_t(1 + i % 3), uint32_t(i + 1), uint32_t(1000 * i), uint8_t(1 + i % 7),
                                   uint64_t(1000) * uint64_t(i + 1));
        ASSERT_TRUE(exporter.Deliver(liveSflow, {s}));
        if (i % 2) {
            auto n = testdata::NetFlowV5(uint32_t(i), 1, uint32_t(2000 * i), 1 + i % 3);
            ASSERT_TRUE(exporter.Deliver(liveNetflow, {n}));
        }
    }
    CFlowLog writer(dir.path().toStdString() + "/");
    ASSERT_TRUE(writer.WriteFlowLog(liveNetflow.logQueue(), liveSflow.logQueue()));

    std::string log = dir.path().toStdString() + "/" + CFlowLog::FileNameFor(now);
    tagRun run = RunReport({"--refresh", "30", log}, dir.path().toStdString());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "the shipped name tables load and every line replays";
    std::string live;
    WriteStatisticsJson(liveSflow, liveNetflow, [&live](std::string_view text) { live += text; });
    EXPECT_EQ(run.out, live);
    json replayed = json::parse(run.out);
    EXPECT_EQ(replayed["sflow"]["ports"].size(), 3u);
    EXPECT_EQ(replayed["netflow"]["datagramCount"], 20);
    // Written piece by piece, the report is still what the whole document's
    // sorted, compact dump gives, byte for byte.
    EXPECT_EQ(replayed.dump(-1, ' ', false, json::error_handler_t::replace) + "\n", run.out);
}

}  // namespace
}  // namespace ortolan
