// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_bench.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "header_decoder.h"
#include "name_tables.h"
#include "nflow_mon.h"
#include "sflow_mon.h"
#include "traffic_accounting.h"
#include "flow_log.h"
#include "replay_feed.h"
#include "log_files.h"
#ifdef ORTOLAN_FUZZ_MARKUP
#include "markup_parser.h"
#endif

namespace ortolan {
namespace {

// A fixed clock keeps every run of one input identical.
constexpr int64_t kFuzzTime = 1'700'000'000;
// Tight limits put the refusal paths of every table within a fuzzer's reach.
const tagLimits kTightLimits{.memoryLimit = 6000, .maxPorts = 1, .maxMacsPerIp = 1, .maxInterfacesPerPort = 2};

// Enough names that service labels, presumed servers and vendors all occur.
constexpr const char* kPortNames =
    "ftp\t21/tcp\nssh\t22/tcp\ndomain\t53/tcp\ndomain\t53/udp\nhttp\t80/tcp\n"
    "snmp\t161/udp\nhttps\t443/tcp\nsflow\t6343/udp\nnetflow\t2055/udp\n";
constexpr const char* kProtocolNames = "1 ICMP\n6 TCP\n17 UDP\n47 GRE\n";

std::string_view Text(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// Every datagram is either decoded for its port or counted as rejected.
bool CountsAddUp(const CFlowCollector& c)
{
    uint64_t decoded = 0;
    for (const auto& [key, port] : c.ports) decoded += port->datagrams;
    return c.datagramCount == decoded + c.rejectedDatagrams;
}

}  // namespace

// Room for a few templates per exporter, so that refusals, redefinitions and
// withdrawals all meet; memory bounded, as the collectors live across inputs.
const tagLimits kTemplateLimits{.memoryLimit = 16 << 20, .maxPorts = 8, .maxTemplatesPerExporter = 4,
                                .maxFieldsPerTemplate = 16};

struct CFuzzBench::tagState {
    std::filesystem::path folder;
    CNameTables names;  // before the collectors, which label with it
    CSFlowMon sflow{names};
    CSFlowMon sflowTight{names, kTightLimits};
    CNFlowMon netflow{names};
    CNFlowMon netflowTight{names, kTightLimits};
    // Never reset between inputs: templates learnt from one input read the data of later ones.
    CNFlowMon templates{names, kTemplateLimits};
};

CFuzzBench::CFuzzBench() : m_state(std::make_unique<tagState>())
{
    auto& s = *m_state;
    // The loaders read files; a memory-backed folder keeps a run cheap.
    std::error_code error;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    s.folder = base / ("ortolan-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(s.folder);
    std::string ports = Scratch("Port.txt", reinterpret_cast<const uint8_t*>(kPortNames),
                                std::char_traits<char>::length(kPortNames));
    std::string protocols = Scratch("IPProt.txt", reinterpret_cast<const uint8_t*>(kProtocolNames),
                                    std::char_traits<char>::length(kProtocolNames));
    s.names.LoadPortTable(ports);
    s.names.LoadProtocolTable(protocols);
    for (CFlowCollector* c : {static_cast<CFlowCollector*>(&s.sflow),
                              static_cast<CFlowCollector*>(&s.sflowTight),
                              static_cast<CFlowCollector*>(&s.netflow),
                              static_cast<CFlowCollector*>(&s.netflowTight),
                              static_cast<CFlowCollector*>(&s.templates)})
        c->SetClock([] { return kFuzzTime; });
}

CFuzzBench::~CFuzzBench()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_state->folder, ignored);
}

std::vector<std::string> CFuzzBench::TargetNames()
{
    std::vector<std::string> names{"sflow_datagram", "netflow_datagram", "header_decoder",
                                   "oui_table",      "protocol_table",   "port_table"};
    names.push_back("flow_log_replay");
    names.push_back("flow_templates");
#ifdef ORTOLAN_FUZZ_MARKUP
    names.push_back("status_markup");
#endif
    return names;
}

bool CFuzzBench::HasTarget(std::string_view name)
{
    for (const auto& n : TargetNames())
        if (n == name) return true;
    return false;
}

bool CFuzzBench::Run(std::string_view target, const uint8_t* input, size_t size)
{
    m_failure.clear();
    // The input in a heap block of exactly its size: whoever calls (libFuzzer,
    // a test holding a larger buffer) the first byte read past its end falls
    // outside the block, where AddressSanitizer reports it.
    std::unique_ptr<uint8_t[]> exact(size ? new uint8_t[size] : nullptr);
    if (size) std::copy(input, input + size, exact.get());
    const uint8_t* data = exact.get();
    if (target == "sflow_datagram") return RunSFlow(data, size);
    if (target == "netflow_datagram") return RunNetFlow(data, size);
    if (target == "header_decoder") return RunHeader(data, size);
    if (target == "oui_table") return RunOuiTable(data, size);
    if (target == "protocol_table") return RunProtocolTable(data, size);
    if (target == "port_table") return RunPortTable(data, size);
    if (target == "flow_log_replay") return RunFlowLog(data, size);
    if (target == "flow_templates") return RunFlowTemplates(data, size);
#ifdef ORTOLAN_FUZZ_MARKUP
    if (target == "status_markup") return RunMarkup(data, size);
#endif
    return Fail("unknown target " + std::string(target));
}

bool CFuzzBench::Fail(std::string what)
{
    m_failure = std::move(what);
    return false;
}

std::string CFuzzBench::Scratch(const std::string& name, const uint8_t* data, size_t size)
{
    std::filesystem::path path = m_state->folder / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return path.string();
}

namespace {

// The datagram twice, an hour apart (the repeat is rejected by its sequence
// number, or decoded again where the version has none), then from a loopback
// sender, whose address some decoders replace.
bool FeedThrice(CFlowCollector& c, const uint8_t* data, size_t size, std::string& failure)
{
    c.Reset();
    c.FeedDatagram(data, size, kFuzzTime, "192.0.2.1", 6343);
    c.FeedDatagram(data, size, kFuzzTime + 3600, "192.0.2.1", 6343);
    c.FeedDatagram(data, size, kFuzzTime + 7200, "127.0.0.1", 50000);
    if (c.datagramCount != 3) failure = "datagramCount is not 3";
    else if (!CountsAddUp(c)) failure = "decoded + rejected differs from datagramCount";
    else if (c.budget().used() > c.budget().limit()) failure = "memory budget overrun";
    else if (c.agents.size() > c.ports.size()) failure = "more agents than ports";
    return failure.empty();
}

}  // namespace

bool CFuzzBench::RunSFlow(const uint8_t* data, size_t size)
{
    auto& s = *m_state;
    if (!FeedThrice(s.sflow, data, size, m_failure)) return false;
    if (!FeedThrice(s.sflowTight, data, size, m_failure)) return Fail("tight: " + m_failure);
    if (s.sflowTight.ports.size() > kTightLimits.maxPorts) return Fail("port limit overrun");
    return true;
}

bool CFuzzBench::RunNetFlow(const uint8_t* data, size_t size)
{
    auto& s = *m_state;
    if (!FeedThrice(s.netflow, data, size, m_failure)) return false;
    if (!FeedThrice(s.netflowTight, data, size, m_failure)) return Fail("tight: " + m_failure);
    if (s.netflowTight.ports.size() > kTightLimits.maxPorts) return Fail("port limit overrun");
    return true;
}

bool CFuzzBench::RunFlowTemplates(const uint8_t* data, size_t size)
{
    // Datagrams, each behind a two-byte length (the last one takes what is
    // left), fed to a NetFlow collector that keeps its templates from input to
    // input, from one of two exporters chosen by the length's top bit.
    CNFlowMon& c = m_state->templates;
    uint64_t before = c.datagramCount;
    size_t pos = 0;
    while (pos + 2 <= size) {
        size_t length = size_t(data[pos] & 0x7F) << 8 | data[pos + 1];
        const char* sender = data[pos] & 0x80 ? "192.0.2.2" : "192.0.2.1";
        pos += 2;
        if (length > size - pos) length = size - pos;
        // An exact-size copy, so a read past the datagram is a read past the buffer.
        std::vector<uint8_t> datagram(data + pos, data + pos + length);
        c.FeedDatagram(datagram.data(), datagram.size(), kFuzzTime, sender, 2055);
        pos += length;
    }
    if (!CountsAddUp(c)) return Fail("decoded + rejected differs from datagramCount");
    if (c.datagramCount < before) return Fail("datagramCount went back");
    if (c.budget().used() > c.budget().limit()) return Fail("memory budget overrun");
    if (c.ports.size() > kTemplateLimits.maxPorts) return Fail("port limit overrun");
    if (c.templates().templateCount() > c.ports.size() * kTemplateLimits.maxTemplatesPerExporter)
        return Fail("more templates than the bound allows");
    return true;
}

bool CFuzzBench::RunHeader(const uint8_t* data, size_t size)
{
    // First byte: bit 0 chooses a raw IP header over Ethernet (bit 2: IPv6, not
    // IPv4), bit 1 the tight budget; two bytes of frame length; the header
    // bytes are the rest, copied into a buffer of exactly their size so any
    // read beyond them is caught.
    if (size < 3) return true;
    bool rawIp = data[0] & 1;
    bool rawIpv6 = data[0] & 4;
    bool tight = data[0] & 2;
    uint32_t frameLength = uint32_t(data[1]) << 8 | data[2];
    std::vector<uint8_t> header(data + 3, data + size);
    const CNameTables& names = m_state->names;
    int64_t time = kFuzzTime;
    CTrafficAccounting accounting(names, time);
    CHeaderDecoder decoder(accounting);
    CMemoryBudget budget(tight ? kTightLimits.memoryLimit : tagLimits{}.memoryLimit);
    CMemoryAccount account(budget);
    CMonPort port("192.0.2.1", 0, &account, tight ? kTightLimits : tagLimits{}, accounting.labels());
    const uint8_t* bytes = header.empty() ? nullptr : header.data();
    uint32_t length = uint32_t(header.size());
    int offset = rawIp ? 0 : decoder.DecodeEthernet(port, bytes, length, frameLength);
    if (offset > int(length)) return Fail("IP offset beyond the header");
    if (rawIp && rawIpv6)
        decoder.DecodeIpv6(port, bytes, length, 0, frameLength);
    else if (rawIp)
        decoder.DecodeIpv4(port, bytes, length, 0, frameLength);
    else if (offset >= 0)
        decoder.DecodeIp(port, bytes, length, uint32_t(offset), frameLength);
    if (budget.used() > budget.limit()) return Fail("memory budget overrun");
    for (const auto& [key, node] : port.ips)
        if (node.macs.size() > (tight ? kTightLimits : tagLimits{}).maxMacsPerIp)
            return Fail("MAC list of an IP node over its bound");
    return true;
}

bool CFuzzBench::RunOuiTable(const uint8_t* data, size_t size)
{
    COuiTable table;
    table.LoadOuiTable(Scratch("oui.txt", data, size));
    for (const auto& [key, vendor] : table.ouiNames) {
        if (key.find('-') != std::string::npos) return Fail("vendor key still holds '-'");
        if (key != TrimText(key) || vendor != TrimText(vendor)) return Fail("untrimmed entry");
    }
    // Vendor look-ups of arbitrary text, short and long, must stay inside it.
    table.VendorOf(Text(data, size < 32 ? size : 32));
    table.VendorOf("");
    return true;
}

bool CFuzzBench::RunProtocolTable(const uint8_t* data, size_t size)
{
    CNameTables tables;
    tables.LoadProtocolTable(Scratch("IPProt.txt", data, size));
    for (const auto& [number, name] : tables.ipProtocolNames) {
        if (number < 1 || number > 254) return Fail("protocol number outside 1 to 254");
        if (name.empty() || name.size() > 255) return Fail("protocol name empty or over 255");
    }
    return true;
}

bool CFuzzBench::RunPortTable(const uint8_t* data, size_t size)
{
    CNameTables tables;
    tables.LoadPortTable(Scratch("Port.txt", data, size));
    for (const auto* map : {&tables.tcpPortNames, &tables.udpPortNames})
        for (const auto& [number, name] : *map) {
            if (number == 0) return Fail("service port 0 entered");
            if (name.empty() || name.size() > 255) return Fail("service name empty or over 255");
        }
    return true;
}

bool CFuzzBench::RunFlowLog(const uint8_t* data, size_t size)
{
    auto& s = *m_state;
    Scratch("FL2023-11-14.log", data, size);
    s.sflow.Reset();
    s.netflow.Reset();
    uint64_t lines = 0;
    for (size_t i = 0; i < size; ++i) lines += data[i] == '\n';
    uint64_t observed = 0;
    tagReplayHooks hooks{[&](int64_t) { ++observed; }, [](int64_t) {}};
    CFlowLog log(s.folder.string() + "/");
    log.ReplayLog("FL2023-11-14.log", ReplayFeed(s.netflow, s.sflow), 60, hooks);
    uint64_t fed = s.sflow.datagramCount + s.netflow.datagramCount;
    // A last line without its line break is torn and never replayed.
    if (fed > lines) return Fail("more datagrams replayed than whole lines");
    if (fed != observed) return Fail("time observer not called once per datagram");
    if (!CountsAddUp(s.sflow) || !CountsAddUp(s.netflow))
        return Fail("decoded + rejected differs from datagramCount");
    if (s.sflow.logQueue().size() || s.netflow.logQueue().size()) return Fail("replay queued");
    // The folder's other files are named by whoever shares it: the first line
    // stands in for a file name the listing and the purge must read safely.
    std::string_view name = Text(data, size);
    name = name.substr(0, std::min(name.find('\n'), size_t(256)));
    if (IsLogFileName(name)) LogFileDayEnd(name);
    return true;
}

#ifdef ORTOLAN_FUZZ_MARKUP
bool CFuzzBench::RunMarkup(const uint8_t* data, size_t size)
{
    std::vector<tagTextRun> runs = ParseMarkup(std::string(Text(data, size)));
    size_t text = 0;
    for (const auto& run : runs) {
        if (run.pointSize < kMarkupMinPointSize || run.pointSize > kMarkupMaxPointSize)
            return Fail("point size outside its range");
        if (run.color > 0xFFFFFFu) return Fail("colour beyond 24 bits");
        if (run.lineBreak && !run.text.empty()) return Fail("line break with text");
        text += run.text.size();
    }
    // Entities only shrink and tags only vanish, so no run text can outgrow the input.
    if (text > size) return Fail("more text than input");
    return true;
}
#endif

}  // namespace ortolan
