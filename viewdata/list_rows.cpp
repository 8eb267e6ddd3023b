// SPDX-License-Identifier: GPL-3.0-or-later
#include "list_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "host_name_lookup.h"
#include "interface_texts.h"
#include "list_kind.h"
#include "local_time.h"
#include "mon_port.h"
#include "port_texts.h"
#include "name_tables.h"

namespace ortolan {
namespace {

constexpr const char* kTimeFormat = "%m/%d %H:%M:%S";

// Shared header texts; their trailing blanks and ideographic spaces widen the
// columns and are part of every CSV the lists write.
constexpr const char* kTxPackets = "送信パケット   ";
constexpr const char* kTxBytes = "送信バイト     ";
constexpr const char* kRxPackets = "受信パケット　 ";
constexpr const char* kRxBytes = "受信バイト     ";
constexpr const char* kFirstSeen = "初回検出日時";
constexpr const char* kLastSeen = "最終検出日時";
constexpr const char* kPackets = "パケット      ";
constexpr const char* kBytes = "バイト        ";
constexpr const char* kServices = "サービスリスト 　";

using Cols = std::vector<tagListColumn>;
constexpr SortKind T = SortKind::Text;
constexpr SortKind N = SortKind::Number;
constexpr SortKind A = SortKind::Address;

Cols PairColumns(const char* a, const char* b, SortKind addressSort)
{
    return {{a, addressSort},         {b, addressSort},   {"1->2パケット   ", N}, {"1->2バイト     ", N},
            {"2->1パケット　 ", N}, {"2->1バイト     ", N}, {kFirstSeen, N},      {kLastSeen, N}};
}

Cols StatColumns(const char* name) { return {{name, T}, {kPackets, N}, {kBytes, N}}; }

// Entries of a table with their key texts, in the byte-wise order of the texts.
template <class Key, class T>
struct tagKeyed {
    std::string text;
    const Key* key;
    T* entry;
};

template <class Map, class TextOf>
auto SortedEntries(const Map& map, TextOf textOf)
{
    std::vector<tagKeyed<typename Map::key_type, const typename Map::mapped_type>> keyed;
    keyed.reserve(map.size());
    for (auto& [key, entry] : map) keyed.push_back({textOf(key), &key, &entry});
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.text < b.text; });
    return keyed;
}

template <class Map>
auto SortedEntries(const Map& map)
{
    return SortedEntries(map, [](const auto& key) { return key.String(); });
}

std::string TimeText(int64_t t) { return FormatLocalTime(kTimeFormat, t); }

std::string UnsignedText(uint64_t v)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
    return buf;
}

class CRowSink {
public:
    CRowSink(tagBuiltList& out, int kind) : m_out(out), m_kind(kind) {}

    tagListRow& Add(const std::string& chartKey, double chartValue, int32_t order = 0)
    {
        AddTopEntry(m_out.topEntries, m_kind, chartKey, chartValue, order);
        m_out.total += chartValue;
        tagListRow& row = m_out.table.rows.emplace_back();
        const size_t n = m_out.table.columns.size();
        row.cells.reserve(n);
        row.numbers.reserve(n);
        return row;
    }

private:
    tagBuiltList& m_out;
    int m_kind;
};

void Put(tagListRow& row, std::string text, double number = 0)
{
    row.cells.push_back(std::move(text));
    row.numbers.push_back(number);
}

// A port's packet and byte figures as the list shows them: the counts as
// sent, their texts estimated from the interface counters; or, scaled, the
// sums of count x sampling rate, as whole numbers.
class CFigures {
public:
    CFigures(const CMonPort& port, bool scaled) : m_port(port), m_est(port), m_scaled(scaled) {}

    // The packet cell, then the byte cell, of one count pair of an entry.
    void Put(tagListRow& row, const int64_t& packets, const int64_t& bytes) const
    {
        if (!m_scaled) {
            ortolan::Put(row, EstimatedPacketsText(m_est, packets), double(packets));
            ortolan::Put(row, EstimatedBytesText(m_est, bytes), double(bytes));
            return;
        }
        const tagScaled s = m_port.scaled.Of(packets, bytes);
        ortolan::Put(row, std::to_string(s.packets), double(s.packets));
        ortolan::Put(row, std::to_string(s.bytes), double(s.bytes));
    }
    // What the share chart counts of an entry: its bytes, or packets, as shown.
    double Bytes(const int64_t& packets, const int64_t& bytes) const
    {
        return m_scaled ? double(m_port.scaled.Of(packets, bytes).bytes) : double(bytes);
    }
    double Packets(const int64_t& packets, const int64_t& bytes) const
    {
        return m_scaled ? double(m_port.scaled.Of(packets, bytes).packets) : double(packets);
    }

private:
    const CMonPort& m_port;
    const tagPortEstimate m_est;
    bool m_scaled;
};

// The sent and received counts and the first and last sighting of a MAC or IP node.
template <class Node>
void PutNodeTraffic(tagListRow& row, const CFigures& fig, const Node& e)
{
    fig.Put(row, e.txPackets, e.txBytes);
    fig.Put(row, e.rxPackets, e.rxBytes);
    Put(row, TimeText(e.firstSeen), double(e.firstSeen));
    Put(row, TimeText(e.lastSeen), double(e.lastSeen));
}

void BuildMacs(CRowSink& sink, const CMonPort& port, const CFigures& fig)
{
    // IpListForMac walks every IP node; one pass over the nodes in address
    // order gives every MAC's list at once, in the same order.
    std::unordered_map<uint64_t, std::string> ipLists;
    for (const auto& [address, key, node] : SortedEntries(port.ips))
        for (const MacAddress& mac : node->macs) {
            std::string& list = ipLists[mac.value];
            if (!list.empty()) list += ',';
            list += address;
        }
    for (auto& [address, key, e] : SortedEntries(port.macs)) {
        auto found = ipLists.find(key->value);
        tagListRow& row = sink.Add(address, fig.Bytes(e->txPackets, e->txBytes));
        Put(row, address);
        PutNodeTraffic(row, fig, *e);
        Put(row, found == ipLists.end() ? std::string() : found->second);
    }
}

void BuildIps(CRowSink& sink, const CMonPort& port, const CFigures& fig, const IHostNameLookup* hostNames)
{
    for (auto& [address, key, e] : SortedEntries(port.ips)) {
        tagListRow& row = sink.Add(address, fig.Bytes(e->txPackets, e->txBytes));
        Put(row, address, key->Number());
        Put(row, hostNames ? hostNames->HostName(port, *key) : std::string());
        PutNodeTraffic(row, fig, *e);
        Put(row, MacList(*e));
        Put(row, ServiceList(port, e->services));
    }
}

template <class Key>
void BuildPairs(CRowSink& sink, const CMonPort& port, const CFigures& fig, const PairTable<Key>& matrix, bool ip)
{
    struct tagPairRow {
        std::string key;  // "A<->B": the rows' order
        std::string a, b;
        uint32_t numberA = 0, numberB = 0;
        const tagMtxEntry* entry;
    };
    std::vector<tagPairRow> rows;
    rows.reserve(matrix.size());
    for (auto& [key, entry] : matrix) {
        auto [a, b] = CMonPort::Sides(key, entry);
        tagPairRow r{{}, a.String(), b.String(), 0, 0, &entry};
        if constexpr (std::is_same_v<Key, CIpAddress>) {
            r.numberA = a.Number();
            r.numberB = b.Number();
        }
        r.key = r.a + "<->" + r.b;
        rows.push_back(std::move(r));
    }
    std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x.key < y.key; });
    for (tagPairRow& r : rows) {
        const tagMtxEntry* e = r.entry;
        tagListRow& row = sink.Add(r.a + "\n-" + r.b,
                                   fig.Bytes(e->packetsAtoB, e->bytesAtoB) + fig.Bytes(e->packetsBtoA, e->bytesBtoA));
        Put(row, r.a, r.numberA);
        Put(row, r.b, r.numberB);
        fig.Put(row, e->packetsAtoB, e->bytesAtoB);
        fig.Put(row, e->packetsBtoA, e->bytesBtoA);
        Put(row, TimeText(e->firstSeen), double(e->firstSeen));
        Put(row, TimeText(e->lastSeen), double(e->lastSeen));
        if (ip) Put(row, ServiceList(port, e->services));
    }
}

void BuildStats(CRowSink& sink, const CMonPort& port, const CFigures& fig, const StatTable& table)
{
    for (auto& [name, key, e] : SortedEntries(table, [&port](uint32_t label) { return port.LabelText(label); })) {
        tagListRow& row = sink.Add(name, fig.Bytes(e->packets, e->bytes));
        Put(row, name);
        fig.Put(row, e->packets, e->bytes);
    }
}

void BuildTos(CRowSink& sink, const CMonPort& port, const CFigures& fig)
{
    for (auto& [name, key, e] : SortedEntries(port.tosTable)) {
        // The text "address:tos" orders the rows and names the slice.
        const unsigned tos = key->tos;
        tagListRow& row = sink.Add(name, fig.Bytes(e->packets, e->bytes));
        Put(row, key->source.String(), key->source.Number());
        Put(row, TosBitsText(tos), double(tos));
        fig.Put(row, e->packets, e->bytes);
    }
}

void BuildSizeClasses(CRowSink& sink, const CMonPort& port, const CFigures& fig)
{
    for (size_t i = 0; i < port.sizeClasses.size(); ++i) {
        const tagSizeClass& c = port.sizeClasses[i];
        tagListRow& row = sink.Add(c.label, fig.Packets(c.packets, c.bytes), int32_t(i));
        Put(row, c.label);
        fig.Put(row, c.packets, c.bytes);
    }
}

void BuildInterfaces(CRowSink& sink, const CMonPort& port, const IfNameTable* ifNames, bool scaled)
{
    for (const auto& [index, ifc] : port.interfaces) {
        const _tagIf_counters& c = ifc.current;
        const double packets = double(c.ifInUcastPkts) + c.ifInMulticastPkts + c.ifInBroadcastPkts;
        char key[24];
        std::snprintf(key, sizeof key, "IF#%u", index);
        if (scaled) {
            // Only NetFlow's sums of flow records scale; sFlow's factor is 1.
            const double p = std::round(packets * port.FlowPacketFactor());
            const double octets = std::round(double(c.ifInOctets) * port.FlowByteFactor());
            tagListRow& row = sink.Add(key, p);
            row.itemData = index;
            Put(row, InterfaceText(index, ifNames), index);
            Put(row, UnsignedText(uint64_t(p)), p);
            Put(row, FormatCount(octets), octets);
            continue;
        }
        tagListRow& row = sink.Add(key, packets);
        row.itemData = index;
        Put(row, InterfaceText(index, ifNames), index);
        // The sum is shown as the 32-bit counters add up, not wrapped.
        Put(row, UnsignedText(uint64_t(c.ifInUcastPkts) + c.ifInMulticastPkts + c.ifInBroadcastPkts), packets);
        Put(row, FormatCount(double(c.ifInOctets)), double(c.ifInOctets));
    }
}

void BuildVendors(CRowSink& sink, const CMonPort& port, const COuiTable& oui)
{
    struct Group {
        std::string vendor;
        std::string prefix;
        uint64_t count = 0;
    };
    std::vector<Group> groups;
    std::unordered_map<std::string, size_t> byPrefix;
    for (auto& [address, key, e] : SortedEntries(port.macs)) {
        if (e->txPackets == 0) continue;
        std::string prefix = address.substr(0, 8);
        auto [it, added] = byPrefix.emplace(prefix, groups.size());
        if (added) groups.push_back({oui.VendorOf(prefix), prefix, 0});
        ++groups[it->second].count;
    }
    int64_t rowNumber = 0;
    for (const Group& g : groups) {
        tagListRow& row = sink.Add(g.vendor, double(g.count));
        row.itemData = rowNumber++;
        Put(row, g.vendor);
        Put(row, g.prefix);
        Put(row, UnsignedText(g.count), double(g.count));
    }
}

}  // namespace

std::string TosBitsText(unsigned tos)
{
    std::string out;
    for (int bit = 7; bit >= 0; --bit) {
        out += (tos >> bit) & 1 ? '1' : '0';
        if (bit == 5 || bit == 2) out += ' ';
    }
    return out;
}

std::vector<tagListColumn> ListColumns(int kind)
{
    switch (kind) {
    case 0:
        return {{"MACアドレス   　", T}, {kTxPackets, N}, {kTxBytes, N}, {kRxPackets, N}, {kRxBytes, N},
                {kFirstSeen, N},       {kLastSeen, N},  {"IPアドレスリスト 　", T}};
    case 1:
        return {{"IPアドレス   　", A}, {"ホスト名", T},  {kTxPackets, N}, {kTxBytes, N},
                {kRxPackets, N},      {kRxBytes, N},   {kFirstSeen, N},  {kLastSeen, N},
                {"MACアドレスリスト 　", T}, {kServices, T}};
    case 2:
        return PairColumns("MACアドレス1   　", "MACアドレス2   　", T);
    case 3: {
        Cols c = PairColumns("IPアドレス1   　", "IPアドレス2   　", A);
        c.push_back({kServices, T});
        return c;
    }
    case 4: return StatColumns("Eth.プロトコル   　");
    case 5: return StatColumns("IPプロトコル   　");
    case 6: return {{"送信元IPアドレス", A}, {"サービス区分", N}, {kPackets, N}, {kBytes, N}};
    case 7: return StatColumns("ICMPプロトコル   　");
    case 8: return StatColumns("TCPプロトコル   　");
    case 9: return StatColumns("UDPプロトコル   　");
    case 10: return StatColumns("パケットサイズ範囲   　");
    case 11: return {{"ifIndex  　", N}, {kPackets, N}, {kBytes, N}};
    case 12: return {{"メーカ名  　　　　　　　　　", T}, {"OUI   　　   ", T}, {"数　　        ", N}};
    default: return {};
    }
}

tagBuiltList BuildListRows(int kind, const CMonPort& port, const COuiTable& oui, const IHostNameLookup* hostNames,
                           const IfNameTable* ifNames, bool scaled)
{
    tagBuiltList out;
    out.table.columns = ListColumns(kind);
    CRowSink sink(out, kind);
    const CFigures fig(port, scaled);
    switch (kind) {
    case 0: BuildMacs(sink, port, fig); break;
    case 1: BuildIps(sink, port, fig, hostNames); break;
    case 2: BuildPairs<MacAddress>(sink, port, fig, port.macMatrix, false); break;
    case 3: BuildPairs<CIpAddress>(sink, port, fig, port.ipMatrix, true); break;
    case 4: BuildStats(sink, port, fig, port.ethernetTypes); break;
    case 5: BuildStats(sink, port, fig, port.ipProtocols); break;
    case 6: BuildTos(sink, port, fig); break;
    case 7: BuildStats(sink, port, fig, port.icmpTypes); break;
    case 8: BuildStats(sink, port, fig, port.tcpServices); break;
    case 9: BuildStats(sink, port, fig, port.udpServices); break;
    case 10: BuildSizeClasses(sink, port, fig); break;
    case 11: BuildInterfaces(sink, port, ifNames, scaled); break;
    case 12: BuildVendors(sink, port, oui); break;
    default: break;
    }
    return out;
}

}  // namespace ortolan
