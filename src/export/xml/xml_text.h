// The text rules of XML documents: element names made from field names, and the characters of the
// run's single-byte text written in the document's encoding.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorv {

// Whether a character may start an XML name, or stand later in one. Only characters that the
// common readers all accept count (the letters of the fourth and fifth editions of XML 1.0 alike);
// ':' does not, so that readers that know namespaces see no prefix.
bool isXmlNameStart(char32_t c);
bool isXmlNameChar(char32_t c);

// The characters of one run's text (in its ANSI code page) as they go into a document that is
// either UTF-8 or in that code page itself. Characters that XML 1.0 cannot hold (the control
// characters other than TAB, CR and LF) are left out; bytes the code page leaves undefined become
// the characters U+0080..U+00FF.
class XmlText {
public:
    // A code page other than a windows one (or UTF-8 text) always gives a UTF-8 document.
    XmlText(int codePage, bool utf8Document);

    bool utf8() const { return utf8Document_; }
    // The name for the declaration: "UTF-8" or "windows-125x".
    std::string encodingName() const;

    // Appends text as element content: & < > escaped, CR as a character reference (a reader would
    // otherwise turn it into LF). Returns false when characters were left out.
    bool appendContent(std::string &out, std::string_view text) const {
        return append(out, text, content_);
    }
    // Appends text as a double-quoted attribute value (the double quote, TAB and LF escaped too).
    bool appendAttribute(std::string &out, std::string_view text) const {
        return append(out, text, attribute_);
    }
    // Appends a file path as an attribute value. A path that is valid UTF-8 (as file names are on
    // this system) is read as UTF-8, any other as text of the code page.
    void appendPathAttribute(std::string &out, std::string_view path) const;
    // The element name of a field at position (from 1) of the output: every character that a name
    // cannot hold becomes '_'; a name that would start with a character that cannot start a name,
    // or with the letters xml in any case, gets a leading '_'; an empty name is Field_N.
    std::string elementName(std::string_view fieldName, int position) const;

private:
    enum Kind : uint8_t { Plain, Replaced, LeftOut, Utf8Byte };
    struct ByteTable {
        std::array<Kind, 256> kind{};
        std::array<std::string, 256> text; // what a Replaced byte becomes
    };

    bool append(std::string &out, std::string_view text, const ByteTable &table) const;
    void buildTable(ByteTable &table, bool attribute) const;
    // The character at text[at] and the number of bytes it takes.
    char32_t characterAt(std::string_view text, size_t at, size_t &length) const;
    void appendCharacter(std::string &out, char32_t c, std::string_view bytes) const;

    int codePage_;
    bool utf8Source_;   // the run's text itself is UTF-8
    bool utf8Document_;
    std::array<char32_t, 256> characters_{}; // the character of each byte of the code page
    ByteTable content_;
    ByteTable attribute_;
};

// The length of the valid UTF-8 sequence at text[at], 0 when there is none.
size_t utf8SequenceLength(std::string_view text, size_t at);

} // namespace quorv
