// SPDX-License-Identifier: GPL-3.0-or-later
#include "flow_collector.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#include "memory_costs.h"

namespace ortolan {

CFlowCollector::CFlowCollector(uint16_t defaultPort, const char* keyPrefix, const tagLimits& limits,
                               const CNameTables* names)
    : m_ownNames(names ? nullptr : std::make_unique<CNameTables>()),
      m_names(names ? *names : *m_ownNames),
      m_limits(limits),
      m_ownBudget(limits.memoryLimit),
      m_memory(m_ownBudget),
      m_accounting(m_names, datagramTime),
      m_namesGeneration(m_names.generation()),
      m_defaultPort(defaultPort),
      m_keyPrefix(keyPrefix),
      m_clock([] { return int64_t(std::time(nullptr)); })
{
    m_heldBack.SetLimit(kHeldBackBytes);
    Reset();
}

CFlowCollector::~CFlowCollector()
{
    Close();
    Reset();
}

bool CFlowCollector::Open(uint32_t port)
{
    Close();
    if (port == 0 || port > 65535) port = m_defaultPort;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A large receive buffer rides out bursts while the tables are held.
    // SO_RCVBUF is capped by net.core.rmem_max; a process holding
    // CAP_NET_ADMIN may pass that cap with SO_RCVBUFFORCE.
    int size = kReceiveBufferRequest;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    // Linux reports twice what it granted (the rest is its bookkeeping).
    int granted = 0;
    socklen_t grantedSize = sizeof granted;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &grantedSize) != 0) granted = 0;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(uint16_t(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return false;
    }
    m_socket = fd;
    m_receiveBuffer = granted / 2;
    m_boundPort = uint16_t(port);
    m_socketDrops = 0;
    return true;
}

void CFlowCollector::Close()
{
    UpdateKernelDrops();
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
    m_receiveBuffer = 0;
    m_boundPort = 0;
}

void CFlowCollector::Reset()
{
    std::lock_guard lock(m_tablesMutex);
    m_lastPort = nullptr;
    m_portIndex.clear();
    ports.clear();
    agents.clear();
    m_textAgents.clear();
    m_textAgentNames.clear();
    m_rowKey.clear();  // a text agent's number may name another sender from now on
    datagramCount = 0;
    resetTime = m_clock();
    m_logQueue.Clear();
    rejectedDatagrams = 0;
    oversizeDatagrams = 0;
    emptyDatagrams = 0;
    kernelDrops = 0;
    refusedPorts = 0;
    unknownTemplateSets = 0;
    ResetDecoder();
    m_memory.Clear();
    m_accounting.ForgetSourceMac();
}

void CFlowCollector::OnReceive(int errorCode)
{
    if (errorCode == 0 && m_socket >= 0) {
        ReceiveBurst();
        // No later callback may come for what was held back: take it in now.
        if (heldBack() > 0) SettleHeldBack();
    }
    if (m_rearm) m_rearm();
}

int CFlowCollector::ReceiveBurst(size_t* settled)
{
    if (settled) *settled = 0;
    if (m_socket < 0) return -1;
    // One recvmmsg reads the whole burst; each datagram is decoded where it
    // landed, as exactly the bytes received.
    if (m_burst.empty()) m_burst.resize(size_t(kReceiveBurst) * kDatagramCapacity);
    mmsghdr messages[kReceiveBurst] = {};
    iovec vectors[kReceiveBurst];
    sockaddr_in senders[kReceiveBurst];
    for (int i = 0; i < kReceiveBurst; ++i) {
        vectors[i] = {m_burst.data() + size_t(i) * kDatagramCapacity, kDatagramCapacity};
        messages[i].msg_hdr.msg_name = &senders[i];
        messages[i].msg_hdr.msg_namelen = sizeof senders[i];
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int received = ::recvmmsg(m_socket, messages, kReceiveBurst, MSG_DONTWAIT, nullptr);
    if (received < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        received = 0;
    }
    if (received == 0 && m_heldBack.size() == 0) return 0;
    // The sender text is formed only when the sender changes (most bursts
    // come from one agent), each in its own slot, so every datagram's text
    // stays valid until the burst is queued.
    char senderTexts[kReceiveBurst][INET_ADDRSTRLEN];
    std::string_view senderText;
    in_addr_t lastAddress = 0;
    tagDatagram burst[kReceiveBurst];
    size_t taken = 0;
    uint64_t oversize = 0, empty = 0;
    for (int i = 0; i < received; ++i) {
        if (messages[i].msg_hdr.msg_flags & MSG_TRUNC) {
            ++oversize;  // larger than the buffer: dropped unread
            continue;
        }
        size_t length = messages[i].msg_len;
        if (length < 1) {
            ++empty;
            continue;
        }
        const sockaddr_in& from = senders[i];
        if (senderText.empty() || from.sin_addr.s_addr != lastAddress) {
            char* text = senderTexts[i];
            senderText = ::inet_ntop(AF_INET, &from.sin_addr, text, INET_ADDRSTRLEN) ? text : "";
            lastAddress = from.sin_addr.s_addr;
        }
        burst[taken++] = {static_cast<const uint8_t*>(vectors[i].iov_base), length, senderText,
                          ntohs(from.sin_port), m_clock()};
    }
    std::unique_lock lock(m_tablesMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        // Another thread reads the tables (a list build, a refresh, an
        // export): waiting for it would leave the socket unread while its
        // buffer fills, so the burst waits here instead, in order.
        const size_t kept = m_heldBack.Push({burst, taken});
        m_heldDrops += taken - kept;
        m_heldOversize += oversize;
        m_heldEmpty += empty;
        if (settled) *settled = size_t(oversize + empty) + (taken - kept);
        return received;
    }
    // What came while the tables were held came first.
    size_t done = SettleHeldBackLocked();
    oversizeDatagrams += oversize;
    emptyDatagrams += empty;
    for (size_t i = 0; i < taken; ++i) Decode(burst[i]);
    // Whatever the decoder made of them, every datagram is queued for the
    // log, the whole burst under one lock.
    m_logQueue.Push({burst, taken});
    // The kernel drops only while the socket's buffer is full, and then the
    // next read comes back full: only such a burst looks at the counter, not
    // every short one of a quiet socket (ticks and Close look anyway).
    if (received == kReceiveBurst) UpdateKernelDropsLocked();
    if (settled) *settled = done + size_t(received);
    return received;
}

size_t CFlowCollector::SettleHeldBack()
{
    // Nothing held back: the lock is not needed, and a stop need not wait for it.
    if (m_heldBack.size() == 0 && m_heldOversize == 0 && m_heldEmpty == 0) return 0;
    std::lock_guard lock(m_tablesMutex);
    return SettleHeldBackLocked();
}

void CFlowCollector::SetHeldBackLimit(uint64_t bytes)
{
    m_heldBack.SetLimit(std::min(bytes, kHeldBackBytes));
}

size_t CFlowCollector::SettleHeldBackLocked()
{
    oversizeDatagrams += std::exchange(m_heldOversize, 0);
    emptyDatagrams += std::exchange(m_heldEmpty, 0);
    kernelDrops += m_heldDrops.exchange(0);
    if (m_heldBack.size() == 0) return 0;
    // The copies stay where they are until every one is decoded and queued
    // for the log, a burst's worth at a time, in the order they came.
    CLogQueue::CReader reader(m_heldBack);
    tagDatagram burst[kReceiveBurst];
    size_t taken = 0, done = 0;
    tagXFlowLog record;
    for (; reader.Peek(record); reader.Advance()) {
        tagDatagram& datagram = burst[taken++];
        datagram = {record.bytes.data(), record.bytes.size(), record.sender, record.senderPort, record.receivedAt};
        Decode(datagram);
        if (taken == std::size(burst)) {
            m_logQueue.Push({burst, taken});
            done += taken;
            taken = 0;
        }
    }
    m_logQueue.Push({burst, taken});
    done += taken;
    reader.Pop(done);
    return done;
}

void CFlowCollector::UpdateKernelDrops()
{
    std::lock_guard lock(m_tablesMutex);
    UpdateKernelDropsLocked();
}

void CFlowCollector::UpdateKernelDropsLocked()
{
    // The socket's own drop counter: datagrams the kernel discarded for want
    // of buffer space, before we could read them. It counts from the socket's
    // opening and wraps at 2^32.
    kernelDrops += m_heldDrops.exchange(0);
    uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t length = sizeof info;
    if (m_socket < 0 || ::getsockopt(m_socket, SOL_SOCKET, SO_MEMINFO, info, &length) != 0 ||
        length < socklen_t(sizeof(uint32_t) * (SK_MEMINFO_DROPS + 1)))
        return;
    uint32_t total = info[SK_MEMINFO_DROPS];
    kernelDrops += uint32_t(total - m_socketDrops);
    m_socketDrops = total;
}

void CFlowCollector::Decode(const tagDatagram& datagram)
{
    ++datagramCount;
    datagramTime = datagram.time;
    if (m_names.generation() != m_namesGeneration) {
        m_accounting.ClearLabelCache();
        m_namesGeneration = m_names.generation();
    }
    ParseDatagram(datagram);
}

void CFlowCollector::FeedDatagram(const uint8_t* bytes, size_t size, int64_t time,
                                  std::string_view sender, uint32_t senderPort)
{
    std::lock_guard lock(m_tablesMutex);
    Decode({bytes, std::min(size, kDatagramCapacity), sender, senderPort, time});
}

uint64_t CFlowCollector::CountInterfaces() const
{
    uint64_t count = 0;
    for (const auto& [key, port] : ports) count += port->interfaces.size();
    return count;
}

namespace {
// Prefix, version, an agent text of at most 47 characters and a number.
constexpr size_t kMaxPortKey = 128;

// A port: its statistics, its text key and agent, and its entry in the binary index.
uint64_t PortCost(size_t keyLength, size_t agentLength)
{
    return cost::Port(keyLength, agentLength) + cost::FlatTableEntry(sizeof(std::pair<const tagPortKey, CMonPort*>));
}

// A sender text that is no address: in the table by text and in the list by number.
uint64_t TextAgentCost(size_t length)
{
    return cost::FlatTableEntry(sizeof(std::pair<const std::string, uint32_t>)) + cost::Text(length) +
           sizeof(std::string) + cost::Text(length);
}
}  // namespace

std::string_view CFlowCollector::FormatPortKey(char* buf, std::string_view agentText,
                                               int32_t number) const
{
    // Unsigned: a v9 source id or an IPFIX observation domain takes all 32 bits.
    int n = std::snprintf(buf, kMaxPortKey, "%s V%d:%.*s:%u", m_keyPrefix, version,
                          int(agentText.size()), agentText.data(), uint32_t(number));
    return {buf, n > 0 ? std::min(size_t(n), kMaxPortKey - 1) : 0};
}

std::string CFlowCollector::MakePortKey(std::string_view agentText, int32_t number) const
{
    char key[kMaxPortKey];
    return std::string(FormatPortKey(key, agentText, number));
}

std::string CFlowCollector::AgentText(const tagAgentAddress& agent) const
{
    if (agent.family == AgentFamily::Text) {
        uint32_t number = agent.textNumber();
        return number < m_textAgentNames.size() ? m_textAgentNames[number] : std::string();
    }
    return std::string(agent.Text().view());
}

std::optional<tagAgentAddress> CFlowCollector::KnownAgent(std::string_view text) const
{
    if (auto address = tagAgentAddress::Parse(text)) return address;
    auto it = m_textAgents.find(absl::string_view(text.data(), text.size()));
    if (it == m_textAgents.end()) return std::nullopt;
    return tagAgentAddress::TextNumber(it->second);
}

tagAgentAddress CFlowCollector::AgentOf(std::string_view text)
{
    if (auto known = KnownAgent(text)) return *known;
    // Only replayed or fed texts get here (a socket's sender is an address):
    // bounded by the ports there may be, and charged like a port's text.
    if (m_textAgentNames.size() >= m_limits.maxPorts ||
        !m_memory.Charge(TextAgentCost(text.size()), false))
        return {};
    uint32_t number = uint32_t(m_textAgentNames.size());
    m_textAgentNames.emplace_back(text);
    m_textAgents.try_emplace(std::string(text), number);
    return tagAgentAddress::TextNumber(number);
}

CMonPort* CFlowCollector::FindPort(std::string_view agentText, int32_t number)
{
    auto agent = KnownAgent(agentText);
    return agent ? FindPort(*agent, number) : nullptr;
}

CMonPort* CFlowCollector::FindPort(const tagAgentAddress& agent, int32_t number)
{
    const tagPortKey key{agent, version, uint32_t(number)};
    if (m_lastPort && m_lastKey == key) return m_lastPort;
    auto it = m_portIndex.find(key);
    return it == m_portIndex.end() ? nullptr : it->second;
}

CMonPort* CFlowCollector::FindOrAddPort(std::string_view agentText, int32_t number)
{
    return FindOrAddPort(AgentOf(agentText), number);
}

CMonPort* CFlowCollector::FindOrAddPort(const tagAgentAddress& agent, int32_t number)
{
    const tagPortKey key{agent, version, uint32_t(number)};
    if (m_lastPort && m_lastKey == key) return m_lastPort;
    auto it = m_portIndex.find(key);
    CMonPort* port = it != m_portIndex.end() ? it->second : nullptr;
    if (!port && agent.family == AgentFamily::Text) {
        // A text long enough to be cut in the key may name a port another
        // text holds already: as before, the two share it.
        if (CMonPort* held = FindPort(MakePortKey(AgentText(agent), number))) port = m_portIndex[key] = held;
    }
    if (!port) port = AddPort(agent, number);
    if (port) {
        // Ports are only ever created by AddPort and dropped all at once by
        // Reset (or replaced by AddPort, which forgets this), so the pointer
        // stays valid until then.
        m_lastPort = port;
        m_lastKey = key;
    }
    return port;
}

CMonPort* CFlowCollector::AcceptDatagram(const tagAgentAddress& agent, int32_t number, uint32_t uptime,
                                         std::optional<uint32_t> sequence)
{
    CMonPort* port = FindOrAddPort(agent, number);
    if (!port || (sequence && port->lastSequence == *sequence)) {
        ++rejectedDatagrams;
        return nullptr;
    }
    port->lastReceived = Now();
    if (sequence) port->lastSequence = *sequence;
    port->lastUptime = uptime;
    port->datagrams += 1;
    m_overrideRate = 0;
    if (!m_samplingOverrides.empty()) {
        auto it = m_samplingOverrides.find(agent);
        if (it != m_samplingOverrides.end()) m_overrideRate = it->second;
    }
    if (m_rowSink) StartRows(agent, number);
    return port;
}

void CFlowCollector::StartRows(const tagAgentAddress& agent, int32_t number)
{
    // Runs of datagrams come from one port: its key text and exporter bytes
    // are formed once for the run, only the time is new.
    const tagPortKey port{agent, version, uint32_t(number)};
    if (m_rowKey.empty() || !(port == m_rowPort)) {
        char key[kMaxPortKey];
        m_rowKey.assign(FormatPortKey(key, AgentText(agent), number));
        m_rowPort = port;
        m_rowBase = tagFlowRow{};
        m_rowBase.portKey = m_rowKey;
        // An agent of no address (a replayed sender text) leaves the exporter zero.
        if (agent.family == AgentFamily::V4) StoreRowAddress(m_rowBase.exporter, agent.bytes, true);
        else if (agent.family == AgentFamily::V6Groups) StoreRowAddress(m_rowBase.exporter, agent.bytes, false);
    }
    m_rowBase.time = datagramTime;
}

CMonPort* CFlowCollector::FindPort(std::string_view key)
{
    auto it = ports.find(key);
    return it == ports.end() ? nullptr : it->second.get();
}

CMonPort* CFlowCollector::AddPort(std::string_view agentText, int32_t number)
{
    return AddPort(AgentOf(agentText), number);
}

CMonPort* CFlowCollector::AddPort(const tagAgentAddress& agent, int32_t number)
{
    // A port added under a key already held replaces the held one.
    m_lastPort = nullptr;
    if (agent.family == AgentFamily::None) {
        ++refusedPorts;
        return nullptr;
    }
    // The texts are formed once per port, for the lists, files and logs.
    std::string agentText = AgentText(agent);
    std::string key = MakePortKey(agentText, number);
    // A refused port is counted as such, not among the refused entries.
    if (ports.size() >= m_limits.maxPorts || !m_memory.Charge(PortCost(key.size(), agentText.size()), false)) {
        ++refusedPorts;
        return nullptr;
    }
    auto port = std::make_unique<CMonPort>(agentText, number, &m_memory, m_limits, m_accounting.labels());
    CMonPort* raw = port.get();
    if (auto held = ports.find(key); held != ports.end()) {
        DropPort(*held->second);
        // Two agents whose texts are cut to one key share its port, as they
        // always did; the index forgets the held port wherever it stands.
        absl::erase_if(m_portIndex, [&](const auto& entry) { return entry.second == held->second.get(); });
    }
    ports[std::move(key)] = std::move(port);
    m_portIndex[tagPortKey{agent, version, uint32_t(number)}] = raw;
    // The agent is noted with its first port: every port found again is of
    // an agent already in the set.
    if (agents.find(agentText) == agents.end()) agents.emplace(std::move(agentText));
    return raw;
}

}  // namespace ortolan
