#include "export/xml/xml_text.h"

#include <cstdio>

#include "platform/codepage.h"

namespace quorv {

namespace {

struct Range {
    char32_t first, last;
};

// Letters that may start a name in both editions of XML 1.0, as far as the windows code pages
// reach (Latin, Greek, Cyrillic, Hebrew, Arabic).
constexpr Range kNameStart[] = {
    {0x41, 0x5A},     {0x5F, 0x5F},     {0x61, 0x7A},     {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x131},
    {0x134, 0x13E},   {0x141, 0x148},   {0x14A, 0x17E},   {0x180, 0x1C3},   {0x1CD, 0x1F0},   {0x1F4, 0x1F5},
    {0x1FA, 0x217},   {0x250, 0x2A8},   {0x2BB, 0x2C1},   {0x386, 0x386},   {0x388, 0x38A},   {0x38C, 0x38C},
    {0x38E, 0x3A1},   {0x3A3, 0x3CE},   {0x3D0, 0x3D6},   {0x401, 0x40C},   {0x40E, 0x44F},   {0x451, 0x45C},
    {0x45E, 0x481},   {0x490, 0x4C4},   {0x4C7, 0x4C8},   {0x4CB, 0x4CC},   {0x4D0, 0x4EB},   {0x4EE, 0x4F5},
    {0x4F8, 0x4F9},   {0x5D0, 0x5EA},   {0x5F0, 0x5F2},   {0x621, 0x63A},   {0x641, 0x64A},   {0x671, 0x6B7},
    {0x6BA, 0x6BE},   {0x6C0, 0x6CE},   {0x6D0, 0x6D3},   {0x6D5, 0x6D5},
};

// Characters that may stand in a name after its first character, beside the letters.
constexpr Range kNameMore[] = {
    {0x2D, 0x2E},   {0x30, 0x39},   {0xB7, 0xB7},   {0x2D0, 0x2D1}, {0x300, 0x345}, {0x360, 0x361},
    {0x387, 0x387}, {0x483, 0x486}, {0x591, 0x5A1}, {0x5A3, 0x5B9}, {0x5BB, 0x5BD}, {0x5BF, 0x5BF},
    {0x5C1, 0x5C2}, {0x5C4, 0x5C4}, {0x64B, 0x652}, {0x660, 0x669}, {0x670, 0x670}, {0x6F0, 0x6F9},
};

template <size_t N> bool inRanges(const Range (&ranges)[N], char32_t c) {
    for (const Range &r : ranges)
        if (c >= r.first && c <= r.last)
            return true;
    return false;
}

char32_t decodeUtf8(std::string_view s, size_t length) {
    auto b = [&](size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
    switch (length) {
    case 1: return b(0);
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

bool allowedInXml(char32_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

std::string characterReference(char32_t c) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "&#x%X;", static_cast<unsigned>(c));
    return buffer;
}

} // namespace

bool isXmlNameStart(char32_t c) { return inRanges(kNameStart, c); }
bool isXmlNameChar(char32_t c) { return isXmlNameStart(c) || inRanges(kNameMore, c); }

size_t utf8SequenceLength(std::string_view text, size_t at) {
    auto b = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = b(0);
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                                : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((b(i) & 0xC0) != 0x80)
            return 0;
    const char32_t c = decodeUtf8(text.substr(at, length), length);
    if ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)))
        return 0;
    return length;
}

XmlText::XmlText(int codePage, bool utf8Document)
    : codePage_(codePage), utf8Source_(codePage == platform::kUtf8CodePage),
      utf8Document_(utf8Document || !platform::isWindowsCodePage(codePage)) {
    for (int b = 0; b < 256; ++b) {
        characters_[static_cast<size_t>(b)] = static_cast<char32_t>(b); // undefined bytes: U+0080..U+00FF
        if (b < 0x80 || utf8Source_)
            continue;
        const std::string utf8 = platform::toUtf8(std::string(1, static_cast<char>(b)), codePage);
        if (size_t n = utf8SequenceLength(utf8, 0); n == utf8.size() && n > 0)
            characters_[static_cast<size_t>(b)] = decodeUtf8(utf8, n);
    }
    buildTable(content_, false);
    buildTable(attribute_, true);
}

std::string XmlText::encodingName() const {
    return utf8Document_ ? "UTF-8" : "windows-" + std::to_string(codePage_);
}

void XmlText::buildTable(ByteTable &table, bool attribute) const {
    for (int b = 0; b < 256; ++b) {
        const auto i = static_cast<size_t>(b);
        const char32_t c = characters_[i];
        Kind kind = Plain;
        std::string text;
        switch (b) {
        case '&': kind = Replaced, text = "&amp;"; break;
        case '<': kind = Replaced, text = "&lt;"; break;
        case '>': kind = Replaced, text = "&gt;"; break;
        case '\r': kind = Replaced, text = "&#13;"; break;
        case '"': if (attribute) kind = Replaced, text = "&quot;"; break;
        case '\t': if (attribute) kind = Replaced, text = "&#9;"; break;
        case '\n': if (attribute) kind = Replaced, text = "&#10;"; break;
        default:
            if (b < 0x80) {
                if (!allowedInXml(c))
                    kind = LeftOut;
            } else if (utf8Source_) {
                kind = Utf8Byte; // a byte of a valid sequence stays; a stray byte becomes U+0080..U+00FF
                platform::appendUtf8CodePoint(text, c);
            } else if (utf8Document_) {
                kind = Replaced;
                platform::appendUtf8CodePoint(text, c);
            } else if (!platform::byteHasCharacter(codePage_, static_cast<unsigned char>(b))) {
                kind = Replaced;
                text = characterReference(c);
            }
        }
        table.kind[i] = kind;
        table.text[i] = std::move(text);
    }
}

bool XmlText::append(std::string &out, std::string_view text, const ByteTable &table) const {
    bool complete = true;
    size_t plainFrom = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const Kind kind = table.kind[b];
        if (kind == Plain)
            continue;
        if (kind == Utf8Byte) {
            if (size_t n = utf8SequenceLength(text, i); n > 0) {
                i += n - 1;
                continue;
            }
        }
        out.append(text.data() + plainFrom, i - plainFrom);
        if (kind == LeftOut)
            complete = false;
        else
            out += table.text[b];
        plainFrom = i + 1;
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
    return complete;
}

char32_t XmlText::characterAt(std::string_view text, size_t at, size_t &length) const {
    const auto b = static_cast<unsigned char>(text[at]);
    length = 1;
    if (utf8Source_ && b >= 0x80) {
        if (size_t n = utf8SequenceLength(text, at); n > 0) {
            length = n;
            return decodeUtf8(text.substr(at, n), n);
        }
    }
    return characters_[b];
}

void XmlText::appendCharacter(std::string &out, char32_t c, std::string_view bytes) const {
    if (c < 0x80 || (!utf8Document_ && !utf8Source_))
        out.append(bytes); // a character of the document's own code page
    else
        platform::appendUtf8CodePoint(out, c);
}

void XmlText::appendPathAttribute(std::string &out, std::string_view path) const {
    bool validUtf8 = true;
    for (size_t i = 0; i < path.size() && validUtf8;) {
        size_t n = utf8SequenceLength(path, i);
        validUtf8 = n > 0;
        i += n;
    }
    if (!validUtf8) {
        appendAttribute(out, path);
        return;
    }
    for (size_t i = 0; i < path.size();) {
        const size_t n = utf8SequenceLength(path, i);
        if (n == 1)
            appendAttribute(out, path.substr(i, 1));
        else if (utf8Document_)
            out.append(path.substr(i, n));
        else
            out += characterReference(decodeUtf8(path.substr(i, n), n));
        i += n;
    }
}

std::string XmlText::elementName(std::string_view fieldName, int position) const {
    if (fieldName.empty())
        return "Field_" + std::to_string(position);
    std::string name;
    bool first = true;
    for (size_t i = 0, n = 0; i < fieldName.size(); i += n) {
        const char32_t c = characterAt(fieldName, i, n);
        if (first && !isXmlNameStart(c) && isXmlNameChar(c))
            name.push_back('_'); // a digit, '-' or '.' cannot start a name
        first = false;
        if (isXmlNameChar(c))
            appendCharacter(name, c, fieldName.substr(i, n));
        else
            name.push_back('_');
    }
    if (name.size() >= 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l')
        name.insert(name.begin(), '_'); // names beginning with xml are reserved
    return name;
}

} // namespace quorv
