#pragma once
// One received datagram as the decoders see it: exactly the bytes that
// arrived, no more, so a read past the end leaves the caller's memory and the
// sanitizers see it. The bytes belong to the caller (the receive burst, a
// replayed line, a test's vector) and stay valid only for the call they are
// handed to; a decoder that needs them later copies them.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ortolan {

struct tagDatagram {
    const uint8_t* bytes = nullptr;  // may be null when length is 0
    size_t length = 0;
    std::string_view sender;         // the sender's address as text
    uint32_t senderPort = 0;
    int64_t time = 0;                // seconds since 1970, when it was received
};

}  // namespace ortolan
