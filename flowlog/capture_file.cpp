// SPDX-License-Identifier: GPL-3.0-or-later
#include "capture_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace ortolan {
namespace {

void PutLe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

bool WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

CCaptureFile::~CCaptureFile() { Close(); }

bool CCaptureFile::Open(const std::string& path)
{
    if (m_fd >= 0) return false;
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    uint8_t header[24];
    PutLe32(header, 0xa1b2c3d4u);
    header[4] = 2;  // version 2.4, two little-endian 16-bit words
    header[5] = 0;
    header[6] = 4;
    header[7] = 0;
    PutLe32(header + 8, 0);    // time-zone offset
    PutLe32(header + 12, 0);   // accuracy
    PutLe32(header + 16, kSnapLength);
    PutLe32(header + 20, 1);   // Ethernet
    if (!WriteAll(fd, header, sizeof header) || ::fsync(fd) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void CCaptureFile::Close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_path.clear();
}

void CCaptureFile::Append(const uint8_t* bytes, uint32_t length, uint32_t frameLength,
                          uint32_t seconds, uint32_t microseconds)
{
    if (m_fd < 0) return;
    if (length > kSnapLength) length = kSnapLength;
    std::vector<uint8_t> record(16 + size_t(length));
    PutLe32(record.data(), seconds);
    PutLe32(record.data() + 4, microseconds);
    PutLe32(record.data() + 8, length);
    PutLe32(record.data() + 12, frameLength);
    if (length) std::copy(bytes, bytes + length, record.begin() + 16);
    // One write per record, so a reader never sees a record header without its bytes
    // unless the disk failed; then the file is given up.
    if (!WriteAll(m_fd, record.data(), record.size())) Close();
}

}  // namespace ortolan
