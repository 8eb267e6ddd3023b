// SPDX-License-Identifier: GPL-3.0-or-later
// Faults around the flow log while datagrams keep arriving on real loopback
// sockets: the folder vanishes, the disk fills, the clock steps back, a link
// or a FIFO takes the day's name. Whatever the queue bound lets the collector
// keep must reach the log exactly once, in order, as whole lines.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

#include "flow_log.h"
#include "flow_log_writer.h"
#include "loopback_udp.h"
#include "replay_feed.h"

namespace ortolan {
namespace {

namespace fs = std::filesystem;

// 2023-11-14 22:13:20 UTC, 2023-11-15 07:13:20 in Tokyo (the tests' TZ).
constexpr int64_t kStart = 1'700'000'000;

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

// A small folder of its own: a tmpfs of the given size where the machine lets
// us mount one (root in a container usually may), else a plain folder.
class CScratchFolder {
public:
    explicit CScratchFolder(const char* size = nullptr)
    {
        m_path = fs::temp_directory_path() /
                 ("ortolan-faults-" + std::to_string(::getpid()) + "-" + std::to_string(++s_count));
        fs::create_directories(m_path);
        if (size) {
            m_options = std::string("size=") + size + ",mode=0755";
            m_mounted = ::mount("tmpfs", m_path.c_str(), "tmpfs", 0, m_options.c_str()) == 0;
        }
    }
    ~CScratchFolder()
    {
        if (m_mounted) ::umount2(m_path.c_str(), MNT_DETACH);
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    bool mounted() const { return m_mounted; }
    // The folder as the flow log wants it: with its trailing separator.
    std::string folder() const { return m_path.string() + "/"; }
    const fs::path& path() const { return m_path; }

private:
    static inline int s_count = 0;
    fs::path m_path;
    std::string m_options;
    bool m_mounted = false;
};

// Both collectors on loopback ports, a sender, and a clock the test moves.
class FlowLogFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (CFlowCollector* c : {static_cast<CFlowCollector*>(&sflow), static_cast<CFlowCollector*>(&netflow)}) {
            c->SetClock([this] { return now; });
            bool open = false;
            for (int attempt = 0; attempt < 10 && !open; ++attempt) open = c->Open(FreePort());
            ASSERT_TRUE(open);
        }
        m_sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(m_sender, 0);
    }
    void TearDown() override
    {
        if (m_sender >= 0) ::close(m_sender);
    }

    static uint16_t FreePort() { return testing::FreeUdpPort(); }

    // An sFlow header (or a NetFlow v5 header) numbered by its sequence, padded
    // with a pattern so lines have a chosen size.
    std::vector<uint8_t> Payload(bool isSFlow, uint32_t sequence, size_t extra)
    {
        std::vector<uint8_t> d;
        auto put32 = [&d](uint32_t v) {
            for (int s = 24; s >= 0; s -= 8) d.push_back(uint8_t(v >> s));
        };
        if (isSFlow) {
            for (uint32_t w : {5u, 1u, 0xC0000201u, 0u, sequence, 360000u, 0u}) put32(w);
        } else {
            for (uint32_t w : {0x00050000u, 360000u, uint32_t(kStart), 0u, sequence, 0x00010000u}) put32(w);
        }
        for (size_t i = 0; i < extra; ++i) d.push_back(uint8_t(sequence + i));
        return d;
    }

    // Sends count datagrams to each collector and lets them read everything.
    void Receive(int count, size_t extra = 16)
    {
        for (int i = 0; i < count; ++i)
            for (bool isSFlow : {true, false}) {
                auto bytes = Payload(isSFlow, m_next, extra);
                CFlowCollector& c = isSFlow ? static_cast<CFlowCollector&>(sflow) : netflow;
                sockaddr_in to{};
                to.sin_family = AF_INET;
                to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                to.sin_port = htons(c.boundPort());
                ASSERT_EQ(::sendto(m_sender, bytes.data(), bytes.size(), 0,
                                   reinterpret_cast<sockaddr*>(&to), sizeof to),
                          ssize_t(bytes.size()));
                uint64_t before = c.datagramCount;
                for (int tries = 0; tries < 1000 && c.datagramCount == before; ++tries) {
                    c.OnReceive(0);
                    if (c.datagramCount == before) ::usleep(100);
                }
                ASSERT_EQ(c.datagramCount, before + 1);
                (isSFlow ? sentSFlow : sentNetFlow).push_back(Hex(bytes));
                ++m_next;
            }
    }

    // The payloads of the file's lines of one kind, in file order; fails the
    // test on a line that is not whole.
    static std::vector<std::string> Payloads(const fs::path& file, char kind)
    {
        std::vector<std::string> out;
        std::ifstream in(file, std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!all.empty()) {
            EXPECT_EQ(all.back(), '\n') << file << " ends in a half line";
        }
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\n', start);
            if (end == std::string::npos) end = all.size();
            std::string line = all.substr(start, end - start);
            start = end + 1;
            size_t tabs = std::count(line.begin(), line.end(), '\t');
            EXPECT_EQ(tabs, 4u) << "broken line: " << line.substr(0, 60);
            if (tabs != 4 || line[0] != kind) continue;
            out.push_back(line.substr(line.rfind('\t') + 1));
        }
        return out;
    }

    static std::vector<std::string> Slice(const std::vector<std::string>& v, size_t from, size_t to)
    {
        return {v.begin() + ptrdiff_t(from), v.begin() + ptrdiff_t(std::min(to, v.size()))};
    }

    fs::path TodayFile(const CScratchFolder& folder) const
    {
        return folder.path() / CFlowLog::FileNameFor(now);
    }

    int64_t now = kStart;
    CSFlowMon sflow;
    CNFlowMon netflow;
    std::vector<std::string> sentSFlow;
    std::vector<std::string> sentNetFlow;

private:
    int m_sender = -1;
    uint32_t m_next = 1;
};

// The writer thread meets a folder that vanished while the collectors go on
// queueing: its pass fails and says why, every record stays queued, and the
// stop writes them all once the folder is back.
TEST_F(FlowLogFaults, WriterThreadKeepsTheQueueThroughAFailureAndItsStopWritesEverything)
{
    CScratchFolder scratch;
    CFlowLogWriter writer(netflow.logQueue(), sflow.logQueue());
    writer.SetFolder(scratch.folder());
    writer.Start();
    Receive(5);
    ASSERT_TRUE(writer.Flush());
    fs::remove_all(scratch.path());

    ++now;
    for (int i = 0; i < 7; ++i) {
        Receive(1);
        writer.Request();  // passes run while datagrams arrive
    }
    EXPECT_FALSE(writer.Flush());
    EXPECT_TRUE(writer.failing());
    EXPECT_NE(writer.problem().find(scratch.folder()), std::string::npos) << writer.problem();
    EXPECT_EQ(sflow.logQueue().size(), 7u);
    EXPECT_EQ(netflow.logQueue().size(), 7u);

    fs::create_directories(scratch.path());
    Receive(3);
    EXPECT_TRUE(writer.Stop());
    EXPECT_FALSE(writer.running());
    EXPECT_TRUE(writer.problem().empty());
    EXPECT_EQ(sflow.logQueue().size(), 0u);
    EXPECT_EQ(sflow.logQueue().bytes(), 0u);
    // The first five went with the removed folder; all that came after is here, once.
    EXPECT_EQ(Payloads(TodayFile(scratch), 'S'), Slice(sentSFlow, 5, 15));
    EXPECT_EQ(Payloads(TodayFile(scratch), 'N'), Slice(sentNetFlow, 5, 15));
}

// The disk fills in the middle of a write: what reached the file are whole
// lines, the rest stays queued, and once there is room the log catches up.
// Once within a drain of one batch, once within a drain of several, where the
// failing batch is written while the next one is formatted.
TEST_F(FlowLogFaults, FullDiskWritesWholeLinesOnlyAndCatchesUp)
{
    struct tagCase {
        int datagrams;  // of each kind
        size_t extra;   // payload bytes past the header
        size_t room;    // bytes the log may take before the disk is full
    };
    for (tagCase c : {tagCase{60, 120, 24 * 1024}, tagCase{1000, 1400, 1536 * 1024}}) {
        SCOPED_TRACE(c.datagrams);
        sentSFlow.clear();
        sentNetFlow.clear();
        CScratchFolder scratch("8m");
        fs::path filler = scratch.path() / "filler";
        struct rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
        if (scratch.mounted()) {
            std::ofstream(filler, std::ios::binary) << std::string(8 * 1024 * 1024 - c.room, 'x');
        } else {
            // No file system of our own: the file size limit fails the write the same way.
            struct rlimit small = saved;
            small.rlim_cur = c.room;
            ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        CFlowLog log(scratch.folder());
        Receive(c.datagrams, c.extra);  // lines of 2 * extra + 90 bytes or so, more than the room
        EXPECT_FALSE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
        size_t writtenN = Payloads(TodayFile(scratch), 'N').size();
        size_t writtenS = Payloads(TodayFile(scratch), 'S').size();
        EXPECT_LT(writtenN + writtenS, 2u * size_t(c.datagrams));
        EXPECT_GT(writtenN, 0u);
        EXPECT_EQ(Payloads(TodayFile(scratch), 'N'), Slice(sentNetFlow, 0, writtenN));
        EXPECT_EQ(netflow.logQueue().size() + writtenN, size_t(c.datagrams));
        EXPECT_EQ(sflow.logQueue().size() + writtenS, size_t(c.datagrams));

        if (scratch.mounted()) fs::remove(filler);
        else ::setrlimit(RLIMIT_FSIZE, &saved);
        Receive(2, c.extra);
        EXPECT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue())) << log.problem();
        std::signal(SIGXFSZ, savedSignal);
        EXPECT_EQ(Payloads(TodayFile(scratch), 'S'), sentSFlow);
        EXPECT_EQ(Payloads(TodayFile(scratch), 'N'), sentNetFlow);
    }
}

// While the log cannot be written the queue holds what its bound allows; the
// rest is counted, and what was kept is written once the folder is back.
TEST_F(FlowLogFaults, QueueBoundDropsAreCountedAndTheKeptOnesWritten)
{
    CScratchFolder scratch;
    fs::remove_all(scratch.path());
    CFlowLog log(scratch.folder());
    sflow.logQueue().SetLimit(10 * (44 + kLogRecordOverhead));  // ten datagrams of 28 + 16 bytes
    netflow.logQueue().SetLimit(10 * (40 + kLogRecordOverhead));
    Receive(25);
    EXPECT_FALSE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    EXPECT_EQ(sflow.logQueue().size(), 10u);
    EXPECT_EQ(sflow.logQueue().dropped(), 15u);
    EXPECT_EQ(netflow.logQueue().dropped(), 15u);
    EXPECT_EQ(sflow.datagramCount, 25u);  // decoding never depended on the log

    fs::create_directories(scratch.path());
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    EXPECT_EQ(Payloads(TodayFile(scratch), 'S'), Slice(sentSFlow, 0, 10));
    EXPECT_EQ(Payloads(TodayFile(scratch), 'N'), Slice(sentNetFlow, 0, 10));
}

// The time `seconds` before the local midnight that ends the day of `day`.
int64_t SecondsBeforeLocalMidnight(int64_t day, int seconds)
{
    std::time_t t = std::time_t(day);
    std::tm local{};
    localtime_r(&t, &local);
    local.tm_hour = 23;
    local.tm_min = 59;
    local.tm_sec = 60 - seconds;
    local.tm_isdst = -1;
    return int64_t(std::mktime(&local));
}

// The clock steps over midnight and back: every record lands in the file of
// the day it was received, none twice, and replay of the days in name order
// brings back every datagram, closing an interval where time went backwards.
TEST_F(FlowLogFaults, ClockGoingBackwardsLosesNothing)
{
    CScratchFolder scratch;
    CFlowLog log(scratch.folder());
    // Ten seconds before a local midnight, whatever the time zone.
    const int64_t beforeMidnight = SecondsBeforeLocalMidnight(kStart, 10);
    now = beforeMidnight;
    Receive(3);
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    now = beforeMidnight + 20;  // the next day
    Receive(3);
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    now = beforeMidnight - 3600;  // set back an hour: yesterday again
    Receive(3);
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));

    fs::path day1 = scratch.path() / CFlowLog::FileNameFor(beforeMidnight);
    fs::path day2 = scratch.path() / CFlowLog::FileNameFor(beforeMidnight + 20);
    ASSERT_NE(day1, day2);
    auto s1 = Payloads(day1, 'S');
    auto s2 = Payloads(day2, 'S');
    EXPECT_EQ(s1.size() + s2.size(), sentSFlow.size());
    EXPECT_EQ(s2, Slice(sentSFlow, 3, 6));

    CSFlowMon replaySFlow;
    CNFlowMon replayNetFlow;
    std::vector<int64_t> times, closes;
    tagReplayHooks hooks{[&](int64_t t) { times.push_back(t); }, [&](int64_t t) { closes.push_back(t); }};
    for (const fs::path& day : {day1, day2})
        EXPECT_TRUE(log.ReplayLog(day.filename().string(), ReplayFeed(replayNetFlow, replaySFlow), 60, hooks));
    EXPECT_EQ(replaySFlow.datagramCount, sentSFlow.size());
    EXPECT_EQ(replayNetFlow.datagramCount, sentNetFlow.size());
    EXPECT_NE(std::find(closes.begin(), closes.end(), beforeMidnight - 3600), closes.end());
}

// The folder is missing across midnight: when it is back, the records that
// waited go into the file of the day they were received, not the writer's day.
TEST_F(FlowLogFaults, RecordsThatWaitedThroughMidnightGoToTheirOwnDay)
{
    CScratchFolder scratch;
    fs::remove_all(scratch.path());
    CFlowLog log(scratch.folder());
    const int64_t beforeMidnight = SecondsBeforeLocalMidnight(kStart, 30);
    now = beforeMidnight;
    Receive(3);
    EXPECT_FALSE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    now = beforeMidnight + 60;
    Receive(2);
    fs::create_directories(scratch.path());
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));

    fs::path day1 = scratch.path() / CFlowLog::FileNameFor(beforeMidnight);
    fs::path day2 = scratch.path() / CFlowLog::FileNameFor(now);
    ASSERT_NE(day1, day2);
    EXPECT_EQ(Payloads(day1, 'S'), Slice(sentSFlow, 0, 3));
    EXPECT_EQ(Payloads(day1, 'N'), Slice(sentNetFlow, 0, 3));
    EXPECT_EQ(Payloads(day2, 'S'), Slice(sentSFlow, 3, 5));
    EXPECT_EQ(Payloads(day2, 'N'), Slice(sentNetFlow, 3, 5));
}

// Today's name in a shared folder taken by a link to someone's file, or by a
// FIFO: neither is followed nor waited on; the records stay queued and the
// problem names the file until a plain file can be made.
TEST_F(FlowLogFaults, LinkOrFifoUnderTodaysNameIsRefusedAndTheRecordsKept)
{
    CScratchFolder scratch;
    CFlowLog log(scratch.folder());
    fs::path target = scratch.path() / "precious.txt";
    std::ofstream(target, std::ios::binary) << "first line\nno line break";
    fs::create_symlink(target, TodayFile(scratch));
    Receive(3);
    EXPECT_FALSE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    EXPECT_NE(log.problem().find(TodayFile(scratch).string()), std::string::npos) << log.problem();
    std::ifstream in(target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "first line\nno line break");
    EXPECT_EQ(sflow.logQueue().size(), 3u);

    fs::remove(TodayFile(scratch));
    ASSERT_EQ(::mkfifo(TodayFile(scratch).c_str(), 0644), 0);
    Receive(2);
    EXPECT_FALSE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));  // returns at once: nobody reads the FIFO
    EXPECT_NE(log.problem().find(TodayFile(scratch).string() + " is not a regular file"), std::string::npos)
        << log.problem();
    EXPECT_EQ(netflow.logQueue().size(), 5u);

    fs::remove(TodayFile(scratch));
    ASSERT_TRUE(log.WriteFlowLog(netflow.logQueue(), sflow.logQueue()));
    EXPECT_TRUE(log.problem().empty());
    EXPECT_EQ(Payloads(TodayFile(scratch), 'S'), sentSFlow);
    EXPECT_EQ(Payloads(TodayFile(scratch), 'N'), sentNetFlow);
}

}  // namespace
}  // namespace ortolan
