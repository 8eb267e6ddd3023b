#include "report_command.h"

#include <cstdio>
#include <iostream>

#include "command_line.h"
#include "monitor_settings.h"
#include "flow_log.h"
#include "list_report.h"
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

template <class Entry>
json TrafficJson(const Entry& e)
{
    return json{{"txPackets", e.txPackets}, {"txBytes", e.txBytes},     {"rxPackets", e.rxPackets},
                {"rxBytes", e.rxBytes},     {"firstSeen", e.firstSeen}, {"lastSeen", e.lastSeen}};
}

json TextList(const TextSet& set)
{
    json list = json::array();
    for (const std::string& text : set) list.push_back(text);
    return list;
}

json PairJson(const tagMtxEntry& m)
{
    return json{{"packetsAtoB", m.packetsAtoB},
                {"bytesAtoB", m.bytesAtoB},
                {"packetsBtoA", m.packetsBtoA},
                {"bytesBtoA", m.bytesBtoA}};
}

json StatTableJson(const TextMap<tagProtStat>& table)
{
    json out = json::object();
    for (const auto& [name, stat] : table) out[name] = json{{"packets", stat.packets}, {"bytes", stat.bytes}};
    return out;
}

json PortJson(const std::string& key, const CMonPort& p)
{
    json port{{"key", key},
              {"agent", p.agent},
              {"subAgentId", p.subAgentId},
              {"datagrams", p.datagrams},
              {"lastSequence", p.lastSequence},
              {"sampleCount", p.sampleCount},
              {"sampledBytes", p.sampledBytes}};
    json interfaces = json::object();
    p.SyncInterfaces();
    for (const auto& [index, ifc] : p.interfaces) {
        json history = json::array();
        for (const auto& h : ifc.history) history.push_back(HistoryJson(h));
        interfaces[std::to_string(index)] = json{{"history", history}, {"current", CounterJson(ifc.current)}};
    }
    port["interfaces"] = interfaces;
    json macs = json::object();
    for (const auto& [address, mac] : p.macs) macs[address] = TrafficJson(mac);
    port["macs"] = macs;
    json ips = json::object();
    for (const auto& [address, ip] : p.ips) {
        json entry = TrafficJson(ip);
        entry["services"] = TextList(ip.services);
        entry["macs"] = TextList(ip.macs);
        ips[address] = entry;
    }
    port["ips"] = ips;
    json macMatrix = json::object();
    for (const auto& [pair, m] : p.macMatrix) macMatrix[pair] = PairJson(m);
    port["macMatrix"] = macMatrix;
    json ipMatrix = json::object();
    for (const auto& [pair, m] : p.ipMatrix) {
        json entry = PairJson(m);
        entry["services"] = TextList(m.services);
        ipMatrix[pair] = entry;
    }
    port["ipMatrix"] = ipMatrix;
    port["ethernetTypes"] = StatTableJson(p.ethernetTypes);
    port["ipProtocols"] = StatTableJson(p.ipProtocols);
    port["tcpServices"] = StatTableJson(p.tcpServices);
    port["udpServices"] = StatTableJson(p.udpServices);
    port["icmpTypes"] = StatTableJson(p.icmpTypes);
    port["tosTable"] = StatTableJson(p.tosTable);
    json sizes = json::array();
    for (const auto& s : p.sizeClasses)
        sizes.push_back(json{{"label", s.label}, {"packets", s.packets}, {"bytes", s.bytes}});
    port["sizeClasses"] = sizes;
    return port;
}

json CollectorJson(const CFlowCollector& c)
{
    json agents = json::array();
    for (const auto& a : c.agents) agents.push_back(a);
    json ports = json::array();
    for (const auto& [key, port] : c.ports) ports.push_back(PortJson(key, *port));
    return json{{"datagramCount", c.datagramCount}, {"agents", agents}, {"ports", ports}};
}

}  // namespace

json StatisticsJson(const CSFlowMon& sflow, const CNFlowMon& netflow)
{
    return json{{"sflow", CollectorJson(sflow)}, {"netflow", CollectorJson(netflow)}};
}

int RunReportCommand(const std::vector<std::string>& args)
{
    // The interval the window's form would replay with.
    const tagSettingSpec& refreshSpec = SettingOf(&tagMonitorSettings::refreshSeconds);
    uint32_t refresh = refreshSpec.form.initial;
    std::vector<std::string> files;
    std::optional<std::string> listKind;
    std::optional<std::string> portKey;
    std::unique_ptr<CLI::App> parser = NewCommandParser(
        "ortolan report",
        "Replays flow logs into fresh collectors and prints every port's statistics as one JSON document, or, "
        "with --list, one statistics list as the windows' CSV buttons write it.");
    parser->add_option("--refresh", refresh,
                       std::string("replay interval in seconds") +
                           RangeHelp(refreshSpec.form.minimum, refreshSpec.form.maximum,
                                     std::to_string(refreshSpec.form.initial)))
        ->type_name("SECONDS")
        ->check(WholeNumber(refreshSpec.form.minimum, refreshSpec.form.maximum));
    CLI::Option* list =
        parser->add_option("--list", listKind, "print one list instead: 0 to 12 (the main window's list kinds) or local")
            ->type_name("KIND")
            ->check(CLI::Validator(
                [](std::string& kind) {
                    return IsListReportKind(kind) ? std::string() : "'" + kind + "' is not 0 to 12 or local";
                },
                ""));
    parser->add_option("--port", portKey, "only the port of this key (default: every port one after another)")
        ->type_name("KEY")
        ->needs(list);
    parser->add_option("LOGFILE", files, "flow log files, replayed in the order given")->type_name("")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->required();
    if (std::optional<int> status = ParseCommandLine(*parser, args, std::cout, std::cerr)) return *status;

    CSFlowMon sflow;
    CNFlowMon netflow;
    COrtolanApp app;
    COrtolanApp::LoadNameTables(app.ConfigFolder(), sflow, netflow);
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
        if (!log.ReplayLog(file, netflow, sflow, refresh, hooks)) {
            std::fprintf(stderr, "ortolan report: cannot read the log file %s\n", file.c_str());
            return 2;
        }
    }
    if (listKind) {
        // The lists as their windows' CSV button writes them.
        tagListReport list = FormatListReport(*listKind, portKey, sflow, netflow, loggedTime);
        if (!list.ok) {
            std::fprintf(stderr, "ortolan report: %s\n", list.error.c_str());
            return 2;
        }
        std::fwrite(list.text.data(), 1, list.text.size(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Texts from logs and name tables need not be valid UTF-8; they are
    // replaced, not allowed to abort the report.
    std::string text = StatisticsJson(sflow, netflow).dump(-1, ' ', false, json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace ortolan
