#pragma once
// The accounting rules both collectors share: each layer of a sampled packet
// (sFlow: one packet and its frame length) or of a flow record (NetFlow: the
// record's packets and octets) is added to the port's tables under text keys
// and labels named through the name tables.
#include <cstdint>
#include <string>
#include <string_view>

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
    CTrafficAccounting(const CNameTables& names, const int64_t& datagramTime)
        : m_names(names), m_time(datagramTime) {}

    // Source MAC of the last Ethernet frame, carried from the MAC step to the IP step.
    std::string lastSourceMac;

    void AccountMac(CMonPort& port, std::string_view destination, std::string_view source,
                    uint16_t type, int64_t packets, int64_t bytes);
    tagIpFlow AccountIp(CMonPort& port, std::string_view source, std::string_view destination,
                        uint8_t protocol, int64_t packets, int64_t bytes);
    void AccountTos(CMonPort& port, std::string_view source, uint8_t tos, int64_t packets,
                    int64_t bytes);
    void AccountTcp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                    uint16_t destinationPort, int64_t packets, int64_t bytes);
    void AccountUdp(CMonPort& port, const tagIpFlow& flow, uint16_t sourcePort,
                    uint16_t destinationPort, int64_t packets, int64_t bytes);
    void AccountIcmp(CMonPort& port, const tagIpFlow& flow, uint8_t type, uint8_t code,
                     int64_t packets, int64_t bytes);

    static std::string EthernetTypeLabel(uint16_t type);
    static std::string IcmpLabel(uint8_t type, uint8_t code);

private:
    void AccountService(CMonPort& port, const tagIpFlow& flow, TextMap<tagProtStat>& table,
                        const std::string* (CNameTables::*lookup)(uint16_t) const,
                        const char* protocol, const char* numericPrefix, uint16_t sourcePort,
                        uint16_t destinationPort, int64_t packets, int64_t bytes);

    const CNameTables& m_names;
    const int64_t& m_time;
};

}  // namespace ortolan
