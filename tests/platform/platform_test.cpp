#include <gtest/gtest.h>

#include <tuple>

#include "platform/codepage.h"
#include "platform/locale.h"
#include "platform/system.h"

using namespace quorv::platform;

TEST(CodePages, AnsiAndOemPagesFollowTheHeader) {
    // The header's code page, the Windows page of the table's text and the DOS page of its OEM text.
    const int pages[][3] = {{1251, 1251, 437}, {437, 1252, 437}, {850, 1252, 850}, {852, 1250, 852},
                            {866, 1251, 866},  {737, 1253, 737}, {857, 1254, 857}, {862, 1255, 862},
                            {864, 1256, 864},  {775, 1257, 775}, {0, 1252, 437},   {936, 1252, 437}};
    for (const auto &[header, ansi, oem] : pages) {
        EXPECT_EQ(ansiCodePageFor(header), ansi) << header;
        EXPECT_EQ(oemCodePageFor(header), oem) << header;
    }
}

// Letters of 437 converted to 1252 are checked through the OEM switch in the format test; 1252 text to
// UTF-8, undefined bytes among it, is read back by the XML, HTML and SQL readers.
TEST(CodePages, OemBytesWithoutAnAnsiCharacterStay) {
    // Box drawing characters have no place in 1252: the bytes stay as they are.
    std::string box = "\xC9\xCD";
    convertSingleByte(box, 437, 1252);
    EXPECT_EQ(box, "\xC9\xCD");
}

TEST(CodePages, Utf8TextPassesUnchanged) {
    EXPECT_EQ(toUtf8("caf\xC3\xA9", kUtf8CodePage), "caf\xC3\xA9");
    EXPECT_EQ(fromUtf8("caf\xC3\xA9", 1252), "caf\xE9");
}

TEST(CodePages, UpperCaseCoversLettersBeyondAscii) {
    std::string text = "smith caf\xE9 \xFF";
    upperCase(text, 1252);
    EXPECT_EQ(text, "SMITH CAF\xC9 \x9F");
}

TEST(Locale, DateOrderAndSeparatorFromTheDateFormat) {
    // The format, then the order ('0' month first, '1' day first, '2' year first) and the separator.
    const std::tuple<const char *, char, char> formats[] = {
        {"%d.%m.%Y", '1', '.'}, {"%m/%d/%y", '0', '/'}, {"%Y-%m-%d", '2', '-'}, {"%D", '0', '/'}};
    for (const auto &[format, order, separator] : formats) {
        LocaleDate d = localeDateFromFormat(format);
        EXPECT_EQ(d.order, order) << format;
        EXPECT_EQ(d.separator, separator) << format;
    }
}

TEST(System, ProgramFolderEndsWithSlash) {
    std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_FALSE(systemMessage(2).empty());
}
