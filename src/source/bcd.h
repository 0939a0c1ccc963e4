// Paradox BCD (field type 23) values as exact decimal text.
#pragma once

#include <cstdint>
#include <string>

namespace quorv {

// Decodes a 17-byte BCD value with the field's number of decimals (0..32) into text such as "-1.23",
// "1", "0.00" or "0.12299999999999999800000000000000": optional '-', the integer part without leading
// zeros ("0" when it is zero), and when decimals > 0 a '.' followed by exactly `decimals` digits.
// Returns false with empty text for a blank value (first byte 0, e.g. all zero bytes) and for bytes that
// are not a BCD value with this number of decimals.
//
// Layout: byte 0 holds the sign (bit 7 set: positive), bit 6 (set by writers for every non-blank value,
// not required here) and the number of decimals (bits 0-5). Bytes 1..16 hold 32 digit nibbles, most
// significant first; the last `decimals` nibbles are the fraction. Negative values store every nibble
// complemented (15 - digit). Some writers fill only the first 18 significant digits (the width of x87 packed
// BCD) and leave junk, including non-digit nibbles, in the rest: when any nibble is not a digit, digits after
// the 18th significant digit are shown as zeros.
bool decodeBcd(const uint8_t *bytes, int decimals, std::string &out);

} // namespace quorv
