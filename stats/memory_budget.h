// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One memory limit for what senders can make the program keep. Everything that
// grows with what arrives (table entries, MAC list slots, service labels,
// interfaces and their hourly history, ports; the host-name cache) is charged
// its bytes (memory_costs.h) before it is made. Beyond the limit new things
// are refused and counted by their owner, while what exists goes on counting.
// Both collectors, and anything else the controller owns, share one budget.
#include <atomic>
#include <cstdint>

namespace ortolan {

// Range of the limit in MiB (ortolan collect --memory-limit), and its default
// for the window and the command alike.
inline constexpr uint32_t kMinMemoryLimitMib = 16;
inline constexpr uint32_t kMaxMemoryLimitMib = 65536;
inline constexpr uint32_t kDefaultMemoryLimitMib = 2048;
inline constexpr uint64_t MiB(uint64_t n) { return n << 20; }

// Both collectors' receive threads and the window's thread charge the same
// budget, so its figures are atomic; an owner's account is kept under its
// owner's lock.
class CMemoryBudget {
public:
    explicit CMemoryBudget(uint64_t limitBytes = MiB(kDefaultMemoryLimitMib)) : m_limit(limitBytes) {}
    CMemoryBudget(const CMemoryBudget&) = delete;
    CMemoryBudget& operator=(const CMemoryBudget&) = delete;

    // Takes the bytes; false, taking nothing, when they would pass the limit.
    bool Charge(uint64_t bytes)
    {
        const uint64_t limit = m_limit.load(std::memory_order_relaxed);
        uint64_t used = m_used.load(std::memory_order_relaxed);
        do {
            if (bytes > limit || used > limit - bytes) return false;
        } while (!m_used.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed));
        return true;
    }
    // Takes bytes already held elsewhere, past the limit if need be.
    void ForceCharge(uint64_t bytes) { m_used.fetch_add(bytes, std::memory_order_relaxed); }
    // Gives back bytes that Charge took.
    void Release(uint64_t bytes)
    {
        uint64_t used = m_used.load(std::memory_order_relaxed);
        while (!m_used.compare_exchange_weak(used, used - (bytes <= used ? bytes : used), std::memory_order_relaxed)) {
        }
    }
    // A lower limit refuses further charges; nothing already kept is dropped.
    void SetLimit(uint64_t bytes) { m_limit.store(bytes, std::memory_order_relaxed); }

    uint64_t used() const { return m_used.load(std::memory_order_relaxed); }
    uint64_t limit() const { return m_limit.load(std::memory_order_relaxed); }

private:
    std::atomic<uint64_t> m_limit;
    std::atomic<uint64_t> m_used{0};
};

// One owner's share of a budget (a collector's tables): what it charged, so a
// reset gives back exactly that, and how many new things it had refused.
class CMemoryAccount {
public:
    explicit CMemoryAccount(CMemoryBudget& budget) : m_budget(&budget) {}
    CMemoryAccount(const CMemoryAccount&) = delete;
    CMemoryAccount& operator=(const CMemoryAccount&) = delete;
    ~CMemoryAccount() { Clear(); }

    // Moves this account, with what it holds, to another budget.
    void Bind(CMemoryBudget& budget)
    {
        m_budget->Release(m_charged);
        m_budget = &budget;
        ForceCharge(m_charged);
    }
    // False, and unless told otherwise one refusal counted, when the budget is spent.
    bool Charge(uint64_t bytes, bool countRefusal = true)
    {
        if (!m_budget->Charge(bytes)) {
            if (countRefusal) ++m_refused;
            return false;
        }
        m_charged += bytes;
        return true;
    }
    void Release(uint64_t bytes)
    {
        if (bytes > m_charged) bytes = m_charged;
        m_charged -= bytes;
        m_budget->Release(bytes);
    }
    // A refusal by a bound of its own (slots per node, interfaces per port).
    void Refuse() { ++m_refused; }
    // Gives everything back and forgets the refusals.
    void Clear()
    {
        m_budget->Release(m_charged);
        m_charged = 0;
        m_refused = 0;
    }

    uint64_t used() const { return m_charged; }
    uint64_t refused() const { return m_refused; }
    uint64_t limit() const { return m_budget->limit(); }
    const CMemoryBudget& shared() const { return *m_budget; }

private:
    // Already held: moved over even past the new budget's limit.
    void ForceCharge(uint64_t bytes) { m_budget->ForceCharge(bytes); }

    CMemoryBudget* m_budget;
    uint64_t m_charged = 0;
    uint64_t m_refused = 0;
};

}  // namespace ortolan

namespace ortolan {

// Bounds on the shape of the tables, apart from their bytes.
struct tagLimits {
    // Bytes of the collector's own budget when none is shared with it.
    uint64_t memoryLimit = MiB(kDefaultMemoryLimitMib);
    // Ports (agent and sub-agent, or exporter and engine) per collector.
    uint32_t maxPorts = 4096;
    // MAC addresses remembered per IP node (spoofed source MACs would grow it).
    uint32_t maxMacsPerIp = 256;
    // Service labels per IP node and per IP pair: a host offers a handful, but
    // a port scan through named ports would otherwise add every name there is.
    uint32_t maxServicesPerEntry = 64;
    // Interfaces per port: a switch has hundreds, a router some thousands of
    // sub-interfaces; spoofed ifIndex values would otherwise add one each.
    uint32_t maxInterfacesPerPort = 4096;
    // NetFlow v9 and IPFIX templates per exporter and source id (observation
    // domain): a router sends a few dozen, a spoofer could send 65,280.
    uint32_t maxTemplatesPerExporter = 512;
    // Fields per template: rich IPFIX templates hold about a hundred.
    uint32_t maxFieldsPerTemplate = 256;
    // The shortest record a template describes: one longer than any datagram
    // we read can never match data.
    uint32_t maxRecordLength = 8192;
    // Samplers whose rate an options record taught, per exporter and source id:
    // a router has one per sampled interface and direction at most.
    uint32_t maxSamplersPerExporter = 1024;
};

}  // namespace ortolan
