#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/locale.h"
#include "platform/system.h"

using namespace quorv::platform;

TEST(CodePages, AnsiAndOemPagesFollowTheHeader) {
    EXPECT_EQ(ansiCodePageFor(1251), 1251);
    EXPECT_EQ(ansiCodePageFor(437), 1252);
    EXPECT_EQ(ansiCodePageFor(850), 1252);
    EXPECT_EQ(ansiCodePageFor(852), 1250);
    EXPECT_EQ(ansiCodePageFor(866), 1251);
    EXPECT_EQ(ansiCodePageFor(737), 1253);
    EXPECT_EQ(ansiCodePageFor(857), 1254);
    EXPECT_EQ(ansiCodePageFor(862), 1255);
    EXPECT_EQ(ansiCodePageFor(864), 1256);
    EXPECT_EQ(ansiCodePageFor(775), 1257);
    EXPECT_EQ(ansiCodePageFor(0), 1252);
    EXPECT_EQ(ansiCodePageFor(936), 1252);
    EXPECT_EQ(oemCodePageFor(866), 866);
    EXPECT_EQ(oemCodePageFor(1252), 437);
    EXPECT_EQ(oemCodePageFor(0), 437);
}

TEST(CodePages, OemToAnsiConvertsLettersAndKeepsUnmappableBytes) {
    std::string text = "\x84\x94\x81 \x8E"; // a-, o-, u-umlaut, A-umlaut in code page 437
    convertSingleByte(text, 437, 1252);
    EXPECT_EQ(text, "\xE4\xF6\xFC \xC4");
    // Box drawing characters have no place in 1252: the bytes stay as they are.
    std::string box = "\xC9\xCD";
    convertSingleByte(box, 437, 1252);
    EXPECT_EQ(box, "\xC9\xCD");
    std::string cyrillic = "\x8F\xE0\xA8"; // "Pri" in 866
    convertSingleByte(cyrillic, 866, 1251);
    EXPECT_EQ(cyrillic, "\xCF\xF0\xE8");
}

TEST(CodePages, Utf8KeepsBytesWithoutMapping) {
    EXPECT_EQ(toUtf8("caf\xE9", 1252), "caf\xC3\xA9");
    EXPECT_EQ(toUtf8("\x80", 1252), "\xE2\x82\xAC");
    // 0x81 and 0x9D are undefined in 1252: kept as U+0081 and U+009D, so the text stays valid UTF-8.
    EXPECT_EQ(toUtf8("a\x81z\x9D", 1252), "a\xC2\x81z\xC2\x9D");
    EXPECT_FALSE(byteHasCharacter(1252, 0x81));
    EXPECT_TRUE(byteHasCharacter(1252, 0x80));
    EXPECT_TRUE(byteHasCharacter(1252, 'A'));
    // Text that already is UTF-8 passes unchanged.
    EXPECT_EQ(toUtf8("caf\xC3\xA9", kUtf8CodePage), "caf\xC3\xA9");
    EXPECT_EQ(fromUtf8("caf\xC3\xA9", 1252), "caf\xE9");
}

TEST(CodePages, UpperCaseCoversLettersBeyondAscii) {
    std::string text = "smith caf\xE9 \xFF";
    upperCase(text, 1252);
    EXPECT_EQ(text, "SMITH CAF\xC9 \x9F");
    std::string russian = "\xEF\xF0\xE8"; // 1251 lower case
    upperCase(russian, 1251);
    EXPECT_EQ(russian, "\xCF\xD0\xC8");
}

TEST(Locale, DateOrderAndSeparatorFromTheDateFormat) {
    LocaleDate d = localeDateFromFormat("%d.%m.%Y");
    EXPECT_EQ(d.order, '1');
    EXPECT_EQ(d.separator, '.');
    d = localeDateFromFormat("%m/%d/%y");
    EXPECT_EQ(d.order, '0');
    EXPECT_EQ(d.separator, '/');
    d = localeDateFromFormat("%Y-%m-%d");
    EXPECT_EQ(d.order, '2');
    EXPECT_EQ(d.separator, '-');
    d = localeDateFromFormat("%D");
    EXPECT_EQ(d.order, '0');
}

TEST(System, ProgramFolderEndsWithSlash) {
    std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_FALSE(systemMessage(2).empty());
}
