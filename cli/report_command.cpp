// SPDX-License-Identifier: GPL-3.0-or-later
#include "report_command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string_view>
#include <utility>
#include <nlohmann/json.hpp>

#include "command_line.h"
#include "monitor_settings.h"
#include "flow_log.h"
#include "interface_name_cache.h"
#include "interface_name_keeper.h"
#include "replay_feed.h"
#include "list_report.h"
#include "port_texts.h"
#include "ortolan_app.h"

namespace ortolan {
namespace {

using nlohmann::json;

// The 19 counter fields of an interface sample, by their names.
json CounterJson(const _tagIf_counters& c)
{
    return json{{"ifIndex", c.ifIndex},
                {"ifType", c.ifType},
                {"ifSpeed", c.ifSpeed},
                {"ifDirection", c.ifDirection},
                {"ifStatus", c.ifStatus},
                {"ifInOctets", c.ifInOctets},
                {"ifInUcastPkts", c.ifInUcastPkts},
                {"ifInMulticastPkts", c.ifInMulticastPkts},
                {"ifInBroadcastPkts", c.ifInBroadcastPkts},
                {"ifInDiscards", c.ifInDiscards},
                {"ifInErrors", c.ifInErrors},
                {"ifInUnknownProtos", c.ifInUnknownProtos},
                {"ifOutOctets", c.ifOutOctets},
                {"ifOutUcastPkts", c.ifOutUcastPkts},
                {"ifOutMulticastPkts", c.ifOutMulticastPkts},
                {"ifOutBroadcastPkts", c.ifOutBroadcastPkts},
                {"ifOutDiscards", c.ifOutDiscards},
                {"ifOutErrors", c.ifOutErrors},
                {"ifPromiscuousMode", c.ifPromiscuousMode}};
}

// A history entry also says when and at which agent uptime it was taken.
json HistoryJson(const _tagIf_counters& c)
{
    json entry = CounterJson(c);
    entry["agentUptime"] = c.agentUptime;
    entry["sampleTime"] = c.sampleTime;
    return entry;
}

// The counts as sent, then scaled by the sampling rates they came at.
template <class Entry>
json TrafficJson(const CScaledFigures& scaled, const Entry& e)
{
    const tagScaled tx = scaled.Of(e.txPackets, e.txBytes);
    const tagScaled rx = scaled.Of(e.rxPackets, e.rxBytes);
    return json{{"txPackets", e.txPackets},     {"txBytes", e.txBytes},         {"rxPackets", e.rxPackets},
                {"rxBytes", e.rxBytes},         {"firstSeen", e.firstSeen},     {"lastSeen", e.lastSeen},
                {"scaledTxPackets", tx.packets}, {"scaledTxBytes", tx.bytes},   {"scaledRxPackets", rx.packets},
                {"scaledRxBytes", rx.bytes}};
}

json StatJson(const CScaledFigures& scaled, const int64_t& packets, const int64_t& bytes)
{
    const tagScaled s = scaled.Of(packets, bytes);
    return json{{"packets", packets}, {"bytes", bytes}, {"scaledPackets", s.packets}, {"scaledBytes", s.bytes}};
}

json TextList(const std::vector<std::string>& texts)
{
    json list = json::array();
    for (const std::string& text : texts) list.push_back(text);
    return list;
}

json MacList(const CMacList& macs)
{
    json list = json::array();
    for (const MacAddress& mac : macs) list.push_back(mac.String());
    return list;
}

json PairJson(const CScaledFigures& scaled, const tagMtxEntry& m)
{
    const tagScaled ab = scaled.Of(m.packetsAtoB, m.bytesAtoB);
    const tagScaled ba = scaled.Of(m.packetsBtoA, m.bytesBtoA);
    return json{{"packetsAtoB", m.packetsAtoB},      {"bytesAtoB", m.bytesAtoB},
                {"packetsBtoA", m.packetsBtoA},      {"bytesBtoA", m.bytesBtoA},
                {"scaledPacketsAtoB", ab.packets}, {"scaledBytesAtoB", ab.bytes},
                {"scaledPacketsBtoA", ba.packets}, {"scaledBytesBtoA", ba.bytes}};
}

// Writes the report as it goes, in the form nlohmann's sorted, compact dump of
// the whole document would give, byte for byte: object keys in byte order, no
// white space, texts that are not UTF-8 replaced. Only one entry's small
// document exists at a time, so the report's memory stays near the
// collectors' own, however many entries they hold.
class CJsonStream {
public:
    explicit CJsonStream(const JsonSink& sink) : m_sink(sink) {}
    ~CJsonStream() { Flush(); }

    void Raw(char c) { m_buffer.push_back(c); }
    void Value(const json& value)
    {
        m_buffer += value.dump(-1, ' ', false, json::error_handler_t::replace);
        if (m_buffer.size() >= kFlushBytes) Flush();
    }
    void Key(std::string_view key)
    {
        m_key = std::string(key);
        Value(m_key);
        Raw(':');
    }
    void Flush()
    {
        if (!m_buffer.empty()) m_sink(m_buffer);
        m_buffer.clear();
    }

    // An object whose members are written by the given functions, in key order.
    using Member = std::pair<std::string_view, std::function<void()>>;
    void Object(std::vector<Member> members)
    {
        std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) { return a.first < b.first; });
        Raw('{');
        for (size_t i = 0; i < members.size(); ++i) {
            if (i) Raw(',');
            Key(members[i].first);
            members[i].second();
        }
        Raw('}');
    }
    // An object of a map's entries, keyed by their texts in byte order.
    // Holding every entry's text for the sort would cost about as much again
    // as a large table: a slot keeps the text's first bytes and the entry, and
    // only order whose first bytes tie are told apart by their whole texts.
    template <class Map, class KeyText, class Fn>
    void MapObject(const Map& map, KeyText&& keyText, Fn&& write)
    {
        using Item = typename Map::value_type;
        struct tagSlot {
            std::array<char, 16> head;
            const Item* item;
        };
        std::vector<tagSlot> order;
        order.reserve(map.size());
        for (const Item& item : map) {
            tagSlot slot{{}, &item};
            const std::string t = keyText(item.first, item.second);
            std::memcpy(slot.head.data(), t.data(), std::min(t.size(), slot.head.size()));
            order.push_back(slot);
        }
        std::sort(order.begin(), order.end(), [&](const tagSlot& a, const tagSlot& b) {
            // Unsigned bytes, as std::string compares; a text shorter than the
            // head ends in a 0 byte there, so equal heads mean equal texts.
            if (int c = std::memcmp(a.head.data(), b.head.data(), a.head.size())) return c < 0;
            if (a.head.back() == '\0') return false;
            return keyText(a.item->first, a.item->second) < keyText(b.item->first, b.item->second);
        });
        Raw('{');
        for (size_t i = 0; i < order.size(); ++i) {
            if (i) Raw(',');
            Key(keyText(order[i].item->first, order[i].item->second));
            write(order[i].item->second);
        }
        Raw('}');
    }
    template <class Range, class Fn>
    void Array(const Range& range, Fn&& write)
    {
        Raw('[');
        bool first = true;
        for (const auto& item : range) {
            if (!first) Raw(',');
            first = false;
            write(item);
        }
        Raw(']');
    }

private:
    static constexpr size_t kFlushBytes = 1 << 16;
    const JsonSink& m_sink;
    std::string m_buffer;
    json m_key;
};

void WritePort(CJsonStream& out, const std::string& key, const CMonPort& p, const IInterfaceNameLookup* ifNames)
{
    const IfNameTable* agentNames = ifNames ? ifNames->InterfaceNames(p.agent) : nullptr;
    const CScaledFigures& scaled = p.scaled;
    auto pair = [&out, &scaled](const tagMtxEntry& m) { out.Value(PairJson(scaled, m)); };
    auto text = [](const auto& key, const auto&) { return key.String(); };
    auto pairText = [](const auto& key, const tagMtxEntry& m) { return CMonPort::PairText(key, m); };
    auto label = [&p](uint32_t l, const tagProtStat&) { return p.LabelText(l); };
    auto table = [&out, &scaled](const auto& t, const auto& keyText) {
        out.MapObject(t, keyText, [&out, &scaled](const tagProtStat& stat) {
            out.Value(StatJson(scaled, stat.packets, stat.bytes));
        });
    };
    out.Object({
        {"key", [&] { out.Value(key); }},
        {"agent", [&] { out.Value(p.agent); }},
        // Unsigned, as in the port key: a v9 source id or an IPFIX domain uses all 32 bits.
        {"subAgentId", [&] { out.Value(uint32_t(p.subAgentId)); }},
        {"datagrams", [&] { out.Value(p.datagrams); }},
        {"lastSequence", [&] { out.Value(p.lastSequence); }},
        {"sampleCount", [&] { out.Value(p.sampleCount); }},
        {"sampledBytes", [&] { out.Value(p.sampledBytes); }},
        // Every packet and byte the port counted, scaled by its records' rates;
        // the rates seen (0: none) and the records that had none, which make
        // the scaled figures a lower bound.
        {"scaledPackets", [&] { out.Value(scaled.totalPackets()); }},
        {"scaledBytes", [&] { out.Value(scaled.totalBytes()); }},
        {"samplingRateLowest", [&] { out.Value(p.sampling.lowest); }},
        {"samplingRateHighest", [&] { out.Value(p.sampling.highest); }},
        {"unscaledRecords", [&] { out.Value(p.sampling.unscaledRecords); }},
        {"interfaces",
         [&] {
             // Keyed by the index's decimal text, so "10" comes before "2".
             p.interfaces.SyncAll();
             std::vector<std::pair<std::string, const tagIfCounter*>> byText;
             byText.reserve(p.interfaces.size());
             for (const auto& [index, ifc] : p.interfaces) byText.emplace_back(std::to_string(index), &ifc);
             std::sort(byText.begin(), byText.end());
             out.Raw('{');
             for (size_t i = 0; i < byText.size(); ++i) {
                 if (i) out.Raw(',');
                 out.Key(byText[i].first);
                 const tagIfCounter& ifc = *byText[i].second;
                 std::vector<CJsonStream::Member> members{
                     {"history",
                      [&] {
                          out.Array(ifc.history, [&](const _tagIf_counters& h) { out.Value(HistoryJson(h)); });
                      }},
                     {"current", [&] { out.Value(CounterJson(ifc.current)); }}};
                 // What SNMP said of the interface, only where it said something.
                 auto named = agentNames ? agentNames->find(uint32_t(std::stoul(byText[i].first)))
                                         : IfNameTable::const_iterator();
                 if (agentNames && named != agentNames->end()) {
                     const tagIfName& name = named->second;
                     members.push_back({"ifName", [&] { out.Value(name.name); }});
                     members.push_back({"ifAlias", [&] { out.Value(name.alias); }});
                     members.push_back({"ifHighSpeed", [&] { out.Value(name.speedBitsPerSecond); }});
                 }
                 out.Object(std::move(members));
             }
             out.Raw('}');
         }},
        {"macs", [&] { out.MapObject(p.macs, text, [&](const tagMacEntry& mac) { out.Value(TrafficJson(scaled, mac)); }); }},
        {"ips",
         [&] {
             out.MapObject(p.ips, text, [&](const tagIpEntry& ip) {
                 json entry = TrafficJson(scaled, ip);
                 entry["services"] = TextList(ServiceTexts(p, ip.services));
                 entry["macs"] = MacList(ip.macs);
                 out.Value(entry);
             });
         }},
        {"macMatrix", [&] { out.MapObject(p.macMatrix, pairText, pair); }},
        {"ipMatrix",
         [&] {
             out.MapObject(p.ipMatrix, pairText, [&](const tagMtxEntry& m) {
                 json entry = PairJson(scaled, m);
                 entry["services"] = TextList(ServiceTexts(p, m.services));
                 out.Value(entry);
             });
         }},
        {"ethernetTypes", [&] { table(p.ethernetTypes, label); }},
        {"ipProtocols", [&] { table(p.ipProtocols, label); }},
        {"tcpServices", [&] { table(p.tcpServices, label); }},
        {"udpServices", [&] { table(p.udpServices, label); }},
        {"icmpTypes", [&] { table(p.icmpTypes, label); }},
        {"tosTable", [&] { table(p.tosTable, text); }},
        {"sizeClasses",
         [&] {
             out.Array(p.sizeClasses, [&](const auto& s) {
                 json entry = StatJson(scaled, s.packets, s.bytes);
                 entry["label"] = s.label;
                 out.Value(entry);
             });
         }},
    });
}

void WriteCollector(CJsonStream& out, const CFlowCollector& c, const IInterfaceNameLookup* ifNames)
{
    // Replay feeds the collectors on this thread; the lock keeps the rule
    // that every reader of the tables holds it.
    std::lock_guard lock(c.tablesMutex());
    out.Object({
        {"datagramCount", [&] { out.Value(c.datagramCount); }},
        {"agents", [&] { out.Array(c.agents, [&](const std::string& a) { out.Value(a); }); }},
        {"ports",
         [&] { out.Array(c.ports, [&](const auto& entry) { WritePort(out, entry.first, *entry.second, ifNames); }); }},
    });
}


}  // namespace

void WriteStatisticsJson(const CSFlowMon& sflow, const CNFlowMon& netflow, const JsonSink& sink,
                         const IInterfaceNameLookup* ifNames)
{
    CJsonStream out(sink);
    out.Object({{"sflow", [&] { WriteCollector(out, sflow, ifNames); }},
                {"netflow", [&] { WriteCollector(out, netflow, ifNames); }}});
    out.Raw('\n');
}

int RunReportCommand(const std::vector<std::string>& args)
{
    // The interval the window's form would replay with.
    const tagSettingRow& refreshRow = SettingOf(&tagMonitorSettings::refreshSeconds);
    uint32_t refresh = refreshRow.form.initial;
    std::vector<std::string> files;
    std::optional<std::string> listKind;
    std::optional<std::string> portKey;
    std::unique_ptr<CLI::App> parser = NewCommandParser(
        "ortolan report",
        "Replays flow logs into fresh collectors and prints every port's statistics as one JSON document, or, "
        "with --list, one statistics list as the windows' CSV buttons write it.");
    parser->add_option("--refresh", refresh,
                       std::string("replay interval in seconds") +
                           RangeHelp(refreshRow.form.minimum, refreshRow.form.maximum,
                                     std::to_string(refreshRow.form.initial)))
        ->type_name("SECONDS")
        ->check(WholeNumber(refreshRow.form.minimum, refreshRow.form.maximum));
    CLI::Option* list =
        parser->add_option("--list", listKind, "print one list instead: 0 to 12 (the main window's list kinds) or local")
            ->type_name("KIND")
            ->check(CLI::Validator(
                [](std::string& kind) {
                    return IsListReportKind(kind) ? std::string() : "'" + kind + "' is not 0 to 12 or local";
                },
                ""));
    // The same memory limit as collect's, so a report of a live run's log
    // keeps what that run could keep.
    const tagSettingRow& memoryRow = SettingOf(&tagMonitorSettings::memoryLimitMib);
    uint32_t memoryLimitMib = memoryRow.line.initial;
    parser->add_option("--memory-limit", memoryLimitMib,
                       memoryRow.help + RangeHelp(memoryRow.line.minimum, memoryRow.line.maximum,
                                                  std::to_string(memoryRow.line.initial)))
        ->type_name(memoryRow.valueName)
        ->check(WholeNumber(memoryRow.line.minimum, memoryRow.line.maximum));
    parser->add_option("--port", portKey, "only the port of this key (default: every port one after another)")
        ->type_name("KEY")
        ->needs(list);
    bool scaled = false;
    parser->add_flag("--scaled", scaled,
                     "with --list: packet and byte columns scaled by the sampling rates (count x rate; records "
                     "without a rate count once)")
        ->needs(list);
    parser->add_option("LOGFILE", files, "flow log files, replayed in the order given")->type_name("")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->required();
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;

    CNameTables names;
    // Both collectors share one budget, as in a live run; it outlives them.
    CMemoryBudget memory(MiB(memoryLimitMib));
    CSFlowMon sflow(names);
    CNFlowMon netflow(names);
    sflow.ShareMemoryBudget(memory);
    netflow.ShareMemoryBudget(memory);
    COrtolanApp app;
    for (const std::string& problem : COrtolanApp::LoadNameTables(app.ConfigFolder(), names))
        std::fprintf(stderr, "ortolan report: %s\n", problem.c_str());
    // The interface names the window last read of the agents still set up
    // for SNMP; the report itself asks no agent.
    CInterfaceNameKeeper ifNames;
    const std::string state = app.SnmpStateFolder();
    ifNames.Start(nullptr, ReadAgentSnmpSettings(app.Settings()), state.empty() ? std::string() : state + kIfNameCacheFile);
    // The decoders' clock stands at each datagram's logged time, as it stood
    // in the live run that wrote the log: the report then reproduces that run
    // and does not depend on when it is made.
    int64_t loggedTime = 0;
    sflow.SetClock([&loggedTime] { return loggedTime; });
    netflow.SetClock([&loggedTime] { return loggedTime; });
    tagReplayHooks hooks{[&loggedTime](int64_t t) { loggedTime = t; }, {}};
    // Paths are taken as given, relative to the current folder.
    CFlowLog log;
    for (const std::string& file : files) {
        uint64_t replayed = log.replayedLines();
        uint64_t skipped = log.skippedLines();
        if (!log.ReplayLog(file, ReplayFeed(netflow, sflow), refresh, hooks)) {
            std::fprintf(stderr, "ortolan report: %s\n", log.problem().c_str());
            return 2;
        }
        if (log.skippedLines() > skipped)
            std::fprintf(stderr, "ortolan report: lines skipped in %s (not flow-log lines): %llu\n", file.c_str(),
                         static_cast<unsigned long long>(log.skippedLines() - skipped));
        if (log.replayedLines() == replayed)
            std::fprintf(stderr, "ortolan report: %s holds no flow-log line\n", file.c_str());
    }
    uint64_t refused = sflow.budget().refused() + netflow.budget().refused();
    if (refused)
        std::fprintf(stderr, "ortolan report: new entries refused by the memory limit of %u MiB: %llu\n",
                     memoryLimitMib, static_cast<unsigned long long>(refused));
    // Reporting empty statistics for a file that is no flow log would pass a
    // mistake off as a quiet network.
    if (log.replayedLines() == 0) return 1;
    if (listKind) {
        // The lists as their windows' CSV button writes them.
        tagListReport list = FormatListReport(*listKind, portKey, sflow, netflow, loggedTime, &ifNames, scaled);
        if (!list.ok) {
            std::fprintf(stderr, "ortolan report: %s\n", list.error.c_str());
            return 2;
        }
        std::fwrite(list.text.data(), 1, list.text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Texts from logs and name tables need not be valid UTF-8; they are
    // replaced, not allowed to abort the report.
    WriteStatisticsJson(
        sflow, netflow, [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }, &ifNames);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

}  // namespace ortolan
