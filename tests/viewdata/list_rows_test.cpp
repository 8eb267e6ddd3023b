// SPDX-License-Identifier: GPL-3.0-or-later
// The rows of the statistics lists: columns, cell texts, stored list texts and
// the raw values they sort by.
#include <gtest/gtest.h>

#include <numeric>

#include "counter_sample.h"
#include "fixed_host_names.h"
#include "list_kind.h"
#include "list_rows.h"
#include "port_fixtures.h"
#include "port_texts.h"

namespace ortolan {
namespace {

using testing::AddIp;
using testing::AddMac;
using testing::AddStat;
using testing::kT0;

std::vector<std::string> Column(const tagListTable& t, size_t c)
{
    std::vector<std::string> out;
    for (const auto& r : t.rows) out.push_back(r.cells.at(c));
    return out;
}

TEST(ListRows, EveryKindHasItsColumnsAndOnlyThoseKindsExist)
{
    // The header texts reach the list CSV, where the report's tests read
    // them; here, the shape the rows are built to.
    const size_t columnCounts[kListKindCount] = {8, 10, 8, 9, 3, 3, 4, 3, 3, 3, 3, 3, 3};
    for (int kind = 0; kind < kListKindCount; ++kind) {
        EXPECT_EQ(ListColumns(kind).size(), columnCounts[kind]) << kind;
    }
    EXPECT_TRUE(ListColumns(13).empty());
    EXPECT_EQ(ParseListKind("12"), 12);
    EXPECT_FALSE(ParseListKind("13").has_value());
    EXPECT_FALSE(ParseListKind("x").has_value());
}

TEST(ListRows, MacListShowsEstimatesTimesAndIpList)
{
    CMonPort port("10.0.0.254", 0);
    AddMac(port, "00:11:22:33:44:55", 3, 1500).rxPackets = 2;
    port.AddMacToIp(AddIp(port, "10.0.0.2", 1, 100), "00:11:22:33:44:55");
    port.AddMacToIp(AddIp(port, "10.0.0.1", 1, 100), "00:11:22:33:44:55");
    COuiTable oui;
    tagBuiltList list = BuildListRows(0, port, oui);
    ASSERT_EQ(list.table.rows.size(), 1u);
    const auto& cells = list.table.rows[0].cells;
    EXPECT_EQ(cells[0], "00:11:22:33:44:55");
    EXPECT_EQ(cells[1], "3(ABS)");
    EXPECT_EQ(cells[2], "1.500KB");
    EXPECT_EQ(cells[3], "2(ABS)");
    EXPECT_EQ(cells[4], "0B");
    EXPECT_EQ(cells[5], "11/15 07:13:20");
    // The same list IpListForMac gives, in byte-wise order.
    EXPECT_EQ(cells[7], "10.0.0.1,10.0.0.2");
    EXPECT_EQ(cells[7], IpListForMac(port, "00:11:22:33:44:55"));
    EXPECT_EQ(list.table.rows[0].numbers[2], 1500);
    ASSERT_EQ(list.topEntries.size(), 1u);
    EXPECT_EQ(list.topEntries[0].key, "00:11:22:33:44:55");
    EXPECT_EQ(list.total, 1500);
}

TEST(ListRows, IpListShowsHostMacAndServiceTexts)
{
    CMonPort port("10.0.0.254", 0);
    tagIpEntry& node = AddIp(port, "192.0.2.7", 5, 500);
    testing::CFixedHostNames hostNames;
    hostNames.Set(port, "192.0.2.7", "host.example");
    port.AddMacToIp(node, "00:AA:00:00:00:02");
    port.AddMacToIp(node, "00:AA:00:00:00:01");
    for (const char* label : {"ftp/tcp", "ftp/tcp?", "domain/udp?"}) port.AddService(node.services, label);
    COuiTable oui;
    tagBuiltList list = BuildListRows(1, port, oui, &hostNames);
    ASSERT_EQ(list.table.rows.size(), 1u);
    const auto& cells = list.table.rows[0].cells;
    EXPECT_EQ(cells[1], "host.example");
    EXPECT_EQ(BuildListRows(1, port, oui).table.rows[0].cells[1], "") << "no lookup, no names";
    EXPECT_EQ(cells[8], "00:AA:00:00:00:01,00:AA:00:00:00:02");
    EXPECT_EQ(cells[9], "domain/udp?,ftp/tcp");
    EXPECT_EQ(ServiceTexts(port, node.services), (std::vector<std::string>{"domain/udp?", "ftp/tcp", "ftp/tcp?"}))
        << "building the list leaves the statistics as they were";
    EXPECT_EQ(list.table.rows[0].numbers[0], double(0xC0000207u));
}

TEST(ListRows, PairsChartBothDirections)
{
    CMonPort port("10.0.0.254", 0);
    bool aFirst = false;
    tagMtxEntry& pair = *port.FindOrAddIpPair("10.0.0.9", "10.0.0.10", kT0, &aFirst);
    pair.packetsAtoB = 1;
    pair.bytesAtoB = 60;
    pair.packetsBtoA = 2;
    pair.bytesBtoA = 40;
    port.AddService(pair.services, "http/tcp");
    COuiTable oui;
    tagBuiltList list = BuildListRows(3, port, oui);
    ASSERT_EQ(list.table.rows.size(), 1u);
    EXPECT_EQ(list.table.rows[0].cells[0], "10.0.0.10");
    EXPECT_EQ(list.table.rows[0].cells[8], "http/tcp");
    ASSERT_EQ(list.topEntries.size(), 1u);
    EXPECT_EQ(list.topEntries[0].key, "10.0.0.10\n-10.0.0.9");
    EXPECT_EQ(list.topEntries[0].value, 100);
    // MAC pairs have no service column.
    EXPECT_TRUE(BuildListRows(2, port, oui).table.rows.empty());
}

// Scaled, every packet and byte cell and the chart's share is the sum of
// count x rate: at one rate (a factor) and after a second one (kept sums);
// unscaled, the same port's rows stay as they were.
TEST(ListRows, ScaledRowsHoldCountTimesRate)
{
    CMonPort port("10.0.0.254", 0);
    COuiTable oui;
    bool aFirst = false;
    tagMtxEntry& pair = *port.FindOrAddIpPair("10.0.0.9", "10.0.0.10", kT0, &aFirst);
    tagProtStat& udp = *port.FindOrAddStat(port.ipProtocols, "UDP");
    auto record = [&](uint32_t rate, int64_t packets, int64_t bytes) {
        port.NoteSamplingRate(rate, uint64_t(packets), uint64_t(bytes));
        port.scaled.Add(pair.packetsAtoB, pair.bytesAtoB, packets, bytes);
        port.scaled.Add(udp.packets, udp.bytes, packets, bytes);
    };
    record(512, 2, 300);
    const tagBuiltList before = BuildListRows(3, port, oui);
    tagBuiltList rows = BuildListRows(3, port, oui, nullptr, nullptr, true);
    ASSERT_EQ(rows.table.rows.size(), 1u);
    EXPECT_EQ(rows.table.rows[0].cells[2], "1024");
    EXPECT_EQ(rows.table.rows[0].cells[3], "153600");
    EXPECT_EQ(rows.table.rows[0].cells[4], "0");
    EXPECT_EQ(rows.topEntries.at(0).value, 153600);
    record(0, 1, 100);  // no rate: counted once
    record(2048, 1, 1000);
    rows = BuildListRows(5, port, oui, nullptr, nullptr, true);
    ASSERT_EQ(rows.table.rows.size(), 1u);
    EXPECT_EQ(rows.table.rows[0].cells[1], std::to_string(2 * 512 + 1 + 2048));
    EXPECT_EQ(rows.table.rows[0].cells[2], std::to_string(300 * 512 + 100 + 1000 * 2048));
    EXPECT_EQ(rows.table.rows[0].numbers[2], 300.0 * 512 + 100 + 1000 * 2048);
    // Off, the cells are the counts' as before scaling existed.
    const tagBuiltList plain = BuildListRows(5, port, oui);
    EXPECT_EQ(plain.table.rows[0].numbers[2], 1400);
    EXPECT_EQ(before.table.rows.at(0).numbers[2], 2);
    EXPECT_EQ(BuildListRows(3, port, oui).table.rows.at(0).numbers[3], 1400);

    // As NetFlow's sums of those records, the interface's figures scale by
    // their mean factor; as an agent's own counters (no flow records) never.
    port.interfaces.AddCounterSample(testing::CounterSample(7, kT0, 1000, 1400, 4));
    EXPECT_EQ(BuildListRows(11, port, oui, nullptr, nullptr, true).table.rows.at(0).numbers[1], 4);
    port.flowPackets = 4;
    port.flowOctets = 1400;
    const tagBuiltList interfaces = BuildListRows(11, port, oui, nullptr, nullptr, true);
    EXPECT_EQ(interfaces.table.rows.at(0).cells[1], std::to_string(2 * 512 + 1 + 2048));
    EXPECT_EQ(interfaces.table.rows.at(0).numbers[2], 300.0 * 512 + 100 + 1000 * 2048);
    EXPECT_EQ(BuildListRows(11, port, oui).table.rows.at(0).numbers[1], 4);
}

TEST(ListRows, ServiceClassRowsShowTheTosBits)
{
    CMonPort port("10.0.0.254", 0);
    tagProtStat& tos = *port.FindOrAddTos(TosKey{*CIpAddress::Parse("192.0.2.7"), 184});
    tos.packets = 4;
    tos.bytes = 400;
    COuiTable oui;
    tagBuiltList list = BuildListRows(6, port, oui);
    ASSERT_EQ(list.table.rows.size(), 1u);
    const auto& row = list.table.rows[0];
    EXPECT_EQ(row.cells[0], "192.0.2.7");
    EXPECT_EQ(row.cells[1], "101 110 00");
    EXPECT_EQ(row.numbers[1], 184);
    EXPECT_EQ(list.topEntries.at(0).key, "192.0.2.7:184");
    EXPECT_EQ(TosBitsText(0), "000 000 00");
    EXPECT_EQ(TosBitsText(255), "111 111 11");
}

TEST(ListRows, InterfacesSumInboundPacketsAndFormatOctets)
{
    CMonPort port("10.0.0.254", 0);
    _tagIf_counters c;
    c.ifIndex = 3;
    c.ifInUcastPkts = 100;
    c.ifInMulticastPkts = 20;
    c.ifInBroadcastPkts = 3;
    c.ifInOctets = 1234567;
    c.sampleTime = kT0;
    port.interfaces.AddCounterSample(c);
    COuiTable oui;
    tagBuiltList list = BuildListRows(11, port, oui);
    ASSERT_EQ(list.table.rows.size(), 1u);
    const auto& row = list.table.rows[0];
    EXPECT_EQ(row.cells, (std::vector<std::string>{"3", "123", "1.235MB"}));
    EXPECT_EQ(row.numbers[1], 123);
    EXPECT_EQ(row.numbers[2], 1234567);
    EXPECT_EQ(row.itemData, 3);
    EXPECT_EQ(list.topEntries.at(0).key, "IF#3");
    EXPECT_EQ(list.topEntries.at(0).value, 123);

    // With the agent's names the ifIndex cell gains them, and sorts and
    // charts by the number as before; an index the agent did not name stays a number.
    c.ifIndex = 12;
    port.interfaces.AddCounterSample(c);
    c.ifIndex = 40;
    port.interfaces.AddCounterSample(c);
    const IfNameTable names{{3, {"ge-0/0/3", "uplink \"core\"", 0}}, {12, {"eth1", "", 0}}, {99, {"x", "y", 0}}};
    list = BuildListRows(11, port, oui, nullptr, &names);
    ASSERT_EQ(list.table.rows.size(), 3u);
    EXPECT_EQ(list.table.rows[0].cells[0], "3 ge-0/0/3 (uplink \"core\")");
    EXPECT_EQ(list.table.rows[1].cells[0], "12 eth1");
    EXPECT_EQ(list.table.rows[2].cells[0], "40");
    EXPECT_EQ(list.table.rows[0].numbers[0], 3);
    EXPECT_EQ(list.table.rows[1].numbers[0], 12);
    EXPECT_EQ(list.table.rows[1].itemData, 12);
    EXPECT_EQ(list.table.columns.size(), ListColumns(11).size());
}

TEST(ListRows, VendorsGroupSendingMacsByPrefix)
{
    testing::CScratchFolder dir;
    ASSERT_FALSE(dir.path().empty());
    COuiTable oui;
    ASSERT_TRUE(oui.LoadOuiTable(testing::WriteOuiFile(dir.path(), "00-11-22   (hex)\t\tAcme Networks\n")));
    CMonPort port("10.0.0.254", 0);
    AddMac(port, "00:11:22:AA:BB:01", 1, 60);
    AddMac(port, "00:11:22:AA:BB:02", 1, 60);
    AddMac(port, "00:99:88:00:00:01", 1, 60);
    AddMac(port, "00:77:77:00:00:01", 0, 0);  // only ever received
    tagBuiltList list = BuildListRows(12, port, oui);
    ASSERT_EQ(list.table.rows.size(), 2u);
    EXPECT_EQ(list.table.rows[0].cells, (std::vector<std::string>{"Acme Networks", "00:11:22", "2"}));
    EXPECT_EQ(list.table.rows[1].cells, (std::vector<std::string>{"不明(00:99:88)", "00:99:88", "1"}));
    EXPECT_EQ(list.total, 3);
}

TEST(ListRows, SizeClassesComeInClassOrder)
{
    CMonPort port("10.0.0.254", 0);
    for (uint32_t len : {63u, 1514u, 1514u, 64u}) port.CountFrameSize(len);
    COuiTable oui;
    tagBuiltList list = BuildListRows(10, port, oui);
    ASSERT_EQ(list.table.rows.size(), 7u);
    EXPECT_EQ(Column(list.table, 0), (std::vector<std::string>{"63以下", "64-127", "128-255", "256-511", "512-1023",
                                                               "1024-1514", "1514以上"}));
    EXPECT_EQ(list.table.rows[6].cells[1], "2(ABS)");
    ASSERT_EQ(list.topEntries.size(), 7u);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(list.topEntries[size_t(i)].order, i);
    EXPECT_EQ(list.total, 4);
}

TEST(ListRows, EmptyTableGivesNoRows)
{
    CMonPort port("10.0.0.254", 0);
    COuiTable oui;
    tagBuiltList list = BuildListRows(1, port, oui);
    EXPECT_TRUE(list.table.rows.empty());
    EXPECT_TRUE(list.topEntries.empty());
    EXPECT_EQ(list.total, 0);
}

TEST(ListSort, AddressesSortAsNumbersAndTextsByteWise)
{
    CMonPort port("10.0.0.254", 0);
    for (const char* a : {"10.0.0.10", "fe80::10", "10.0.0.9", "fe80::9", "9.255.255.255", "2001:db8::1",
                          "192.168.0.1"})
        AddIp(port, a, 1, 1);
    COuiTable oui;
    tagBuiltList list = BuildListRows(1, port, oui);
    std::vector<int> order(list.table.rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> shown;
    for (int i : order) shown.push_back(list.table.rows[size_t(i)].cells[0]);
    EXPECT_EQ(shown, (std::vector<std::string>{"10.0.0.10", "10.0.0.9", "192.168.0.1", "2001:db8::1",
                                               "9.255.255.255", "fe80::10", "fe80::9"}))
        << "rows are built in the byte-wise order of their texts";
    // A click sorts IPv4 as numbers, then IPv6 after every IPv4 by its bytes.
    SortRowOrder(list.table, order, 0, false);
    shown.clear();
    for (int i : order) shown.push_back(list.table.rows[size_t(i)].cells[0]);
    EXPECT_EQ(shown, (std::vector<std::string>{"9.255.255.255", "10.0.0.9", "10.0.0.10", "192.168.0.1",
                                               "2001:db8::1", "fe80::9", "fe80::10"}));
    EXPECT_EQ(Ipv4Number("1.2.3"), 0u);
    EXPECT_EQ(Ipv4Number("1.2.3.256"), 0u);
    EXPECT_EQ(Ipv4Number("1.2.3.4x"), 0u);
}

TEST(ListSort, EqualValuesKeepTheirOrderInBothDirections)
{
    tagListTable table;
    table.columns = {{"name", SortKind::Text}, {"n", SortKind::Number}};
    for (auto [name, n] : std::vector<std::pair<std::string, double>>{{"a", 1}, {"b", 2}, {"c", 1}, {"d", 2}})
        table.rows.push_back({{name, ""}, {0, n}, {}, 0, 0});
    std::vector<int> order{0, 1, 2, 3};
    SortRowOrder(table, order, 1, true);
    EXPECT_EQ(order, (std::vector<int>{1, 3, 0, 2}));
    SortRowOrder(table, order, 1, false);
    EXPECT_EQ(order, (std::vector<int>{0, 2, 1, 3}));
}

TEST(ListSort, HundredThousandRowsSortByStoredCounts)
{
    CMonPort port("10.0.0.254", 0);
    for (int i = 0; i < 100000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "P%06d", i);
        AddStat(port, port.tcpServices, name, (i * 7919) % 1000, i);
    }
    COuiTable oui;
    tagBuiltList list = BuildListRows(8, port, oui);
    ASSERT_EQ(list.table.rows.size(), 100000u);
    std::vector<int> order(list.table.rows.size());
    std::iota(order.begin(), order.end(), 0);
    SortRowOrder(list.table, order, 1, true);
    for (size_t i = 1; i < order.size(); ++i) {
        const double prev = list.table.rows[size_t(order[i - 1])].numbers[1];
        const double cur = list.table.rows[size_t(order[i])].numbers[1];
        ASSERT_GE(prev, cur);
        if (prev == cur) {
            ASSERT_LT(order[i - 1], order[i]);  // equal counts keep name order
        }
    }
    EXPECT_EQ(list.topEntries.front().key, "P099999");
}

}  // namespace
}  // namespace ortolan
