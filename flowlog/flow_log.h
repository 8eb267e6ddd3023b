// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The daily flow log: every received datagram as one text line in
// "<folder>FL<YYYY-MM-DD>.log", written once a second; replay into a feed that
// hands each datagram to the decoders of a live run; purge of old days. Line
// format (other tools and the logs of earlier runs rely on it): kind ("N"
// NetFlow, "S" sFlow), tab, received time (decimal seconds since 1970), tab,
// sender address, tab, sender port, tab, the bytes as upper-case hex.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "batch_writer.h"
#include "clock_check.h"
#include "log_queue.h"
#include "replay_reader.h"

namespace ortolan {

// What the replay tells its caller: each datagram's time, and each interval close.
struct tagReplayHooks {
    std::function<void(int64_t)> observeTime;
    std::function<void(int64_t)> closeInterval;
};

// Takes each replayed datagram, in file order, to be decoded: the collectors
// offer one that hands it to the collector of its kind.
using ReplayFeedFn = std::function<void(const tagReplayDatagram&)>;

// Before each block it reads, the replay tells the bytes read so far and the
// file's size; an answer of false stops the replay of the file there.
using ReplayProgressFn = std::function<bool(uint64_t done, uint64_t total)>;

// Replay reads lines through a bounded buffer: a line longer than this cannot
// come from the writer (8192 bytes give 16384 hex digits) and is skipped
// without being held in memory.
inline constexpr size_t kMaxLogLineBytes = 64 * 1024;

class CFlowLog {
public:
    // The folder is empty (the current folder) or ends with a separator. It
    // is opened once, when first written or purged, and files are made and
    // deleted relative to that opening: a link re-pointed meanwhile does not
    // move the log. Setting another folder opens that one anew.
    explicit CFlowLog(std::string folder = {});
    ~CFlowLog();
    CFlowLog(const CFlowLog&) = delete;
    CFlowLog& operator=(const CFlowLog&) = delete;
    void SetFolder(std::string folder);
    const std::string& folder() const { return m_folder; }

    // Drains both queues, each record into the file of the local date of its
    // own receivedAt; within a file the NetFlow lines of a call come before its
    // sFlow lines. A record leaves its queue only once its whole line is
    // written; what cannot be written stays queued for the next call, and the
    // file is cut back to its last whole line. Only a regular file is written:
    // a link, a FIFO or anything else under the day's name is refused without
    // blocking. False when something stayed queued; problem() then says why.
    // The records queued when the call begins are its; the collectors may
    // go on queueing from another thread meanwhile.
    bool WriteFlowLog(CLogQueue& netflow, CLogQueue& sflow);
    // Why the last WriteFlowLog left records queued, or the last ReplayLog
    // failed, naming the file; empty when the last write wrote everything.
    const std::string& problem() const { return m_problem; }
    // The record text: "%llu\t%s\t%u\t" and the bytes as "%02X" each.
    static std::string FormatLogLine(const tagXFlowLog& record);
    // "FL%Y-%m-%d.log" of the local date of t.
    static std::string FileNameFor(int64_t t);

    // Replays one file of the folder (a bare name as listed; with an empty
    // folder any path) into the feed: for each line, observeTime, then the
    // feed, then closeInterval when more than refreshSeconds have passed
    // since the interval began. Only a regular file is read, and opening it
    // never blocks. False when it is no regular file or cannot be opened or
    // read (problem() says why), or when the progress hook stopped it; the
    // lines before that have been replayed.
    bool ReplayLog(const std::string& fileName, const ReplayFeedFn& feed, uint32_t refreshSeconds,
                   const tagReplayHooks& hooks, const ReplayProgressFn& progress = {});

    // Deletes the logs whose day ended more than retentionDays before now, once
    // per calendar day; retention 0 keeps everything. monotonic is the time
    // since boot: while the wall clock has stepped against it (clockStep())
    // nothing is deleted, as `now` then says nothing of the time that really
    // passed. The files named in keep (those written in this run) are never
    // deleted. Returns the number deleted.
    int PurgeOldLogs(uint32_t retentionDays, int64_t now, int64_t monotonic,
                     const std::set<std::string>& keep = {});
    // The wall clock's step the last purge found, in seconds; 0 when it agreed.
    int64_t clockStep() const { return m_clock.step(); }
    // The names of the files this object has written to.
    const std::set<std::string>& writtenFiles() const { return m_writtenFiles; }

    // Lines replay skipped since this object was made: fewer than four tabs, a
    // payload over kDatagramCapacity, a line over kMaxLogLineBytes, a payload
    // with a character that is not a hexadecimal digit, or a last line without
    // its line break (torn by a killed writer).
    uint64_t skippedLines() const { return m_skippedLines; }
    // Of those, the ones skipped for their size.
    uint64_t oversizeLines() const { return m_oversizeLines; }
    // Lines handed to the feed since this object was made.
    uint64_t replayedLines() const { return m_replayedLines; }

private:
    // Appends the leading records received in [dayStart, dayEnd), in batches
    // of about a megabyte per write; false on a failed write.
    bool DrainQueue(int fd, CLogQueue::CReader& records, char kind, int64_t dayStart, int64_t dayEnd);
    // The lines of one write and where each ends in it.
    struct tagBatch {
        std::vector<char> text;
        std::vector<size_t> lineEnds;
        size_t used = 0;
    };
    // Formats the leading records of [dayStart, dayEnd) into the batch, up to
    // about a megabyte, moving the reader's cursor past them.
    void FillBatch(tagBatch& batch, CLogQueue::CReader& records, char kind, int64_t dayStart, int64_t dayEnd);
    // Pops the records whose whole line the write put into the file; after a
    // short write cuts the file back to its last whole line and returns false
    // with errno set.
    bool SettleBatch(int fd, const tagBatch& batch, const CBatchWriter::tagResult& result,
                     CLogQueue::CReader& records);
    // The whole line of a record at out; returns its end.
    char* PutLine(char* out, char kind, const tagXFlowLog& record);
    // Opens a day's file of the folder for appending; -1 (and m_problem set)
    // when it is not a regular file or cannot be opened.
    int OpenDayFile(const std::string& name);
    // The folder's descriptor, opened on first need; false (and m_problem
    // set) while the folder cannot be opened.
    bool OpenFolder();
    void CloseFolder();

    std::string m_folder;
    int m_folderFd = -1;
    std::string m_problem;
    int m_lastPurgeDay = 0;
    CClockCheck m_clock;
    std::set<std::string> m_writtenFiles;
    uint64_t m_skippedLines = 0;
    uint64_t m_oversizeLines = 0;
    uint64_t m_replayedLines = 0;

    // The writer's buffers, kept from call to call, and the thread that
    // writes one while the other is formatted (started by the first drain
    // of more than one batch).
    tagBatch m_batches[2];
    std::unique_ptr<CBatchWriter> m_batchWriter;
    struct tagLinePrefix {
        bool valid = false;
        char kind = 0;
        int64_t time = 0;
        uint32_t port = 0;
        size_t senderLength = 0;
        char sender[256];
        char text[2 + 20 + 1 + 255 + 1 + 10 + 1];
        size_t length = 0;
    } m_prefix;
};

}  // namespace ortolan
