// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The accounting rules both collectors share: each layer of a sampled packet
// (sFlow: one packet and its frame length) or of a flow record (NetFlow: the
// record's packets and octets) is added to the port's tables under binary keys
// and labels named through the name tables. Labels are interned once per
// number and cached, so a sample that meets existing entries allocates nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "label_table.h"
#include "mon_port.h"
#include "name_tables.h"

namespace ortolan {

// The entries AccountIp touched, handed on to the transport layer so it need
// not look them up again. Any of them may be null when the budget refused it.
struct tagIpFlow {
    tagIpEntry* source = nullptr;
    tagIpEntry* destination = nullptr;
    tagMtxEntry* pair = nullptr;
};

class CTrafficAccounting {
public:
    // Stamps come from the collector's datagramTime, read at each call.
    CTrafficAccounting(const CNameTables& names, const int64_t& datagramTime);

    // The label table the collector's ports share.
    const std::shared_ptr<CLabelTable>& labels() const { return m_labels; }
    // Forgets the cached labels of numbers, after a name table was loaded.
    void ClearLabelCache();
    // Forgets the source MAC carried from the MAC step to the IP step.
    void ForgetSourceMac() { m_haveSourceMac = false; }

    void AccountMac(CMonPort& port, const MacAddress& destination, const MacAddress& source, uint16_t type,
                    int64_t packets, int64_t bytes);
    tagIpFlow AccountIp(CMonPort& port, const CIpAddress& source, const CIpAddress& destination, uint8_t protocol,
                        int64_t packets, int64_t bytes);
    // The nodes and the pair alone, for a flow record that names no protocol.
    tagIpFlow AccountIpNodes(CMonPort& port, const CIpAddress& source, const CIpAddress& destination,
                             int64_t packets, int64_t bytes);
    void AccountTos(CMonPort& port, const CIpAddress& source, uint8_t tos, int64_t packets, int64_t bytes);
    void AccountTcp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort, uint16_t destinationPort,
                    int64_t packets, int64_t bytes);
    void AccountUdp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort, uint16_t destinationPort,
                    int64_t packets, int64_t bytes);
    void AccountIcmp(CMonPort& port, const tagIpFlow& flow, uint8_t type, uint8_t code, int64_t packets,
                     int64_t bytes);
    // ICMPv6 (RFC 4443, RFC 4861) in the same ICMP table, under labels of its own.
    void AccountIcmp6(CMonPort& port, const tagIpFlow& flow, uint8_t type, uint8_t code, int64_t packets,
                      int64_t bytes);

    static std::string EthernetTypeLabel(uint16_t type);
    static std::string IcmpLabel(uint8_t type, uint8_t code);
    // "ICMPv6 " and the type's name ("ICMPv6 Echo Request"), "ICMPv6 Destination
    // Unreachable(%u)" for an unnamed code, "icmpv6(%u)" for an unnamed type: no
    // ICMPv6 label can equal an ICMP one. A named type's node service label is
    // "%s/icmpv6" of the bare name.
    static std::string Icmp6Label(uint8_t type, uint8_t code);

private:
    // The labels of one port number under one transport: the counter's label
    // and the service labels of a named port (confirmed and presumed).
    struct tagPortLabels {
        uint32_t stat = 0;  // 0: not yet formed
        uint32_t service = 0;
        uint32_t presumed = 0;
    };
    struct tagIcmpLabels {
        uint32_t stat = 0;
        uint32_t service = 0;  // 0 when the type has no name of its own
    };
    // Whether the port number has a service name: one bit per number, set from
    // the name table on first use, small enough to stay in the nearest cache.
    bool IsNamed(uint16_t number, bool tcp)
    {
        const std::vector<uint64_t>& bits = tcp ? m_tcpNamed : m_udpNamed;
        if (bits.empty()) FillNamed(tcp);
        return bits[number >> 6] >> (number & 63) & 1;
    }
    void FillNamed(bool tcp);
    const tagPortLabels& PortLabels(std::vector<tagPortLabels>& cache, uint16_t port, bool tcp)
    {
        if (!cache.empty() && cache[port].stat != 0) return cache[port];
        return FormPortLabels(cache, port, tcp);
    }
    const tagPortLabels& FormPortLabels(std::vector<tagPortLabels>& cache, uint16_t port, bool tcp);
    void AccountIcmpLabels(CMonPort& port, const tagIpFlow& flow, bool v6, uint8_t type, uint8_t code,
                           int64_t packets, int64_t bytes);
    void AccountService(CMonPort& port, const tagIpFlow& flow, StatTable& table, bool tcp, uint16_t sourcePort,
                        uint16_t destinationPort, int64_t packets, int64_t bytes);

    const CNameTables& m_names;
    const int64_t& m_time;
    std::shared_ptr<CLabelTable> m_labels;
    std::vector<uint32_t> m_ethernet;  // by type, formed on first use
    std::vector<uint32_t> m_protocols;
    std::vector<tagPortLabels> m_tcp;
    std::vector<tagPortLabels> m_udp;
    std::vector<uint64_t> m_tcpNamed;  // bit per port number, empty until first use
    std::vector<uint64_t> m_udpNamed;
    std::vector<tagIcmpLabels> m_icmp;  // by type << 8 | code
    std::vector<tagIcmpLabels> m_icmp6;
    MacAddress m_sourceMac;
    bool m_haveSourceMac = false;
};

}  // namespace ortolan
