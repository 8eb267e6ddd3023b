// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thread that drains one collector's socket: it takes bursts of up to
// kReceiveBurst datagrams and decodes each burst under one hold of the
// collector's tables' lock, so a stall of the thread that shows the tables (a
// list opening, a refresh) never stops the socket being read. It never waits
// for that lock: while another thread holds it, the bursts are held back in
// order (CFlowCollector::ReceiveBurst) and taken in once the lock is free,
// tried again every kHeldBackRetryMs while the socket is quiet. While
// datagrams keep coming it reads burst after burst; only an empty socket
// makes it wait, in poll(2) on the socket and an eventfd that Stop signals.
// (shutdown(2) of a UDP socket wakes a read already waiting but not one about
// to begin, so it cannot end the thread reliably.) Stopped, the thread still
// reads what the socket's buffer holds, takes in what it held back, then ends.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace ortolan {

class CFlowCollector;

class CReceiveThread {
public:
    // The collector must outlive the thread.
    explicit CReceiveThread(CFlowCollector& collector);
    // Stops the thread as Stop does.
    ~CReceiveThread();
    CReceiveThread(const CReceiveThread&) = delete;
    CReceiveThread& operator=(const CReceiveThread&) = delete;

    // Starts reading the collector's open socket; nothing happens when the
    // thread runs already or the socket is closed.
    void Start();
    // Wakes the thread, lets it take in what the socket's buffer holds and
    // joins it. Everything it counted stays counted. The socket stays open
    // (the collector's Close closes it).
    void Stop();
    bool running() const { return m_thread.joinable(); }

    // Datagrams read since Start (oversize and empty ones included), each
    // counted once it is decoded and queued, or dropped by the held-back bound.
    uint64_t received() const;
    // Waits until received() reaches count, the thread has ended, or the cap
    // has passed; true when the count was reached.
    bool WaitForReceived(uint64_t count, std::chrono::milliseconds cap) const;

private:
    void Run();

    CFlowCollector& m_collector;
    int m_wake = -1;  // eventfd: readable once Stop has begun
    std::atomic<bool> m_stopping{false};
    mutable std::mutex m_mutex;  // everything below
    mutable std::condition_variable m_progress;
    uint64_t m_received = 0;
    bool m_ended = false;
    std::thread m_thread;
};

}  // namespace ortolan
