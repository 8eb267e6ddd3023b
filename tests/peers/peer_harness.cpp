// SPDX-License-Identifier: GPL-3.0-or-later
#include "peer_harness.h"
#include "loopback_udp.h"

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace ortolan::testing {
namespace {

void Put16(std::vector<uint8_t>& b, uint16_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}

void PutLe32(std::ofstream& out, uint32_t v)
{
    char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.write(b, 4);
}

std::vector<uint8_t> Ipv4Header(const uint8_t src[4], const uint8_t dst[4], uint8_t protocol,
                                size_t totalLength, uint8_t tos)
{
    std::vector<uint8_t> ip{0x45, tos};
    Put16(ip, uint16_t(totalLength));
    Put16(ip, 1);
    Put16(ip, 0x4000);
    ip.push_back(64);
    ip.push_back(protocol);
    Put16(ip, 0);
    ip.insert(ip.end(), src, src + 4);
    ip.insert(ip.end(), dst, dst + 4);
    uint32_t sum = 0;
    for (size_t i = 0; i < ip.size(); i += 2) sum += uint32_t(ip[i] << 8 | ip[i + 1]);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    ip[10] = uint8_t(~sum >> 8);
    ip[11] = uint8_t(~sum);
    return ip;
}

}  // namespace

namespace {

std::vector<uint8_t> Transport(uint8_t protocol, uint16_t sport, uint16_t dport, size_t payload)
{
    std::vector<uint8_t> transport;
    if (protocol == 6) {
        Put16(transport, sport);
        Put16(transport, dport);
        for (int i = 0; i < 8; ++i) transport.push_back(0);
        transport.push_back(0x50);
        transport.push_back(0x18);
        Put16(transport, 65535);
        Put16(transport, 0);
        Put16(transport, 0);
    } else if (protocol == 17) {
        Put16(transport, sport);
        Put16(transport, dport);
        Put16(transport, uint16_t(8 + payload));
        Put16(transport, 0);
    } else if (protocol == 58) {
        transport = {uint8_t(sport), uint8_t(dport), 0, 0, 0, 1, 0, 1};
    } else {
        transport = {8, 0, 0, 0, 0, 1, 0, 1};
    }
    transport.resize(transport.size() + payload, 0x5A);
    return transport;
}

void PutEthernet(TestFrame& f, uint8_t dstHost, uint8_t srcHost, int vlan, uint16_t type)
{
    f.bytes = {0x02, 0, 0, 0, 0, dstHost, 0x02, 0, 0, 0, 0, srcHost};
    if (vlan >= 0) {
        Put16(f.bytes, 0x8100);
        Put16(f.bytes, uint16_t(vlan));
    }
    Put16(f.bytes, type);
}

}  // namespace

TestFrame MakeFrame(const uint8_t src[4], const uint8_t dst[4], uint8_t protocol, uint16_t sport,
                    uint16_t dport, size_t payload, int vlan, uint8_t tos)
{
    std::vector<uint8_t> transport = Transport(protocol, sport, dport, payload);
    TestFrame f;
    PutEthernet(f, dst[3], src[3], vlan, 0x0800);
    auto ip = Ipv4Header(src, dst, protocol, 20 + transport.size(), tos);
    f.bytes.insert(f.bytes.end(), ip.begin(), ip.end());
    f.bytes.insert(f.bytes.end(), transport.begin(), transport.end());
    return f;
}

TestFrame MakeFrame6(const uint8_t src[16], const uint8_t dst[16], uint8_t protocol, uint16_t sport,
                     uint16_t dport, size_t payload, int vlan, uint8_t trafficClass,
                     const std::vector<uint8_t>& extensions, uint16_t fragmentOffset)
{
    std::vector<uint8_t> after;
    for (size_t i = 0; i < extensions.size(); ++i) {
        const uint8_t next = i + 1 < extensions.size() ? extensions[i + 1] : protocol;
        if (extensions[i] == 44) {
            after.insert(after.end(), {next, 0});
            Put16(after, uint16_t(fragmentOffset << 3 | (fragmentOffset == 0 ? 1 : 0)));
            after.insert(after.end(), {0, 0, 0x12, 0x34});
        } else {
            // Options headers carry one PadN option; a routing header segments-left 0.
            after.insert(after.end(), {next, 0, 1, 4, 0, 0, 0, 0});
        }
    }
    std::vector<uint8_t> transport = Transport(protocol, sport, dport, payload);
    // A later fragment carries payload only.
    if (fragmentOffset != 0) transport.assign(transport.size(), 0x5A);
    after.insert(after.end(), transport.begin(), transport.end());
    TestFrame f;
    PutEthernet(f, dst[15], src[15], vlan, 0x86DD);
    const uint32_t first = 0x60000000u | uint32_t(trafficClass) << 20;
    Put16(f.bytes, uint16_t(first >> 16));
    Put16(f.bytes, uint16_t(first));
    Put16(f.bytes, uint16_t(after.size()));
    f.bytes.push_back(extensions.empty() ? protocol : extensions[0]);
    f.bytes.push_back(64);
    f.bytes.insert(f.bytes.end(), src, src + 16);
    f.bytes.insert(f.bytes.end(), dst, dst + 16);
    f.bytes.insert(f.bytes.end(), after.begin(), after.end());
    return f;
}

void WritePcap(const std::string& path, const std::vector<TestFrame>& frames, uint32_t firstSecond)
{
    std::ofstream out(path, std::ios::binary);
    PutLe32(out, 0xa1b2c3d4);
    out.write("\x02\x00\x04\x00", 4);
    PutLe32(out, 0);
    PutLe32(out, 0);
    PutLe32(out, 65535);
    PutLe32(out, 1);
    uint32_t usec = 0;
    for (const auto& f : frames) {
        PutLe32(out, firstSecond);
        PutLe32(out, usec);
        PutLe32(out, uint32_t(f.bytes.size()));
        PutLe32(out, uint32_t(f.bytes.size()));
        out.write(reinterpret_cast<const char*>(f.bytes.data()), std::streamsize(f.bytes.size()));
        usec += 10000;
        if (usec >= 1000000) {
            usec = 0;
            ++firstSecond;
        }
    }
}

bool HaveTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::vector<uint8_t>> CatchExport(const std::string& command, int timeoutSeconds)
{
    uint16_t boundPort = 0;
    int fd = BindLoopbackUdp(&boundPort);
    if (fd < 0) return {};
    std::string cmd = command;
    std::string port = std::to_string(boundPort);
    for (size_t at; (at = cmd.find("{PORT}")) != std::string::npos;) cmd.replace(at, 6, port);

    std::vector<std::vector<uint8_t>> got;
    std::atomic<bool> done = false;
    std::thread runner([&] {
        std::string bounded = "timeout " + std::to_string(timeoutSeconds) + " " + cmd + " >/dev/null 2>&1";
        [[maybe_unused]] int rc = std::system(bounded.c_str());
        done = true;
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds + 8);
    int quietAfterExit = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) == 1) {
            std::vector<uint8_t> d(65536);
            ssize_t n = ::recv(fd, d.data(), d.size(), 0);
            if (n > 0) {
                d.resize(size_t(n));
                got.push_back(std::move(d));
            }
            quietAfterExit = 0;
        } else if (done && ++quietAfterExit >= 15) {  // pmacctd's probe plugin may send after its core has exited
            break;
        }
    }
    runner.join();
    ::close(fd);
    return got;
}

std::vector<std::string> SplitText(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.push_back("");
    return parts;
}

std::vector<std::vector<std::string>> TsharkFields(const std::vector<std::vector<uint8_t>>& datagrams,
                                                   uint16_t udpPort, const std::string& decodeAs,
                                                   const std::vector<std::string>& fields,
                                                   const std::string& workDir)
{
    std::vector<TestFrame> frames;
    const uint8_t loopback[4] = {127, 0, 0, 1};
    for (const auto& d : datagrams) {
        TestFrame f = MakeFrame(loopback, loopback, 17, 40000, udpPort, 0);
        // Replace the empty UDP payload with the datagram, fixing both lengths.
        size_t ipStart = 14;
        f.bytes.insert(f.bytes.end(), d.begin(), d.end());
        uint16_t ipLength = uint16_t(f.bytes.size() - ipStart);
        auto ip = Ipv4Header(loopback, loopback, 17, ipLength, 0);
        std::copy(ip.begin(), ip.end(), f.bytes.begin() + long(ipStart));
        uint16_t udpLength = uint16_t(ipLength - 20);
        f.bytes[ipStart + 24] = uint8_t(udpLength >> 8);
        f.bytes[ipStart + 25] = uint8_t(udpLength);
        frames.push_back(std::move(f));
    }
    std::string pcap = workDir + "/export.pcap";
    WritePcap(pcap, frames, 1700000000);
    return TsharkPcapFields(pcap, "-d udp.port==" + std::to_string(udpPort) + "," + decodeAs, fields);
}

std::vector<std::vector<std::string>> TsharkPcapFields(const std::string& pcap, const std::string& options,
                                                       const std::vector<std::string>& fields)
{
    std::string cmd = "tshark -n -r " + pcap + " " + options +
                      " -T fields -E separator=/t -E occurrence=a -E aggregator=,";
    for (const auto& f : fields) cmd += " -e " + f;
    cmd += " 2>/dev/null";
    std::vector<std::vector<std::string>> lines;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) return lines;
    std::string out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    ::pclose(pipe);
    for (const auto& line : SplitText(out, '\n'))
        if (!line.empty()) lines.push_back(SplitText(line, '\t'));
    return lines;
}

std::string MakeTempDir()
{
    char tmpl[] = "/tmp/ortolan-peers-XXXXXX";
    const char* dir = ::mkdtemp(tmpl);
    return dir ? dir : "/tmp";
}

}  // namespace ortolan::testing
