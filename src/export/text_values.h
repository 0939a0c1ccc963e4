// Small value rules that the text-like writers share.
#pragma once

#include <string>
#include <string_view>

namespace quorv {

// Appends quote + value + quote, with every quote character inside the value doubled.
void appendEnclosed(std::string &out, std::string_view value, char quote);
// Removes blanks at both ends.
std::string_view trimBlanks(std::string_view text);
std::string_view trimTrailingBlanks(std::string_view text);
bool containsAny(std::string_view text, std::string_view characters);

} // namespace quorv
