#include "export/html/html_text.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <strings.h>

#include "platform/codepage.h"

namespace quorv {

namespace {

// Character references from 0x80 to 0x9F that HTML reads as other characters (&#x80; is the euro
// sign); the others give the character of their own number.
bool referenceIsRemapped(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F && byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 &&
           byte != 0x9D;
}

} // namespace

HtmlEscaper::HtmlEscaper(int codePage) {
    replacement_['&'] = "&amp;";
    replacement_['<'] = "&lt;";
    replacement_['>'] = "&gt;";
    replacement_['"'] = "&quot;";
    replacement_['\r'] = "&#13;";
    const bool singleByte = codePage != platform::kUtf8CodePage && platform::codePageAvailable(codePage);
    for (int b = 128; singleByte && b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        if (!platform::byteHasCharacter(codePage, byte) && !referenceIsRemapped(byte))
            replacement_[byte] = "&#" + std::to_string(b) + ";";
    }
    for (int b = 0; b < 256; ++b)
        special_[static_cast<size_t>(b)] = !replacement_[static_cast<size_t>(b)].empty();
}

void HtmlEscaper::append(std::string &out, std::string_view text) const {
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!special_[byte])
            continue;
        out.append(text, start, i - start);
        out += replacement_[byte];
        start = i + 1;
    }
    out.append(text, start, text.size() - start);
}

namespace {

// The length of the UTF-8 sequence at text[i] and its code point; 0 when it is not one.
size_t utf8Sequence(std::string_view text, size_t i, uint32_t &codePoint) {
    const auto b = static_cast<unsigned char>(text[i]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    codePoint = n == 1 ? b : b & (0x7Fu >> n);
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (c & 0x3Fu);
    }
    return n;
}

bool isNonAsciiUtf8(std::string_view text) {
    bool nonAscii = false;
    uint32_t codePoint = 0;
    for (size_t i = 0, n; i < text.size(); i += n) {
        if ((n = utf8Sequence(text, i, codePoint)) == 0)
            return false;
        nonAscii = nonAscii || n > 1;
    }
    return nonAscii;
}

} // namespace

std::string typedHtmlText(const std::string &text, int codePage, const HtmlEscaper &escaper) {
    std::string out;
    if (codePage == platform::kUtf8CodePage || !isNonAsciiUtf8(text)) {
        escaper.append(out, text);
        return out;
    }
    uint32_t codePoint = 0;
    for (size_t i = 0, n; i < text.size(); i += n) {
        n = utf8Sequence(text, i, codePoint);
        const std::string_view character(text.data() + i, n);
        const std::string converted = n == 1 ? std::string(character) : platform::fromUtf8(character, codePage);
        if (converted == "?" && character != "?")
            out += "&#" + std::to_string(codePoint) + ";";
        else
            escaper.append(out, converted);
    }
    return out;
}

std::string htmlCharsetName(int codePage) {
    switch (codePage) {
    case platform::kUtf8CodePage: return "utf-8";
    case 866: return "ibm866";
    case 932: return "shift_jis";
    case 936: return "gbk";
    case 949: return "euc-kr";
    case 950: return "big5";
    default: return "windows-" + std::to_string(codePage);
    }
}

bool isScriptTarget(std::string_view target) {
    // Browsers drop leading blanks and control characters and every TAB, LF and CR before they read
    // the scheme.
    std::string scheme;
    size_t i = 0;
    while (i < target.size() && static_cast<unsigned char>(target[i]) <= 0x20)
        ++i;
    for (; i < target.size() && target[i] != ':'; ++i) {
        if (target[i] == '\t' || target[i] == '\n' || target[i] == '\r')
            continue;
        scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(target[i]))));
        if (scheme.size() > 10)
            return false;
    }
    if (i == target.size())
        return false;
    return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

namespace {

bool endsAt(std::string_view text, size_t end, std::string_view word) {
    return end >= word.size() && text.compare(end - word.size(), word.size(), word) == 0;
}

// Whether the value holds "www.", "ftp.", "http:", "https:" or ":\" (one pass: this runs for every value).
bool hasWebMark(std::string_view v) {
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '.' && (endsAt(v, i, "www") || endsAt(v, i, "ftp")))
            return true;
        if (v[i] == ':' && ((i + 1 < v.size() && v[i + 1] == '\\') || endsAt(v, i, "http") || endsAt(v, i, "https")))
            return true;
    }
    return false;
}

} // namespace

std::string linkTarget(std::string_view value) {
    if (value.find('@') != std::string_view::npos)
        return "mailto:" + std::string(value);
    if (hasWebMark(value) && !isScriptTarget(value))
        return std::string(value);
    return std::string();
}

std::string htmlPageName(const std::string &firstName, int k) {
    if (k == 0)
        return firstName;
    const std::string number = std::to_string(k);
    for (size_t i = 0; i + 4 <= firstName.size(); ++i)
        if (strncasecmp(firstName.c_str() + i, ".htm", 4) == 0)
            return firstName.substr(0, i) + number + firstName.substr(i);
    const size_t dot = firstName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return firstName + number;
    return firstName.substr(0, dot) + number + firstName.substr(dot);
}

std::string pageHref(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string href;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (std::isalnum(b) || (c != 0 && std::strchr("-._~!$'()*+,;=:@", c) != nullptr)) {
            href.push_back(c);
        } else {
            href.push_back('%');
            href.push_back(kHex[b >> 4]);
            href.push_back(kHex[b & 15]);
        }
    }
    // A name like "a:b.htm" would read as a URL scheme.
    if (href.find(':') != std::string::npos)
        href.insert(0, "./");
    return href;
}

} // namespace quorv
