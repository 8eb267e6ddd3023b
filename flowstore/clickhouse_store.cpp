// SPDX-License-Identifier: GPL-3.0-or-later
#include "clickhouse_store.h"

#include <algorithm>
#include <ctime>

#include "clickhouse_http.h"

namespace ortolan {
namespace {

using Clock = CRowQueue::Clock;
using std::chrono::milliseconds;

// The columns in the order CRowQueue::Encode writes them. MACs are 48-bit
// numbers in UInt64, as the program keys them; addresses are 16 bytes with
// IPv4 mapped (::ffff:a.b.c.d). Types that Debian's 18.16 server knows, and
// today's: no IPv6 or LowCardinality types.
constexpr const char* kColumns[][2] = {
    {"time", "DateTime"},          {"exporter", "FixedString(16)"}, {"port_key", "String"},
    {"sampling_rate", "UInt32"},   {"input", "UInt32"},             {"output", "UInt32"},
    {"src_mac", "UInt64"},         {"dst_mac", "UInt64"},           {"src_addr", "FixedString(16)"},
    {"dst_addr", "FixedString(16)"}, {"protocol", "UInt8"},         {"src_port", "UInt16"},
    {"dst_port", "UInt16"},        {"tos", "UInt8"},                {"icmp_type", "UInt8"},
    {"icmp_code", "UInt8"},        {"packets", "UInt64"},           {"bytes", "UInt64"},
};

// "YYYYMMDD" of a UTC day, as toYYYYMMDD(time, 'UTC') names partitions.
uint32_t DayNumber(int64_t seconds)
{
    std::time_t t = std::time_t(seconds);
    std::tm tm {};
    ::gmtime_r(&t, &tm);
    return uint32_t(tm.tm_year + 1900) * 10000 + uint32_t(tm.tm_mon + 1) * 100 + uint32_t(tm.tm_mday);
}

}  // namespace

CClickHouseStore::CClickHouseStore(tagStoreSettings settings, const tagStoreLimits& limits)
    : m_settings(std::move(settings)), m_limits(limits)
{
}

CClickHouseStore::~CClickHouseStore()
{
    Stop();
    if (m_budget) m_budget->Release(m_charged);
}

std::optional<std::string> CClickHouseStore::CheckTable(const std::string& table)
{
    auto word = [](std::string_view w) {
        return !w.empty() && w.size() <= 64 && !(w[0] >= '0' && w[0] <= '9') &&
               std::all_of(w.begin(), w.end(), [](char c) {
                   return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
               });
    };
    std::string_view name = table;
    size_t dot = name.find('.');
    if (dot == std::string_view::npos ? word(name) : word(name.substr(0, dot)) && word(name.substr(dot + 1)))
        return std::nullopt;
    return "a table name is letters, digits and underscores, with an optional DATABASE. before it";
}

uint64_t CClickHouseStore::QueueBytes(uint64_t memoryLimit, const tagStoreLimits& limits)
{
    return std::min(limits.maxQueueBytes, memoryLimit / limits.queueShareOfLimit);
}

std::string CClickHouseStore::CreateTableQuery(const std::string& table)
{
    std::string q = "CREATE TABLE IF NOT EXISTS " + table + " (";
    for (size_t i = 0; i < std::size(kColumns); ++i) {
        if (i) q += ", ";
        q += kColumns[i][0];
        q += ' ';
        q += kColumns[i][1];
    }
    // One partition per UTC day, so the retention drops whole days; rows of a
    // five-minute step and an interface lie together for the usual queries.
    q += ") ENGINE = MergeTree PARTITION BY toYYYYMMDD(time, 'UTC') "
         "ORDER BY (toStartOfFiveMinute(time), exporter, input, output)";
    return q;
}

std::string CClickHouseStore::InsertQuery(const std::string& table)
{
    // The columns named, so a table with more of its own still takes the rows.
    std::string q = "INSERT INTO " + table + " (";
    for (size_t i = 0; i < std::size(kColumns); ++i) {
        if (i) q += ", ";
        q += kColumns[i][0];
    }
    q += ") FORMAT RowBinary";
    return q;
}

bool CClickHouseStore::Start(CMemoryBudget& budget)
{
    if (m_thread.joinable()) return true;
    const uint64_t bytes = QueueBytes(budget.limit(), m_limits);
    if (!budget.Charge(bytes)) return false;
    m_budget = &budget;
    m_charged = bytes;
    m_queue = std::make_unique<CRowQueue>(bytes, m_limits.batchRows);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CClickHouseStore::OnFlowRow(const tagFlowRow& row)
{
    if (m_queue) m_queue->Push(row);
}

uint64_t CClickHouseStore::Stop()
{
    if (!m_thread.joinable()) return m_rowsUnsent.load();
    {
        std::lock_guard lock(m_mutex);
        m_stopDeadline = Clock::now() + m_limits.stopBound;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_queue->Wake();
    {
        // A request still waiting for its answer at the deadline is ended.
        std::unique_lock lock(m_mutex);
        if (!m_wake.wait_until(lock, m_stopDeadline, [this] { return m_done; })) m_abort = true;
    }
    m_thread.join();
    return m_rowsUnsent.load();
}

tagStoreCounters CClickHouseStore::Counters() const
{
    tagStoreCounters c;
    if (m_queue) {
        c.rowsQueued = m_queue->queued();
        c.rowsDropped = m_queue->dropped();
        c.rowsHeld = m_queue->rows();
    }
    c.rowsSent = m_rowsSent.load();
    c.failedInserts = m_failedInserts.load();
    c.refusals = m_refusals.load();
    c.rowsUnsent = m_rowsUnsent.load();
    return c;
}

std::string CClickHouseStore::problem() const
{
    std::lock_guard lock(m_mutex);
    return m_problem;
}

Clock::time_point CClickHouseStore::StopDeadline() const
{
    std::lock_guard lock(m_mutex);
    return m_stopDeadline;
}

void CClickHouseStore::Pause(milliseconds pause)
{
    std::unique_lock lock(m_mutex);
    Clock::time_point until = Clock::now() + pause;
    if (m_stopping) {
        until = std::min(until, m_stopDeadline);
        m_wake.wait_until(lock, until, [this] { return m_abort.load(); });
    } else {
        m_wake.wait_until(lock, until, [this] { return m_stopping.load(); });
    }
}

void CClickHouseStore::NoteAnswer(bool ok, const std::string& answer)
{
    // One line, whatever the server's text held.
    std::string what = answer;
    std::replace_if(what.begin(), what.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
    std::string say;
    {
        std::lock_guard lock(m_mutex);
        if (ok && !m_problem.empty()) say = "ClickHouse takes the rows again";
        else if (!ok && m_problem != what) say = what;
        m_problem = ok ? std::string() : what;
    }
    if (!say.empty() && m_report) m_report(say);
}

void CClickHouseStore::DropOldPartitions(CClickHouseHttp& http)
{
    const std::string& table = m_settings.table;
    const size_t dot = table.find('.');
    const std::string database = dot == std::string::npos ? "currentDatabase()" : "'" + table.substr(0, dot) + "'";
    const std::string name = dot == std::string::npos ? table : table.substr(dot + 1);
    tagHttpAnswer parts = http.Query("SELECT DISTINCT partition FROM system.parts WHERE active AND database = " +
                                     database + " AND table = '" + name + "' FORMAT TabSeparated");
    if (parts.kind != tagHttpAnswer::Kind::Ok) {
        if (m_report) m_report("cannot read the partitions of " + table + ": " + parts.text);
        return;
    }
    const uint32_t oldest = DayNumber(int64_t(std::time(nullptr)) - int64_t(m_settings.retentionDays) * 86400);
    size_t from = 0;
    while (from < parts.text.size()) {
        size_t end = parts.text.find('\n', from);
        if (end == std::string::npos) end = parts.text.size();
        const std::string day = parts.text.substr(from, end - from);
        from = end + 1;
        if (day.size() != 8 || !std::all_of(day.begin(), day.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (uint32_t(std::stoul(day)) >= oldest) continue;
        tagHttpAnswer dropped = http.Query("ALTER TABLE " + table + " DROP PARTITION " + day);
        if (dropped.kind != tagHttpAnswer::Kind::Ok && m_report)
            m_report("cannot drop the partition " + day + " of " + table + ": " + dropped.text);
    }
}

void CClickHouseStore::Run()
{
    CClickHouseHttp http(m_settings.url, m_settings.user, m_settings.password, m_limits);
    http.SetAbort(&m_abort);
    const std::string insert = InsertQuery(m_settings.table);
    bool tableReady = false;
    Clock::time_point nextRetention = Clock::now();
    milliseconds retry = m_limits.retryFirst;
    std::optional<tagRowBatch> batch;

    // Waits after a failed or refused request: growing pauses for a failure,
    // the longest for a refusal, which a retry soon would not mend.
    auto failed = [&](const tagHttpAnswer& answer, const std::string& doing) {
        const bool refused = answer.kind == tagHttpAnswer::Kind::Refused;
        (refused ? m_refusals : m_failedInserts).fetch_add(1);
        std::string what = doing + (refused ? " refused (HTTP " : " failed (");
        what += answer.status ? (refused ? "" : "HTTP ") + std::to_string(answer.status) : std::string();
        what += answer.status ? ")" : answer.text + ")";
        if (answer.status && !answer.text.empty()) what += ": " + answer.text;
        NoteAnswer(false, what);
        Pause(refused ? m_limits.retryLongest : retry);
        if (!refused) retry = std::min(retry * 2, m_limits.retryLongest);
    };

    while (!m_abort) {
        const bool stopping = Stopping();
        if (stopping && (Clock::now() >= StopDeadline() || (!batch && m_queue->rows() == 0))) break;
        if (!tableReady) {
            tagHttpAnswer answer = http.Query(CreateTableQuery(m_settings.table));
            if (answer.kind != tagHttpAnswer::Kind::Ok) {
                failed(answer, "creating the table " + m_settings.table);
                continue;
            }
            tableReady = true;
        }
        if (m_settings.retentionDays && !stopping && Clock::now() >= nextRetention) {
            DropOldPartitions(http);
            nextRetention = Clock::now() + m_limits.retentionCheck;
        }
        if (!batch) {
            // Not ripe yet: the loop comes round at least every second, for
            // the retention's day and the stop.
            batch = stopping ? m_queue->Take(milliseconds(0), StopDeadline())
                             : m_queue->Take(m_limits.batchAge, Clock::now() + std::chrono::seconds(1));
            if (!batch) continue;
        }
        tagHttpAnswer answer = http.Post(insert, batch->bytes);
        if (answer.kind != tagHttpAnswer::Kind::Ok) {
            failed(answer, "inserting into " + m_settings.table);
            continue;
        }
        m_rowsSent.fetch_add(batch->rows);
        m_queue->Release(*batch);
        batch.reset();
        retry = m_limits.retryFirst;
        NoteAnswer(true, {});
    }
    // What the bound of the stop left.
    uint64_t unsent = m_queue->Discard();
    if (batch) {
        unsent += batch->rows;
        m_queue->Release(*batch);
    }
    m_rowsUnsent = unsent;
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_wake.notify_all();
}

}  // namespace ortolan
