// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The SNMP session layer over Net-SNMP: one asynchronous request at a time
// (a walk of one MIB subtree or one set request of text lines), its outcome
// left as a status, an error code and result lines for the caller to poll.
// Objects are named through the MIB modules the library loaded (Mibs beside
// the executable), values printed with their type labels. The library is
// driven by SnmpPollTick (snmp_library.h) on the same thread.
//
// Limits: walks stop after kMaxWalkLines lines, or when the agent does not
// move forward; printed values are cut at kPrintCapacity bytes; set values
// longer than kMaxSetValueBytes refuse the whole request; addresses must be
// dotted IPv4 ("a.b.c.d" or "a.b.c.d:port", at most 63 characters).
//
// No call waits for the network: an SNMPv3 request first learns the agent's
// engine with an asynchronous discovery message, and only its answer sends
// the request itself. While a request is outstanding, and only then, a 1 ms
// timer on the caller's thread drives the library (when a QCoreApplication
// exists; otherwise the caller calls SnmpPollTick).
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mib_lookup.h"
#include "snmp_client.h"

struct snmp_session;
struct snmp_pdu;
class QTimer;

namespace ortolan {

inline constexpr size_t kMaxWalkLines = 10000;
inline constexpr size_t kPrintCapacity = 2048;
inline constexpr size_t kMaxSetValueBytes = 255;
inline constexpr size_t kMaxPeerChars = 63;
inline constexpr size_t kMaxCredentialBytes = 255;

// The MIB tree the library loaded.
class CLoadedMibs : public IMibLookup {
public:
    std::optional<tagMibObjectInfo> Find(std::string_view objectName) const override;
};

class CSnmpApi : public ISnmpClient {
public:
    enum class RequestKind { Set, Walk };

    CSnmpApi();
    ~CSnmpApi() override;
    CSnmpApi(const CSnmpApi&) = delete;
    CSnmpApi& operator=(const CSnmpApi&) = delete;

    bool Walk(int mode, const std::string& peerAddress, const std::string& communityOrUser,
              const std::string& password, const std::string& rootName, int timeoutSeconds,
              int retries) override;
    bool SetValues(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                   const std::string& password, const std::string& lines, int timeoutSeconds,
                   int retries) override;
    void ResetSession() override;

    SnmpStatus status() const override { return m_status; }
    int errorCode() const override { return m_errorCode; }
    const std::vector<std::string>& results() const override { return m_results; }

    // Lowers the walk bound (tests); never above kMaxWalkLines.
    void SetWalkLineLimit(size_t lines);
    // Whether the poll timer runs: from a send until nothing is pending.
    bool isPolling() const;

private:
    static int OnSnmpResponse(int operation, snmp_session* session, int requestId, snmp_pdu* pdu, void* magic);
    static int OnProbeResponse(int operation, snmp_session* session, int requestId, snmp_pdu* pdu, void* magic);
    void HandleProbeResponse(int operation, snmp_pdu* pdu);
    void HandleResponse(int operation, snmp_pdu* pdu);
    void HandleWalkAnswer(snmp_pdu* pdu);
    bool StoreRequest(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                      const std::string& password, int timeoutSeconds, int retries);
    bool FillSession(void* session, bool engineProbe);
    bool OpenSession();
    // Sends the engine discovery; its answer sends the request. False (with
    // the request finished) only when the keys cannot be made.
    bool StartEngineProbe();
    // Opens the session and sends the request of its kind.
    bool OpenAndSend();
    void StartPolling();
    bool SendWalkRequest();
    bool SendSetRequest();
    void CloseSession();
    void Finish(int errorCode);
    std::string PrintVariable(const void* variable) const;

    RequestKind m_requestKind = RequestKind::Walk;
    snmp_session* m_session = nullptr;
    snmp_session* m_probeSession = nullptr;  // the engine discovery, closed with the session
    std::unique_ptr<QTimer> m_pollTimer;
    int m_timeoutMs = 0;
    int m_retries = 0;
    std::string m_peerAddress;
    SnmpStatus m_status = SnmpStatus::Idle;
    int m_errorCode = 0;
    std::vector<unsigned long> m_rootOid;  // Net-SNMP sub-identifiers
    std::vector<std::string> m_requestNames;
    std::vector<std::string> m_results;
    int m_snmpMode = 1;
    std::string m_password;
    std::string m_communityOrUser;

    std::vector<unsigned long> m_lastOid;      // the walk's last step, to see it move forward
    std::vector<unsigned char> m_engineId;     // learnt by the SNMPv3 discovery
    size_t m_walkLineLimit = kMaxWalkLines;
    bool m_closing = false;
    CLoadedMibs m_mibs;
};

}  // namespace ortolan
