// SPDX-License-Identifier: GPL-3.0-or-later
#include "agent_command.h"

#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <thread>

#include "agent_address.h"
#include "command_line.h"
#include "if_table_reader.h"
#include "list_csv.h"
#include "sf_messages.h"
#include "snmp_api.h"
#include "snmp_library.h"

namespace ortolan {

namespace {

// Longest a read can take when every request runs out of retries: two walks,
// each with its SNMPv3 probe, and some slack.
std::chrono::milliseconds ReadBound(const tagSfTimings& timings)
{
    int perWalk = timings.readSeconds * (timings.readRetries + 1) + 1;
    return std::chrono::seconds(2 * perWalk + 10);
}

// Messages of the interface reading, beside the setup window's own.
constexpr const char* kMsgNoInterfaceInfo = "インターフェース情報が取得できません。";

// The interface reading: up to three walks, each with its SNMPv3 probe.
std::chrono::milliseconds InterfaceReadBound(const tagSfTimings& timings)
{
    int perWalk = timings.readSeconds * (timings.readRetries + 1) + 1;
    return std::chrono::seconds(3 * perWalk + 10);
}

void PrintInterfaces(std::ostream& out, const IfNameTable& table)
{
    std::vector<std::vector<std::string>> rows;
    rows.reserve(table.size());
    for (const auto& [ifIndex, entry] : table) {
        rows.push_back({std::to_string(ifIndex), entry.name, entry.alias,
                        entry.speedBitsPerSecond ? std::to_string(entry.speedBitsPerSecond) : std::string()});
    }
    out << FormatListCsv("インターフェース一覧", {"ifIndex", "ifName", "ifAlias", "速度（bit/秒）"}, rows);
}

int RunInterfaceRead(const tagSnmpAccess& access, ISnmpClient& snmp, std::ostream& out, std::ostream& err,
                     const tagSfTimings& timings, const std::function<void()>& poll)
{
    constexpr int kFailure = 2;
    CIfTableReader reader(snmp, timings.readSeconds, timings.readRetries);
    if (!reader.Start(access)) {
        err << kMsgRequestNotSent << "\n";
        return kFailure;
    }
    auto deadline = std::chrono::steady_clock::now() + InterfaceReadBound(timings);
    while (reader.busy()) {
        if (std::chrono::steady_clock::now() > deadline) {
            snmp.ResetSession();
            break;
        }
        if (poll) poll();
        reader.Poll();
        if (reader.busy()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (reader.busy() || !reader.answered()) {
        err << kMsgNoInterfaceInfo << "\n";
        return kFailure;
    }
    PrintInterfaces(out, reader.table());
    return 0;
}

void PrintReadout(std::ostream& out, const CSfAgentReader& reader)
{
    const tagSfReadout& readout = reader.readout();
    out << FormatListCsv("sFlowエージェント情報", {"バージョン", "アドレス", "MIBバージョン"},
                         {{readout.info.versionText, readout.info.addressText,
                           MibVersionText(readout.info.mibGeneration)}});
    std::vector<std::vector<std::string>> collectors;
    std::vector<std::vector<std::string>> ports;
    if (reader.mibGeneration() > 4) {
        for (const tagSfV5RcvrRow& row : readout.receivers) collectors.push_back(CellsOf(row));
        for (const tagSfV5PortRow& row : readout.v5Ports) ports.push_back(CellsOf(row));
    } else {
        for (const tagSfV4PortRow& row : readout.v4Ports) ports.push_back(CellsOf(row));
    }
    out << FormatListCsv("sFlowコレクタ設定", CollectorColumnHeaders(), collectors);
    out << FormatListCsv("sFlowポート設定",
                         reader.mibGeneration() > 4 ? V5PortColumnHeaders() : V4PortColumnHeaders(), ports);
}

}  // namespace

std::optional<int> ParseAgentArgs(const std::vector<std::string>& args, tagAgentArgs& parsed, std::ostream& out,
                                  std::ostream& err)
{
    std::unique_ptr<CLI::App> parser = NewCommandParser(
        "ortolan agent",
        "Reads an sFlow agent's configuration over SNMP as the setup window's button does, and prints the agent "
        "information, the collector list and the port list as list CSV.");
    static const std::map<std::string, int> modes{{"v1", 1}, {"v2c", 2}, {"v3auth", 3}, {"v3priv", 4}};
    parser->add_option("--mode", parsed.mode, "SNMP version and security: v1, v2c, v3auth (MD5) or v3priv (MD5 and DES)"
                                              " (default v1)")
        ->type_name("MODE")
        ->transform(CLI::Validator(
            [](std::string& text) -> std::string {
                auto mode = modes.find(text);
                if (mode == modes.end()) return "'" + text + "' is not v1, v2c, v3auth or v3priv";
                text = std::to_string(mode->second);
                return {};
            },
            ""));
    parser->add_option("--community", parsed.community, "community of v1 and v2c (default " + parsed.community + ")")
        ->type_name("TEXT");
    CLI::Option* user = parser->add_option("--user", parsed.user, "user of v3")->type_name("TEXT");
    CLI::Option* password =
        parser->add_option("--password", parsed.password, "pass phrase of v3, 8 characters or more")->type_name("TEXT");
    parser->add_option("--port", parsed.port, "UDP port of the agent" + RangeHelp(1, 65535, std::to_string(parsed.port)))
        ->type_name("N")
        ->check(WholeNumber(1, 65535));
    parser->add_flag("--interfaces", parsed.interfaces,
                     "read the agent's interface names, aliases and speeds (IF-MIB) instead of its sFlow setup");
    parser->add_option("ADDRESS", parsed.address, "the agent's IPv4 address")
        ->type_name("")
        ->required()
        ->check(CLI::Validator(
            [](std::string& text) { return ParseIpv4(text) ? std::string() : "'" + text + "' is not an IPv4 address"; },
            ""));
    if (std::optional<int> status = ParseCommandLine(*parser, args, out, err)) return status;
    if (parsed.mode >= 3 && (user->count() == 0 || password->count() == 0)) {
        err << "ortolan agent: v3auth and v3priv need --user and --password\n"
            << "Try 'ortolan agent --help' for the options and their ranges.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

int RunAgentCommand(const tagAgentArgs& args)
{
    CSnmpApi snmp;
    return RunAgentCommand(args, snmp, std::cout, std::cerr, tagSfTimings{}, [] { SnmpPollTick(); });
}

int RunAgentCommand(const std::vector<std::string>& args, ISnmpClient& snmp, std::ostream& out,
                    std::ostream& err, const tagSfTimings& timings, const std::function<void()>& poll)
{
    tagAgentArgs parsed;
    if (std::optional<int> status = ParseAgentArgs(args, parsed, out, err)) return *status;
    return RunAgentCommand(parsed, snmp, out, err, timings, poll);
}

int RunAgentCommand(const tagAgentArgs& parsed, ISnmpClient& snmp, std::ostream& out, std::ostream& err,
                    const tagSfTimings& timings, const std::function<void()>& poll)
{
    constexpr int kFailure = 2;
    tagSnmpAccess access;
    access.mode = parsed.mode;
    access.peerAddress = parsed.address;
    if (parsed.port != 161) access.peerAddress += ":" + std::to_string(parsed.port);
    access.communityOrUser = parsed.mode >= 3 ? parsed.user : parsed.community;
    access.password = parsed.password;
    if (parsed.interfaces) return RunInterfaceRead(access, snmp, out, err, timings, poll);

    CSfAgentReader reader(snmp, timings);
    tagSfStepOutcome outcome;
    if (!reader.StartRead(access, outcome)) {
        err << outcome.message << "\n";
        return kFailure;
    }

    auto deadline = std::chrono::steady_clock::now() + ReadBound(timings);
    std::string message;
    while (reader.busyState() != BusyState::Idle) {
        if (std::chrono::steady_clock::now() > deadline) {
            snmp.ResetSession();
            message = kMsgNoSflowInfo;
            break;
        }
        if (poll) poll();
        outcome = reader.Poll();
        if (!outcome.message.empty()) message = outcome.message;
        if (reader.busyState() != BusyState::Idle) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!message.empty() || reader.mibGeneration() == 0) {
        err << (message.empty() ? std::string(kMsgNoSflowInfo) : message) << "\n";
        return kFailure;
    }
    PrintReadout(out, reader);
    return 0;
}

}  // namespace ortolan
