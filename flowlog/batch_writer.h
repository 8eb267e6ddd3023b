// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Appends one buffer at a time to a file on a thread of its own, so that its
// caller can format the next buffer while the kernel copies this one into the
// page cache. One caller; at most one write in flight.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <sys/types.h>
#include <thread>

namespace ortolan {

// Starts a thread that takes none of the program's signals (a stop asked with
// SIGINT, SIGTERM or SIGHUP goes to the thread that runs the event loop); it
// keeps SIGXFSZ, which the program ignores so that a file size limit fails a
// write, and the faults.
std::thread StartQuietThread(std::function<void()> body);

class CBatchWriter {
public:
    CBatchWriter() = default;
    // Waits for the write in flight, then ends the thread.
    ~CBatchWriter();
    CBatchWriter(const CBatchWriter&) = delete;
    CBatchWriter& operator=(const CBatchWriter&) = delete;

    struct tagResult {
        bool statOk = false;   // sizeBefore is known
        off_t sizeBefore = 0;  // the file's size just before the write
        size_t written = 0;    // bytes that reached the file, in order from the start
        int error = 0;         // errno of the failure when written < size
    };
    // Starts appending [data, data + size) to fd; the buffer and the file
    // stay untouched by the caller until Wait returns.
    void Submit(int fd, const char* data, size_t size);
    // The result of the write in flight, once it has ended.
    tagResult Wait();
    // The same write done here on the calling thread.
    static tagResult WriteNow(int fd, const char* data, size_t size);

private:
    void Run();

    std::mutex m_mutex;  // everything below
    std::condition_variable m_changed;
    bool m_pending = false;  // a write submitted and not yet finished
    bool m_stopping = false;
    int m_fd = -1;
    const char* m_data = nullptr;
    size_t m_size = 0;
    tagResult m_result;
    std::thread m_thread;
};

}  // namespace ortolan
