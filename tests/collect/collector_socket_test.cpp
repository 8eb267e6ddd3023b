// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "datagram_builder.h"
#include "loopback_udp.h"
#include "nflow_mon.h"
#include "receive_thread.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

// Sends datagrams to 127.0.0.1 from one socket.
class LoopbackSender {
public:
    LoopbackSender() { m_fd = ::socket(AF_INET, SOCK_DGRAM, 0); }
    ~LoopbackSender() { ::close(m_fd); }
    void Send(uint16_t port, const std::vector<uint8_t>& bytes)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  ssize_t(bytes.size()));
    }

private:
    int m_fd;
};

bool WaitReadable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 2000) == 1;
}

using testing::FreeUdpPort;

TEST(CollectorSocket, OneCallbackReadsOneBurstAndRearms)
{
    CSFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    int rearms = 0;
    mon.SetRearmHook([&] { ++rearms; });
    LoopbackSender sender;
    // A loopback send is in the receiver's buffer when sendto returns.
    constexpr uint32_t kSent = kReceiveBurst + 10;
    for (uint32_t i = 0; i < kSent; ++i) sender.Send(port, testing::SflowV5Header(i + 1, 0).data());
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    mon.OnReceive(0);
    EXPECT_EQ(mon.datagramCount, uint64_t(kReceiveBurst));
    EXPECT_EQ(mon.logQueue().size(), size_t(kReceiveBurst));
    EXPECT_EQ(rearms, 1);
    mon.OnReceive(0);
    mon.OnReceive(0);
    EXPECT_EQ(mon.datagramCount, kSent);
    EXPECT_EQ(mon.FindPort("sFlow V5:10.0.0.1:0")->datagrams, kSent);
    CLogQueue::CReader queued(mon.logQueue());
    tagXFlowLog first;
    ASSERT_TRUE(queued.Peek(first));
    EXPECT_EQ(first.sender, "127.0.0.1");
    EXPECT_NE(first.senderPort, 0u);
    EXPECT_EQ(std::vector<uint8_t>(first.bytes.begin(), first.bytes.end()), testing::SflowV5Header(1, 0).data());
}

// The copies of a burst are queued after all of it is decoded: each must still
// carry its own sender, also when the sender changes within the burst.
TEST(CollectorSocket, EveryCopyOfABurstKeepsItsOwnSender)
{
    CNFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    int senders[2];
    uint16_t senderPorts[2];
    const char* addresses[2] = {"127.0.0.1", "127.0.0.2"};
    for (int i = 0; i < 2; ++i) {
        senders[i] = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        ::inet_pton(AF_INET, addresses[i], &from.sin_addr);
        ASSERT_EQ(::bind(senders[i], reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
        socklen_t length = sizeof from;
        ::getsockname(senders[i], reinterpret_cast<sockaddr*>(&from), &length);
        senderPorts[i] = ntohs(from.sin_port);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int order[] = {0, 1, 1, 0, 1, 0};
    for (uint32_t i = 0; i < std::size(order); ++i) {
        std::vector<uint8_t> d = testing::NetflowV5(i + 1, {testing::FlowSpec{}});
        ASSERT_EQ(::sendto(senders[order[i]], d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  ssize_t(d.size()));
    }
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    ::usleep(20000);
    mon.OnReceive(0);
    ASSERT_EQ(mon.logQueue().size(), std::size(order));
    CLogQueue::CReader queued(mon.logQueue());
    for (uint32_t i = 0; i < std::size(order); ++i, queued.Advance()) {
        tagXFlowLog record;
        ASSERT_TRUE(queued.Peek(record));
        EXPECT_EQ(record.sender, addresses[order[i]]) << "copy " << i;
        EXPECT_EQ(record.senderPort, senderPorts[order[i]]) << "copy " << i;
        EXPECT_EQ(std::vector<uint8_t>(record.bytes.begin(), record.bytes.end()),
                  testing::NetflowV5(i + 1, {testing::FlowSpec{}}));
    }
    for (int fd : senders) ::close(fd);
}

TEST(CollectorSocket, ErrorCodeReadsNothingAndStillRearms)
{
    CNFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    int rearms = 0;
    mon.SetRearmHook([&] { ++rearms; });
    LoopbackSender sender;
    sender.Send(port, testing::NetflowV5(1, {testing::FlowSpec{}}));
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    mon.OnReceive(1);
    EXPECT_EQ(mon.datagramCount, 0u);
    EXPECT_EQ(rearms, 1);
    mon.OnReceive(0);
    EXPECT_EQ(mon.datagramCount, 1u);
}

TEST(CollectorSocket, RejectedDatagramsAreQueuedUnchanged)
{
    CNFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    LoopbackSender sender;
    testing::Bytes unknown;
    unknown.u16(7).u16(0).zeros(16);  // no version we decode
    sender.Send(port, unknown);
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    mon.OnReceive(0);
    ASSERT_EQ(mon.logQueue().size(), 1u);
    CLogQueue::CReader queued(mon.logQueue());
    tagXFlowLog record;
    ASSERT_TRUE(queued.Peek(record));
    EXPECT_EQ(std::vector<uint8_t>(record.bytes.begin(), record.bytes.end()), unknown.data());
    EXPECT_TRUE(mon.ports.empty());
    queued.Pop(1);
    EXPECT_EQ(mon.logQueue().bytes(), 0u);
}

TEST(CollectorSocket, OversizeDatagramIsDroppedUnread)
{
    CSFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    LoopbackSender sender;
    sender.Send(port, std::vector<uint8_t>(9000, 5));
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    mon.OnReceive(0);
    EXPECT_EQ(mon.datagramCount, 0u);
    EXPECT_EQ(mon.oversizeDatagrams, 1u);
    EXPECT_EQ(mon.logQueue().size(), 0u);
}

TEST(CollectorSocket, PortZeroOrAboveRangeOpensTheDefault)
{
    // Another program may hold a default port; then the open fails for that reason,
    // which still shows the default was the port asked for.
    for (uint32_t asked : {0u, 70000u}) {
        CSFlowMon sflow;
        CNFlowMon netflow;
        if (sflow.Open(asked))
            EXPECT_EQ(sflow.boundPort(), 6343);
        else
            EXPECT_EQ(errno, EADDRINUSE);
        if (netflow.Open(asked))
            EXPECT_EQ(netflow.boundPort(), 2100);
        else
            EXPECT_EQ(errno, EADDRINUSE);
    }
}

TEST(CollectorSocket, ResetKeepsNameTablesAndEmptiesTheRest)
{
    CSFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    LoopbackSender sender;
    sender.Send(port, testing::SflowV5Header(1, 0).data());
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    mon.OnReceive(0);
    ASSERT_EQ(mon.ports.size(), 1u);
    mon.Reset();
    EXPECT_TRUE(mon.ports.empty());
    EXPECT_TRUE(mon.agents.empty());
    EXPECT_EQ(mon.logQueue().size(), 0u);
    EXPECT_EQ(mon.datagramCount, 0u);
    EXPECT_TRUE(mon.IsOpen()) << "reset leaves the socket to open and close";
}

TEST(CollectorSocket, FullLogQueueDropsCopiesButStillDecodes)
{
    CSFlowMon mon;
    mon.logQueue().SetLimit(3 * (28 + kLogRecordOverhead) + 20);
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    LoopbackSender sender;
    for (uint32_t i = 0; i < 5; ++i) sender.Send(port, testing::SflowV5Header(i + 1, 0).data());
    ASSERT_TRUE(WaitReadable(mon.socketDescriptor()));
    ::usleep(20000);
    mon.OnReceive(0);
    EXPECT_EQ(mon.datagramCount, 5u);
    EXPECT_EQ(mon.FindPort("sFlow V5:10.0.0.1:0")->datagrams, 5u);
    EXPECT_EQ(mon.logQueue().size(), 3u) << "three 28-byte copies with their overhead fit";
    EXPECT_EQ(mon.logQueue().dropped(), 2u);
}

// The receive thread takes in batches while another thread reads the tables
// under their lock, as the window's refresh does; nothing is lost or counted
// twice, and the stop keeps every count.
TEST(ReceiveThread, CountsEveryDatagramWhileTheTablesAreRead)
{
    CSFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    CReceiveThread receiver(mon);
    receiver.Start();
    ASSERT_TRUE(receiver.running());
    LoopbackSender sender;
    constexpr uint32_t kBatches = 40, kBatch = 50;  // a batch fits the smallest socket buffer
    uint64_t seen = 0;
    for (uint32_t b = 0; b < kBatches; ++b) {
        for (uint32_t i = 0; i < kBatch; ++i) sender.Send(port, testing::SflowV5Header(b * kBatch + i + 1, 0).data());
        {
            std::lock_guard lock(mon.tablesMutex());
            if (CMonPort* p = mon.FindPort("sFlow V5:10.0.0.1:0")) {
                EXPECT_GE(p->datagrams, seen) << "counts only grow";
                seen = p->datagrams;
            }
        }
        ASSERT_TRUE(receiver.WaitForReceived(uint64_t(b + 1) * kBatch, std::chrono::seconds(30)));
    }
    receiver.Stop();
    EXPECT_FALSE(receiver.running());
    EXPECT_EQ(mon.datagramCount, uint64_t(kBatches) * kBatch);
    EXPECT_EQ(mon.FindPort("sFlow V5:10.0.0.1:0")->datagrams, uint64_t(kBatches) * kBatch);
    EXPECT_EQ(mon.logQueue().size(), size_t(kBatches) * kBatch);
    EXPECT_EQ(mon.kernelDrops, 0u);
    EXPECT_TRUE(mon.IsOpen()) << "the collector closes its socket, not the thread";
}

// Whether the socket's queue empties (a UDP socket's FIONREAD is the size of
// its first datagram, 0 when none waits), within a generous cap: it never
// empties while nobody reads it.
bool Drained(int fd)
{
    for (int i = 0; i < 20000; ++i) {
        int waiting = 0;
        if (::ioctl(fd, FIONREAD, &waiting) != 0) return false;
        if (waiting == 0) return true;
        ::usleep(500);
    }
    return false;
}

// What a receive thread made of `count` datagrams sent while another thread
// held the tables (as a list build does), the socket's buffer shrunk to the
// kernel's least, so it holds a datagram or two only. Each datagram is sent
// once the socket was read empty, so none is lost while the socket is read:
// a thread that stops reading while the tables are held fails there.
struct tagHeldRun {
    uint64_t received = 0, decoded = 0, rejected = 0, drops = 0;
    std::vector<std::vector<uint8_t>> logged;
};

void RunWhileTablesHeld(CNFlowMon& mon, uint32_t count, tagHeldRun& run)
{
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    const int least = 1;  // the kernel raises it to its least
    ASSERT_EQ(::setsockopt(mon.socketDescriptor(), SOL_SOCKET, SO_RCVBUF, &least, sizeof least), 0);
    CReceiveThread receiver(mon);
    receiver.Start();
    LoopbackSender sender;
    {
        std::lock_guard hold(mon.tablesMutex());
        for (uint32_t i = 0; i < count; ++i) {
            sender.Send(port, testing::NetflowV5(i + 1, {testing::FlowSpec{}}));
            ASSERT_TRUE(Drained(mon.socketDescriptor())) << "the socket was not read after " << i + 1;
        }
    }
    EXPECT_TRUE(receiver.WaitForReceived(count, std::chrono::seconds(30)));
    receiver.Stop();
    mon.UpdateKernelDrops();
    run.received = receiver.received();
    run.decoded = mon.datagramCount;
    run.rejected = mon.rejectedDatagrams;
    run.drops = mon.kernelDrops;
    CLogQueue::CReader queued(mon.logQueue());
    tagXFlowLog record;
    for (; queued.Peek(record); queued.Advance()) run.logged.emplace_back(record.bytes.begin(), record.bytes.end());
}

// The tables held far longer than the socket's buffer lasts: the thread goes
// on reading, and once they are free every datagram is decoded and logged in
// the order it came.
TEST(ReceiveThread, DatagramsThatCameWhileTheTablesWereHeldAreDecodedInOrder)
{
    constexpr uint32_t kSent = 400;  // a hundred times what the socket's buffer holds
    CNFlowMon mon;
    tagHeldRun run;
    RunWhileTablesHeld(mon, kSent, run);
    EXPECT_EQ(run.received, kSent);
    EXPECT_EQ(run.decoded, kSent);
    EXPECT_EQ(run.rejected, 0u) << "no repeat: the sequence numbers came in order";
    EXPECT_EQ(run.drops, 0u);
    ASSERT_EQ(run.logged.size(), size_t(kSent));
    for (uint32_t i = 0; i < kSent; ++i)
        ASSERT_EQ(run.logged[i], testing::NetflowV5(i + 1, {testing::FlowSpec{}})) << "log line " << i;
}

// Held back beyond its bound, the datagrams that do not fit are dropped and
// counted with the kernel's drops, where the user sees the losses; those
// kept are decoded and logged in order, the dropped ones nowhere.
TEST(ReceiveThread, WhatOverflowsTheHeldBackBoundIsCountedAsDropped)
{
    constexpr uint32_t kSent = 40, kKept = 12;
    const size_t size = testing::NetflowV5(1, {testing::FlowSpec{}}).size();
    CNFlowMon mon;
    mon.SetHeldBackLimit(LogRecordCost(size) * kKept);
    tagHeldRun run;
    RunWhileTablesHeld(mon, kSent, run);
    EXPECT_EQ(run.received, kSent) << "every datagram read is accounted for";
    // The thread may have taken in the first burst before the tables were held.
    ASSERT_GE(run.decoded, kKept);
    EXPECT_EQ(run.decoded + run.drops, kSent);
    EXPECT_EQ(run.rejected, 0u);
    ASSERT_EQ(run.logged.size(), run.decoded);
    for (uint32_t i = 0; i < run.logged.size(); ++i)
        ASSERT_EQ(run.logged[i], testing::NetflowV5(i + 1, {testing::FlowSpec{}})) << "log line " << i;
}

// A stop wakes a thread waiting on a quiet socket, and one that stops with
// datagrams still in the socket's buffer takes them in before it ends.
TEST(ReceiveThread, StopWakesTheThreadAndKeepsWhatHadArrived)
{
    CNFlowMon idle;
    ASSERT_TRUE(idle.Open(FreeUdpPort()));
    CReceiveThread waiting(idle);
    waiting.Start();
    waiting.Stop();
    EXPECT_EQ(idle.datagramCount, 0u);

    CNFlowMon mon;
    uint16_t port = FreeUdpPort();
    ASSERT_TRUE(mon.Open(port));
    LoopbackSender sender;
    for (uint32_t i = 0; i < 3 * kReceiveBurst / 2; ++i) sender.Send(port, testing::NetflowV5(i + 1, {testing::FlowSpec{}}));
    sender.Send(port, std::vector<uint8_t>(9000, 5));
    // Stopped at once, the thread still reads all that was in the buffer.
    CReceiveThread receiver(mon);
    receiver.Start();
    receiver.Stop();
    EXPECT_EQ(receiver.received(), uint64_t(3 * kReceiveBurst / 2 + 1));
    EXPECT_EQ(mon.datagramCount, uint64_t(3 * kReceiveBurst / 2));
    EXPECT_EQ(mon.oversizeDatagrams, 1u);
    EXPECT_EQ(mon.logQueue().size(), size_t(3 * kReceiveBurst / 2));
}

}  // namespace
}  // namespace ortolan
