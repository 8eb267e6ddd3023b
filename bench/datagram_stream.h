// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A captured stream of datagrams kept in a file of its own: each datagram is a
// 4-byte little-endian length followed by its bytes. Loading checks every length
// against what remains of the file and against the largest UDP payload.
#include <cstdint>
#include <string>
#include <vector>

namespace ortolan {

class CDatagramStream {
public:
    bool Load(const std::string& path);
    bool Save(const std::string& path) const;
    void Append(const uint8_t* bytes, size_t size) { m_datagrams.emplace_back(bytes, bytes + size); }

    const std::vector<std::vector<uint8_t>>& datagrams() const { return m_datagrams; }
    size_t size() const { return m_datagrams.size(); }
    bool empty() const { return m_datagrams.empty(); }
    uint64_t totalBytes() const;

private:
    std::vector<std::vector<uint8_t>> m_datagrams;
};

}  // namespace ortolan
