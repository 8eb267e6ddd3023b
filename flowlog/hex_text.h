// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Bytes as upper-case hexadecimal text, two characters per byte ("%02X" each,
// no separators): the payload field of a flow-log line; and back.
#include <cstddef>
#include <cstdint>

namespace ortolan {

// Writes 2 * count characters at out (no terminator) and returns their end.
// Where the target has SSE2 (every x86-64), 16 bytes are encoded at a time.
char* PutHexUpper(char* out, const uint8_t* bytes, size_t count);
// The same by a table of the 256 digit pairs, one look-up per byte: the
// fallback of other targets and the tail of the vector path.
char* PutHexUpperByTable(char* out, const uint8_t* bytes, size_t count);

// Reads the 2 * count characters at text (digits of either case) as count
// bytes at out; false when any of them is no hexadecimal digit (out then
// holds no meaningful bytes). With SSE2, 16 characters are read at a time.
bool ReadHex(const char* text, size_t count, uint8_t* out);
// The same by a table of every pair of characters: the fallback of other
// targets and the tail of the vector path.
bool ReadHexByTable(const char* text, size_t count, uint8_t* out);

}  // namespace ortolan
