#pragma once
// Bytes as upper-case hexadecimal text, two characters per byte ("%02X" each,
// no separators): the payload field of a flow-log line.
#include <cstddef>
#include <cstdint>

namespace ortolan {

// Writes 2 * count characters at out (no terminator) and returns their end.
// Where the target has SSE2 (every x86-64), 16 bytes are encoded at a time.
char* PutHexUpper(char* out, const uint8_t* bytes, size_t count);
// The same by a table of the 256 digit pairs, one look-up per byte: the
// fallback of other targets and the tail of the vector path.
char* PutHexUpperByTable(char* out, const uint8_t* bytes, size_t count);

}  // namespace ortolan
