// SPDX-License-Identifier: GPL-3.0-or-later
#include "datagram_stream.h"

#include <cstdio>
#include <memory>

namespace ortolan {
namespace {

constexpr size_t kMaxUdpPayload = 65507;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

bool CDatagramStream::Load(const std::string& path)
{
    m_datagrams.clear();
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    for (;;) {
        uint8_t head[4];
        size_t got = std::fread(head, 1, 4, f.get());
        if (got == 0) return true;
        if (got != 4) return false;
        size_t length = size_t(head[0]) | size_t(head[1]) << 8 | size_t(head[2]) << 16 | size_t(head[3]) << 24;
        if (length > kMaxUdpPayload) return false;
        std::vector<uint8_t> bytes(length);
        if (std::fread(bytes.data(), 1, length, f.get()) != length) return false;
        m_datagrams.push_back(std::move(bytes));
    }
}

bool CDatagramStream::Save(const std::string& path) const
{
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) return false;
    for (const auto& d : m_datagrams) {
        uint32_t n = uint32_t(d.size());
        uint8_t head[4] = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
        if (std::fwrite(head, 1, 4, f.get()) != 4) return false;
        if (std::fwrite(d.data(), 1, d.size(), f.get()) != d.size()) return false;
    }
    return std::fflush(f.get()) == 0;
}

uint64_t CDatagramStream::totalBytes() const
{
    uint64_t total = 0;
    for (const auto& d : m_datagrams) total += d.size();
    return total;
}

}  // namespace ortolan
