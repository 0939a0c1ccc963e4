// The value rules of HTML output: escaping, the character set name, link detection and page names.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace quorv {

// Escapes single-byte text of one code page so that a browser shows it as text: & < > " become
// entities, CR becomes a character reference (a raw CR would be read as LF), and a byte the code page
// leaves undefined becomes the reference of the character of the same number, as the UTF-8 conversion
// maps it (a raw undefined byte is decoded differently by every reader).
class HtmlEscaper {
public:
    explicit HtmlEscaper(int codePage);
    void append(std::string &out, std::string_view text) const;

private:
    std::array<std::string, 256> replacement_; // empty: the byte goes out as it is
    std::array<bool, 256> special_{};          // the bytes with a replacement
};

// A text the user typed (the title), escaped. A text in UTF-8, as a terminal gives it, is converted
// to the code page, and a character the code page lacks becomes a character reference.
std::string typedHtmlText(const std::string &text, int codePage, const HtmlEscaper &escaper);

// The name a <meta charset> gives for a code page ("windows-1252").
std::string htmlCharsetName(int codePage);

// Link detection: the target a value links to, or empty when it stays plain text. A value holding "@"
// links to "mailto:" + value; one holding "www.", "http:", "https:", ":\" or "ftp." links to itself,
// unless the browser would run it as a script (javascript:, vbscript:, data:).
std::string linkTarget(std::string_view value);
bool isScriptTarget(std::string_view target);

// The name of page file k (0 is the first page itself): the number goes in front of the name's first
// ".htm" (any letter case), else in front of its extension, else at its end.
std::string htmlPageName(const std::string &firstName, int k);
// A page file name as a relative URL: every byte outside the unreserved and path characters is
// percent-encoded, so that blanks, '#', '%' and bytes above 127 name the file itself.
std::string pageHref(std::string_view name);

} // namespace quorv
