#pragma once
// A libpcap capture file of sampled packet headers (little-endian, version 2.4,
// snapshot length 128, link type 1 Ethernet).
#include <cstdint>
#include <string>

namespace ortolan {

class CCaptureFile {
public:
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

    // Writes one record (16-byte header and the bytes) in a single write; a
    // failed write closes the file, and later appends do nothing.
    void Append(const uint8_t* bytes, uint32_t length, uint32_t frameLength,
                uint32_t seconds, uint32_t microseconds);

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace ortolan
