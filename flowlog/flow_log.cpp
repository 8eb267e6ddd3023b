// SPDX-License-Identifier: GPL-3.0-or-later
#include "flow_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "hex_text.h"
#include "local_time.h"
#include "log_files.h"
#include "replay_reader.h"

#if defined(__SANITIZE_ADDRESS__)
#define ORTOLAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORTOLAN_ASAN 1
#endif
#endif

namespace ortolan {
namespace {

// Lines are written in batches of about this size: one write call per batch,
// and the memory of a batch stays small when a long outage has filled the queues.
constexpr size_t kWriteBatchBytes = 1 << 20;
// Room past the batch size for the line that crosses it (a line of a full
// 8 KiB datagram takes about 16.5 KB).
constexpr size_t kBatchSlackBytes = 32 * 1024;

char* PutDecimal(char* out, uint64_t value)
{
    char digits[20];
    size_t n = 0;
    do {
        digits[n++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (n) *out++ = digits[--n];
    return out;
}

// The most a record's text can take: time, sender, port, tabs and the hex.
size_t RecordTextBound(const tagXFlowLog& record)
{
    return 20 + 1 + record.sender.size() + 1 + 10 + 1 + 2 * record.bytes.size();
}

bool OfDay(const tagXFlowLog& record, int64_t dayStart, int64_t dayEnd)
{
    return record.receivedAt >= dayStart && record.receivedAt < dayEnd;
}

// "time\tsender\tport\t"; returns the end.
char* PutRecordPrefix(char* out, const tagXFlowLog& record)
{
    out = PutDecimal(out, uint64_t(record.receivedAt));
    *out++ = '\t';
    std::memcpy(out, record.sender.data(), record.sender.size());
    out += record.sender.size();
    *out++ = '\t';
    out = PutDecimal(out, record.senderPort);
    *out++ = '\t';
    return out;
}

char* PutHex(char* out, std::span<const uint8_t> bytes)
{
    return PutHexUpper(out, bytes.data(), bytes.size());
}

// A file whose last byte is not a line break holds the torn tail of a write
// that was cut short (a crash, a full disk we could not cut back). Appending to
// it would glue the next line onto the fragment, so the fragment goes first.
bool CutTornTail(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    off_t size = st.st_size;
    if (size == 0) return true;
    char last = 0;
    if (::pread(fd, &last, 1, size - 1) != 1) return false;
    if (last == '\n') return true;
    char block[4096];
    off_t end = size;
    while (end > 0) {
        off_t start = end > off_t(sizeof block) ? end - off_t(sizeof block) : 0;
        ssize_t n = ::pread(fd, block, size_t(end - start), start);
        if (n != ssize_t(end - start)) return false;
        for (ssize_t i = n; i > 0; --i)
            if (block[i - 1] == '\n') return ::ftruncate(fd, start + i) == 0;
        end = start;
    }
    return ::ftruncate(fd, 0) == 0;
}

// One local calendar day: its log file name and its seconds [start, end).
struct tagLogDay {
    std::string name;
    int64_t start = 0;
    int64_t end = 0;
};

bool LocalDayOf(int64_t t, tagLogDay& day)
{
    std::time_t time = static_cast<std::time_t>(t);
    std::tm tm{};
    if (!localtime_r(&time, &tm)) return false;
    char name[64];
    if (std::strftime(name, sizeof name, "FL%Y-%m-%d.log", &tm) == 0) return false;
    day.name = name;
    std::tm midnight = tm;
    midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
    midnight.tm_isdst = -1;
    std::tm next = midnight;
    ++next.tm_mday;
    day.start = int64_t(std::mktime(&midnight));
    day.end = int64_t(std::mktime(&next));
    // Where a zone skips its midnight the conversion may land past t; the
    // record's own second always belongs to its day.
    day.start = std::min(day.start, t);
    day.end = std::max(day.end, t + 1);
    return true;
}

}  // namespace

CFlowLog::CFlowLog(std::string folder) : m_folder(std::move(folder)) {}
CFlowLog::~CFlowLog()
{
    CloseFolder();
}

void CFlowLog::SetFolder(std::string folder)
{
    if (folder == m_folder) return;
    CloseFolder();
    m_folder = std::move(folder);
}

bool CFlowLog::OpenFolder()
{
    // A folder removed since (its last link gone) is looked up by its name
    // again, so a log folder made anew is written again.
    struct stat st {};
    if (m_folderFd >= 0 && ::fstat(m_folderFd, &st) == 0 && st.st_nlink == 0) CloseFolder();
    if (m_folderFd >= 0) return true;
    std::string path = m_folder.empty() ? std::string(".") : m_folder;
    m_folderFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_folderFd < 0) {
        m_problem = "cannot open the log folder " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void CFlowLog::CloseFolder()
{
    if (m_folderFd >= 0) ::close(m_folderFd);
    m_folderFd = -1;
}

std::string CFlowLog::FormatLogLine(const tagXFlowLog& record)
{
    std::string text(RecordTextBound(record), '\0');
    char* end = PutHex(PutRecordPrefix(text.data(), record), record.bytes);
    text.resize(size_t(end - text.data()));
    return text;
}

std::string CFlowLog::FileNameFor(int64_t t)
{
    return FormatLocalTime("FL%Y-%m-%d.log", t);
}

bool CFlowLog::WriteFlowLog(CLogQueue& netflow, CLogQueue& sflow)
{
    m_problem.clear();
    // What is queued now is this call's; what arrives meanwhile waits for the
    // next, so the NetFlow lines of a call still come before its sFlow lines.
    CLogQueue::CReader netflowRecords(netflow);
    CLogQueue::CReader sflowRecords(sflow);
    if ((netflowRecords.available() || sflowRecords.available()) && !OpenFolder()) return false;
    // Each pass writes the leading records of one local day into that day's
    // file; the day is the earliest of the two heads, so records of a day that
    // waited through an outage still go into their own day's file.
    tagXFlowLog head;
    while (netflowRecords.available() || sflowRecords.available()) {
        int64_t t = std::numeric_limits<int64_t>::max();
        for (CLogQueue::CReader* r : {&netflowRecords, &sflowRecords})
            if (r->Peek(head)) t = std::min(t, head.receivedAt);
        tagLogDay day;
        if (!LocalDayOf(t, day)) {
            m_problem = "no local date for the time " + std::to_string(t);
            return false;
        }
        std::string path = m_folder + day.name;
        int fd = OpenDayFile(day.name);
        if (fd < 0) return false;
        m_writtenFiles.insert(day.name);
        bool ok = CutTornTail(fd) && DrainQueue(fd, netflowRecords, 'N', day.start, day.end) &&
                  DrainQueue(fd, sflowRecords, 'S', day.start, day.end);
        if (!ok && m_problem.empty()) m_problem = "cannot write the log file " + path + ": " + std::strerror(errno);
        ::close(fd);
        if (!ok) return false;
    }
    return true;
}

int CFlowLog::OpenDayFile(const std::string& name)
{
    const std::string path = m_folder + name;
    // A link is not followed and nothing blocks: in a shared log folder
    // another user may plant a link to a file of ours, or a FIFO that would
    // hold an open for writing until someone reads it.
    int fd = ::openat(m_folderFd, name.c_str(), O_RDWR | O_CREAT | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    0644);
    if (fd < 0) {
        if (errno == ELOOP)
            m_problem = "the log file " + path + " is a symbolic link; it is not written";
        else
            m_problem = "cannot open the log file " + path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_problem = "the log file " + path + " is not a regular file; it is not written";
        ::close(fd);
        return -1;
    }
    return fd;
}

char* CFlowLog::PutLine(char* out, char kind, const tagXFlowLog& record)
{
    // Consecutive records mostly share their second and their sender: the
    // line's head is formatted once for them.
    tagLinePrefix& p = m_prefix;
    if (!p.valid || p.kind != kind || p.time != record.receivedAt || p.port != record.senderPort ||
        std::string_view(p.sender, p.senderLength) != record.sender) {
        p.text[0] = kind;
        p.text[1] = '\t';
        p.length = size_t(PutRecordPrefix(p.text + 2, record) - p.text);
        p.kind = kind;
        p.time = record.receivedAt;
        p.port = record.senderPort;
        p.senderLength = record.sender.size();
        std::memcpy(p.sender, record.sender.data(), p.senderLength);
        p.valid = true;
    }
    std::memcpy(out, p.text, p.length);
    out = PutHex(out + p.length, record.bytes);
    *out++ = '\n';
    return out;
}

void CFlowLog::FillBatch(tagBatch& batch, CLogQueue::CReader& records, char kind, int64_t dayStart, int64_t dayEnd)
{
    if (batch.text.empty()) batch.text.resize(kWriteBatchBytes + kBatchSlackBytes);
    batch.used = 0;
    batch.lineEnds.clear();
    tagXFlowLog record;
    while (batch.used < kWriteBatchBytes && records.Peek(record) && OfDay(record, dayStart, dayEnd)) {
        size_t bound = 3 + RecordTextBound(record);
        if (batch.used + bound > batch.text.size()) {
            if (batch.used > 0) break;
            batch.text.resize(bound);
        }
        batch.used = size_t(PutLine(batch.text.data() + batch.used, kind, record) - batch.text.data());
        batch.lineEnds.push_back(batch.used);
        records.Advance();
    }
}

bool CFlowLog::SettleBatch(int fd, const tagBatch& batch, const CBatchWriter::tagResult& result,
                           CLogQueue::CReader& records)
{
    // Only records whose line reached the file in full leave the queue.
    size_t whole = size_t(std::upper_bound(batch.lineEnds.begin(), batch.lineEnds.end(), result.written) -
                          batch.lineEnds.begin());
    records.Pop(whole);
    if (result.written == batch.used) return true;
    // Never leave a fragment that replay would take for a short datagram.
    // Should the cut fail, the next call cuts it before appending.
    if (result.statOk) {
        off_t keep = result.sizeBefore + off_t(whole ? batch.lineEnds[whole - 1] : 0);
        [[maybe_unused]] int cut = ::ftruncate(fd, keep);
    }
    errno = result.error;
    return false;
}

bool CFlowLog::DrainQueue(int fd, CLogQueue::CReader& records, char kind, int64_t dayStart, int64_t dayEnd)
{
    // Two batches: while the helper thread writes one (the kernel's copy into
    // the page cache is the larger part of the cost), this thread formats the
    // next. The last batch is written here, as is a drain of one batch.
    tagBatch* filling = &m_batches[0];
    tagBatch* inFlight = nullptr;
    for (;;) {
        FillBatch(*filling, records, kind, dayStart, dayEnd);
        if (inFlight) {
            if (!SettleBatch(fd, *inFlight, m_batchWriter->Wait(), records)) return false;
            inFlight = nullptr;
        }
        if (filling->used == 0) return true;
        tagXFlowLog next;
        if (!records.Peek(next) || !OfDay(next, dayStart, dayEnd))
            return SettleBatch(fd, *filling, CBatchWriter::WriteNow(fd, filling->text.data(), filling->used), records);
        if (!m_batchWriter) m_batchWriter = std::make_unique<CBatchWriter>();
        m_batchWriter->Submit(fd, filling->text.data(), filling->used);
        inFlight = filling;
        filling = filling == &m_batches[0] ? &m_batches[1] : &m_batches[0];
    }
}

bool CFlowLog::ReplayLog(const std::string& fileName, const ReplayFeedFn& feed, uint32_t refreshSeconds,
                         const tagReplayHooks& hooks, const ReplayProgressFn& progress)
{
    std::string path = m_folder + fileName;
    // Only a regular file is read: /dev/zero would never end and a FIFO would
    // hold the start until someone writes to it.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        m_problem = "cannot open the log file " + path + ": " + std::strerror(errno);
        return false;
    }
    // Declared before the reader: its thread is stopped before the file closes.
    std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* f) { ::close(*f); });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_problem = "the log file " + path + " is not a regular file";
        return false;
    }
    const auto total = uint64_t(st.st_size);
    // The caller is asked before each block is read, and a stop replays
    // nothing of what was read after it: the first time before anything is.
    if (progress && !progress(0, total)) return false;

    // Reading, splitting and hex decoding run ahead on the reader's thread;
    // the hooks and the decoders run here, line by line in file order.
    CReplayReader reader(fd);
    int64_t intervalStart = 0;
    for (;;) {
        const CReplayBlock& block = reader.Next();
        for (size_t i = 0; i < block.size(); ++i) {
            tagReplayDatagram d = block[i];
#if ORTOLAN_ASAN
            // The reader packs datagrams side by side; an allocation of the
            // exact size lets AddressSanitizer see a decoder read past the end.
            std::unique_ptr<uint8_t[]> exact(new uint8_t[d.length]);
            if (d.length) std::memcpy(exact.get(), d.bytes, d.length);
            d.bytes = exact.get();
#endif
            if (intervalStart == 0) intervalStart = d.time;
            if (hooks.observeTime) hooks.observeTime(d.time);
            feed(d);
            ++m_replayedLines;
            // An unsigned 32-bit difference: a time that goes backwards (a
            // clock set back) closes an interval too, rather than holding one
            // open until the log's time catches up with it.
            if (uint32_t(d.time - intervalStart) > refreshSeconds) {
                intervalStart = d.time;
                if (hooks.closeInterval) hooks.closeInterval(d.time);
            }
        }
        m_skippedLines += block.skippedLines;
        m_oversizeLines += block.oversizeLines;
        switch (block.end) {
        case CReplayBlock::End::endOfFile:
            return true;
        case CReplayBlock::End::readError:
            m_problem = "cannot read the log file " + path + ": " + std::strerror(block.errorNumber);
            return false;
        case CReplayBlock::End::more:
            if (progress && !progress(block.readBytes, total)) return false;
            break;
        }
    }
}

int CFlowLog::PurgeOldLogs(uint32_t retentionDays, int64_t now, int64_t monotonic,
                           const std::set<std::string>& keep)
{
    // Checked on every call, so a step is seen (and told) whatever the
    // retention, and the comparison spans one call to the next.
    if (m_clock.Check(now, monotonic) != 0) return 0;
    if (retentionDays == 0) return 0;
    std::time_t t = static_cast<std::time_t>(now);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return 0;
    if (tm.tm_mday == m_lastPurgeDay) return 0;
    if (!OpenFolder()) return 0;
    m_lastPurgeDay = tm.tm_mday;
    int64_t limit = now - int64_t(retentionDays) * 86400;
    int deleted = 0;
    for (const std::string& name : ListLogFiles(m_folderFd)) {
        std::optional<int64_t> dayEnd = LogFileDayEnd(name);
        if (!dayEnd || *dayEnd >= limit || keep.count(name) || m_writtenFiles.count(name)) continue;
        if (::unlinkat(m_folderFd, name.c_str(), 0) == 0) ++deleted;
    }
    return deleted;
}

}  // namespace ortolan
