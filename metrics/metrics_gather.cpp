// SPDX-License-Identifier: GPL-3.0-or-later
#include "metrics_gather.h"

#include <algorithm>
#include <mutex>

namespace ortolan {
namespace {

void GatherCollector(CFlowCollector& c, const char* kind, const tagMetricsLimits& limits, tagMetricsSnapshot& out)
{
    // Everything a scrape shows of one collector is read in this one pass,
    // with its receiving thread held off by the tables' lock; the text is
    // formed afterwards from the copies alone.
    c.UpdateKernelDrops();
    std::lock_guard lock(c.tablesMutex());
    tagCollectorHealth h;
    h.kind = kind;
    h.datagrams = c.datagramCount;
    h.rejectedDatagrams = c.rejectedDatagrams;
    h.oversizeDatagrams = c.oversizeDatagrams;
    h.emptyDatagrams = c.emptyDatagrams;
    h.kernelDrops = c.kernelDrops;
    h.unknownTemplateSets = c.unknownTemplateSets;
    h.refusedPorts = c.refusedPorts;
    h.refusedEntries = c.budget().refused();
    h.logRecordsQueued = c.logQueue().size();
    h.logRecordsDropped = c.logQueue().dropped();
    h.logRecordsUnwritten = c.logQueue().unwritten();
    h.ports = c.ports.size();
    h.memoryUsed = c.budget().used();
    out.collectors.push_back(std::move(h));
    // Both collectors share one budget in the program; the larger figures
    // stand for it should they not.
    out.memoryUsed = std::max(out.memoryUsed, c.budget().shared().used());
    out.memoryLimit = std::max(out.memoryLimit, c.budget().limit());

    for (const auto& [key, port] : c.ports) {
        const CMonPort& p = *port;
        tagPortFigures f;
        f.labels = {key, p.agent, kind, PortKeyVersion(key)};
        f.datagrams = p.datagrams;
        // A port is fed by one collector: the other's figures stay 0.
        f.records = uint64_t(p.sampleCount) + p.flowRecords;
        f.packets = uint64_t(p.sampleCount) + p.flowPackets;
        f.bytes = uint64_t(p.sampledBytes) + p.flowOctets;
        out.ports.push_back(std::move(f));
        if (p.interfaces.empty()) continue;
        size_t room = limits.maxInterfaceSeries - std::min(limits.maxInterfaceSeries, out.interfaces.size());
        if (p.interfaces.size() > room) out.omittedInterfaces += p.interfaces.size() - room;
        if (room == 0) continue;
        p.interfaces.SyncAll();
        for (const auto& [index, ifc] : p.interfaces) {
            if (room-- == 0) break;
            const _tagIf_counters& s = ifc.current;
            tagInterfaceFigures i;
            i.port = out.ports.size() - 1;
            i.ifIndex = index;
            i.inOctets = s.ifInOctets;
            i.outOctets = s.ifOutOctets;
            i.inPackets = s.ifInUcastPkts + s.ifInMulticastPkts + s.ifInBroadcastPkts;
            i.outPackets = s.ifOutUcastPkts + s.ifOutMulticastPkts + s.ifOutBroadcastPkts;
            i.speed = s.ifSpeed;
            out.interfaces.push_back(i);
        }
    }
}

}  // namespace

std::string PortKeyVersion(std::string_view key)
{
    size_t at = key.find(" V");
    if (at == std::string_view::npos) return {};
    size_t end = at + 2;
    while (end < key.size() && key[end] >= '0' && key[end] <= '9') ++end;
    return std::string(key.substr(at + 2, end - at - 2));
}

tagMetricsSnapshot GatherMetrics(CFlowCollector& sflow, CFlowCollector& netflow, const tagMetricsLimits& limits,
                                 const StoreCountersSource& store, const std::string& buildVersion)
{
    tagMetricsSnapshot out;
    out.buildVersion = buildVersion;
    GatherCollector(sflow, "sflow", limits, out);
    GatherCollector(netflow, "netflow", limits, out);
    if (store) out.store = store();
    return out;
}

}  // namespace ortolan
