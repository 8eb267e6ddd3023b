#include "mon_port.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "local_time.h"

namespace ortolan {
namespace {

constexpr const char* kSizeLabels[kSizeClassCount] = {
    "63以下", "64-127", "128-255", "256-511", "512-1023", "1024-1514", "1514以上"};

// Beyond this an uptime difference is no rate interval but a restart or a stall.
constexpr uint32_t kMaxRateInterval = 60480000;  // ms, 16.8 hours
constexpr uint32_t kBaseRenewal = 604800;        // ms

}  // namespace

size_t SizeClassOf(uint32_t frameLength)
{
    if (frameLength < 64) return 0;
    if (frameLength < 128) return 1;
    if (frameLength < 256) return 2;
    if (frameLength < 512) return 3;
    if (frameLength < 1024) return 4;
    if (frameLength < 1514) return 5;
    return 6;
}

CMonPort::CMonPort(std::string agentText, int32_t subAgent, CEntryBudget* budget,
                   const tagLimits& limits)
    : agent(std::move(agentText)), subAgentId(subAgent), m_budget(budget), m_limits(limits)
{
    for (size_t i = 0; i < kSizeClassCount; ++i) sizeClasses[i].label = kSizeLabels[i];
}

CMonPort::~CMonPort() { CloseCapture(); }

bool CMonPort::TakeBudget() { return m_budget == nullptr || m_budget->Take(); }

tagMacEntry* CMonPort::FindOrAddMac(std::string_view address, int64_t now)
{
    auto it = macs.find(address);
    if (it != macs.end()) return &it->second;
    if (!TakeBudget()) return nullptr;
    auto& e = macs.emplace(std::string(address), tagMacEntry{}).first->second;
    e.address = address;
    e.firstSeen = now;
    return &e;
}

tagIpEntry* CMonPort::FindOrAddIp(std::string_view address, int64_t now)
{
    auto it = ips.find(address);
    if (it != ips.end()) return &it->second;
    if (!TakeBudget()) return nullptr;
    auto& e = ips.emplace(std::string(address), tagIpEntry{}).first->second;
    e.address = address;
    e.firstSeen = now;
    return &e;
}

tagMtxEntry* CMonPort::FindOrAddPair(TextMap<tagMtxEntry>& matrix, std::string_view source,
                                     std::string_view destination, int64_t now, bool* sourceIsA)
{
    *sourceIsA = source <= destination;
    std::string_view a = *sourceIsA ? source : destination;
    std::string_view b = *sourceIsA ? destination : source;
    // Longest key: two MAC texts (17 each) and "<->".
    char key[64];
    if (a.size() + b.size() + 3 > sizeof key) return nullptr;
    size_t n = 0;
    for (char c : a) key[n++] = c;
    key[n++] = '<';
    key[n++] = '-';
    key[n++] = '>';
    for (char c : b) key[n++] = c;
    std::string_view k(key, n);
    auto it = matrix.find(k);
    if (it != matrix.end()) return &it->second;
    if (!TakeBudget()) return nullptr;
    auto& e = matrix.emplace(std::string(k), tagMtxEntry{}).first->second;
    e.addressA = a;
    e.addressB = b;
    e.firstSeen = now;
    return &e;
}

tagProtStat* CMonPort::FindOrAddStat(TextMap<tagProtStat>& table, std::string_view name)
{
    auto it = table.find(name);
    if (it != table.end()) return &it->second;
    if (!TakeBudget()) return nullptr;
    auto& e = table.emplace(std::string(name), tagProtStat{}).first->second;
    e.name = name;
    return &e;
}

void CMonPort::AddMacToIp(tagIpEntry& node, std::string_view mac)
{
    if (node.macs.contains(mac)) return;
    if (node.macs.size() >= m_limits.maxMacsPerIp) {
        if (m_budget) m_budget->Refuse();
        return;
    }
    node.macs.insert(mac);
}

void CMonPort::AddService(TextSet& services, std::string_view label)
{
    if (services.contains(label)) return;
    if (services.size() >= m_limits.maxServicesPerEntry) {
        if (m_budget) m_budget->Refuse();
        return;
    }
    services.insert(label);
}

tagIfCounter* CMonPort::FindOrAddInterface(uint32_t ifIndex, bool* created)
{
    *created = false;
    auto it = interfaces.find(ifIndex);
    if (it != interfaces.end()) {
        SyncInterface(it->second);
        return &it->second;
    }
    if (interfaces.size() >= m_limits.maxInterfacesPerPort) {
        if (m_budget) m_budget->Refuse();
        return nullptr;
    }
    if (!TakeBudget()) return nullptr;
    *created = true;
    tagIfCounter& ifc = interfaces[ifIndex];
    // Records to every interface count for a new one from the moment it exists.
    ifc.allRecordsSeen = m_all.records;
    ifc.allSeen = m_all.sums;
    return &ifc;
}

void CMonPort::SyncInterface(tagIfCounter& ifc) const
{
    if (ifc.allRecordsSeen == m_all.records) return;
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

void CMonPort::StepHistory(tagIfCounter& ifc, int hour)
{
    if (hour != ifc.hourStamp) {
        ifc.history.push_back(ifc.current);
        ifc.hourStamp = hour;
        // Pending every-interface records were all of the old hour; the next
        // one must fold them before this interface's hour can differ again.
        if (hour != m_all.hour) m_all.hour = kNoHour;
    }
    while (ifc.history.size() > kHistoryHours) ifc.history.pop_front();
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

void CMonPort::CountFrameSize(uint32_t frameLength)
{
    auto& c = sizeClasses[SizeClassOf(frameLength)];
    c.packets += 1;
    c.bytes += frameLength;
}

void CMonPort::AddCounterSample(const _tagIf_counters& sample)
{
    bool created = false;
    tagIfCounter* ifc = FindOrAddInterface(sample.ifIndex, &created);
    if (!ifc) return;
    int hour = m_hours.Hour(sample.sampleTime);
    if (created) {
        ifc->history.push_back(sample);
        ifc->base = sample;
        ifc->hourStamp = hour;
    }
    if (hour != ifc->hourStamp) {
        ifc->history.push_back(sample);
        ifc->hourStamp = hour;
        while (ifc->history.size() > kHistoryHours) ifc->history.pop_front();
    }
    // Unsigned difference: an agent that restarted (uptime went back) also renews the base.
    if (Elapsed(sample.agentUptime, ifc->base.agentUptime) > kBaseRenewal) ifc->base = sample;
    ifc->current = sample;
    counterUptime = sample.agentUptime;
}

void CMonPort::AppendCapture(const uint8_t* bytes, uint32_t length, uint32_t frameLength)
{
    if (!captureFile.IsOpen()) return;
    using namespace std::chrono;
    auto now = system_clock::now().time_since_epoch();
    auto ms = duration_cast<milliseconds>(now).count();
    captureFile.Append(bytes, length, frameLength, uint32_t(ms / 1000),
                       uint32_t(ms % 1000) * 1000u);
}

bool CMonPort::OpenCapture(const std::string& path) { return captureFile.Open(path); }

void CMonPort::CloseCapture() { captureFile.Close(); }

std::string CMonPort::IpListForMac(std::string_view mac) const
{
    // In the byte-wise order of the addresses, as the lists sort them: the
    // order of the map would change whenever unrelated nodes are added.
    std::vector<std::string_view> found;
    for (const auto& [key, node] : ips)
        if (node.macs.contains(mac)) found.push_back(node.address);
    std::sort(found.begin(), found.end());
    std::string out;
    for (std::string_view address : found) {
        if (!out.empty()) out += ',';
        out += address;
    }
    return out;
}

std::string CMonPort::MacListForIp(std::string_view ip) const
{
    auto it = ips.find(ip);
    if (it == ips.end()) return {};
    return it->second.macs.join(",");
}

std::string CMonPort::ServiceList(TextSet& services)
{
    std::vector<std::string> presumed;
    for (const auto& label : services) {
        auto q = label.find('?');
        if (q == std::string::npos) continue;
        std::string confirmed = label;
        confirmed.erase(q, 1);
        if (services.contains(confirmed)) presumed.push_back(label);
    }
    for (const auto& label : presumed) services.erase(label);
    return services.join(",");
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
