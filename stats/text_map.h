// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Containers keyed by text that can be searched with a string_view, so the
// per-sample path looks keys up from stack buffers without building strings.
#include <string>
#include <string_view>
#include <unordered_map>
#include <functional>

namespace ortolan {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

// Hash map from text to an entry held by value; entries never move once
// inserted (node-based), so pointers to them stay valid until the map is cleared.
template <class T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

}  // namespace ortolan
