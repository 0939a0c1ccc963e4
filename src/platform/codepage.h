// Code page conversions of single-byte text, in place of the Windows conversions.
//
// Paradox tables carry the code page their text was written in. The program works on the bytes as
// stored; it converts them only where the user asks (OEM text) or the output needs it (UTF-8).
// Conversions go through iconv once per code page to build a table; a byte that has no mapping in
// the target is kept as it is, never dropped.
#pragma once

#include <string>
#include <string_view>

namespace quorv::platform {

inline constexpr int kUtf8CodePage = 65001;

bool isWindowsCodePage(int codePage); // 1250..1258
bool isDosCodePage(int codePage);     // 437, 737, 775, 850, 852, 855, 857, 860..866, 869

// The "ANSI" code page that belongs with a table header's code page.
int ansiCodePageFor(int headerCodePage);
// The "OEM" code page that belongs with a table header's code page.
int oemCodePageFor(int headerCodePage);

// iconv's name of a code page ("CP1252", "CP437", "UTF-8").
std::string iconvName(int codePage);
// Whether this machine's iconv can convert the code page.
bool codePageAvailable(int codePage);

// Converts single-byte text from one single-byte code page to another, byte for byte.
void convertSingleByte(std::string &text, int fromCodePage, int toCodePage);
void convertSingleByte(char *text, size_t length, int fromCodePage, int toCodePage);

// Appends the UTF-8 form of single-byte text to out. A byte that the code page leaves undefined (0x81
// in 1252) becomes the character of the same number (U+0081), as Windows converts it: the output stays
// valid UTF-8 and the byte can still be told from the others. Text in an unknown code page, or in
// UTF-8 itself, is copied as it is.
void appendUtf8(std::string &out, std::string_view text, int fromCodePage);
std::string toUtf8(std::string_view text, int fromCodePage);
// Appends the UTF-8 bytes of one Unicode code point.
void appendUtf8CodePoint(std::string &out, char32_t c);

// Whether the code page gives the byte a character (every byte below 128 has one). False for every byte
// above 127 of a code page this system cannot convert.
bool byteHasCharacter(int codePage, unsigned char byte);

// Converts UTF-8 text to a single-byte code page; characters without a mapping become '?'.
std::string fromUtf8(std::string_view utf8, int toCodePage);

} // namespace quorv::platform

namespace quorv::platform {
// Upper-cases single-byte text of a code page in place (letters outside ASCII too).
void upperCase(std::string &text, int codePage);
} // namespace quorv::platform
