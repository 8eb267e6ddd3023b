// SPDX-License-Identifier: GPL-3.0-or-later
// Every call into Net-SNMP lives in this file: library start and stop, the
// poll, the MIB tree look-ups and the sessions of CSnmpApi.
#include "snmp_api.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#include <sys/select.h>

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <type_traits>

#include "agent_address.h"
#include "hex_string_text.h"
#include "snmp_library.h"
#include "snmp_text.h"

static_assert(std::is_same_v<oid, unsigned long>, "CSnmpApi keeps sub-identifiers as unsigned long");

namespace ortolan {

namespace {

constexpr size_t kMaxOidParts = 128;  // sub-identifiers of a walk's root
constexpr size_t kNameBufferBytes = 1024;
oid kSnmpEngineIdInstance[] = {1, 3, 6, 1, 6, 3, 10, 2, 1, 1, 0};
// The engine the discovery message names: one no agent has (5 bytes, the
// shortest an engine identifier may be).
u_char kNoEngine[] = {0x80, 0, 0, 0, 0};

// "a.b.c.d" or "a.b.c.d:port": anything else would make the library look a
// name up (blocking the window) or pick another transport.
bool IsPeerAddress(const std::string& peer)
{
    if (peer.empty() || peer.size() > kMaxPeerChars) return false;
    size_t colon = peer.find(':');
    if (!ParseIpv4(std::string_view(peer).substr(0, colon))) return false;
    if (colon == std::string::npos) return true;
    std::string_view port = std::string_view(peer).substr(colon + 1);
    if (port.empty() || port.size() > 5) return false;
    unsigned value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

bool IsException(u_char type)
{
    return type == SNMP_NOSUCHOBJECT || type == SNMP_NOSUCHINSTANCE || type == SNMP_ENDOFMIBVIEW;
}

// Cuts a text to at most maxBytes without splitting a UTF-8 sequence.
void CutAtCharacter(std::string& text, size_t maxBytes)
{
    if (text.size() <= maxBytes) return;
    size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
}

MibSyntax SyntaxOf(int type)
{
    switch (type) {
    case TYPE_OBJID: return MibSyntax::ObjectIdentifier;
    case TYPE_OCTETSTR: return MibSyntax::OctetString;
    case TYPE_INTEGER:
    case TYPE_INTEGER32: return MibSyntax::Integer;
    case TYPE_NETADDR: return MibSyntax::NetworkAddress;
    case TYPE_IPADDR: return MibSyntax::IpAddress;
    case TYPE_COUNTER:
    case TYPE_GAUGE:
    case TYPE_UINTEGER:
    case TYPE_UNSIGNED32: return MibSyntax::Unsigned;
    case TYPE_TIMETICKS: return MibSyntax::TimeTicks;
    default: return MibSyntax::Other;
    }
}

// Octet strings of a binary convention without a display hint (InetAddress,
// for one): the library would print four printable address bytes as a
// quoted string ("ABCD" for 65.66.67.68), which no longer reads as bytes.
bool PrintsAsBytes(const netsnmp_variable_list* var)
{
    if (var->type != ASN_OCTET_STR) return false;
    struct tree* node = get_tree(var->name, var->name_length, get_tree_head());
    if (!node || node->tc_index < 0 || node->hint) return false;
    const char* convention = get_tc_descriptor(node->tc_index);
    return convention && !std::strstr(convention, "Display");
}

}  // namespace

// ---------------------------------------------------------------------------
// Library start, stop and poll

void InitNetSnmp(const std::string& appName, const std::string& configDir, const std::string& mibDir,
                 const std::string& stateDir)
{
    setenv("MIBDIRS", mibDir.c_str(), 1);
    setenv("MIBS", "ALL", 1);
    setenv("SNMPCONFPATH", configDir.c_str(), 1);
    std::error_code error;
    bool persist = !stateDir.empty() && (std::filesystem::create_directories(stateDir, error),
                                         std::filesystem::is_directory(stateDir, error));
    if (persist) {
        std::string persistentFile = stateDir + "/" + appName + ".tmp";
        // The library appends its state to this file at every exit and
        // never trims it. What it holds (the engine boots and identifier of
        // a program that only sends requests) is made anew by every run, so
        // each run starts from an empty file.
        std::filesystem::remove(persistentFile, error);
        setenv("SNMP_PERSISTENT_FILE", persistentFile.c_str(), 1);
        // The library's other persistent state goes beside it instead of a
        // system folder the user cannot write.
        setenv("SNMP_PERSISTENT_DIR", stateDir.c_str(), 1);
    } else {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    }

    netsnmp_ds_toggle_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_SAVE_MIB_DESCRS);
    netsnmp_ds_toggle_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_REPLACE);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_OID_OUTPUT_FORMAT, NETSNMP_OID_OUTPUT_SUFFIX);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_BREAKDOWN_OIDS, 1);
    init_snmp(appName.c_str());
}

void ShutdownNetSnmp(const std::string& appName)
{
    snmp_shutdown(appName.c_str());
}

void SnmpPollTick()
{
    netsnmp_large_fd_set fds;
    netsnmp_large_fd_set_init(&fds, FD_SETSIZE);
    int fdCount = 0;
    int block = 0;
    struct timeval wait = {0, 100};
    int sessions = snmp_select_info2(&fdCount, &fds, &wait, &block);
    if (sessions > 0) {
        if (block || wait.tv_sec > 0 || wait.tv_usec > 100) wait = {0, 100};
        int ready = netsnmp_large_fd_set_select(fdCount, &fds, nullptr, nullptr, &wait);
        if (ready > 0) {
            snmp_read2(&fds);
        } else if (ready == 0) {
            snmp_timeout();
        }
    }
    netsnmp_large_fd_set_cleanup(&fds);
}

// ---------------------------------------------------------------------------
// MIB tree

std::optional<tagMibObjectInfo> CLoadedMibs::Find(std::string_view objectName) const
{
    if (objectName.empty() || objectName.size() >= kNameBufferBytes) return std::nullopt;
    std::string name(objectName);
    struct tree* node = find_tree_node(name.c_str(), -1);
    if (!node) return std::nullopt;
    tagMibObjectInfo info;
    info.syntax = SyntaxOf(node->type);
    if (node->tc_index >= 0) {
        const char* convention = get_tc_descriptor(node->tc_index);
        if (convention) info.textualConvention = convention;
    }
    return info;
}

// ---------------------------------------------------------------------------
// Sessions

CSnmpApi::CSnmpApi() = default;

CSnmpApi::~CSnmpApi()
{
    m_pollTimer.reset();
    CloseSession();
}

bool CSnmpApi::isPolling() const { return m_pollTimer && m_pollTimer->isActive(); }

void CSnmpApi::StartPolling()
{
    if (!QCoreApplication::instance()) return;
    if (!m_pollTimer) {
        m_pollTimer = std::make_unique<QTimer>();
        m_pollTimer->setTimerType(Qt::PreciseTimer);
        m_pollTimer->setInterval(1);
        // The library is driven only while this request waits for an answer.
        QObject::connect(m_pollTimer.get(), &QTimer::timeout, [this] {
            if (m_status == SnmpStatus::Pending) SnmpPollTick();
            if (m_status != SnmpStatus::Pending) m_pollTimer->stop();
        });
    }
    if (!m_pollTimer->isActive()) m_pollTimer->start();
}

void CSnmpApi::SetWalkLineLimit(size_t lines)
{
    m_walkLineLimit = std::clamp<size_t>(lines, 1, kMaxWalkLines);
}

void CSnmpApi::CloseSession()
{
    if (!m_session && !m_probeSession) return;
    // Closing drops the outstanding request; whatever the library reports
    // about it while closing is not an answer.
    m_closing = true;
    if (m_session) snmp_close(m_session);
    if (m_probeSession) snmp_close(m_probeSession);
    m_closing = false;
    m_session = nullptr;
    m_probeSession = nullptr;
}

void CSnmpApi::Finish(int errorCode)
{
    m_errorCode = errorCode;
    m_status = SnmpStatus::Done;
    // Nothing of this request is left to wait for.
    if (m_pollTimer) m_pollTimer->stop();
}

void CSnmpApi::ResetSession()
{
    if (m_pollTimer) m_pollTimer->stop();
    CloseSession();
    m_status = SnmpStatus::Idle;
    m_errorCode = 0;
    m_results.clear();
    m_peerAddress.clear();
}

bool CSnmpApi::StoreRequest(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                            const std::string& password, int timeoutSeconds, int retries)
{
    m_snmpMode = mode;
    m_peerAddress = peerAddress;
    m_communityOrUser = communityOrUser;
    m_password = password;
    m_timeoutMs = std::clamp(timeoutSeconds, 0, 3600) * 1000;
    m_retries = std::clamp(retries, 0, 100);
    m_results.clear();
    m_errorCode = 0;
    bool usable = mode >= 1 && mode <= 4 && IsPeerAddress(peerAddress) &&
                  communityOrUser.size() <= kMaxCredentialBytes && password.size() <= kMaxCredentialBytes;
    if (!usable) Finish(6);
    return usable;
}

bool CSnmpApi::FillSession(void* record, bool engineProbe)
{
    auto& session = *static_cast<netsnmp_session*>(record);
    snmp_sess_init(&session);
    session.callback = engineProbe ? &CSnmpApi::OnProbeResponse : &CSnmpApi::OnSnmpResponse;
    session.callback_magic = this;
    session.retries = m_retries;
    session.timeout = long{m_timeoutMs} * 1000;
    session.peername = const_cast<char*>(m_peerAddress.c_str());

    switch (m_snmpMode) {
    case 1:
    case 2:
        session.version = m_snmpMode == 1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        session.community = reinterpret_cast<u_char*>(const_cast<char*>(m_communityOrUser.data()));
        session.community_len = m_communityOrUser.size();
        return true;
    case 3:
    case 4:
        break;
    default:
        return false;
    }
    session.version = SNMP_VERSION_3;
    // The library would discover the engine itself, synchronously, at the
    // first send; it is learnt beforehand (StartEngineProbe).
    session.flags |= SNMP_FLAGS_DONT_PROBE;
    if (engineProbe) {
        // The discovery message: no user, no keys (RFC 3414, 4), answered by
        // a report that carries the agent's engine identifier.
        session.securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        return true;
    }
    session.securityName = const_cast<char*>(m_communityOrUser.c_str());
    session.securityNameLen = m_communityOrUser.size();
    session.securityLevel = m_snmpMode == 3 ? SNMP_SEC_LEVEL_AUTHNOPRIV : SNMP_SEC_LEVEL_AUTHPRIV;
    session.securityAuthProto = usmHMACMD5AuthProtocol;
    session.securityAuthProtoLen = OID_LENGTH(usmHMACMD5AuthProtocol);
    session.securityAuthKeyLen = USM_AUTH_KU_LEN;
    // The library refuses pass phrases shorter than 8 characters here.
    if (generate_Ku(session.securityAuthProto, session.securityAuthProtoLen,
                    reinterpret_cast<u_char*>(const_cast<char*>(m_password.data())), m_password.size(),
                    session.securityAuthKey, &session.securityAuthKeyLen) != SNMPERR_SUCCESS) {
        return false;
    }
    if (m_snmpMode == 4) {
        session.securityPrivProto = usmDESPrivProtocol;
        session.securityPrivProtoLen = OID_LENGTH(usmDESPrivProtocol);
        session.securityPrivKeyLen = USM_PRIV_KU_LEN;
        if (generate_Ku(session.securityAuthProto, session.securityAuthProtoLen,
                        reinterpret_cast<u_char*>(const_cast<char*>(m_password.data())), m_password.size(),
                        session.securityPrivKey, &session.securityPrivKeyLen) != SNMPERR_SUCCESS) {
            return false;
        }
    }
    // The engine the discovery found.
    if (!m_engineId.empty()) {
        session.securityEngineID = m_engineId.data();
        session.securityEngineIDLen = m_engineId.size();
    }
    return true;
}

bool CSnmpApi::OpenSession()
{
    netsnmp_session session;
    if (!FillSession(&session, false)) return false;
    m_session = snmp_open(&session);
    return m_session != nullptr;
}

bool CSnmpApi::StartEngineProbe()
{
    m_engineId.clear();
    // A key the library refuses (a pass phrase shorter than 8 characters)
    // is a local failure before anything is sent.
    netsnmp_session check;
    netsnmp_session probe;
    if (!FillSession(&check, false) || !FillSession(&probe, true)) {
        Finish(6);
        return false;
    }
    // The discovery goes out as the user with no name and no keys, whom the
    // library must know to build the message.
    static char kNoUser[] = "";
    if (!usm_get_user(nullptr, 0, kNoUser)) {
        auto* user = static_cast<struct usmUser*>(std::calloc(1, sizeof(struct usmUser)));
        if (!user) {
            Finish(6);
            return false;
        }
        user->name = strdup(kNoUser);
        user->secName = strdup(kNoUser);
        user->authProtocolLen = OID_LENGTH(usmNoAuthProtocol);
        user->authProtocol = snmp_duplicate_objid(usmNoAuthProtocol, user->authProtocolLen);
        user->privProtocolLen = OID_LENGTH(usmNoPrivProtocol);
        user->privProtocol = snmp_duplicate_objid(usmNoPrivProtocol, user->privProtocolLen);
        usm_add_user(user);
    }
    probe.securityName = kNoUser;
    probe.securityNameLen = 0;
    // An engine no agent has: the library then sends at once instead of
    // discovering the engine itself (synchronously), and the agent answers
    // the unknown engine with a report that names its own (RFC 3414, 3.2).
    probe.securityEngineID = kNoEngine;
    probe.securityEngineIDLen = sizeof kNoEngine;
    m_probeSession = snmp_open(&probe);
    netsnmp_pdu* pdu = m_probeSession ? snmp_pdu_create(SNMP_MSG_GET) : nullptr;
    if (pdu) {
        pdu->version = SNMP_VERSION_3;
        pdu->securityModel = SNMP_SEC_MODEL_USM;
        pdu->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        pdu->securityName = strdup(kNoUser);
        pdu->securityNameLen = 0;
    }
    if (!pdu || snmp_async_send(m_probeSession, pdu, &CSnmpApi::OnProbeResponse, this) == 0) {
        if (pdu) snmp_free_pdu(pdu);
        // Reported as a request without an answer.
        Finish(-1);
        return true;
    }
    StartPolling();
    return true;
}

int CSnmpApi::OnProbeResponse(int operation, snmp_session*, int, snmp_pdu* pdu, void* magic)
{
    auto* self = static_cast<CSnmpApi*>(magic);
    if (self && !self->m_closing) self->HandleProbeResponse(operation, pdu);
    return 1;
}

void CSnmpApi::HandleProbeResponse(int operation, snmp_pdu* pdu)
{
    if (m_status != SnmpStatus::Pending || !m_engineId.empty()) return;
    // The agent's report names its engine. The library hands it over as a
    // security error (the report refuses the message) and then as a message.
    if (pdu && pdu->securityEngineID && pdu->securityEngineIDLen > 0 &&
        !(pdu->securityEngineIDLen == sizeof kNoEngine &&
          std::memcmp(pdu->securityEngineID, kNoEngine, sizeof kNoEngine) == 0))
        m_engineId.assign(pdu->securityEngineID, pdu->securityEngineID + pdu->securityEngineIDLen);
    if (m_engineId.empty()) {
        if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT ||
            operation == NETSNMP_CALLBACK_OP_SEC_ERROR)
            return;
        // Silent, or an answer without an engine: the request had no answer.
        Finish(-1);
        return;
    }
    // The library keeps the keys of a user it has seen and never replaces
    // them: after one wrong pass phrase every later request would fail until
    // the program ends. The session about to open makes the user anew.
    struct usmUser* cached = usm_get_user(m_engineId.data(), m_engineId.size(), m_communityOrUser.c_str());
    if (cached) {
        usm_remove_user(cached);
        usm_free_user(cached);
    }
    OpenAndSend();
}

bool CSnmpApi::OpenAndSend()
{
    if (!OpenSession()) {
        Finish(6);
        return false;
    }
    return m_requestKind == RequestKind::Walk ? SendWalkRequest() : SendSetRequest();
}

bool CSnmpApi::Walk(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                    const std::string& password, const std::string& rootName, int timeoutSeconds, int retries)
{
    if (peerAddress.empty() || rootName.empty()) return false;
    CloseSession();
    m_requestKind = RequestKind::Walk;
    std::vector<std::string> names = SplitNames(rootName, " \t\r\n");
    if (names.empty()) return false;
    m_requestNames = std::move(names);
    if (!StoreRequest(mode, peerAddress, communityOrUser, password, timeoutSeconds, retries)) return false;

    oid root[kMaxOidParts];
    size_t rootLength = kMaxOidParts;
    if (m_requestNames[0].size() >= kNameBufferBytes ||
        !snmp_parse_oid(m_requestNames[0].c_str(), root, &rootLength)) {
        Finish(6);
        return false;
    }
    m_rootOid.assign(root, root + rootLength);
    m_lastOid = m_rootOid;
    m_status = SnmpStatus::Pending;

    // SNMPv3 learns the engine first, without waiting here: a discovery
    // without an answer is reported as a finished walk without lines (-1), a
    // key the library refused as a local failure.
    if (mode == 3 || mode == 4) return StartEngineProbe();
    return OpenAndSend();
}

bool CSnmpApi::SendWalkRequest()
{
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GETNEXT);
    for (const std::string& name : m_requestNames) {
        oid parsed[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        if (name.size() >= kNameBufferBytes || !snmp_parse_oid(name.c_str(), parsed, &length)) {
            snmp_free_pdu(pdu);
            // Not the discovery session: this may run inside its callback.
            snmp_close(m_session);
            m_session = nullptr;
            Finish(6);
            return false;
        }
        snmp_add_null_var(pdu, parsed, length);
    }
    if (snmp_async_send(m_session, pdu, &CSnmpApi::OnSnmpResponse, this) == 0) {
        snmp_free_pdu(pdu);
        Finish(-1);
        return false;
    }
    StartPolling();
    return true;
}

bool CSnmpApi::SetValues(int mode, const std::string& peerAddress, const std::string& communityOrUser,
                         const std::string& password, const std::string& lines, int timeoutSeconds, int retries)
{
    if (peerAddress.empty() || lines.empty()) return false;
    CloseSession();
    m_requestKind = RequestKind::Set;
    // Values may hold spaces: lines are split at tabs and line breaks only.
    m_requestNames = SplitNames(lines, "\t\r\n");
    if (!StoreRequest(mode, peerAddress, communityOrUser, password, timeoutSeconds, retries)) return false;
    m_status = SnmpStatus::Pending;
    // Sets learn the engine the same way; a silent agent is then a set
    // without an answer (-1), a refused key a local failure.
    if (mode == 3 || mode == 4) return StartEngineProbe();
    return OpenAndSend();
}

bool CSnmpApi::SendSetRequest()
{
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_SET);
    int added = 0;
    bool refused = false;
    for (const std::string& line : m_requestNames) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string name = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        char letter = 0;
        size_t colon = name.find(':');
        if (colon != std::string::npos) {
            letter = colon + 1 < name.size() ? name[colon + 1] : ' ';
            name.resize(colon);
        }
        // A value cut short would change the agent's setting into something
        // nobody asked for: the whole request is refused instead.
        if (value.size() > kMaxSetValueBytes) {
            refused = true;
            break;
        }
        oid parsed[MAX_OID_LEN];
        size_t length = MAX_OID_LEN;
        if (name.empty() || name.size() >= kNameBufferBytes || !snmp_parse_oid(name.c_str(), parsed, &length)) {
            continue;
        }
        if (!letter) letter = TypeLetterOf(m_mibs, std::string_view(name).substr(0, name.find('.')));
        if (snmp_add_var(pdu, parsed, length, letter, value.c_str()) != 0) continue;
        ++added;
    }
    if (refused || added == 0) {
        snmp_free_pdu(pdu);
        // Not the discovery session: this may run inside its callback.
        snmp_close(m_session);
        m_session = nullptr;
        Finish(6);
        return false;
    }
    if (snmp_async_send(m_session, pdu, &CSnmpApi::OnSnmpResponse, this) == 0) {
        snmp_free_pdu(pdu);
        Finish(-1);
        return false;
    }
    StartPolling();
    return true;
}

int CSnmpApi::OnSnmpResponse(int operation, snmp_session*, int, snmp_pdu* pdu, void* magic)
{
    auto* self = static_cast<CSnmpApi*>(magic);
    if (self && !self->m_closing) self->HandleResponse(operation, pdu);
    return 1;
}

void CSnmpApi::HandleResponse(int operation, snmp_pdu* pdu)
{
    if (m_status != SnmpStatus::Pending) return;
    // The library tells of each retry it sends; the request still runs, and
    // only its answer or its final time-out ends it.
    if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT) return;
    if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE) {
        if (!pdu) {
            Finish(6);
            return;
        }
        if (pdu->errstat != SNMP_ERR_NOERROR) {
            Finish(pdu->errstat >= 1 && pdu->errstat <= 4 ? static_cast<int>(pdu->errstat) : 5);
            return;
        }
        // An SNMPv3 report (unknown user, wrong digest, ...) is a refusal, not
        // an answer, even though it carries no error status.
        if (pdu->command != SNMP_MSG_RESPONSE) {
            Finish(5);
            return;
        }
        if (m_requestKind == RequestKind::Set) {
            for (netsnmp_variable_list* var = pdu->variables; var; var = var->next_variable) {
                m_results.push_back(MakeResultLine(PrintVariable(var), var->type == ASN_OBJECT_ID));
            }
            Finish(0);
            return;
        }
        HandleWalkAnswer(pdu);
        return;
    }
    if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT || operation == NETSNMP_CALLBACK_OP_SEND_FAILED) {
        Finish(-1);
        return;
    }
    Finish(6);
}

void CSnmpApi::HandleWalkAnswer(snmp_pdu* pdu)
{
    bool first = true;
    bool goesOn = false;
    for (netsnmp_variable_list* var = pdu->variables; var; var = var->next_variable) {
        if (IsException(var->type)) continue;
        if (first) {
            first = false;
            bool inSubtree = var->name_length > m_rootOid.size() &&
                             std::equal(m_rootOid.begin(), m_rootOid.end(), var->name);
            // An agent that answers with the same or an earlier name would
            // keep the walk going round forever.
            bool forward = snmp_oid_compare(var->name, var->name_length, m_lastOid.data(), m_lastOid.size()) > 0;
            if (!inSubtree || !forward) break;
            goesOn = true;
            m_lastOid.assign(var->name, var->name + var->name_length);
        }
        if (m_results.size() >= m_walkLineLimit) {
            goesOn = false;
            break;
        }
        m_results.push_back(MakeResultLine(PrintVariable(var), var->type == ASN_OBJECT_ID));
    }

    if (goesOn && m_results.size() < m_walkLineLimit) {
        netsnmp_pdu* next = snmp_pdu_create(SNMP_MSG_GETNEXT);
        for (netsnmp_variable_list* var = pdu->variables; var; var = var->next_variable) {
            snmp_add_null_var(next, var->name, var->name_length);
        }
        if (snmp_async_send(m_session, next, &CSnmpApi::OnSnmpResponse, this) != 0) return;
        snmp_free_pdu(next);
    }
    Finish(m_results.empty() ? 2 : 0);
}

std::string CSnmpApi::PrintVariable(const void* variable) const
{
    const auto* var = static_cast<const netsnmp_variable_list*>(variable);
    u_char* buffer = nullptr;
    size_t bufferLength = 0;
    size_t outLength = 0;
    int complete = sprint_realloc_variable(&buffer, &bufferLength, &outLength, 1, var->name, var->name_length, var);
    std::string printed;
    if (buffer) printed.assign(reinterpret_cast<const char*>(buffer), outLength);
    std::free(buffer);
    if (!complete && printed.find('=') == std::string::npos) return {};

    std::string_view bytes;
    if (var->type == ASN_OCTET_STR && var->val.string) {
        bytes = std::string_view(reinterpret_cast<const char*>(var->val.string), var->val_len);
    }
    if (PrintsAsBytes(var)) {
        size_t equals = printed.find(" = ");
        if (equals != std::string::npos) {
            printed.resize(equals);
            printed += " = Hex-STRING:";
            static const char kDigits[] = "0123456789ABCDEF";
            for (unsigned char b : bytes) {
                if (printed.size() + 4 > kPrintCapacity) break;
                printed += ' ';
                printed += kDigits[b >> 4];
                printed += kDigits[b & 0x0F];
            }
        }
    }
    CutAtCharacter(printed, kPrintCapacity - 1);
    if (var->type == ASN_OCTET_STR) printed = HexStringToText(m_mibs, printed, bytes, kPrintCapacity);
    return printed;
}

}  // namespace ortolan
