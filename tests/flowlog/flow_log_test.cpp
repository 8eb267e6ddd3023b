// SPDX-License-Identifier: GPL-3.0-or-later
#include "flow_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "flow_log_writer.h"
#include "log_files.h"
#include "replay_feed.h"
#include "test_datagrams.h"
#include "local_dates.h"

namespace ortolan {
namespace {

namespace fs = std::filesystem;
using testdata::Digest;
using testdata::LoopbackExporter;

using testing::LocalTimeOf;

// An sFlow collector that also keeps the last datagram handed to its decoder,
// exactly as the decoder saw it.
class CRecordingSFlow : public CSFlowMon {
public:
    void ParseDatagram(const tagDatagram& datagram) override
    {
        last.assign(datagram.bytes, datagram.bytes + datagram.length);
        CSFlowMon::ParseDatagram(datagram);
    }
    std::vector<uint8_t> last;
};

class FlowLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ortolan-flowlog-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        m_dir = std::string(pattern) + "/";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string ReadFile(const std::string& name) const
    {
        std::ifstream in(m_dir + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void WriteFile(const std::string& name, const std::string& text) const
    {
        std::ofstream(m_dir + name, std::ios::binary) << text;
    }

    // Receives a day of traffic on real loopback sockets: sFlow from two
    // agents and NetFlow (v5, or v9 or IPFIX with the template in the first
    // datagram only) from one exporter, one datagram per clock second.
    void ReceiveTraffic(CNFlowMon& netflow, CSFlowMon& sflow, int64_t start, int count, int netflowVersion = 5)
    {
        uint32_t records = 0;
        netflow.SetClock([this] { return m_now; });
        sflow.SetClock([this] { return m_now; });
        ASSERT_TRUE(LoopbackExporter::OpenOnFreePort(netflow));
        ASSERT_TRUE(LoopbackExporter::OpenOnFreePort(sflow));
        LoopbackExporter exporter;
        for (int i = 0; i < count; ++i) {
            m_now = start + i * 7;
            auto s = testdata::SFlowV5(uint8_t(1 + i % 2), uint32_t(100 + i), uint32_t(5000 + 1000 * i),
                                       uint8_t(1 + i % 5), uint64_t(100000) * uint64_t(i + 1));
            ASSERT_TRUE(exporter.Deliver(sflow, {s}));
            if (i % 3 == 0) {
                auto n = netflowVersion == 5
                             ? testdata::NetFlowV5(uint32_t(i), 2, uint32_t(9000 + 1000 * i), 1 + i % 4)
                             : testdata::TemplatedFlows(netflowVersion, netflowVersion == 9 ? uint32_t(i) : records,
                                                        uint32_t(9000 + 1000 * i), 1 + i % 4, i == 0);
                records += uint32_t(1 + i % 4);
                ASSERT_TRUE(exporter.Deliver(netflow, {n}));
            }
        }
        netflow.Close();
        sflow.Close();
    }

    // Replays with the collectors' clock at each datagram's logged time, as
    // the live run's clock was when it received it (the NetFlow decoder
    // stamps interface samples with the clock, not the datagram time).
    bool ReplayAtLoggedTimes(CFlowLog& log, const std::string& name, CNFlowMon& netflow,
                             CSFlowMon& sflow, std::vector<int64_t>* seen = nullptr)
    {
        netflow.SetClock([this] { return m_replayTime; });
        sflow.SetClock([this] { return m_replayTime; });
        tagReplayHooks hooks{[this, seen](int64_t t) {
                                 m_replayTime = t;
                                 if (seen) seen->push_back(t);
                             },
                             {}};
        return log.ReplayLog(name, ReplayFeed(netflow, sflow), 60, hooks);
    }

    std::string m_dir;
    int64_t m_now = 0;
    int64_t m_replayTime = 0;
};

TEST_F(FlowLogTest, RecordTextIsByteExact)
{
    const uint8_t bytes[] = {0x00, 0x05, 0x7F, 0xFF};
    tagXFlowLog record;
    record.receivedAt = 1236992400;
    record.sender = "192.168.0.10";
    record.senderPort = 50000;
    record.bytes = bytes;
    EXPECT_EQ(CFlowLog::FormatLogLine(record), "1236992400\t192.168.0.10\t50000\t00057FFF");
    EXPECT_EQ(CFlowLog::FileNameFor(LocalTimeOf(2009, 3, 14, 12)), "FL2009-03-14.log");
}

TEST_F(FlowLogTest, WrittenLogReplaysToTheSameStatisticsAsTheLiveRun)
{
    CNFlowMon liveNetflow;
    CSFlowMon liveSflow;
    int64_t start = LocalTimeOf(2026, 12, 7, 9);
    ReceiveTraffic(liveNetflow, liveSflow, start, 30);
    ASSERT_EQ(liveSflow.logQueue().size(), 30u);
    ASSERT_EQ(liveNetflow.logQueue().size(), 10u);

    CFlowLog log(m_dir);
    ASSERT_TRUE(log.WriteFlowLog(liveNetflow.logQueue(), liveSflow.logQueue()));
    EXPECT_EQ(liveSflow.logQueue().size(), 0u);
    EXPECT_EQ(liveNetflow.logQueue().size(), 0u);
    EXPECT_EQ(liveSflow.logQueue().bytes(), 0u);

    // One tick: every NetFlow line comes before every sFlow line.
    std::string text = ReadFile(CFlowLog::FileNameFor(start + 400));
    size_t lastN = text.rfind("\nN\t");
    size_t firstS = text.find("S\t");
    ASSERT_EQ(text.rfind("N\t", 0), 0u);
    EXPECT_LT(lastN, firstS);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 40);

    CNFlowMon netflow;
    CSFlowMon sflow;
    std::vector<int64_t> seen;
    ASSERT_TRUE(ReplayAtLoggedTimes(log, CFlowLog::FileNameFor(start), netflow, sflow, &seen));
    EXPECT_EQ(Digest(sflow), Digest(liveSflow));
    EXPECT_EQ(Digest(netflow), Digest(liveNetflow));
    EXPECT_EQ(seen.size(), 40u);
    EXPECT_EQ(log.skippedLines(), 0u);
    EXPECT_EQ(sflow.logQueue().size(), 0u) << "replay queues nothing";
}

TEST_F(FlowLogTest, ReplayLearnsTemplatesFromTheLoggedDatagrams)
{
    for (int version : {9, 10}) {
        CNFlowMon liveNetflow;
        CSFlowMon liveSflow;
        int64_t start = LocalTimeOf(2026, 12, 7, 9) + version * 86400;
        ReceiveTraffic(liveNetflow, liveSflow, start, 30, version);
        CFlowLog log(m_dir);
        ASSERT_TRUE(log.WriteFlowLog(liveNetflow.logQueue(), liveSflow.logQueue()));
        CNFlowMon netflow;
        CSFlowMon sflow;
        ASSERT_TRUE(ReplayAtLoggedTimes(log, CFlowLog::FileNameFor(start), netflow, sflow));
        EXPECT_EQ(Digest(netflow), Digest(liveNetflow)) << version;
        ASSERT_EQ(netflow.ports.size(), 1u);
        EXPECT_EQ(netflow.ports.begin()->second->ips.size(), 8u) << version;
        EXPECT_EQ(netflow.unknownTemplateSets, 0u);
    }
}

// The receiving side queues while the writer thread runs its passes: every
// record reaches the file once, as a whole line and in order, and the stop
// writes what the last request did not cover.
TEST_F(FlowLogTest, WriterThreadWritesWhatIsQueuedMeanwhileOnceAndInOrder)
{
    CLogQueue netflow, sflow;
    CFlowLogWriter writer(netflow, sflow);
    writer.SetFolder(m_dir);
    writer.Start();
    const int64_t t = LocalTimeOf(2026, 12, 7, 9);
    constexpr uint32_t kRecords = 20000;
    std::vector<std::string> expected[2];
    for (uint32_t i = 0; i < kRecords; ++i) {
        const uint8_t bytes[] = {uint8_t(i >> 24), uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i), uint8_t(i % 7)};
        bool isNetFlow = i % 4 == 3;
        ASSERT_TRUE((isNetFlow ? netflow : sflow).Push(t + i / 1000, "192.0.2.1", 6343, bytes));
        tagXFlowLog record{t + i / 1000, "192.0.2.1", 6343, bytes};
        expected[isNetFlow].push_back(CFlowLog::FormatLogLine(record));
        if (i % 500 == 0) writer.Request();
    }
    EXPECT_TRUE(writer.Stop());
    EXPECT_EQ(netflow.size() + sflow.size(), 0u);
    EXPECT_EQ(netflow.bytes() + sflow.bytes(), 0u);

    std::vector<std::string> written[2];
    std::istringstream in(ReadFile(CFlowLog::FileNameFor(t)));
    for (std::string line; std::getline(in, line);) {
        ASSERT_GE(line.size(), 2u);
        written[line[0] == 'N'].push_back(line.substr(2));
    }
    EXPECT_EQ(written[0], expected[0]);
    EXPECT_EQ(written[1], expected[1]);
}

// The writer empties the queue about ten times a second while the receive
// thread refills it: emptied chunks are kept up to the recent peak, so a
// steady flow allocates nothing, and a peak long past gives its memory back.
TEST(LogQueue, AFlowThatRefillsItsPeakReusesItsChunks)
{
    CLogQueue queue;
    const std::vector<uint8_t> datagram(1400, 0x5a);
    auto fill = [&](int records) {
        for (int i = 0; i < records; ++i) ASSERT_TRUE(queue.Push(i, "192.0.2.1", 6343, datagram));
    };
    auto drain = [&] {
        CLogQueue::CReader reader(queue);
        reader.Pop(reader.available());
    };
    constexpr int kPass = 20000;  // about 110 chunks
    fill(kPass);
    const uint64_t peak = queue.allocatedChunks();
    ASSERT_GT(peak, 100u);
    for (int pass = 0; pass < 5; ++pass) {
        drain();
        fill(kPass);
    }
    EXPECT_EQ(queue.allocatedChunks(), peak) << "a refill within the peak allocates nothing";
    for (int quiet = 0; quiet < 100; ++quiet) {
        drain();
        fill(1);
    }
    drain();
    fill(kPass);
    EXPECT_GT(queue.allocatedChunks(), peak + 50) << "quiet passes gave the peak's chunks back";
}

TEST(LogQueue, FillHookFiresOnceEachTimeTheThresholdIsCrossed)
{
    CLogQueue queue;
    int calls = 0;
    const std::vector<uint8_t> datagram(200, 1);
    queue.SetFillHook(4 * LogRecordCost(datagram.size()), [&] { ++calls; });
    for (int i = 0; i < 3; ++i) queue.Push(i, "192.0.2.1", 6343, datagram);
    EXPECT_EQ(calls, 0);
    for (int i = 0; i < 5; ++i) queue.Push(i, "192.0.2.1", 6343, datagram);
    EXPECT_EQ(calls, 1) << "the fourth record crosses it; those after it add nothing";
    {
        CLogQueue::CReader reader(queue);
        reader.Pop(reader.available());
    }
    std::vector<tagDatagram> burst(4, tagDatagram{datagram.data(), datagram.size(), "192.0.2.1", 6343, 0});
    queue.Push(burst);
    EXPECT_EQ(calls, 2) << "a whole burst crosses it again";
}

TEST_F(FlowLogTest, TornTailOfAnEarlierRunIsCutBeforeAppending)
{
    CNFlowMon netflow;
    CSFlowMon sflow;
    int64_t start = LocalTimeOf(2026, 12, 7, 9);
    ReceiveTraffic(netflow, sflow, start, 3);
    std::string name = CFlowLog::FileNameFor(start);
    WriteFile(name, "S\t1\t10.0.0.1\t6343\t00000005\nS\t2\t10.0.0.1\t6343\t0000");
    CFlowLog log(m_dir);
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    std::string text = ReadFile(name);
    EXPECT_EQ(text.rfind("S\t1\t10.0.0.1\t6343\t00000005\nN\t", 0), 0u);
    EXPECT_EQ(text.find("S\t2\t"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

// The folder is the one named when the log first wrote: a link to it that is
// re-pointed later moves neither the lines still to come nor the purge.
TEST_F(FlowLogTest, ARepointedFolderLinkDoesNotMoveTheLog)
{
    fs::create_directory(m_dir + "a");
    fs::create_directory(m_dir + "b");
    fs::create_directory_symlink(m_dir + "a", m_dir + "logs");
    const int64_t start = LocalTimeOf(2026, 12, 7, 9);
    const std::string name = CFlowLog::FileNameFor(start);
    CFlowLog log(m_dir + "logs/");
    for (int run = 0; run < 2; ++run) {
        CNFlowMon netflow;
        CSFlowMon sflow;
        ReceiveTraffic(netflow, sflow, start + run * 60, 3);
        ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue())) << log.problem();
        fs::remove(m_dir + "logs");
        fs::create_directory_symlink(m_dir + "b", m_dir + "logs");
    }
    WriteFile("b/FL2026-01-01.log", "x\n");
    WriteFile("a/FL2026-01-01.log", "x\n");
    EXPECT_EQ(log.PurgeOldLogs(14, start, 1000), 1);
    EXPECT_EQ(ListLogFiles(m_dir + "a/"), (std::vector<std::string>{name}));
    EXPECT_EQ(ListLogFiles(m_dir + "b/"), (std::vector<std::string>{"FL2026-01-01.log"}));
    const std::string text = ReadFile("a/" + name);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 8);
}

// Lines of any shape replay or skip without stopping the rest of the file;
// a last line without its line break is skipped as torn.
TEST_F(FlowLogTest, MalformedLinesAreSkippedAndTheRestReplays)
{
    auto valid = [](int t) {
        return "S\t" + std::to_string(t) + "\t10.0.0.1\t6343\t00000005\n";
    };
    std::string text;
    text += "no tabs at all\n" + valid(1);
    text += std::string("\0\x01\x02\xff\t\t\xfe\n", 8);                // binary, two tabs
    text += "S\t1\t10.0.0.1\t6343\n" + valid(2);                     // three tabs
    text += "X\t3\t10.0.0.2\t6343\t0A1\r\n";                          // sFlow, one byte 0A
    text += "S\t4\t10.0.0.1\t6343\t00GG0005\n" + valid(5);           // not hexadecimal
    text += "S\t6\t10.0.0.1\t6343\t" + std::string(2 * 8193, 'A') + "\n" + valid(7);
    text += "S\t8\t10.0.0.1\t6343\t" + std::string(3 << 20, 'B') + "\n" + valid(9);
    text += "N\tabc\t10.0.0.3\tport\t  \n";                           // time and port 0, empty payload
    text += "S\t10\t10.0.0.1\t6343\t" + std::string(2 * 8192, '0') + "\n";  // full buffer
    // The torn tail a killed writer leaves: half a datagram is no datagram.
    text += "S\t11\t10.0.0.1\t6343\t000000";
    WriteFile("FLodd.log", text);

    CFlowLog log(m_dir);
    CNFlowMon netflow;
    CRecordingSFlow sflow;
    std::vector<int64_t> times;
    tagReplayHooks hooks{[&](int64_t t) { times.push_back(t); }, {}};
    ASSERT_TRUE(log.ReplayLog("FLodd.log", ReplayFeed(netflow, sflow), 60, hooks));
    EXPECT_EQ(log.skippedLines(), 7u);
    EXPECT_EQ(log.oversizeLines(), 2u);
    EXPECT_EQ(netflow.datagramCount, 1u);
    EXPECT_EQ(sflow.datagramCount, 7u);
    EXPECT_EQ(times, (std::vector<int64_t>{1, 2, 3, 5, 7, 9, 0, 10}));
    EXPECT_EQ(sflow.last, std::vector<uint8_t>(8192, 0));
}

// Reading runs ahead of decoding: whenever the caller is asked, exactly the
// lines that end within the bytes read so far have been replayed, a stop
// replays nothing after it, and a hook that throws leaves no reader behind.
TEST_F(FlowLogTest, ReplayStopsExactlyWhereTheCallerWasAsked)
{
    std::string text;
    for (int i = 0; i < 1500; ++i) {
        std::string hex(size_t(2 * (1 + i * 7919 % 3000)), 'A');
        hex[hex.size() / 2] = char('0' + i % 10);
        text += (i % 4 == 3 ? "N\t" : "S\t") + std::to_string(1700000000 + i / 10) + "\t10.0.0." +
                std::to_string(1 + i % 3) + "\t6343\t" + hex + "\n";
    }
    ASSERT_GT(text.size(), size_t(4) << 20);
    WriteFile("FLlong.log", text);
    auto linesWithin = [&text](uint64_t bytes) {
        return uint64_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(bytes), '\n'));
    };

    for (size_t stopAt : {size_t(0), size_t(3)}) {
        CFlowLog log(m_dir);
        CNFlowMon netflow;
        CSFlowMon sflow;
        uint64_t observed = 0;
        std::vector<uint64_t> asked;
        tagReplayHooks hooks{[&](int64_t) { ++observed; }, {}};
        auto progress = [&](uint64_t done, uint64_t total) {
            EXPECT_EQ(total, text.size());
            EXPECT_EQ(observed, linesWithin(done)) << "asked at " << done;
            asked.push_back(done);
            return asked.size() != stopAt;
        };
        bool finished = log.ReplayLog("FLlong.log", ReplayFeed(netflow, sflow), 60, hooks, progress);
        uint64_t fed = netflow.datagramCount + sflow.datagramCount;
        EXPECT_EQ(fed, observed);
        EXPECT_EQ(log.replayedLines(), observed);
        EXPECT_EQ(log.skippedLines(), 0u);
        if (stopAt == 0) {
            EXPECT_TRUE(finished);
            EXPECT_EQ(observed, 1500u);
            EXPECT_EQ(netflow.datagramCount, 375u);
            ASSERT_GE(asked.size(), 6u);
            EXPECT_EQ(asked.back(), text.size());
        } else {
            EXPECT_FALSE(finished);
            ASSERT_EQ(asked.size(), stopAt);
            EXPECT_GT(observed, 0u);
            EXPECT_EQ(observed, linesWithin(asked.back()));
        }
    }

    CFlowLog log(m_dir);
    CNFlowMon netflow;
    CSFlowMon sflow;
    uint64_t observed = 0;
    tagReplayHooks throwing{[&](int64_t) {
                                if (++observed == 700) throw std::runtime_error("hook failed");
                            },
                            {}};
    EXPECT_THROW(log.ReplayLog("FLlong.log", ReplayFeed(netflow, sflow), 60, throwing), std::runtime_error);
    EXPECT_EQ(netflow.datagramCount + sflow.datagramCount, 699u);
}

TEST_F(FlowLogTest, OddDigitIsIgnored)
{
    WriteFile("FLone.log", "X\t3\t10.0.0.2\t6343\t0A1\n");
    CFlowLog log(m_dir);
    CNFlowMon netflow;
    CRecordingSFlow sflow;
    ASSERT_TRUE(log.ReplayLog("FLone.log", ReplayFeed(netflow, sflow), 60, {}));
    EXPECT_EQ(sflow.last, std::vector<uint8_t>{0x0A});
    EXPECT_EQ(sflow.datagramTime, 3);
}

TEST_F(FlowLogTest, IntervalsCloseWhenTheRefreshIntervalIsExceeded)
{
    auto line = [](int64_t t) { return "S\t" + std::to_string(t) + "\t10.0.0.1\t6343\t00000005\n"; };
    int64_t t = 1700000000;
    WriteFile("FLa.log", line(t) + line(t + 30) + line(t + 61) + line(t + 90) + line(t + 150) +
                             line(t + 100) + line(t + 101));
    CFlowLog log(m_dir);
    CNFlowMon netflow;
    CSFlowMon sflow;
    std::vector<int64_t> closes;
    tagReplayHooks hooks{{}, [&](int64_t at) { closes.push_back(at); }};
    ASSERT_TRUE(log.ReplayLog("FLa.log", ReplayFeed(netflow, sflow), 60, hooks));
    // t+150 is 89 s after t+61; the step back to t+100 closes one more.
    EXPECT_EQ(closes, (std::vector<int64_t>{t + 61, t + 150, t + 100}));

    // Each file starts its own interval.
    closes.clear();
    WriteFile("FLb.log", line(t + 5000) + line(t + 5030));
    ASSERT_TRUE(log.ReplayLog("FLb.log", ReplayFeed(netflow, sflow), 60, hooks));
    EXPECT_TRUE(closes.empty());
}

TEST_F(FlowLogTest, MissingFileOrFolderIsNotReplayed)
{
    CFlowLog log(m_dir);
    CNFlowMon netflow;
    CSFlowMon sflow;
    fs::create_directory(m_dir + "FLdir.log");
    EXPECT_FALSE(log.ReplayLog("FL2000-01-01.log", ReplayFeed(netflow, sflow), 60, {}));
    EXPECT_FALSE(log.ReplayLog("FLdir.log", ReplayFeed(netflow, sflow), 60, {}));
    EXPECT_EQ(sflow.datagramCount, 0u);
}

TEST_F(FlowLogTest, PurgeKeepsTodayAndTheRetainedDays)
{
    for (const char* name : {"FL2026-11-20.log", "FL2026-11-21.log", "FL2026-11-22.log",
                             "FL2026-12-06.log", "FLnotes.log", "other.log"})
        WriteFile(name, "x\n");
    fs::create_directory(m_dir + "FL2000-01-01.log");
    int64_t now = LocalTimeOf(2026, 12, 6, 10);

    CFlowLog log(m_dir);
    EXPECT_EQ(log.PurgeOldLogs(0, now, 1000), 0);
    EXPECT_EQ(ListLogFiles(m_dir).size(), 5u);

    EXPECT_EQ(log.PurgeOldLogs(14, now, 1000), 2);
    EXPECT_EQ(ListLogFiles(m_dir),
              (std::vector<std::string>{"FL2026-11-22.log", "FL2026-12-06.log", "FLnotes.log"}));
    EXPECT_TRUE(fs::is_directory(m_dir + "FL2000-01-01.log"));
    EXPECT_TRUE(fs::exists(m_dir + "other.log"));

    // Once per calendar day: later ticks of the same day leave new old files alone.
    WriteFile("FL2026-01-01.log", "x\n");
    EXPECT_EQ(log.PurgeOldLogs(14, now + 3600, 1000 + 3600), 0);
    EXPECT_EQ(log.PurgeOldLogs(14, now + 86400, 1000 + 86400), 2);
    EXPECT_EQ(ListLogFiles(m_dir), (std::vector<std::string>{"FL2026-12-06.log", "FLnotes.log"}));
}

// The wall clock against the time since boot: a step holds the purge until
// the clocks agree again, or until the stepped clock has run steadily for a
// day; a file written in this run, or named by the caller, is never deleted.
TEST_F(FlowLogTest, PurgeWaitsOutAClockStepAndKeepsThisRunsFiles)
{
    int64_t now = LocalTimeOf(2026, 12, 6, 10);
    int64_t boot = 1000;
    CFlowLog log(m_dir);
    EXPECT_EQ(log.PurgeOldLogs(14, now, boot), 0);
    WriteFile("FL2026-12-01.log", "x\n");
    WriteFile("FL2026-11-01.log", "x\n");
    WriteFile("FL2026-10-01.log", "x\n");

    // Slewed by a few seconds: no step.
    EXPECT_EQ(log.PurgeOldLogs(14, now + 125, boot + 120), 0);
    EXPECT_EQ(log.clockStep(), 0);
    // Sixty days ahead and back: nothing goes, though the day changed twice.
    const int64_t step = 60 * 86400;
    EXPECT_EQ(log.PurgeOldLogs(14, now + step + 240, boot + 240), 0);
    EXPECT_EQ(log.clockStep(), step - 5) << "measured from the slewed clock";
    EXPECT_EQ(log.PurgeOldLogs(14, now + 360, boot + 360), 0);
    EXPECT_EQ(log.clockStep(), 0);
    EXPECT_EQ(ListLogFiles(m_dir).size(), 3u);

    // A file this run wrote, and one the caller names, stay whatever their day.
    CNFlowMon netflow;
    CSFlowMon sflow;
    ReceiveTraffic(netflow, sflow, LocalTimeOf(2026, 11, 2, 9), 1);
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    EXPECT_EQ(log.writtenFiles(), (std::set<std::string>{"FL2026-11-02.log"}));
    EXPECT_EQ(log.PurgeOldLogs(14, now + 86400, boot + 86400, {"FL2026-10-01.log"}), 1);
    EXPECT_EQ(ListLogFiles(m_dir),
              (std::vector<std::string>{"FL2026-10-01.log", "FL2026-11-02.log", "FL2026-12-01.log"}));

    // A clock set back a week that then runs steadily for a day is believed.
    int64_t back = now + 2 * 86400 - 7 * 86400;
    EXPECT_EQ(log.PurgeOldLogs(14, back, boot + 2 * 86400), 0);
    EXPECT_EQ(log.clockStep(), -7 * 86400);
    EXPECT_EQ(log.PurgeOldLogs(14, back + 43200, boot + 2 * 86400 + 43200), 0);
    EXPECT_EQ(log.clockStep(), -7 * 86400);
    EXPECT_EQ(log.PurgeOldLogs(14, back + 86400, boot + 3 * 86400), 1);  // no longer named
    EXPECT_EQ(log.clockStep(), 0);
}

}  // namespace
}  // namespace ortolan
