// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive_thread.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "batch_writer.h"
#include "flow_collector.h"

namespace ortolan {

CReceiveThread::CReceiveThread(CFlowCollector& collector) : m_collector(collector) {}

CReceiveThread::~CReceiveThread()
{
    Stop();
}

void CReceiveThread::Start()
{
    if (m_thread.joinable() || !m_collector.IsOpen()) return;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0) return;
    m_stopping = false;
    {
        std::lock_guard lock(m_mutex);
        m_received = 0;
        m_ended = false;
    }
    // A quiet thread: the stop signals go to the thread that runs the event loop.
    m_thread = StartQuietThread([this] { Run(); });
}

void CReceiveThread::Stop()
{
    if (!m_thread.joinable()) return;
    m_stopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(m_wake, &one, sizeof one);
    m_thread.join();
    ::close(m_wake);
    m_wake = -1;
}

void CReceiveThread::Run()
{
    pollfd watched[2] = {{m_collector.socketDescriptor(), POLLIN, 0}, {m_wake, POLLIN, 0}};
    auto count = [this](size_t settled) {
        if (settled == 0) return;
        std::lock_guard lock(m_mutex);
        m_received += uint64_t(settled);
        m_progress.notify_all();
    };
    for (;;) {
        size_t settled = 0;
        const int received = m_collector.ReceiveBurst(&settled);
        const int error = errno;
        count(settled);
        if (received > 0) continue;
        // Out of memory for a moment, or a signal: try again. Any other error
        // means the socket is gone.
        if (received < 0 && error != EINTR && error != ENOMEM && error != ENOBUFS) break;
        // The socket is empty. Datagrams held back while another thread held
        // the tables wait for the lock: a quiet socket tries it again soon.
        const bool holding = m_collector.heldBack() > 0;
        // A stop ends the thread now, nothing is lost: what was held back is
        // taken in, waiting for the lock, since nothing more will be read.
        if (m_stopping) break;
        if (::poll(watched, 2, holding ? kHeldBackRetryMs : -1) < 0 && errno != EINTR) break;
    }
    count(m_collector.SettleHeldBack());
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_progress.notify_all();
}

uint64_t CReceiveThread::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool CReceiveThread::WaitForReceived(uint64_t count, std::chrono::milliseconds cap) const
{
    std::unique_lock lock(m_mutex);
    m_progress.wait_for(lock, cap, [&] { return m_received >= count || m_ended; });
    return m_received >= count;
}

}  // namespace ortolan
