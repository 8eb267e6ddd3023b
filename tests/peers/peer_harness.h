// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs real exporters (softflowd, pmacctd) over capture files of our own
// making, catches what they send on 127.0.0.1, and has tshark decode the same
// datagrams independently.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace ortolan::testing {

struct TestFrame {
    std::vector<uint8_t> bytes;  // a whole Ethernet frame
};

// Ethernet/IPv4 frames with real lengths: protocol 6, 17 or 1 (echo), padded payload.
TestFrame MakeFrame(const uint8_t src[4], const uint8_t dst[4], uint8_t protocol, uint16_t sport,
                    uint16_t dport, size_t payload, int vlan = -1, uint8_t tos = 0);

// Ethernet/IPv6 frames: next header 6, 17 or 58 with an ICMPv6 type in sport,
// behind the extension headers listed (0 hop-by-hop, 43 routing, 60 destination
// options: eight bytes each; 44 a fragment header at fragmentOffset, in 8-byte
// units, with more fragments to come when that is 0).
TestFrame MakeFrame6(const uint8_t src[16], const uint8_t dst[16], uint8_t protocol, uint16_t sport,
                     uint16_t dport, size_t payload, int vlan = -1, uint8_t trafficClass = 0,
                     const std::vector<uint8_t>& extensions = {}, uint16_t fragmentOffset = 0);

void WritePcap(const std::string& path, const std::vector<TestFrame>& frames, uint32_t firstSecond);

// True when the program is on the PATH.
bool HaveTool(const std::string& name);

// Binds 127.0.0.1 on a free port, runs the shell command (with the port in place of
// "{PORT}"), and returns every datagram that arrived until quiet for a moment.
std::vector<std::vector<uint8_t>> CatchExport(const std::string& command, int timeoutSeconds);

// Wraps datagrams in Ethernet/IPv4/UDP from 127.0.0.1 to the port and decodes them with
// tshark; returns one line per datagram with the fields, occurrences joined by ",".
std::vector<std::vector<std::string>> TsharkFields(const std::vector<std::vector<uint8_t>>& datagrams,
                                                   uint16_t udpPort, const std::string& decodeAs,
                                                   const std::vector<std::string>& fields,
                                                   const std::string& workDir);

// Runs tshark on a capture with extra options; one line per frame, occurrences joined by ",".
std::vector<std::vector<std::string>> TsharkPcapFields(const std::string& pcap, const std::string& options,
                                                       const std::vector<std::string>& fields);

std::vector<std::string> SplitText(const std::string& text, char separator);

std::string MakeTempDir();

}  // namespace ortolan::testing
