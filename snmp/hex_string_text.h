// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Octet strings that the SNMP library prints as "Hex-STRING: E6 97 A5 ..."
// because their bytes are not ASCII are shown as text when they are text:
// valid UTF-8 as it is, valid Shift_JIS or EUC-JP converted to UTF-8.
// Plain C++ (glibc iconv for the conversions).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "mib_lookup.h"

namespace ortolan {

// The printed text of one octet-string variable ("name = Hex-STRING: ..."),
// with "Hex-STRING: ..." replaced by "STRING: " and the text when the value
// bytes are text and the object is not a binary convention (InetAddress and
// the like). Anything else, or a result longer than capacity - 1 bytes, comes
// back unchanged. value holds the variable's bytes.
std::string HexStringToText(const IMibLookup& mibs, std::string_view printed, std::string_view value,
                            size_t capacity);

// Encoding checks of a whole byte string.
bool IsValidUtf8(std::string_view bytes);      // RFC 3629; control bytes and 0x7F refused
bool IsValidShiftJis(std::string_view bytes);  // printable ASCII and JIS X 0208 pairs
bool IsValidEucJp(std::string_view bytes);     // printable ASCII and 0xA1-0xFE pairs

// The bytes converted to UTF-8 by iconv; nothing when iconv refuses them.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char* fromEncoding);

}  // namespace ortolan
