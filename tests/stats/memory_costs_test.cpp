// SPDX-License-Identifier: GPL-3.0-or-later
// The byte costs the memory budget charges, against what the allocator really
// hands out for the same things: glibc's count of bytes in use before and after
// adding many of one kind. A change of container or record that moves the real
// cost away from the charged one fails here.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <string>

#include "memory_costs.h"
#include "mon_port.h"

namespace ortolan {
namespace {

uint64_t HeapInUse()
{
    struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

struct tagCostCase {
    const char* kind;
    uint64_t count;
    std::function<void(CMonPort&)> fill;
};

std::string Ip(uint64_t i)
{
    char b[16];
    std::snprintf(b, sizeof b, "10.%u.%u.%u", unsigned(i >> 16 & 255), unsigned(i >> 8 & 255), unsigned(i & 255));
    return b;
}

std::string Mac(uint64_t i)
{
    char b[18];
    std::snprintf(b, sizeof b, "02:00:00:%02X:%02X:%02X", unsigned(i >> 16 & 255), unsigned(i >> 8 & 255),
                  unsigned(i & 255));
    return b;
}

TEST(MemoryCosts, ChargedBytesAreCloseToWhatIsAllocated)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's allocator does not report through mallinfo2";
#endif
    constexpr uint64_t kNodes = 20000, kListNodes = 1000, kInterfaces = 2000;
    const tagCostCase cases[] = {
        {"IP node", kNodes, [](CMonPort& p) { for (uint64_t i = 0; i < kNodes; ++i) p.FindOrAddIp(Ip(i), 1); }},
        {"MAC node", kNodes, [](CMonPort& p) { for (uint64_t i = 0; i < kNodes; ++i) p.FindOrAddMac(Mac(i), 1); }},
        {"IP pair", kNodes,
         [](CMonPort& p) {
             bool a = false;
             for (uint64_t i = 0; i < kNodes; ++i) p.FindOrAddIpPair(Ip(i), Ip(i + 1), 1, &a);
         }},
        {"MAC pair", kNodes,
         [](CMonPort& p) {
             bool a = false;
             for (uint64_t i = 0; i < kNodes; ++i)
                 p.FindOrAddPair(p.macMatrix, *MacAddress::Parse(Mac(i)), *MacAddress::Parse(Mac(i + 1)), 1, &a);
         }},
        {"labelled counter", kNodes,
         [](CMonPort& p) {
             for (uint64_t i = 0; i < kNodes; ++i) p.FindOrAddStat(p.tcpServices, uint32_t(i));
         }},
        {"MAC list slot", kListNodes * 256,
         [](CMonPort& p) {
             for (uint64_t n = 0; n < kListNodes; ++n) {
                 tagIpEntry* node = p.FindOrAddIp(Ip(n), 1);
                 for (uint64_t m = 0; m < 256; ++m) p.AddMacToIp(*node, Mac(m));
             }
         }},
        {"service label", kListNodes * 64,
         [](CMonPort& p) {
             for (uint64_t n = 0; n < kListNodes; ++n) {
                 tagIpEntry* node = p.FindOrAddIp(Ip(n), 1);
                 for (uint32_t s = 0; s < 64; ++s) p.AddService(node->services, s);
             }
         }},
        {"interface", kInterfaces,
         [](CMonPort& p) {
             for (uint32_t i = 0; i < kInterfaces; ++i) {
                 _tagIf_counters c;
                 c.ifIndex = i;
                 c.sampleTime = 1'700'000'000;
                 p.interfaces.AddCounterSample(c);
             }
         }},
        {"interface with a week of history", kInterfaces,
         [](CMonPort& p) {
             for (int64_t hour = 0; hour < 170; ++hour)
                 for (uint32_t i = 0; i < kInterfaces; ++i) {
                     _tagIf_counters c;
                     c.ifIndex = i;
                     c.sampleTime = 1'700'000'000 + hour * 3600;
                     p.interfaces.AddCounterSample(c);
                 }
         }},
    };
    for (const tagCostCase& c : cases) {
        SCOPED_TRACE(c.kind);
        CMemoryBudget budget(UINT64_MAX);
        CMemoryAccount account(budget);
        tagLimits limits;
        limits.memoryLimit = UINT64_MAX;
        auto port = std::make_unique<CMonPort>("10.0.0.1", 0, &account, limits);
        // The nodes the lists hang on are made first and not counted.
        if (std::string(c.kind).find("slot") != std::string::npos || std::string(c.kind).find("label") != std::string::npos)
            for (uint64_t n = 0; n < kListNodes; ++n) port->FindOrAddIp(Ip(n), 1);
        uint64_t charged0 = account.used();
        uint64_t heap0 = HeapInUse();
        c.fill(*port);
        double charged = double(account.used() - charged0) / double(c.count);
        double real = double(HeapInUse() - heap0) / double(c.count);
        std::printf("[ costs    ] %-34s charged %7.0f, allocated %7.0f bytes each\n", c.kind, charged, real);
        EXPECT_GT(charged, 0.8 * real);
        EXPECT_LT(charged, 1.25 * real);
    }
}

}  // namespace
}  // namespace ortolan
