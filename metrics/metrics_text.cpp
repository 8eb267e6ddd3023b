// SPDX-License-Identifier: GPL-3.0-or-later
#include "metrics_text.h"

#include "exposition_writer.h"

namespace ortolan {
namespace {

using Health = uint64_t tagCollectorHealth::*;
using PortFigure = uint64_t tagPortFigures::*;
using InterfaceFigure = uint64_t tagInterfaceFigures::*;

struct tagFamily {
    const char* name;
    MetricType type;
    const char* help;
};

constexpr std::pair<tagFamily, Health> kHealth[] = {
    {{"ortolan_datagrams_total", MetricType::Counter, "Datagrams received by the collector."},
     &tagCollectorHealth::datagrams},
    {{"ortolan_rejected_datagrams_total", MetricType::Counter,
      "Datagrams that decoded nothing: unknown version, repeated sequence, or no port to count them for."},
     &tagCollectorHealth::rejectedDatagrams},
    {{"ortolan_oversize_datagrams_total", MetricType::Counter,
      "Datagrams larger than the receive buffer, dropped unread."},
     &tagCollectorHealth::oversizeDatagrams},
    {{"ortolan_empty_datagrams_total", MetricType::Counter, "Datagrams without payload."},
     &tagCollectorHealth::emptyDatagrams},
    {{"ortolan_kernel_drops_total", MetricType::Counter,
      "Datagrams the kernel dropped because the socket's receive buffer was full."},
     &tagCollectorHealth::kernelDrops},
    {{"ortolan_unknown_template_sets_total", MetricType::Counter,
      "NetFlow v9 and IPFIX data sets skipped because their template was not known (yet)."},
     &tagCollectorHealth::unknownTemplateSets},
    {{"ortolan_refused_ports_total", MetricType::Counter,
      "New ports refused by the port limit or the memory limit."},
     &tagCollectorHealth::refusedPorts},
    {{"ortolan_refused_entries_total", MetricType::Counter,
      "New table entries, slots, interfaces and history samples refused by the memory limit or a bound."},
     &tagCollectorHealth::refusedEntries},
    {{"ortolan_log_records_queued", MetricType::Gauge, "Datagram copies waiting for the flow log."},
     &tagCollectorHealth::logRecordsQueued},
    {{"ortolan_log_records_dropped_total", MetricType::Counter,
      "Datagram copies dropped because the flow log queue was full."},
     &tagCollectorHealth::logRecordsDropped},
    {{"ortolan_log_records_unwritten_total", MetricType::Counter,
      "Queued datagram copies given up at a stop because the flow log could not take them."},
     &tagCollectorHealth::logRecordsUnwritten},
    {{"ortolan_ports", MetricType::Gauge, "Monitored ports (agent and sub-agent, exporter and engine)."},
     &tagCollectorHealth::ports},
    {{"ortolan_collector_memory_bytes", MetricType::Gauge,
      "Bytes the collector's tables charged to the memory limit."},
     &tagCollectorHealth::memoryUsed},
};

constexpr std::pair<tagFamily, PortFigure> kPort[] = {
    {{"ortolan_port_datagrams_total", MetricType::Counter, "Datagrams counted for the port."},
     &tagPortFigures::datagrams},
    {{"ortolan_port_records_total", MetricType::Counter,
      "Packet samples (sFlow) or flow records (NetFlow) accounted for the port."},
     &tagPortFigures::records},
    {{"ortolan_port_sampled_packets_total", MetricType::Counter,
      "Packets as sampled (sFlow) or as the flow records carry them (NetFlow), not scaled by the sampling rate."},
     &tagPortFigures::packets},
    {{"ortolan_port_sampled_bytes_total", MetricType::Counter,
      "Bytes as sampled (sFlow frame lengths) or as the flow records carry them (NetFlow), not scaled."},
     &tagPortFigures::bytes},
};

constexpr std::pair<tagFamily, InterfaceFigure> kInterface[] = {
    {{"ortolan_interface_in_octets_total", MetricType::Counter,
      "Inbound octets of the interface, as its counter samples (sFlow) or its flows (NetFlow) give them."},
     &tagInterfaceFigures::inOctets},
    {{"ortolan_interface_out_octets_total", MetricType::Counter, "Outbound octets of the interface."},
     &tagInterfaceFigures::outOctets},
    {{"ortolan_interface_in_packets_total", MetricType::Counter,
      "Inbound unicast, multicast and broadcast packets of the interface."},
     &tagInterfaceFigures::inPackets},
    {{"ortolan_interface_out_packets_total", MetricType::Counter,
      "Outbound unicast, multicast and broadcast packets of the interface."},
     &tagInterfaceFigures::outPackets},
};

}  // namespace

std::string FormatMetrics(const tagMetricsSnapshot& s)
{
    std::string out;
    CExpositionWriter w(out);

    for (const auto& [family, field] : kHealth) {
        w.Family(family.name, family.type, family.help);
        for (const tagCollectorHealth& c : s.collectors) w.Sample({{"kind", c.kind}}, c.*field);
    }
    w.Family("ortolan_memory_used_bytes", MetricType::Gauge,
             "Bytes charged to the memory limit by every table it bounds.");
    w.Sample({}, s.memoryUsed);
    w.Family("ortolan_memory_limit_bytes", MetricType::Gauge, "The memory limit of the statistics tables.");
    w.Sample({}, s.memoryLimit);
    w.Family("ortolan_build_info", MetricType::Gauge, "The program's version, as a label; always 1.");
    w.Sample({{"version", s.buildVersion}}, 1);
    w.Family("ortolan_metrics_omitted_interfaces", MetricType::Gauge,
             "Interfaces left out of this scrape by the bound on interface series.");
    w.Sample({}, s.omittedInterfaces);

    for (const auto& [family, field] : kPort) {
        w.Family(family.name, family.type, family.help);
        for (const tagPortFigures& p : s.ports) {
            const tagPortSeriesLabels& l = p.labels;
            w.Sample({{"port", l.key}, {"exporter", l.exporter}, {"kind", l.kind}, {"version", l.version}},
                     p.*field);
        }
    }
    auto interfaceSample = [&](const tagInterfaceFigures& i, uint64_t value) {
        const tagPortSeriesLabels& l = s.ports[i.port].labels;
        std::string index = std::to_string(i.ifIndex);
        w.Sample({{"port", l.key}, {"exporter", l.exporter}, {"kind", l.kind}, {"version", l.version}},
                 {{"ifindex", index}}, value);
    };
    for (const auto& [family, field] : kInterface) {
        w.Family(family.name, family.type, family.help);
        for (const tagInterfaceFigures& i : s.interfaces) interfaceSample(i, i.*field);
    }
    w.Family("ortolan_interface_speed_bits_per_second", MetricType::Gauge,
             "The interface's speed as its counter samples give it; absent where not known.");
    for (const tagInterfaceFigures& i : s.interfaces)
        if (i.speed) interfaceSample(i, i.speed);

    if (s.store) {
        const tagStoreCounters& c = *s.store;
        w.Family("ortolan_clickhouse_rows_queued", MetricType::Gauge, "Rows waiting to be inserted into ClickHouse.");
        w.Sample({}, c.rowsHeld);
        w.Family("ortolan_clickhouse_rows_total", MetricType::Counter, "Rows handed to the queue to ClickHouse.");
        w.Sample({}, c.rowsQueued);
        w.Family("ortolan_clickhouse_rows_sent_total", MetricType::Counter, "Rows ClickHouse accepted.");
        w.Sample({}, c.rowsSent);
        w.Family("ortolan_clickhouse_rows_dropped_total", MetricType::Counter,
                 "Rows dropped because the queue to ClickHouse was full.");
        w.Sample({}, c.rowsDropped);
        w.Family("ortolan_clickhouse_failed_inserts_total", MetricType::Counter,
                 "Inserts into ClickHouse that failed or timed out.");
        w.Sample({}, c.failedInserts);
        w.Family("ortolan_clickhouse_refused_inserts_total", MetricType::Counter,
                 "Inserts ClickHouse refused (400, 401, 403, 404): a configuration or schema error.");
        w.Sample({}, c.refusals);
    }
    return out;
}

}  // namespace ortolan
