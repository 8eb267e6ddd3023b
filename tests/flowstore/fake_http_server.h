// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A hostile stand-in for ClickHouse on 127.0.0.1: it answers every query but
// an INSERT with 200, and an INSERT as told: never, with 500 or 404, or by
// closing the connection halfway through the rows.
#include <atomic>
#include <cstdint>
#include <thread>

namespace ortolan::testing {

enum class InsertAnswer { Never, Error500, Refuse404, CloseMidway };

class CFakeHttpServer {
public:
    explicit CFakeHttpServer(InsertAnswer answer);
    ~CFakeHttpServer();
    CFakeHttpServer(const CFakeHttpServer&) = delete;
    CFakeHttpServer& operator=(const CFakeHttpServer&) = delete;

    uint16_t port() const { return m_port; }
    // INSERT requests whose head has arrived.
    uint32_t inserts() const { return m_inserts.load(); }

private:
    void Serve();
    // One connection, request after request, until it closes or the server stops.
    void Converse(int fd);

    InsertAnswer m_answer;
    int m_listener = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<uint32_t> m_inserts{0};
    std::thread m_thread;
};

}  // namespace ortolan::testing
