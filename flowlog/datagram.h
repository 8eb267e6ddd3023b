// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One received datagram as the decoders see it: exactly the bytes that
// arrived, no more, so a read past the end leaves the caller's memory and the
// sanitizers see it. The bytes belong to the caller (the receive burst, a
// replayed line, a test's vector) and stay valid only for the call they are
// handed to; a decoder that needs them later copies them. It lives with the
// flow log, which queues datagrams for writing and hands replayed ones back,
// so that the log needs nothing of the collectors that decode them.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ortolan {

// The largest datagram a collector reads from its socket; the replay skips a
// logged payload over it, as the socket read would have cut it.
inline constexpr size_t kDatagramCapacity = 8192;

struct tagDatagram {
    const uint8_t* bytes = nullptr;  // may be null when length is 0
    size_t length = 0;
    std::string_view sender;         // the sender's address as text
    uint32_t senderPort = 0;
    int64_t time = 0;                // seconds since 1970, when it was received
};

}  // namespace ortolan
