// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The frame both collectors share: one UDP socket read in bursts of up to
// 8192-byte datagrams, the monitored ports by key, the agents heard from, the
// counters and the queue of datagram copies that feeds the flow log. Only the
// decoder differs between sFlow and NetFlow; it is handed each datagram as
// exactly the bytes that arrived.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <absl/container/flat_hash_map.h>

#include "port_key.h"
#include "datagram.h"
#include "flow_row_sink.h"
#include "log_queue.h"
#include "memory_budget.h"
#include "mon_port.h"
#include "name_tables.h"
#include "traffic_accounting.h"

namespace ortolan {

// One read takes at most this many datagrams, and the tables' lock is taken
// once for all of them.
inline constexpr int kReceiveBurst = 64;
// The receive buffer asked of the kernel for each socket: at a busy
// exporter's rate it rides out a stall of the receiving side of ~100 ms.
inline constexpr int kReceiveBufferRequest = 8 << 20;
// While another thread holds the tables, the receiving side never waits for
// them: it goes on reading and holds the datagrams back, copied in the order
// they came, up to this many bytes (LogRecordCost each, about half a second
// of a busy exporter); what does not fit is dropped and counted among the
// kernelDrops, as the socket would have dropped it.
inline constexpr uint64_t kHeldBackBytes = 64ull << 20;
// How often a receive thread with datagrams held back and a quiet socket
// tries the tables again.
inline constexpr int kHeldBackRetryMs = 1;
class CFlowCollector {
public:
    virtual ~CFlowCollector();
    CFlowCollector(const CFlowCollector&) = delete;
    CFlowCollector& operator=(const CFlowCollector&) = delete;

    // Binds a UDP socket on every local address; 0 or above 65535 means the
    // collector's default port. False when the socket cannot be had.
    bool Open(uint32_t port);
    void Close();
    bool IsOpen() const { return m_socket >= 0; }
    int socketDescriptor() const { return m_socket; }
    uint16_t boundPort() const { return m_boundPort; }
    uint16_t defaultPort() const { return m_defaultPort; }
    // Bytes of receive buffer the kernel granted the open socket: less than
    // kReceiveBufferRequest when net.core.rmem_max caps it. 0 while closed.
    int receiveBuffer() const { return m_receiveBuffer; }
    bool receiveBufferShort() const { return IsOpen() && m_receiveBuffer < kReceiveBufferRequest; }

    // Drops every port, agent and queued datagram; name tables stay loaded.
    // Takes the tables' lock.
    void Reset();
    // Readiness callback: with error code 0 reads, decodes and queues up to
    // kReceiveBurst datagrams without waiting; always re-arms the notification
    // afterwards. A datagram larger than the buffer is dropped unread and counted.
    void OnReceive(int errorCode);
    // Reads one burst of up to kReceiveBurst datagrams without waiting. When
    // the tables' lock is free it decodes and queues, under one hold of it,
    // first whatever was held back and then the burst; when another thread
    // holds it the burst is held back instead (see kHeldBackBytes), so the
    // call never waits for the lock. Returns how many datagrams were read
    // (oversize and empty ones included), 0 when nothing was waiting, -1 on
    // an error (errno tells). settled, when given, is set to how many
    // datagrams were taken in for good by this call: decoded and queued,
    // counted as oversize or empty, or dropped by the held-back bound.
    int ReceiveBurst(size_t* settled = nullptr);
    // Datagrams read while the tables were held, waiting to be decoded.
    size_t heldBack() const { return m_heldBack.size(); }
    // Takes the tables' lock, waiting for it, and decodes and queues what
    // was held back; returns how many datagrams it settled. For the end of
    // receiving, when nothing more will come to take them in. With nothing
    // held back it returns 0 at once, without the lock. Called only by the
    // thread that receives.
    size_t SettleHeldBack();
    // Lowers the held-back bound (tests); never above kHeldBackBytes.
    void SetHeldBackLimit(uint64_t bytes);
    // The lock over everything the receiving thread changes: the ports and
    // their tables, the agents, the counters below and the decoder's state.
    // Whoever reads them while a receive thread runs holds it, and holds it
    // briefly (copy what is needed, then format); the receiving thread takes
    // it once per burst. Never held while taking another collector's lock in
    // the other order: take both with std::scoped_lock.
    std::mutex& tablesMutex() const { return m_tablesMutex; }
    // Brings kernelDrops up to date with the socket's own drop counter. A
    // burst that comes back full does it (the socket is backed up, so drops
    // are likely), and so does Close; whoever shows the counter calls it
    // first, since a quiet socket is not asked after every burst. Takes the
    // tables' lock.
    void UpdateKernelDrops();
    // Decodes exactly datagram.length bytes and reads nothing beyond them. The
    // frame has counted the datagram and set datagramTime to its time.
    virtual void ParseDatagram(const tagDatagram& datagram) = 0;
    // Replay entry: stamps the time, counts and decodes the bytes in place (at
    // most kDatagramCapacity of them, as a socket read would), under the
    // tables' lock. Nothing is queued.
    void FeedDatagram(const uint8_t* bytes, size_t size, int64_t time, std::string_view sender,
                      uint32_t senderPort);

    uint64_t CountInterfaces() const;
    // The key text a port is shown, written and looked up by in `ports`.
    std::string MakePortKey(std::string_view agentText, int32_t number) const;
    CMonPort* FindPort(std::string_view key);
    // Creates the port under its key; null when the port limit is reached.
    // Ports are looked up by their binary key; the agent's text is formed
    // only here, once per port.
    CMonPort* AddPort(std::string_view agentText, int32_t number);
    CMonPort* AddPort(const tagAgentAddress& agent, int32_t number);
    // The port of an agent and number under the current version, created on first sight.
    CMonPort* FindOrAddPort(std::string_view agentText, int32_t number);
    CMonPort* FindOrAddPort(const tagAgentAddress& agent, int32_t number);
    // The same port when it exists; never adds one.
    CMonPort* FindPort(std::string_view agentText, int32_t number);
    CMonPort* FindPort(const tagAgentAddress& agent, int32_t number);

    // The copies of received datagrams waiting for the flow log, with their
    // bound and their counters (dropped by the bound, given up at a stop). The
    // writer empties it from its own thread.
    CLogQueue& logQueue() { return m_logQueue; }
    const CLogQueue& logQueue() const { return m_logQueue; }

    // Hooks for the platform: the re-arm after a burst and the clock (seconds since 1970).
    void SetRearmHook(std::function<void()> hook) { m_rearm = std::move(hook); }
    void SetClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }
    // Where every sampled header or flow record goes as a row, besides the
    // tables; null (the default) forms no rows. The sink must outlive the
    // collector's receiving.
    void SetRowSink(IFlowRowSink* sink) { m_rowSink = sink; }
    // Sampling rates a user gives exporters that send none, by exporter (sFlow:
    // agent) address. They only fill in: a rate a record carries, or one its
    // exporter's options taught, wins, since the exporter knows what it did.
    // Set before receiving starts, or under the tables' lock.
    void SetSamplingOverrides(absl::flat_hash_map<tagAgentAddress, uint32_t> rates)
    {
        m_samplingOverrides = std::move(rates);
    }
    int64_t Now() const { return m_clock(); }

    // The name tables the collector labels with. A table loaded anew also
    // renames what is counted from the next datagram on.
    const CNameTables& names() const { return m_names; }

    // --- State read by the controller, the flow log and the views. Both are
    // ordered by their text, the order every list, file and report shows;
    // datagrams never look them up (the binary index below does), they only
    // grow when a port is added.
    std::map<std::string, std::unique_ptr<CMonPort>, std::less<>> ports;
    std::set<std::string, std::less<>> agents;
    uint64_t datagramCount = 0;
    int64_t resetTime = 0;
    int32_t version = 0;
    int64_t datagramTime = 0;

    // --- Robustness counters since the last reset.
    uint64_t rejectedDatagrams = 0;   // decoded nothing: unknown version, repeat, no port
    uint64_t oversizeDatagrams = 0;   // larger than the buffer, dropped unread
    uint64_t emptyDatagrams = 0;      // no payload: nothing to decode or log
    uint64_t kernelDrops = 0;         // dropped by the kernel, the socket's buffer full (SO_MEMINFO),
                                      // or read while the tables were held and over kHeldBackBytes
    uint64_t refusedPorts = 0;        // new ports refused by the port limit or the memory budget
    uint64_t unknownTemplateSets = 0; // NetFlow v9/IPFIX data sets skipped: their template not (yet) known
    // What this collector's tables charged to the memory budget, and how many
    // new entries, slots, interfaces and history samples were refused.
    const CMemoryAccount& budget() const { return m_memory; }
    // Charges the tables to a budget shared with others (the other collector),
    // instead of the collector's own; the budget must outlive the collector.
    void ShareMemoryBudget(CMemoryBudget& budget) { m_memory.Bind(budget); }

protected:
    // names: the tables shared with the other collector and the views, which
    // must outlive the collector; null gives the collector empty tables of its own.
    CFlowCollector(uint16_t defaultPort, const char* keyPrefix, const tagLimits& limits, const CNameTables* names);
    // What a decoder keeps beyond the ports (NetFlow templates), dropped by Reset.
    virtual void ResetDecoder() {}
    // What a decoder keeps for one port, dropped before AddPort replaces the port.
    virtual void DropPort(const CMonPort& port) {}

    // The bookkeeping every version does once its header is read: the port of
    // the agent and number under the current version, found or added; a
    // sequence number equal to the port's last one refused as a repeat; the
    // time, sequence and uptime noted and the datagram counted for the port.
    // Null, with the datagram counted as rejected, when the port cannot be had
    // or the datagram repeats. Versions without a sequence number pass none.
    CMonPort* AcceptDatagram(const tagAgentAddress& agent, int32_t number, uint32_t uptime,
                             std::optional<uint32_t> sequence);
    // The binary agent of a sender's text: its address when the text is one,
    // else the number this collector keeps for the text (given on first
    // sight, charged to the budget, at most one per port the limit allows;
    // none when refused).
    tagAgentAddress AgentOf(std::string_view text);

    std::unique_ptr<CNameTables> m_ownNames;
    const CNameTables& m_names;
    tagLimits m_limits;
    CMemoryBudget m_ownBudget;
    CMemoryAccount m_memory;
    CTrafficAccounting m_accounting;
    // With a row sink: what every row of the accepted datagram shares (time,
    // exporter, port key), set by AcceptDatagram.
    IFlowRowSink* m_rowSink = nullptr;
    tagFlowRow m_rowBase;
    // The user's rate for the accepted datagram's exporter, set by
    // AcceptDatagram; 0 when none was given.
    uint32_t m_overrideRate = 0;

private:
    void StartRows(const tagAgentAddress& agent, int32_t number);
    // Formats the port key into buf (of kMaxPortKey bytes) and returns it.
    std::string_view FormatPortKey(char* buf, std::string_view agentText, int32_t number) const;
    // Counts the datagram, stamps its time and hands it to the decoder.
    void Decode(const tagDatagram& datagram);
    // UpdateKernelDrops with the tables' lock held.
    void UpdateKernelDropsLocked();
    // Decodes and queues what was held back, in order, and takes in what the
    // receiving side counted meanwhile; with the tables' lock held. Returns
    // how many datagrams it decoded.
    size_t SettleHeldBackLocked();

    // The agent's text as ports and lists show it.
    std::string AgentText(const tagAgentAddress& agent) const;
    // The agent of a text when it is known, never giving a new number.
    std::optional<tagAgentAddress> KnownAgent(std::string_view text) const;

    // Every port by its binary key: the look-up of every datagram. The ports
    // themselves are owned by `ports`, and stay where they are until Reset.
    absl::flat_hash_map<tagPortKey, CMonPort*> m_portIndex;
    absl::flat_hash_map<tagAgentAddress, uint32_t> m_samplingOverrides;
    // Sender texts that are no address, by the number they were given, and back.
    absl::flat_hash_map<std::string, uint32_t> m_textAgents;
    std::vector<std::string> m_textAgentNames;
    // The port the last datagram went to: consecutive datagrams often come
    // from the same agent, and a key compare is cheaper than a hash look-up.
    // Forgotten whenever the ports are cleared.
    CMonPort* m_lastPort = nullptr;
    tagPortKey m_lastKey;
    // The name tables' generation the cached labels were formed under.
    uint64_t m_namesGeneration = 0;
    std::string m_rowKey;  // the text m_rowBase.portKey views
    tagPortKey m_rowPort;  // the port m_rowKey names

    uint16_t m_defaultPort;
    const char* m_keyPrefix;
    mutable std::mutex m_tablesMutex;
    std::vector<uint8_t> m_burst;  // kReceiveBurst datagrams, read by one call
    int m_socket = -1;
    int m_receiveBuffer = 0;
    uint16_t m_boundPort = 0;
    uint32_t m_socketDrops = 0;   // the socket's own drop counter, last seen
    CLogQueue m_logQueue;
    // Datagrams read while another thread held the tables, and what the
    // receiving side counted of them without the lock: only it touches the
    // two plain counters; the drops are also taken in by UpdateKernelDrops.
    CLogQueue m_heldBack;
    uint64_t m_heldOversize = 0;
    uint64_t m_heldEmpty = 0;
    std::atomic<uint64_t> m_heldDrops{0};
    std::function<void()> m_rearm;
    std::function<int64_t()> m_clock;
};

}  // namespace ortolan
