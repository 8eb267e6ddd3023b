// SPDX-License-Identifier: GPL-3.0-or-later
#include "mon_port.h"

#include <algorithm>
#include <type_traits>

#include "local_time.h"
#include "memory_costs.h"

namespace ortolan {
namespace {

constexpr const char* kSizeLabels[kSizeClassCount] = {
    "63以下", "64-127", "128-255", "256-511", "512-1023", "1024-1514", "1514以上"};

}  // namespace

CMonPort::CMonPort(std::string agentText, int32_t subAgent, CMemoryAccount* memory,
                   const tagLimits& limits, std::shared_ptr<CLabelTable> labels)
    : agent(std::move(agentText)),
      subAgentId(subAgent),
      scaled(memory),
      interfaces(memory, limits.maxInterfacesPerPort),
      m_memory(memory),
      m_limits(limits),
      m_labels(labels ? std::move(labels) : std::make_shared<CLabelTable>())
{
    for (size_t i = 0; i < kSizeClassCount; ++i) sizeClasses[i].label = kSizeLabels[i];
}

CMonPort::~CMonPort() = default;

void CMonPort::SplitScaled()
{
    for (const auto& [key, e] : macs) {
        scaled.Seed(e.txPackets, e.txBytes);
        scaled.Seed(e.rxPackets, e.rxBytes);
    }
    for (const auto& [key, e] : ips) {
        scaled.Seed(e.txPackets, e.txBytes);
        scaled.Seed(e.rxPackets, e.rxBytes);
    }
    auto pairs = [this](const auto& matrix) {
        for (const auto& [key, e] : matrix) {
            scaled.Seed(e.packetsAtoB, e.bytesAtoB);
            scaled.Seed(e.packetsBtoA, e.bytesBtoA);
        }
    };
    pairs(ipMatrix);
    pairs(macMatrix);
    for (const StatTable* table : {&ethernetTypes, &ipProtocols, &tcpServices, &udpServices, &icmpTypes})
        for (const auto& [label, e] : *table) scaled.Seed(e.packets, e.bytes);
    for (const auto& [key, e] : tosTable) scaled.Seed(e.packets, e.bytes);
    for (const tagSizeClass& c : sizeClasses) scaled.Seed(c.packets, c.bytes);
    scaled.Split();
}

bool CMonPort::Charge(uint64_t bytes) { return m_memory == nullptr || m_memory->Charge(bytes); }

void CMonPort::Refuse()
{
    if (m_memory) m_memory->Refuse();
}

tagMacEntry* CMonPort::AddMac(const MacAddress& address, int64_t now)
{
    if (!Charge(cost::MacNode())) return nullptr;
    auto& e = macs.try_emplace(address).first->second;
    e.firstSeen = now;
    return &e;
}

tagIpEntry* CMonPort::AddIp(const CIpAddress& address, int64_t now)
{
    if (!Charge(cost::IpNode())) return nullptr;
    auto& e = ips.try_emplace(address).first->second;
    e.firstSeen = now;
    return &e;
}

namespace {

template <class Key>
tagMtxEntry* FindPairEntry(PairTable<Key>& matrix, const PairKey<Key>& key)
{
    auto it = matrix.find(key);
    return it == matrix.end() ? nullptr : &it->second;
}

}  // namespace

template <class Key>
tagMtxEntry* CMonPort::AddPair(PairTable<Key>& matrix, const Key& source, const Key& destination, int64_t now,
                               bool* sourceIsA)
{
    bool swapped = false;
    PairKey<Key> key = MakePair(source, destination, &swapped);
    tagMtxEntry* e = FindPairEntry(matrix, key);
    if (!e) {
        if (!Charge(std::is_same_v<Key, MacAddress> ? cost::MacPair() : cost::IpPair())) {
            *sourceIsA = CompareText(source, destination) <= 0;
            return nullptr;
        }
        e = &matrix.try_emplace(key).first->second;
        e->lowIsA = CompareText(key.low, key.high) <= 0;
        e->firstSeen = now;
    }
    // The source is the key's low side unless the key swapped them.
    *sourceIsA = e->lowIsA != swapped || key.low == key.high;
    return e;
}

tagMtxEntry* CMonPort::FindOrAddPair(IpPairTable& matrix, const CIpAddress& source, const CIpAddress& destination,
                                     int64_t now, bool* sourceIsA)
{
    return AddPair(matrix, source, destination, now, sourceIsA);
}

tagMtxEntry* CMonPort::FindOrAddPair(MacPairTable& matrix, const MacAddress& source, const MacAddress& destination,
                                     int64_t now, bool* sourceIsA)
{
    return AddPair(matrix, source, destination, now, sourceIsA);
}

CMonPort::tagMacFlowEntries CMonPort::AddMacFlow(const MacAddress& source, const MacAddress& destination,
                                                 int64_t now, bool swapped)
{
    tagMacFlowEntries e;
    e.pair = FindOrAddPair(macMatrix, source, destination, now, &e.sourceIsA);
    e.source = FindOrAddMac(source, now);
    e.destination = FindOrAddMac(destination, now);
    if (e.pair) {
        auto* pair = static_cast<tagMacPairEntry*>(e.pair);
        pair->lowNode = swapped ? e.destination : e.source;
        pair->highNode = swapped ? e.source : e.destination;
    }
    return e;
}

CMonPort::tagFlowEntries CMonPort::AddIpFlow(const CIpAddress& source, const CIpAddress& destination, int64_t now,
                                             const MacAddress* sourceMac)
{
    tagFlowEntries e;
    e.pair = FindOrAddPair(ipMatrix, source, destination, now, &e.sourceIsA);
    e.source = FindOrAddIp(source, now);
    // Before the destination, as the budget would meet them one at a time.
    if (e.source && sourceMac) AddMacToIp(*e.source, *sourceMac);
    e.destination = FindOrAddIp(destination, now);
    if (e.pair && e.source && e.destination)
        m_lastFlow = {source, destination, e};
    else
        m_lastFlow.entries.pair = nullptr;
    return e;
}

tagProtStat* CMonPort::AddStat(StatTable& table, uint32_t label, tagStatSlot& slot)
{
    auto it = table.find(label);
    tagProtStat* stat = nullptr;
    if (it != table.end()) {
        stat = &it->second;
    } else {
        if (!Charge(cost::Stat())) return nullptr;
        stat = &table.try_emplace(label).first->second;
    }
    slot = {&table, label, stat};
    return stat;
}

tagProtStat* CMonPort::AddTos(const TosKey& key)
{
    if (!Charge(cost::Tos())) return nullptr;
    return &tosTable.try_emplace(key).first->second;
}

void CMonPort::AddNewMacToIp(tagIpEntry& node, const MacAddress& mac)
{
    if (node.macs.size() >= m_limits.maxMacsPerIp) {
        Refuse();
        return;
    }
    if (!Charge(cost::MacSlot(node.macs))) return;
    node.macs.Insert(mac);
}

void CMonPort::AddNewService(CLabelList& services, uint32_t label)
{
    if (services.size() >= m_limits.maxServicesPerEntry) {
        Refuse();
        return;
    }
    if (!Charge(cost::ServiceSlot(services, label))) return;
    services.push_back(label);
}

tagMacEntry* CMonPort::FindOrAddMac(std::string_view address, int64_t now)
{
    auto key = MacAddress::Parse(address);
    return key ? FindOrAddMac(*key, now) : nullptr;
}

tagIpEntry* CMonPort::FindOrAddIp(std::string_view address, int64_t now)
{
    auto key = CIpAddress::Parse(address);
    return key ? FindOrAddIp(*key, now) : nullptr;
}

tagMtxEntry* CMonPort::FindOrAddIpPair(std::string_view source, std::string_view destination, int64_t now,
                                       bool* sourceIsA)
{
    auto s = CIpAddress::Parse(source);
    auto d = CIpAddress::Parse(destination);
    if (!s || !d) return nullptr;
    return FindOrAddPair(ipMatrix, *s, *d, now, sourceIsA);
}

tagProtStat* CMonPort::FindOrAddStat(StatTable& table, std::string_view name)
{
    return FindOrAddStat(table, m_labels->Intern(name));
}

void CMonPort::AddMacToIp(tagIpEntry& node, std::string_view mac)
{
    if (auto key = MacAddress::Parse(mac)) AddMacToIp(node, *key);
}

void CMonPort::AddService(CLabelList& services, std::string_view label)
{
    AddService(services, m_labels->Intern(label));
}

const tagMacEntry* CMonPort::FindMac(std::string_view address) const
{
    auto key = MacAddress::Parse(address);
    if (!key) return nullptr;
    auto it = macs.find(*key);
    return it == macs.end() ? nullptr : &it->second;
}

const tagIpEntry* CMonPort::FindIp(std::string_view address) const
{
    auto key = CIpAddress::Parse(address);
    if (!key) return nullptr;
    auto it = ips.find(*key);
    return it == ips.end() ? nullptr : &it->second;
}

const tagMtxEntry* CMonPort::FindPair(std::string_view a, std::string_view b) const
{
    bool swapped = false;
    if (auto ma = MacAddress::Parse(a), mb = MacAddress::Parse(b); ma && mb) {
        auto it = macMatrix.find(MakePair(*ma, *mb, &swapped));
        return it == macMatrix.end() ? nullptr : &it->second;
    }
    auto ia = CIpAddress::Parse(a), ib = CIpAddress::Parse(b);
    if (!ia || !ib) return nullptr;
    auto it = ipMatrix.find(MakePair(*ia, *ib, &swapped));
    return it == ipMatrix.end() ? nullptr : &it->second;
}

const tagProtStat* CMonPort::FindStat(const StatTable& table, std::string_view name) const
{
    uint32_t label = m_labels->Find(name);
    if (label == 0) return nullptr;
    auto it = table.find(label);
    return it == table.end() ? nullptr : &it->second;
}





double CMonPort::ActiveNodes(NodeKind kind, int64_t now) const
{
    uint32_t dt = CInterfaceTable::Elapsed(interfaces.counterUptime(), interfaces.snapshotUptime());
    if (dt < 100) dt = 12000;
    int64_t threshold = now - int64_t(dt / 50);
    double count = 0;
    auto visit = [&](const auto& map) {
        for (const auto& [key, node] : map)
            if (node.lastSeen >= threshold && node.txPackets != 0) count += 1;
    };
    if (kind == NodeKind::Ip)
        visit(ips);
    else
        visit(macs);
    return count;
}

}  // namespace ortolan
