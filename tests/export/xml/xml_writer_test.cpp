// The bytes of XML and RSS exports: the literals of the document, escaping, element names, the
// declared encoding, and what a failed or refused export leaves behind.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "export/xml/xml_text.h"
#include "source/filter.h"
#include "support/test_support.h"
#include "xml_test_support.h"

using namespace quorv;
using fixture::Cell;
using fixture::FieldSpec;

namespace {

const std::string kDeclaration1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n";
const std::string kRssStart = "<rss version=\"2.0\">\r\n<channel>\r\n<title> TITLE </title>\r\n"
                              "<link> LINK TO PAGE </link>\r\n<description> DESCRIPTION OF SITE </description>\r\n";
const std::string kRssEnd = " </channel>\r\n </rss>";

std::string structure(const std::vector<std::string> &names) {
    std::string out = "  <Structure>\r\n";
    for (const std::string &n : names)
        out += "    <Field>\r\n   <Field_Name>" + n + "</Field_Name>\r\n    </Field>\r\n";
    return out + "  </Structure>\r\n  <Records>\r\n";
}

struct Case {
    const char *label;
    std::vector<FieldSpec> fields;
    std::vector<std::vector<Cell>> rows;
    OutputType type;
    test::Adjust adjust;
    std::string expected;   // %PATH% stands for the table's path; the whole file unless fragment
    bool fragment = false;
};

TEST(XmlDocument, LiteralsEscapingAndEncoding) {
    const std::vector<FieldSpec> people = {{"NAME", PxChar, 20}, {"CITY", PxChar, 20}};
    const std::vector<FieldSpec> five = {{"A", PxChar, 5}, {"B", PxChar, 5}, {"C", PxChar, 5}, {"D", PxChar, 5},
                                         {"E", PxChar, 5}};
    const std::vector<Cell> fiveValues = {Cell::text("a"), Cell::text("b"), Cell::text("c"), Cell::text("d"),
                                          Cell::text("e")};
    const test::Adjust rss = [](ExportSettings &s, SourceTable &) { s.rssFormat = true; };
    const test::Adjust utf8 = [](ExportSettings &s, SourceTable &) { s.utf8 = true; };
    const Case cases[] = {
        {"one record: declaration, Root, structure, record with its empty line, end without line break",
         people, {{Cell::text("Smith"), Cell::text(" Paris ")}}, OutputType::Xml, {},
         kDeclaration1252 + "<Root Database=\"%PATH%\">\r\n" + structure({"NAME", "CITY"}) +
             "   <Record>\r\n     <NAME>Smith</NAME>\r\n     <CITY>Paris</CITY>\r\n\r\n   </Record>\r\n"
             " </Records>\r\n </Root>"},
        {"no records", people, {}, OutputType::Xml, {},
         kDeclaration1252 + "<Root Database=\"%PATH%\">\r\n" + structure({"NAME", "CITY"}) + " </Records>\r\n </Root>"},
        {"memo: line breaks become blanks, blanks at the ends stay", {{"NOTE", PxMemoBlob, 40}},
         {{Cell::text("  two\r\nwords\n ")}}, OutputType::Xml, {}, "     <NOTE>  two  words  </NOTE>\r\n", true},
        {"an empty value has both tags", people, {{Cell::text("Smith"), Cell()}}, OutputType::Xml, {},
         "     <CITY></CITY>\r\n", true},
        {"& < > escaped in values and names, the double quote too in the Database path",
         {{"R&D <1>", PxChar, 30}}, {{Cell::text("a<b & \"c\" 'd'>")}}, OutputType::Xml, {},
         "<Root Database=\"%PATH%\">\r\n  <Structure>\r\n    <Field>\r\n   <Field_Name>R&amp;D &lt;1&gt;</Field_Name>"
         "\r\n    </Field>\r\n  </Structure>\r\n  <Records>\r\n   <Record>\r\n"
         "     <R_D__1_>a&lt;b &amp; \"c\" 'd'&gt;</R_D__1_>\r\n",
         true},
        {"CR in a Char value as a reference, TAB and LF as they are", people,
         {{Cell::text("a\r\nb\tc"), Cell()}}, OutputType::Xml, {}, "     <NAME>a&#13;\nb\tc</NAME>\r\n", true},
        {"control characters are left out", people, {{Cell::text("a\x01" "b\x1F" "c\x7F"), Cell()}}, OutputType::Xml,
         {}, "     <NAME>abc\x7F</NAME>\r\n", true},
        {"windows-1252: bytes as they are, an undefined byte as a reference", people,
         {{Cell::text("Caf\xE9 \x80 \x81\x8D"), Cell()}}, OutputType::Xml, {},
         "     <NAME>Caf\xE9 \x80 &#x81;&#x8D;</NAME>\r\n", true},
        {"/utf8: byte-order mark, UTF-8 declaration, names and values", {{"Gr\xF6\xDF" "e", PxChar, 20}},
         {{Cell::text("Caf\xE9 \x80 \x81")}}, OutputType::Xml, utf8,
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Root Database=\"%PATH%\">\r\n"
         "  <Structure>\r\n    <Field>\r\n   <Field_Name>Gr\xC3\xB6\xC3\x9F" "e</Field_Name>\r\n    </Field>\r\n"
         "  </Structure>\r\n  <Records>\r\n   <Record>\r\n     <Gr\xC3\xB6\xC3\x9F" "e>Caf\xC3\xA9 \xE2\x82\xAC \xC2\x81"
         "</Gr\xC3\xB6\xC3\x9F" "e>\r\n\r\n   </Record>\r\n </Records>\r\n </Root>"},
        {"windows-1251 is declared for a table of code page 1251", people, {}, OutputType::Xml,
         [](ExportSettings &, SourceTable &t) { t.ansiCodePage = 1251; },
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n", true},
        {"RSS: five columns give title, link and description", five, {fiveValues}, OutputType::Xml, rss,
         kDeclaration1252 + kRssStart + "<item>\r\n<title>a</title>\r\n<link>b</link>\r\n<description>c</description>"
                                        "\r\n\r\n</item>\r\n" + kRssEnd},
        {"RSS: the second column left out gives no link, and the third does not move up", five, {fiveValues},
         OutputType::Xml,
         [](ExportSettings &s, SourceTable &t) { s.rssFormat = true, t.fieldExcluded[1] = 1; },
         "<item>\r\n<title>a</title>\r\n<description>c</description>\r\n\r\n</item>\r\n", true},
        {"RSS: the first three left out give empty items", five, {fiveValues}, OutputType::Xml,
         [](ExportSettings &s, SourceTable &t) { s.rssFormat = true, t.fieldExcluded = {1, 1, 1, 0, 0}; },
         "<item>\r\n\r\n</item>\r\n", true},
        {"RSS: a filter on a later column is not applied", five, {fiveValues}, OutputType::Xml,
         [](ExportSettings &s, SourceTable &t) {
             s.rssFormat = true;
             std::vector<FilterFileEntry> entries = {{"D", "zzz"}};
             applyFilterFile(t, entries);
         },
         "<title>a</title>", true},
        {"RSS: no records", five, {}, OutputType::Xml, rss, kDeclaration1252 + kRssStart + kRssEnd},
        {"type 13 writes RSS", five, {fiveValues}, OutputType::Rss, {},
         kDeclaration1252 + kRssStart + "<item>\r\n<title>a</title>\r\n<link>b</link>\r\n<description>c</description>"
                                        "\r\n\r\n</item>\r\n" + kRssEnd},
        {"RSS escapes its values", people, {{Cell::text("R&D <b>"), Cell::text("x\"y")}}, OutputType::Rss, {},
         "<title>R&amp;D &lt;b&gt;</title>\r\n<link>x\"y</link>\r\n", true},
    };
    test::TempDir dir;
    const std::string folder = dir.file("a&b \"q\"");
    std::filesystem::create_directory(folder);
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string db = test::makeTable(folder + "/t" + std::to_string(n++) + ".db", c.fields, c.rows);
        const std::string out = dir.file("out.xml");
        ExportResult result = test::exportTable(db, out, c.type, c.adjust);
        EXPECT_TRUE(result.ok);
        std::string expected = c.expected;
        std::string escapedPath = db;
        for (auto [from, to] : {std::pair{"&", "&amp;"}, {"\"", "&quot;"}})
            for (size_t at = 0; (at = escapedPath.find(from, at)) != std::string::npos; at += std::strlen(to))
                escapedPath.replace(at, 1, to);
        if (size_t at = expected.find("%PATH%"); at != std::string::npos)
            expected.replace(at, 6, escapedPath);
        const std::string text = test::readFile(out);
        if (c.fragment)
            EXPECT_NE(text.find(expected), std::string::npos) << text;
        else
            EXPECT_EQ(text, expected);
    }
}

TEST(XmlDocument, ElementNamesAreValidNamesMadeFromFieldNames) {
    const struct {
        std::string field, name, utf8Name;
    } cases[] = {
        {"Name", "Name", "Name"},
        {"2nd Price", "_2nd_Price", "_2nd_Price"},
        {"Unit/Price", "Unit_Price", "Unit_Price"},
        {"No# %", "No___", "No___"},
        {"a:b", "a_b", "a_b"},
        {"-x", "_-x", "_-x"},
        {".x", "_.x", "_.x"},
        {"xmlData", "_xmlData", "_xmlData"},
        {"XmL", "_XmL", "_XmL"},
        {"xm", "xm", "xm"},
        {" lead", "_lead", "_lead"},
        {"x-1.2_y", "x-1.2_y", "x-1.2_y"},
        {"Gr\xF6\xDF" "e", "Gr\xF6\xDF" "e", "Gr\xC3\xB6\xC3\x9F" "e"},
        {"\x80uro\xD7", "_uro_", "_uro_"},  // the euro and multiplication signs are not letters
        {"a\x81", "a_", "a_"},               // an undefined byte
        {"\xB7x", "_\xB7x", "_\xC2\xB7x"},  // the middle dot may follow but not start
        {"", "Field_3", "Field_3"},
    };
    const XmlText ansi(1252, false), utf8(1252, true);
    for (const auto &c : cases) {
        EXPECT_EQ(ansi.elementName(c.field, 3), c.name) << c.field;
        EXPECT_EQ(utf8.elementName(c.field, 3), c.utf8Name) << c.field;
    }
    // Cyrillic letters are name characters in a windows-1251 document.
    EXPECT_EQ(XmlText(1251, false).elementName("\xC8\xEC\xFF", 1), "\xC8\xEC\xFF");
}

TEST(XmlDocument, UnicodeTextStaysUnicodeAndStrayBytesBecomeCharacters) {
    // Text that is itself UTF-8 (/ANSICP:65001): valid sequences stay, a stray byte becomes U+0080..U+00FF.
    const XmlText text(65001, false);
    EXPECT_EQ(text.encodingName(), "UTF-8");
    std::string out;
    EXPECT_TRUE(text.appendContent(out, "a\xC3\xA9\xE2\x82\xAC<\xFF\xC3"));
    EXPECT_EQ(out, "a\xC3\xA9\xE2\x82\xAC&lt;\xC3\xBF\xC3\x83");
    EXPECT_EQ(text.elementName("\xC3\xA9t\xC3\xA9", 1), "\xC3\xA9t\xC3\xA9");
    // A code page that is no windows code page gives a UTF-8 document.
    EXPECT_EQ(XmlText(437, false).encodingName(), "UTF-8");
    out.clear();
    EXPECT_TRUE(XmlText(437, false).appendContent(out, "\x82"));
    EXPECT_EQ(out, "\xC3\xA9");
}

TEST(XmlDocument, AnEmptyFieldNameBecomesFieldNAndKeepsItsPlaceInTheStructure) {
    test::TempDir dir;
    const std::string db = test::makeTable(dir.file("t.db"), {{"A", PxChar, 5}, {"B", PxChar, 5}},
                                           {{Cell::text("1"), Cell::text("2")}});
    ExportResult r = test::exportTable(db, dir.file("t.xml"), OutputType::Xml,
                                       [](ExportSettings &, SourceTable &t) { t.fields[1].name.clear(); });
    EXPECT_TRUE(r.ok);
    const std::string text = test::readFile(dir.file("t.xml"));
    EXPECT_NE(text.find("<Field_Name></Field_Name>"), std::string::npos);
    EXPECT_NE(text.find("     <Field_2>2</Field_2>\r\n"), std::string::npos) << text;
}

TEST(XmlDocument, LeftOutControlCharactersAreReportedOncePerField) {
    test::TempDir dir;
    const std::string db = test::makeTable(
        dir.file("t.db"), {{"Bell", PxChar, 10}, {"Clean", PxChar, 10}, {"Memo", PxMemoBlob, 30}},
        {{Cell::text("a\x07"), Cell::text("ok"), Cell::text("x\x0C")}, {Cell::text("\x01"), Cell(), Cell::text("y\x0B")}});
    ExportResult r = test::exportTable(db, dir.file("t.xml"), OutputType::Xml);
    EXPECT_TRUE(r.ok); // the document is complete as far as XML can hold it
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_NE(r.problems[0].find("\"Bell\""), std::string::npos) << r.problems[0];
    EXPECT_NE(r.problems[1].find("\"Memo\""), std::string::npos) << r.problems[1];
}

TEST(XmlDocument, ACancelledExportIsAWellFormedDocumentOfTheRecordsWritten) {
    test::TempDir dir;
    const std::string db = test::makeTable(dir.file("t.db"), {{"A", PxChar, 5}},
                                           {{Cell::text("1")}, {Cell::text("2")}, {Cell::text("3")}});
    for (bool rss : {false, true}) {
        ExportResult r = test::exportTable(
            db, dir.file("t.xml"), rss ? OutputType::Rss : OutputType::Xml, {},
            [](int position, int) { return position < 2; });
        EXPECT_TRUE(r.cancelled);
        const std::string text = test::readFile(dir.file("t.xml"));
        const std::string last = rss ? "<title>2</title>\r\n\r\n</item>\r\n </channel>\r\n </rss>"
                                     : "<A>2</A>\r\n\r\n   </Record>\r\n </Records>\r\n </Root>";
        EXPECT_EQ(text.substr(text.size() - last.size()), last);
    }
}

class XmlCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        db = test::makeTable(dir.file("t.db"), {{"A", PxChar, 10}}, {{Cell::text("one")}, {Cell::text("two")}});
    }
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit, {"LC_ALL=C.UTF-8", "TZ=UTC"});
    }
    test::TempDir dir;
    std::string db;
};

TEST_F(XmlCommandLine, FailedWritesFailTheExportAndLeaveNoFile) {
    for (const char *rss : {"", "/RSS2"}) {
        SCOPED_TRACE(rss);
        test::RunResult r = quorv({db, dir.file("missing/t.xml"), rss});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("missing/t.xml:"), std::string::npos) << r.err;

        // A full disk: the file size limit lets the first bytes through and fails a later write.
        const std::string big = test::makeTable(dir.file("big.db"), {{"A", PxChar, 200}},
                                                std::vector<std::vector<Cell>>(3000, {Cell::text(std::string(200, 'x'))}));
        r = quorv({big, "big.xml", rss}, 64 * 1024);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("big.xml:"), std::string::npos) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file("big.xml")));
    }
}

TEST_F(XmlCommandLine, AppendingToAnExistingDocumentIsRefusedAndLeavesItAsItWas) {
    ASSERT_EQ(quorv({db, "t.xml"}).status, 0);
    const std::string before = test::readFile(dir.file("t.xml"));
    test::RunResult r = quorv({db, "t.xml", "/append"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be added"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(dir.file("t.xml")), before);
    // A new file is simply written.
    EXPECT_EQ(quorv({db, "new.xml", "/append"}).status, 0);
    EXPECT_EQ(test::readFile(dir.file("new.xml")), before);
}

TEST_F(XmlCommandLine, HelpOffersRss) {
    test::RunResult r = quorv({"--help"});
    EXPECT_NE(r.out.find("XML files (*.xml)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("RSS files (*.xml) with /RSS2\n"), std::string::npos) << r.out;
}

} // namespace
