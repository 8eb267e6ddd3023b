// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch_writer.h"

#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ortolan {

std::thread StartQuietThread(std::function<void()> body)
{
    sigset_t all, saved;
    sigfillset(&all);
    for (int kept : {SIGXFSZ, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS}) sigdelset(&all, kept);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    std::thread thread(std::move(body));
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return thread;
}

CBatchWriter::~CBatchWriter()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    m_thread.join();
}

CBatchWriter::tagResult CBatchWriter::WriteNow(int fd, const char* data, size_t size)
{
    tagResult result;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        // Without the size a short write could not be cut back: nothing is written.
        result.error = errno;
        return result;
    }
    result.statOk = true;
    result.sizeBefore = st.st_size;
    // A failed write (disk full, file size limit, I/O error) ends it; what
    // reached the file before stays counted.
    while (result.written < size) {
        ssize_t n = ::write(fd, data + result.written, size - result.written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            result.error = n < 0 ? errno : ENOSPC;
            break;
        }
        result.written += size_t(n);
    }
    return result;
}

void CBatchWriter::Submit(int fd, const char* data, size_t size)
{
    std::lock_guard lock(m_mutex);
    if (!m_thread.joinable()) m_thread = StartQuietThread([this] { Run(); });
    m_fd = fd;
    m_data = data;
    m_size = size;
    m_pending = true;
    m_changed.notify_all();
}

CBatchWriter::tagResult CBatchWriter::Wait()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_pending; });
    return m_result;
}

void CBatchWriter::Run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_pending || m_stopping; });
        if (!m_pending) return;
        int fd = m_fd;
        const char* data = m_data;
        size_t size = m_size;
        lock.unlock();
        tagResult result = WriteNow(fd, data, size);
        lock.lock();
        m_result = result;
        m_pending = false;
        m_changed.notify_all();
    }
}

}  // namespace ortolan
