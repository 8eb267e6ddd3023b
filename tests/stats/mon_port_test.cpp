// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "memory_costs.h"
#include "mon_port.h"

namespace ortolan {
namespace {

// The texts of a set of labels, in the set's order.
std::vector<std::string> LabelTexts(const CMonPort& port, const CLabelList& labels)
{
    std::vector<std::string> texts;
    for (uint32_t label : labels) texts.push_back(port.LabelText(label));
    return texts;
}

TEST(SizeClasses, BoundariesFallIntoTheirClasses)
{
    CMonPort port("10.0.0.1", 0);
    for (uint32_t len : {63u, 64u, 1513u, 1514u}) port.CountFrameSize(len);
    EXPECT_EQ(port.sizeClasses[0].packets, 1);
    EXPECT_EQ(port.sizeClasses[1].packets, 1);
    EXPECT_EQ(port.sizeClasses[5].packets, 1);
    EXPECT_EQ(port.sizeClasses[5].bytes, 1513);
    EXPECT_EQ(port.sizeClasses[6].packets, 1);
    EXPECT_EQ(port.sizeClasses[0].label, "63以下");
    EXPECT_EQ(port.sizeClasses[6].label, "1514以上");
}

TEST(ActiveNodes, TwentyRefreshIntervalsOfSendersOnly)
{
    CMonPort port("10.0.0.1", 0);
    int64_t now = 1'700'000'000;
    port.interfaces.SetCounterUptime(60000);  // the snapshot was at uptime 0
    auto* recent = port.FindOrAddMac("00:00:00:00:00:01", now);
    recent->txPackets = 1;
    recent->lastSeen = now - 1199;
    auto* old = port.FindOrAddMac("00:00:00:00:00:02", now);
    old->txPackets = 1;
    old->lastSeen = now - 1201;
    auto* receiver = port.FindOrAddMac("00:00:00:00:00:03", now);
    receiver->rxPackets = 5;
    receiver->lastSeen = now;
    EXPECT_EQ(port.ActiveNodes(NodeKind::Mac, now), 1);
    EXPECT_EQ(port.ActiveNodes(NodeKind::Ip, now), 0);
}

TEST(MemoryBudget, RefusesNewThingsButKeepsCountingExistingOnes)
{
    // Room for two IP nodes, one MAC and one label: the third node and the
    // pair do not fit; the per-node bounds refuse on their own.
    CMemoryBudget budget(2 * cost::IpNode() + cost::MacSlot(CMacList{}) + cost::ServiceSlot(CLabelList{}, 1) + 8);
    CMemoryAccount account(budget);
    tagLimits limits;
    limits.maxMacsPerIp = 1;
    limits.maxServicesPerEntry = 1;
    CMonPort port("10.0.0.1", 0, &account, limits);
    ASSERT_NE(port.FindOrAddIp("10.0.0.2", 1), nullptr);
    ASSERT_NE(port.FindOrAddIp("10.0.0.3", 1), nullptr);
    EXPECT_EQ(port.FindOrAddIp("10.0.0.4", 1), nullptr);
    EXPECT_NE(port.FindOrAddIp("10.0.0.2", 2), nullptr) << "existing keys are still found";
    bool sourceIsA = false;
    EXPECT_EQ(port.FindOrAddIpPair("10.0.0.2", "10.0.0.3", 1, &sourceIsA), nullptr);
    auto* node = port.FindOrAddIp("10.0.0.2", 2);
    port.AddMacToIp(*node, "00:00:00:00:00:01");
    port.AddMacToIp(*node, "00:00:00:00:00:02");
    EXPECT_EQ(node->macs.size(), 1u);
    port.AddService(node->services, "http/tcp");
    port.AddService(node->services, "http/tcp");
    port.AddService(node->services, "ftp/tcp");
    EXPECT_EQ(LabelTexts(port, node->services), std::vector<std::string>{"http/tcp"});
    EXPECT_EQ(account.refused(), 4u);
    EXPECT_EQ(port.ips.size(), 2u);
    EXPECT_LE(budget.used(), budget.limit());
    EXPECT_EQ(account.used(), budget.used());
    // A second account on the same budget finds it spent; clearing the first gives its share back.
    CMemoryAccount other(budget);
    EXPECT_FALSE(other.Charge(cost::IpNode()));
    account.Clear();
    EXPECT_EQ(budget.used(), 0u);
    EXPECT_TRUE(other.Charge(cost::IpNode()));
}

TEST(Pairs, SmallerTextFirstAndDirectionFromTheSource)
{
    CMonPort port("10.0.0.1", 0);
    bool sourceIsA = false;
    auto* pair = port.FindOrAddIpPair("10.0.0.9", "10.0.0.10", 5, &sourceIsA);
    ASSERT_NE(pair, nullptr);
    EXPECT_FALSE(sourceIsA) << "\"10.0.0.10\" is byte-wise smaller";
    ASSERT_EQ(port.ipMatrix.size(), 1u);
    EXPECT_EQ(CMonPort::PairText(port.ipMatrix.begin()->first, *pair), "10.0.0.10<->10.0.0.9");
    EXPECT_EQ(port.FindPair("10.0.0.9", "10.0.0.10"), pair);
    EXPECT_EQ(port.FindOrAddIpPair("10.0.0.10", "10.0.0.9", 6, &sourceIsA), pair);
    EXPECT_TRUE(sourceIsA);
    // Numerically first but byte-wise last: the binary order of the key must not decide.
    EXPECT_NE(port.FindOrAddIpPair("10.0.0.200", "9.0.0.1", 6, &sourceIsA), nullptr);
    EXPECT_TRUE(sourceIsA);
    EXPECT_NE(port.FindOrAddIpPair("9.0.0.1", "10.0.0.200", 6, &sourceIsA), nullptr);
    EXPECT_FALSE(sourceIsA);
    port.FindOrAddIpPair("10.0.0.7", "10.0.0.7", 6, &sourceIsA);
    EXPECT_TRUE(sourceIsA) << "a pair of equal texts counts as A to B";
}

TEST(Pairs, EntriesKeepTheirAddressesWhileTheTableGrows)
{
    // The accounting and its last-flow cache hold pair and node entries while
    // others are added: every entry must stay where it was, counts included.
    CMonPort port("10.0.0.1", 0);
    bool sourceIsA = false;
    tagMtxEntry* first = port.FindOrAddIpPair("10.0.0.1", "10.0.0.2", 5, &sourceIsA);
    tagIpEntry* node = port.FindOrAddIp("10.0.0.1", 5);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(node, nullptr);
    first->packetsAtoB = 7;
    port.AddService(first->services, "http/tcp");
    constexpr uint32_t kMore = 20000;
    for (uint32_t i = 0; i < kMore; ++i) {
        const CIpAddress a = CIpAddress::V4Number(0x0B000000u + i), b = CIpAddress::V4Number(0x0C000000u + i);
        ASSERT_NE(port.FindOrAddPair(port.ipMatrix, a, b, 6, &sourceIsA), nullptr);
        ASSERT_NE(port.FindOrAddIp(a, 6), nullptr);
    }
    EXPECT_EQ(port.FindPair("10.0.0.2", "10.0.0.1"), first);
    EXPECT_EQ(port.FindIp("10.0.0.1"), node);
    EXPECT_EQ(first->packetsAtoB, 7);
    EXPECT_EQ(LabelTexts(port, first->services), std::vector<std::string>{"http/tcp"});
    EXPECT_EQ(port.ipMatrix.size(), kMore + 1);
    size_t visited = 0;
    for (const auto& [key, pair] : port.ipMatrix) visited += pair.firstSeen == 6 || &pair == first;
    EXPECT_EQ(visited, kMore + 1) << "iteration visits every pair once";
}

TEST(Pairs, Ipv4TextOrderWithoutFormingTexts)
{
    // Every octet value against every other in each position, and random
    // addresses: the order computed from the bytes is that of the texts.
    auto textOrder = [](const CIpAddress& a, const CIpAddress& b) {
        int c = a.Text().view().compare(b.Text().view());
        return c < 0 ? -1 : c > 0;
    };
    for (int position = 0; position < 4; ++position)
        for (int x = 0; x < 256; ++x)
            for (int y = 0; y < 256; ++y) {
                uint8_t a[4] = {10, 1, 2, 3}, b[4] = {10, 1, 2, 3};
                a[position] = uint8_t(x);
                b[position] = uint8_t(y);
                ASSERT_EQ(CompareText(CIpAddress::V4(a), CIpAddress::V4(b)),
                          textOrder(CIpAddress::V4(a), CIpAddress::V4(b)))
                    << x << " vs " << y << " at octet " << position;
            }
    uint32_t seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        uint32_t x = seed;
        seed = seed * 1103515245u + 12345u;
        // Often share leading octets, so later octets decide too.
        const int shared = i % 4;
        const uint32_t mask = shared ? 0xFFFFFFFFu << (8 * (4 - shared)) : 0;
        const CIpAddress a = CIpAddress::V4Number(x), b = CIpAddress::V4Number((x & mask) | (seed & ~mask));
        ASSERT_EQ(CompareText(a, b), textOrder(a, b)) << a.String() << " vs " << b.String();
    }
}

}  // namespace
}  // namespace ortolan
