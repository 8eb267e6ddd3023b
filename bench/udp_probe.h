// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Loopback UDP for the benchmarks: catching what an exporter sends, a paced
// sender, and a bare receiver that only counts (the machine's limit). Every
// socket is bound to or sends to 127.0.0.1 only; every loop ends by count or time.
#include <cstdint>

#include "datagram_stream.h"

namespace ortolan {

// Seconds on the monotonic clock.
double Monotonic();

struct tagSendResult {
    uint64_t sent = 0;
    double seconds = 0;
};

struct tagSinkResult {
    uint64_t received = 0;
    uint64_t bytes = 0;
    double cpuSeconds = 0;
};

class CUdpProbe {
public:
    // A socket bound to 127.0.0.1:port (0: any free port) with the receive
    // buffer asked for; force passes the system's cap (root only), which the
    // catcher wants and the receivers under test do not get. -1 on failure.
    static int BindLoopback(uint16_t port, int receiveBuffer, bool force);
    static uint16_t LocalPort(int fd);

    // Receives into the stream until nothing came for quietMillis after the
    // first datagram, or maxSeconds passed.
    static void Catch(int fd, int quietMillis, int maxSeconds, CDatagramStream& out);

    // Sends count datagrams, cycling through the stream, to 127.0.0.1:port at
    // about rate datagrams per second; gives up after maxSeconds. With more
    // than one exporter, datagram i leaves from exporter i mod exporters
    // (source 127.0.1.1 ... 127.0.1.255, 127.0.2.1 ...; loopback takes all of
    // 127/8), and an sFlow IPv4 agent field is rewritten to 10.1.<n/256>.<n%256>
    // so each exporter is an agent of its own.
    static tagSendResult Send(const CDatagramStream& stream, uint16_t port, uint64_t rate, uint64_t count,
                              double maxSeconds, int exporters = 1);

    // Counts datagrams with recvmmsg, touching nothing else, until *stop is set
    // or maxSeconds passed; the CPU time is this thread's.
    static tagSinkResult Sink(int fd, double maxSeconds, const volatile int* stop);
};

}  // namespace ortolan
