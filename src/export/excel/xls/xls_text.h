// UTF-8 <-> UTF-16 conversion for the .xls writer and reader.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorv::xls {

// Malformed UTF-8 sequences become U+FFFD. At most maxUnits code units are produced; a surrogate
// pair that would not fit whole is left out.
std::u16string utf8ToUtf16(std::string_view utf8, size_t maxUnits = std::u16string::npos);

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view utf16);

// Appends one UTF-16 code unit sequence, given as bytes: 8-bit characters (Latin-1) when
// compressed, otherwise UTF-16LE, to a UTF-8 string.
void appendLatin1AsUtf8(std::string &out, const unsigned char *p, size_t count);

} // namespace quorv::xls
