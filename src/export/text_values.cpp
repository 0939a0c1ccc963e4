#include "export/text_values.h"

namespace quorv {

void appendEnclosed(std::string &out, std::string_view value, char quote) {
    out.push_back(quote);
    for (char c : value) {
        if (c == quote)
            out.push_back(quote);
        out.push_back(c);
    }
    out.push_back(quote);
}

std::string_view trimTrailingBlanks(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string_view trimBlanks(std::string_view text) {
    text = trimTrailingBlanks(text);
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

bool containsAny(std::string_view text, std::string_view characters) {
    return text.find_first_of(characters) != std::string_view::npos;
}

} // namespace quorv
