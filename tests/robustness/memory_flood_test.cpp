// SPDX-License-Identifier: GPL-3.0-or-later
// One flood per way a sender can make the collectors keep more: new nodes, MAC
// lists, service labels, interfaces with their hourly history, ports, and
// NetFlow v9 templates. Both
// collectors share one memory budget, as in the program; each flood runs on
// loopback through the real sockets until the budget refuses, and then some.
// The peak resident memory of the flood stays under the limit plus the
// program and the log queues, and the tables did grow most of the way to it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>

#include "datagram_builder.h"
#include "loopback_udp.h"
#include "process_memory.h"
#include "nflow_mon.h"
#include "sflow_mon.h"

namespace ortolan {
namespace {

using testing::Bytes;

constexpr uint64_t kLimit = MiB(16);
constexpr uint64_t kQueueLimit = MiB(4);
// The program beside its tables: code, receive buffers, allocator slack.
constexpr uint64_t kProgramBytes = MiB(24);
constexpr int kMaxDatagrams = 120'000;
constexpr int kBatch = 32;  // well inside the socket buffer, so loopback drops nothing

class MemoryFlood : public ::testing::Test {
protected:
    CMemoryBudget budget{kLimit};
    tagLimits limits;
    CNameTables names;
    std::unique_ptr<CSFlowMon> sflow;
    std::unique_ptr<CNFlowMon> netflow;
    int sender = -1;
    int64_t clock = 1'700'000'000;
    uint64_t rssBefore = 0;

    void Start()
    {
        sflow = std::make_unique<CSFlowMon>(names, limits);
        netflow = std::make_unique<CNFlowMon>(names, limits);
        for (CFlowCollector* c : Collectors()) {
            c->ShareMemoryBudget(budget);
            c->SetClock([this] { return clock; });
            c->logQueue().SetLimit(kQueueLimit);
            bool open = false;
            for (int attempt = 0; attempt < 10 && !open; ++attempt) open = c->Open(testing::FreeUdpPort());
            ASSERT_TRUE(open);
        }
        sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(sender, 0);
        // The peak is this flood's own: the kernel restarts it from what is resident now.
        std::ofstream("/proc/self/clear_refs") << "5";
        rssBefore = testing::ProcessMemoryBytes("VmRSS:");
    }
    void TearDown() override
    {
        if (sender >= 0) ::close(sender);
    }
    std::vector<CFlowCollector*> Collectors() { return {sflow.get(), netflow.get()}; }

    void Send(CFlowCollector& to, const std::vector<uint8_t>& bytes)
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(to.boundPort());
        ::sendto(sender, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    // Reads until the sockets are empty, and lets the log timer take the queues.
    void Drain()
    {
        for (CFlowCollector* c : Collectors()) {
            for (int idle = 0; idle < 3;) {
                uint64_t before = c->datagramCount + c->oversizeDatagrams;
                c->OnReceive(0);
                if (c->datagramCount + c->oversizeDatagrams == before) {
                    ++idle;
                    ::usleep(200);
                } else {
                    idle = 0;
                }
            }
            CLogQueue::CReader records(c->logQueue());
            records.Pop(records.available());
        }
    }
    // Sends datagram i = 0, 1, ... until `refused` has counted, then as many
    // again as it took to get there (at most kMaxDatagrams).
    void Flood(CFlowCollector& to, const std::function<std::vector<uint8_t>(int)>& datagram,
               const std::function<uint64_t()>& refused, const std::function<void(int)>& afterBatch = {})
    {
        // Bounded by count alone, so a slow (sanitizer) build floods as far.
        int stopAt = kMaxDatagrams;
        for (int i = 0; i < stopAt; ++i) {
            Send(to, datagram(i));
            if (i % kBatch == kBatch - 1) {
                Drain();
                if (afterBatch) afterBatch(i);
                if (stopAt == kMaxDatagrams && refused() > 0) stopAt = std::min(kMaxDatagrams, 2 * (i + 1));
            }
        }
        Drain();
    }
    void Check(const char* path, uint64_t refusals)
    {
        const uint64_t peak = testing::ProcessMemoryBytes("VmHWM:");
        const uint64_t grown = peak > rssBefore ? peak - rssBefore : 0;
        std::printf("[ flood    ] %s: peak resident %llu MiB over %llu MiB before, limit %llu MiB, "
                    "budget used %.1f MiB, refused %llu\n",
                    path, (unsigned long long)(grown >> 20), (unsigned long long)(rssBefore >> 20),
                    (unsigned long long)(kLimit >> 20), double(budget.used()) / double(MiB(1)),
                    (unsigned long long)refusals);
        EXPECT_GT(refusals, 0u) << "the flood reached the limit";
        EXPECT_LE(budget.used(), kLimit);
        EXPECT_EQ(budget.used(), sflow->budget().used() + netflow->budget().used());
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        // The sanitizer's shadow memory and quarantine dwarf the tables.
        EXPECT_LT(grown, kLimit + 2 * kQueueLimit + kProgramBytes);
        EXPECT_GT(grown, kLimit / 2) << "the charges stand for memory really taken";
#endif
    }
};

std::vector<uint8_t> NetflowV5Raw(uint32_t sequence, const std::vector<testing::FlowSpec>& flows)
{
    return testing::NetflowV5(sequence, flows);
}

void SetIp(uint8_t* out, uint32_t v)
{
    out[0] = uint8_t(v >> 24);
    out[1] = uint8_t(v >> 16);
    out[2] = uint8_t(v >> 8);
    out[3] = uint8_t(v);
}

TEST_F(MemoryFlood, NewNodes)
{
    Start();
    std::mt19937 random(1);
    Flood(*netflow,
          [&](int i) {
              std::vector<testing::FlowSpec> flows(30);
              for (auto& f : flows) {
                  SetIp(f.src, 0x0A000000u | (random() & 0xFFFFFF));
                  SetIp(f.dst, 0x0B000000u | (random() & 0xFFFFFF));
              }
              return NetflowV5Raw(uint32_t(i + 1), flows);
          },
          [&] { return netflow->budget().refused(); });
    Check("new nodes", netflow->budget().refused());
    // Beyond the limit a node that exists goes on counting.
    CMonPort* port = netflow->ports.begin()->second.get();
    auto& [address, node] = *port->ips.begin();
    int64_t before = node.txPackets;
    testing::FlowSpec f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(std::sscanf(address.String().c_str(), "%u.%u.%u.%u", &a, &b, &c, &d), 4);
    f.src[0] = uint8_t(a); f.src[1] = uint8_t(b); f.src[2] = uint8_t(c); f.src[3] = uint8_t(d);
    Send(*netflow, NetflowV5Raw(999'999, {f}));
    Drain();
    EXPECT_EQ(node.txPackets, before + 10);
}

TEST_F(MemoryFlood, MacLists)
{
    Start();
    std::mt19937 random(2);
    Flood(*sflow,
          [&](int i) {
              std::vector<std::vector<uint8_t>> records;
              for (int k = 0; k < 100; ++k) {
                  testing::FrameSpec f;
                  // Few MACs, many IP nodes: the lists grow, not the MAC tables.
                  uint32_t mac = random() % 256;
                  f.srcMac = {0x02, 0x00, 0x00, 0x00, 0x00, uint8_t(mac)};
                  uint32_t node = random() % 30000;
                  SetIp(f.src, 0xC0A80000u | node);
                  records.push_back(testing::RawHeaderRecordV5(testing::EthernetIpv4Frame(f), 100));
              }
              Bytes d = testing::SflowV5Header(uint32_t(i + 1), 1);
              d.raw(testing::FlowSampleV5(records));
              return d.data();
          },
          [&] { return sflow->budget().refused(); });
    uint64_t slots = 0;
    for (const auto& [key, port] : sflow->ports)
        for (const auto& [address, node] : port->ips) slots += node.macs.size();
    std::printf("[ flood    ] MAC list slots kept: %llu\n", (unsigned long long)slots);
    EXPECT_GT(slots, 800'000u);
    Check("MAC lists", sflow->budget().refused());
}

TEST_F(MemoryFlood, ServiceLabels)
{
    // Every TCP port has a name, so each new destination port is a new label
    // of the destination node and of the pair.
    std::string table = ::testing::TempDir() + "/flood_ports.txt";
    {
        std::ofstream out(table);
        for (int port = 1; port < 60000; ++port) out << "service-number-" << port << "\t" << port << "/tcp\n";
    }
    Start();
    ASSERT_TRUE(names.LoadPortTable(table));
    // The name table is the program's, not the flood's.
    std::ofstream("/proc/self/clear_refs") << "5";
    rssBefore = testing::ProcessMemoryBytes("VmRSS:");
    std::mt19937 random(3);
    Flood(*netflow,
          [&](int i) {
              std::vector<testing::FlowSpec> flows(30);
              for (auto& f : flows) {
                  SetIp(f.src, 0x0A000000u | (random() % 3000));
                  SetIp(f.dst, 0x0B000000u | (random() % 3000));
                  f.sport = 60001;
                  f.dport = uint16_t(1 + random() % 59999);
              }
              return NetflowV5Raw(uint32_t(i + 1), flows);
          },
          [&] { return netflow->budget().refused(); });
    uint64_t labels = 0;
    for (const auto& [key, port] : netflow->ports) {
        for (const auto& [address, node] : port->ips) labels += node.services.size();
        for (const auto& [address, pair] : port->ipMatrix) labels += pair.services.size();
    }
    std::printf("[ flood    ] service labels kept: %llu\n", (unsigned long long)labels);
    EXPECT_GT(labels, 100'000u);
    Check("service labels", netflow->budget().refused());
    std::remove(table.c_str());
}

TEST_F(MemoryFlood, InterfacesAndTheirHistory)
{
    // 3,000 interfaces over eight sub-agents, each polled once an hour of the
    // collectors' clock, for up to ten days of hours.
    constexpr uint32_t kInterfaces = 3000, kPerDatagram = 30;
    constexpr int kDatagramsPerHour = int(kInterfaces / kPerDatagram);
    Start();
    Flood(*sflow,
          [&](int i) {
              uint32_t first = uint32_t(i % kDatagramsPerHour) * kPerDatagram;
              Bytes d = testing::SflowV5Header(uint32_t(i + 1), kPerDatagram, first % 8);
              for (uint32_t k = 0; k < kPerDatagram; ++k) {
                  testing::IfCounters c;
                  c.ifIndex = first + k;
                  c.inUcast = uint32_t(i);
                  d.raw(testing::CounterSampleV5(c));
              }
              return d.data();
          },
          [&] { return sflow->budget().refused(); },
          [&](int i) {
              if ((i + 1) % kDatagramsPerHour == 0) clock += 3600;
          });
    uint64_t interfaces = 0, samples = 0;
    for (const auto& [key, port] : sflow->ports) {
        interfaces += port->interfaces.size();
        for (const auto& [index, ifc] : port->interfaces) samples += ifc.history.size();
    }
    std::printf("[ flood    ] interfaces %llu with %llu history samples\n", (unsigned long long)interfaces,
                (unsigned long long)samples);
    EXPECT_EQ(interfaces, kInterfaces);
    Check("interfaces and history", sflow->budget().refused());
}

TEST_F(MemoryFlood, Ports)
{
    // Spoofed agent addresses: the port bound is lifted so that the memory
    // limit is what refuses them.
    limits.maxPorts = 1'000'000;
    Start();
    Flood(*sflow,
          [&](int i) {
              uint32_t agent = 0x0A000000u + uint32_t(i);
              Bytes d = testing::SflowV5Header(1, 0, 0,
                                               {uint8_t(agent >> 24), uint8_t(agent >> 16), uint8_t(agent >> 8),
                                                uint8_t(agent)});
              return d.data();
          },
          [&] { return sflow->refusedPorts; });
    std::printf("[ flood    ] ports %zu, %.0f bytes charged each\n", sflow->ports.size(),
                double(sflow->budget().used()) / double(sflow->ports.size()));
    Check("ports", sflow->refusedPorts);
}

TEST_F(MemoryFlood, Templates)
{
    // NetFlow v9 template sets of twenty 60-field templates each, new template
    // ids and new source ids all along: what is not refused by the bound per
    // exporter is refused by the memory limit.
    constexpr int kTemplatesPerDatagram = 20, kDatagramsPerSource = 25;
    limits.maxPorts = 1'000'000;
    Start();
    Flood(*netflow,
          [&](int i) {
              Bytes set;
              for (int t = 0; t < kTemplatesPerDatagram; ++t) {
                  set.u16(uint16_t(256 + (i % kDatagramsPerSource) * kTemplatesPerDatagram + t)).u16(60);
                  for (uint16_t f = 0; f < 60; ++f) set.u16(uint16_t(100 + f)).u16(4);
              }
              return testing::NetflowV9(uint32_t(i + 1), uint32_t(i / kDatagramsPerSource),
                                        {testing::FlowSet(0, set)});
          },
          [&] { return netflow->budget().refused(); });
    std::printf("[ flood    ] templates %zu in %zu ports\n", netflow->templates().templateCount(),
                netflow->ports.size());
    EXPECT_GT(netflow->templates().templateCount(), size_t(kDatagramsPerSource * kTemplatesPerDatagram));
    Check("templates", netflow->budget().refused());
}

TEST_F(MemoryFlood, TemplatesRedefinedSmaller)
{
    // Each source id fills its 511 template ids with 256-field templates and
    // redefines each at once with a single field: what stays held is what the
    // single-field layouts need, not the blocks of the large ones.
    constexpr int kTemplatesPerDatagram = 7, kDatagramsPerSource = 73;
    limits.maxPorts = 1'000'000;
    Start();
    Flood(*netflow,
          [&](int i) {
              Bytes large, small;
              for (int t = 0; t < kTemplatesPerDatagram; ++t) {
                  uint16_t id = uint16_t(256 + (i % kDatagramsPerSource) * kTemplatesPerDatagram + t);
                  large.u16(id).u16(256);
                  for (uint16_t f = 0; f < 256; ++f) large.u16(uint16_t(100 + f)).u16(4);
                  small.u16(id).u16(1).u16(8).u16(4);
              }
              return testing::NetflowV9(uint32_t(i + 1), uint32_t(i / kDatagramsPerSource),
                                        {testing::FlowSet(0, large), testing::FlowSet(0, small)});
          },
          [&] { return netflow->budget().refused() + netflow->refusedPorts; });
    std::printf("[ flood    ] templates %zu in %zu ports\n", netflow->templates().templateCount(),
                netflow->ports.size());
    Check("templates redefined smaller", netflow->budget().refused() + netflow->refusedPorts);
}

TEST_F(MemoryFlood, TemplatesWithdrawn)
{
    // Each IPFIX observation domain defines 512 templates and withdraws them
    // all in the same message: the emptied table gives its storage back.
    limits.maxPorts = 1'000'000;
    Start();
    Flood(*netflow,
          [&](int i) {
              Bytes defined, withdrawn;
              for (int t = 0; t < 512; ++t) defined.u16(uint16_t(256 + t)).u16(1).u16(8).u16(4);
              withdrawn.u16(2).u16(0);
              return testing::Ipfix(1, uint32_t(i), {testing::FlowSet(2, defined), testing::FlowSet(2, withdrawn)});
          },
          [&] { return netflow->budget().refused() + netflow->refusedPorts; });
    std::printf("[ flood    ] templates %zu in %zu ports\n", netflow->templates().templateCount(),
                netflow->ports.size());
    EXPECT_EQ(netflow->templates().templateCount(), 0u);
    Check("templates withdrawn", netflow->budget().refused() + netflow->refusedPorts);
}

}  // namespace
}  // namespace ortolan
