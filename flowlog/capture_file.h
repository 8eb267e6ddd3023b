// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A libpcap capture file of sampled packet headers (little-endian, version 2.4,
// link type 1 Ethernet). The snapshot length declared is the longest header
// that can be written, so readers accept every record.
#include <cstdint>
#include <string>

#include "datagram.h"

namespace ortolan {

class CCaptureFile {
public:
    // A sampled header lies inside one datagram, so none is longer than that.
    static constexpr uint32_t kSnapLength = uint32_t(kDatagramCapacity);

    CCaptureFile() = default;
    ~CCaptureFile();
    CCaptureFile(const CCaptureFile&) = delete;
    CCaptureFile& operator=(const CCaptureFile&) = delete;

    // Creates the file and writes the 24-byte file header. Fails when a file is
    // already open, the file cannot be created or the header cannot be written.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }

    // Writes one record (16-byte header and the bytes, at most kSnapLength of
    // them) in a single write; a failed write closes the file, and later
    // appends do nothing.
    void Append(const uint8_t* bytes, uint32_t length, uint32_t frameLength,
                uint32_t seconds, uint32_t microseconds);

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace ortolan
