#include "agent_command.h"

#include <chrono>
#include <iostream>
#include <optional>
#include <thread>

#include "agent_address.h"
#include "list_csv.h"
#include "sf_messages.h"
#include "snmp_api.h"
#include "snmp_library.h"

namespace ortolan {

namespace {

constexpr const char* kUsage =
    "usage: ortolan agent [--mode v1|v2c|v3auth|v3priv] [--community TEXT]\n"
    "                     [--user TEXT --password TEXT] [--port N] ADDRESS\n";

struct tagAgentArgs {
    int mode = 1;
    std::string community = "tundra";
    std::optional<std::string> user;
    std::optional<std::string> password;
    int port = 161;
    std::string address;
};

std::optional<int> ModeOf(const std::string& text)
{
    if (text == "v1") return 1;
    if (text == "v2c") return 2;
    if (text == "v3auth") return 3;
    if (text == "v3priv") return 4;
    return std::nullopt;
}

std::optional<int> PortOf(const std::string& text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) return std::nullopt;
    return port;
}

// The parsed arguments, or the reason they are wrong.
std::optional<tagAgentArgs> ParseArgs(const std::vector<std::string>& args, std::string& problem)
{
    tagAgentArgs parsed;
    bool haveAddress = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool takesValue = arg == "--mode" || arg == "--community" || arg == "--user" || arg == "--password" ||
                          arg == "--port";
        if (takesValue) {
            if (i + 1 >= args.size()) {
                problem = arg + " needs a value";
                return std::nullopt;
            }
            const std::string& value = args[++i];
            if (arg == "--mode") {
                std::optional<int> mode = ModeOf(value);
                if (!mode) {
                    problem = "unknown mode " + value;
                    return std::nullopt;
                }
                parsed.mode = *mode;
            } else if (arg == "--community") {
                parsed.community = value;
            } else if (arg == "--user") {
                parsed.user = value;
            } else if (arg == "--password") {
                parsed.password = value;
            } else {
                std::optional<int> port = PortOf(value);
                if (!port) {
                    problem = "bad port " + value;
                    return std::nullopt;
                }
                parsed.port = *port;
            }
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            problem = "unknown option " + arg;
            return std::nullopt;
        }
        if (haveAddress) {
            problem = "more than one address";
            return std::nullopt;
        }
        if (!ParseIpv4(arg)) {
            problem = arg + " is not an IPv4 address";
            return std::nullopt;
        }
        parsed.address = arg;
        haveAddress = true;
    }
    if (!haveAddress) {
        problem = "no address";
        return std::nullopt;
    }
    if (parsed.mode >= 3 && (!parsed.user || !parsed.password)) {
        problem = "SNMPv3 needs --user and --password";
        return std::nullopt;
    }
    return parsed;
}

// Longest a read can take when every request runs out of retries: two walks,
// each with its SNMPv3 probe, and some slack.
std::chrono::milliseconds ReadBound(const tagSfTimings& timings)
{
    int perWalk = timings.readSeconds * (timings.readRetries + 1) + 1;
    return std::chrono::seconds(2 * perWalk + 10);
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

int RunAgentCommand(const std::vector<std::string>& args)
{
    CSnmpApi snmp;
    return RunAgentCommand(args, snmp, std::cout, std::cerr, tagSfTimings{}, [] { SnmpPollTick(); });
}

int RunAgentCommand(const std::vector<std::string>& args, ISnmpClient& snmp, std::ostream& out,
                    std::ostream& err, const tagSfTimings& timings, const std::function<void()>& poll)
{
    constexpr int kFailure = 2;
    std::string problem;
    std::optional<tagAgentArgs> parsed = ParseArgs(args, problem);
    if (!parsed) {
        err << "ortolan agent: " << problem << "\n" << kUsage;
        return kFailure;
    }

    tagSnmpAccess access;
    access.mode = parsed->mode;
    access.peerAddress = parsed->address;
    if (parsed->port != 161) access.peerAddress += ":" + std::to_string(parsed->port);
    access.communityOrUser = parsed->mode >= 3 ? *parsed->user : parsed->community;
    access.password = parsed->password.value_or(std::string());

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
