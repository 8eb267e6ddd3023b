#include "mon_port.h"

#include <algorithm>
#include <chrono>
#include <type_traits>
#include <cmath>
#include <cstdio>

#include "local_time.h"
#include "memory_costs.h"

namespace ortolan {
namespace {

constexpr const char* kSizeLabels[kSizeClassCount] = {
    "63以下", "64-127", "128-255", "256-511", "512-1023", "1024-1514", "1514以上"};

// Beyond this an uptime difference is no rate interval but a restart or a stall.
constexpr uint32_t kMaxRateInterval = 60480000;  // ms, 16.8 hours
constexpr uint32_t kBaseRenewal = 604800;        // ms

}  // namespace

CMonPort::CMonPort(std::string agentText, int32_t subAgent, CMemoryAccount* memory,
                   const tagLimits& limits, std::shared_ptr<CLabelTable> labels)
    : agent(std::move(agentText)),
      subAgentId(subAgent),
      m_memory(memory),
      m_limits(limits),
      m_labels(labels ? std::move(labels) : std::make_shared<CLabelTable>())
{
    for (size_t i = 0; i < kSizeClassCount; ++i) sizeClasses[i].label = kSizeLabels[i];
}

CMonPort::~CMonPort() { CloseCapture(); }

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

std::vector<std::string> CMonPort::ServiceTexts(const CLabelList& services) const
{
    std::vector<std::string> out;
    out.reserve(services.size());
    for (uint32_t s : services) out.push_back(m_labels->Text(s));
    std::sort(out.begin(), out.end());
    return out;
}

std::string CMonPort::HostName(const CIpAddress& address) const
{
    auto it = hostNames.find(address);
    return it == hostNames.end() ? std::string() : it->second;
}

tagIfCounter* CMonPort::AddInterface(uint32_t ifIndex, bool* created)
{
    *created = false;
    // The older slot makes room: a record's input and output stay cached together.
    m_ifSlots[1] = m_ifSlots[0];
    auto it = interfaces.find(ifIndex);
    if (it != interfaces.end()) {
        SyncInterface(it->second);
        m_ifSlots[0] = {ifIndex, &it->second};
        return &it->second;
    }
    if (interfaces.size() >= m_limits.maxInterfacesPerPort) {
        Refuse();
        return nullptr;
    }
    if (!Charge(cost::Interface())) return nullptr;
    *created = true;
    tagIfCounter& ifc = interfaces[ifIndex];
    m_ifSlots[0] = {ifIndex, &ifc};
    // Records to every interface count for a new one from the moment it exists.
    ifc.allRecordsSeen = m_all.records;
    ifc.allSeen = m_all.sums;
    return &ifc;
}

void CMonPort::FoldAll(tagIfCounter& ifc) const
{
    _tagIf_counters& c = ifc.current;
    c.ifOutOctets += m_all.sums.octets - ifc.allSeen.octets;
    c.ifOutUcastPkts += m_all.sums.unicast - ifc.allSeen.unicast;
    c.ifOutMulticastPkts += m_all.sums.multicast - ifc.allSeen.multicast;
    c.ifOutBroadcastPkts += m_all.sums.broadcast - ifc.allSeen.broadcast;
    c.sampleTime = m_all.sampleTime;
    c.agentUptime = m_all.agentUptime;
    ifc.allSeen = m_all.sums;
    ifc.allRecordsSeen = m_all.records;
}

void CMonPort::SyncInterfaces() const
{
    // The folded figures are what the interface shows already; only where
    // they are kept changes.
    auto& all = const_cast<std::map<uint32_t, tagIfCounter>&>(interfaces);
    for (auto& [index, ifc] : all) SyncInterface(ifc);
}

void CMonPort::NewHour(tagIfCounter& ifc, int hour)
{
    AppendHistory(ifc, ifc.current);
    ifc.hourStamp = hour;
    // Pending every-interface records were all of the old hour; the next
    // one must fold them before this interface's hour can differ again.
    if (hour != m_all.hour) m_all.hour = kNoHour;
}

void CMonPort::AppendHistory(tagIfCounter& ifc, const _tagIf_counters& sample)
{
    if (ifc.history.size() >= kHistoryHours) {
        // A full week: the oldest sample makes room, so nothing more is kept.
        while (ifc.history.size() >= kHistoryHours) ifc.history.pop_front();
    } else if (!Charge(cost::HistoryEntry())) {
        return;
    }
    ifc.history.push_back(sample);
}

void CMonPort::AddOutboundToAll(const tagOutboundSums& add, int64_t sampleTime, uint32_t agentUptime,
                                int hour)
{
    m_all.sums.octets += add.octets;
    m_all.sums.unicast += add.unicast;
    m_all.sums.multicast += add.multicast;
    m_all.sums.broadcast += add.broadcast;
    m_all.records += 1;
    m_all.sampleTime = sampleTime;
    m_all.agentUptime = agentUptime;
    if (hour == m_all.hour) return;
    // A new hour: every interface takes its history step now, with the record
    // added, as it would have had the record been added to each.
    m_all.hour = hour;
    for (auto& [index, ifc] : interfaces) {
        SyncInterface(ifc);
        StepHistory(ifc, hour);
    }
}

void CMonPort::AddCounterSample(const _tagIf_counters& sample)
{
    bool created = false;
    tagIfCounter* ifc = FindOrAddInterface(sample.ifIndex, &created);
    if (!ifc) return;
    int hour = m_hours.Hour(sample.sampleTime);
    if (created) {
        AppendHistory(*ifc, sample);
        ifc->base = sample;
        ifc->hourStamp = hour;
    }
    if (hour != ifc->hourStamp) {
        AppendHistory(*ifc, sample);
        ifc->hourStamp = hour;
    }
    // Unsigned difference: an agent that restarted (uptime went back) also renews the base.
    if (Elapsed(sample.agentUptime, ifc->base.agentUptime) > kBaseRenewal) ifc->base = sample;
    ifc->current = sample;
    counterUptime = sample.agentUptime;
}

void CMonPort::WriteCapture(const uint8_t* bytes, uint32_t length, uint32_t frameLength)
{
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto ms = duration_cast<milliseconds>(now).count();
    captureFile.Append(bytes, length, frameLength, uint32_t(ms / 1000),
                       uint32_t(ms % 1000) * 1000u);
}

bool CMonPort::OpenCapture(const std::string& path) { return captureFile.Open(path); }

void CMonPort::CloseCapture() { captureFile.Close(); }

std::string CMonPort::IpListForMac(const MacAddress& mac) const
{
    // In the byte-wise order of the addresses, as the lists sort them: the
    // order of the map would change whenever unrelated nodes are added.
    std::vector<std::string> found;
    for (const auto& [address, node] : ips)
        if (node.macs.contains(mac)) found.push_back(address.String());
    std::sort(found.begin(), found.end());
    std::string out;
    for (const std::string& address : found) {
        if (!out.empty()) out += ',';
        out += address;
    }
    return out;
}

std::string CMonPort::IpListForMac(std::string_view mac) const
{
    auto key = MacAddress::Parse(mac);
    return key ? IpListForMac(*key) : std::string();
}

std::string CMonPort::MacList(const tagIpEntry& node)
{
    std::string out;
    for (const MacAddress& mac : node.macs) {
        if (!out.empty()) out += ',';
        out += mac.Text().view();
    }
    return out;
}

std::string CMonPort::MacListForIp(const CIpAddress& ip) const
{
    auto it = ips.find(ip);
    return it == ips.end() ? std::string() : MacList(it->second);
}

std::string CMonPort::MacListForIp(std::string_view ip) const
{
    auto key = CIpAddress::Parse(ip);
    return key ? MacListForIp(*key) : std::string();
}

std::string CMonPort::ServiceList(CLabelList& services) const
{
    std::vector<uint32_t> presumed;
    for (uint32_t label : services) {
        const std::string& text = m_labels->Text(label);
        auto q = text.find('?');
        if (q == std::string::npos) continue;
        std::string confirmed = text;
        confirmed.erase(q, 1);
        uint32_t c = m_labels->Find(confirmed);
        if (c != 0 && services.contains(c)) presumed.push_back(label);
    }
    for (uint32_t label : presumed) services.Remove(label);
    std::string out;
    for (const std::string& text : ServiceTexts(services)) {
        if (!out.empty()) out += ',';
        out += text;
    }
    return out;
}

double CMonPort::InterfaceInSum(int kind, bool octets) const
{
    double sum = 0;
    for (const auto& [index, ifc] : interfaces) {
        const _tagIf_counters& c = kind == 0 ? ifc.previous : ifc.current;
        if (octets) {
            if (kind == 0 || kind == 1) sum += double(c.ifInOctets);
            continue;
        }
        double packets = double(c.ifInUcastPkts) + c.ifInMulticastPkts + c.ifInBroadcastPkts;
        if (kind == 2)
            packets -= double(ifc.base.ifInUcastPkts) + ifc.base.ifInMulticastPkts +
                       ifc.base.ifInBroadcastPkts;
        sum += packets;
    }
    return sum;
}

double CMonPort::InterfaceRate(bool bits) const
{
    uint32_t dt = Elapsed(counterUptime, snapshotUptime);
    if (dt == 0 || dt > kMaxRateInterval) return 0;
    double rate = (InterfaceInSum(1, bits) - InterfaceInSum(0, bits)) * 1000.0 / dt;
    if (bits) rate = rate * 8 / 1000 / 1000;
    return rate < 0 ? 0 : rate;
}

void CMonPort::TakeSnapshot()
{
    for (auto& [index, ifc] : interfaces) {
        SyncInterface(ifc);
        ifc.previous = ifc.current;
    }
    snapshotUptime = counterUptime;
}

std::string CMonPort::EstimatedBytesText(int64_t bytes) const
{
    double total = InterfaceInSum(1, true);
    double value = double(bytes);
    if (total != 0 && sampledBytes != 0 && bytes != 0) value = total * (double(bytes) / double(sampledBytes));
    char buf[64];
    if (value < 1000) {
        std::snprintf(buf, sizeof buf, "%.0lfB", value);
        return buf;
    }
    static constexpr const char* kUnits[] = {"%.3lfKB", "%.3lfMB", "%.3lfGB"};
    for (const char* unit : kUnits) {
        value /= 1000;
        if (value < 1000) {
            std::snprintf(buf, sizeof buf, unit, value);
            return buf;
        }
    }
    std::snprintf(buf, sizeof buf, "%.3lfTB", value / 1000);
    return buf;
}

std::string CMonPort::EstimatedPacketsText(int64_t packets) const
{
    double total = InterfaceInSum(1, false);
    char buf[96];
    if (total != 0 && sampleCount != 0 && packets != 0) {
        double estimate = total * (double(packets) / double(sampleCount));
        double error = 196.0 * std::sqrt(1.0 / double(packets));
        std::snprintf(buf, sizeof buf, "%.0lf(±%.1lf%%)", estimate, error);
    } else {
        std::snprintf(buf, sizeof buf, "%lld(ABS)", static_cast<long long>(packets));
    }
    return buf;
}

double CMonPort::ActiveNodes(bool ipNodes, int64_t now) const
{
    uint32_t dt = Elapsed(counterUptime, snapshotUptime);
    if (dt < 100) dt = 12000;
    int64_t threshold = now - int64_t(dt / 50);
    double count = 0;
    auto visit = [&](const auto& map) {
        for (const auto& [key, node] : map)
            if (node.lastSeen >= threshold && node.txPackets != 0) count += 1;
    };
    if (ipNodes)
        visit(ips);
    else
        visit(macs);
    return count;
}

}  // namespace ortolan
