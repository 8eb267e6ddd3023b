// SPDX-License-Identifier: GPL-3.0-or-later
#include "udp_probe.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace ortolan {

double Monotonic()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

namespace {

double ThreadCpu()
{
    timespec ts{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void SleepUntil(double when)
{
    timespec ts{};
    ts.tv_sec = time_t(when);
    ts.tv_nsec = long((when - double(ts.tv_sec)) * 1e9);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

}  // namespace

int CUdpProbe::BindLoopback(uint16_t port, int receiveBuffer, bool force)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (!force || ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &receiveBuffer, sizeof receiveBuffer) != 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a = Loopback(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t CUdpProbe::LocalPort(int fd)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) return 0;
    return ntohs(a.sin_port);
}

void CUdpProbe::Catch(int fd, int quietMillis, int maxSeconds, CDatagramStream& out)
{
    std::vector<uint8_t> buf(65536);
    double deadline = Monotonic() + maxSeconds;
    bool heardAny = false;
    while (Monotonic() < deadline) {
        pollfd p{fd, POLLIN, 0};
        int wait = heardAny ? quietMillis : 200;
        if (::poll(&p, 1, wait) != 1) {
            if (heardAny) return;
            continue;
        }
        ssize_t n = ::recv(fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (n > 0) {
            out.Append(buf.data(), size_t(n));
            heardAny = true;
        }
    }
}

tagSendResult CUdpProbe::Send(const CDatagramStream& stream, uint16_t port, uint64_t rate, uint64_t count,
                              double maxSeconds, int exporters)
{
    exporters = std::clamp(exporters, 1, 255 * 255);
    tagSendResult result;
    if (stream.empty() || rate == 0) return result;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return result;
    sockaddr_in to = Loopback(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return result;
    }
    int sendBuffer = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

    // About two thousand wake-ups a second whatever the rate: single datagrams at
    // low rates, batches of up to 64 at high ones. A burst of 64 is far below any
    // receiver's socket buffer, and fewer wake-ups leave the CPU to the receiver.
    size_t batch = size_t(std::clamp<uint64_t>(rate / 2000, 1, 64));
    std::vector<mmsghdr> msgs(batch);
    std::vector<iovec> iov(batch);
    // Per message: the source address (IP_PKTINFO) and a copy of an sFlow
    // datagram whose agent field is rewritten.
    constexpr size_t kControl = CMSG_SPACE(sizeof(in_pktinfo));
    std::vector<uint8_t> control(exporters > 1 ? batch * kControl : 0);
    std::vector<uint8_t> copies(exporters > 1 ? batch * 65536 : 0);
    uint64_t exporter = 0;
    const auto& all = stream.datagrams();
    size_t next = 0;
    double start = Monotonic();
    double deadline = start + maxSeconds;
    while (result.sent < count) {
        double due = start + double(result.sent) / double(rate);
        double now = Monotonic();
        if (now > deadline) break;
        if (due > now) SleepUntil(due);
        size_t n = size_t(std::min<uint64_t>(batch, count - result.sent));
        for (size_t i = 0; i < n; ++i) {
            const auto& d = all[next];
            next = next + 1 == all.size() ? 0 : next + 1;
            iov[i].iov_base = const_cast<uint8_t*>(d.data());
            iov[i].iov_len = d.size();
            msgs[i] = mmsghdr{};
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
            if (exporters > 1) {
                const uint32_t n = uint32_t(exporter++ % uint64_t(exporters));
                static constexpr uint8_t kSflowV5Ipv4[] = {0, 0, 0, 5, 0, 0, 0, 1};
                if (d.size() >= 12 && d.size() <= 65536 && std::equal(kSflowV5Ipv4, kSflowV5Ipv4 + 8, d.begin())) {
                    uint8_t* copy = copies.data() + i * 65536;
                    std::copy(d.begin(), d.end(), copy);
                    copy[8] = 10;
                    copy[9] = 1;
                    copy[10] = uint8_t(n / 256);
                    copy[11] = uint8_t(n % 256);
                    iov[i].iov_base = copy;
                }
                uint8_t* room = control.data() + i * kControl;
                std::fill(room, room + kControl, 0);
                msgs[i].msg_hdr.msg_control = room;
                msgs[i].msg_hdr.msg_controllen = kControl;
                cmsghdr* c = CMSG_FIRSTHDR(&msgs[i].msg_hdr);
                c->cmsg_level = IPPROTO_IP;
                c->cmsg_type = IP_PKTINFO;
                c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
                in_pktinfo info{};
                info.ipi_spec_dst.s_addr = htonl((127u << 24) | ((1 + n / 255) << 8) | (1 + n % 255));
                std::memcpy(CMSG_DATA(c), &info, sizeof info);
            }
        }
        int done = ::sendmmsg(fd, msgs.data(), unsigned(n), 0);
        if (done < 0) {
            // A refused send (nobody bound yet) still counts as sent: the receiver lost it.
            if (errno == ECONNREFUSED) {
                result.sent += n;
                continue;
            }
            if (errno == EINTR || errno == ENOBUFS || errno == EAGAIN) continue;
            break;
        }
        // Datagrams not taken by a partial send are sent again from the cycle's next entry.
        result.sent += uint64_t(done);
    }
    result.seconds = Monotonic() - start;
    ::close(fd);
    return result;
}

tagSinkResult CUdpProbe::Sink(int fd, double maxSeconds, const volatile int* stop)
{
    constexpr size_t kBatch = 64;
    constexpr size_t kSize = 8192;
    tagSinkResult result;
    std::vector<uint8_t> space(kBatch * kSize);
    std::vector<mmsghdr> msgs(kBatch);
    std::vector<iovec> iov(kBatch);
    double cpuStart = ThreadCpu();
    double deadline = Monotonic() + maxSeconds;
    while (!*stop && Monotonic() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) != 1) continue;
        for (size_t i = 0; i < kBatch; ++i) {
            iov[i].iov_base = space.data() + i * kSize;
            iov[i].iov_len = kSize;
            msgs[i] = mmsghdr{};
            msgs[i].msg_hdr.msg_iov = &iov[i];
            msgs[i].msg_hdr.msg_iovlen = 1;
        }
        int n = ::recvmmsg(fd, msgs.data(), kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) continue;
        result.received += uint64_t(n);
        for (int i = 0; i < n; ++i) result.bytes += msgs[size_t(i)].msg_len;
    }
    result.cpuSeconds = ThreadCpu() - cpuStart;
    return result;
}

}  // namespace ortolan
