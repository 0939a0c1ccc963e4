// XML and RSS exports: the fixed literals of the documents, element names, a cancelled export and a
// refused /append; the escaping, the declared encodings and every value are checked on the files read
// back by xmllint, ElementTree, lxml and feedparser, the fixture tables and the real ones.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "export/xml/xml_text.h"
#include "platform/codepage.h"
#include "source/filter.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;
using fixture::FieldSpec;

namespace {

const std::string kDeclaration1252 = "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n";
const std::string kRssStart = "<rss version=\"2.0\">\r\n<channel>\r\n<title> TITLE </title>\r\n"
                              "<link> LINK TO PAGE </link>\r\n<description> DESCRIPTION OF SITE </description>\r\n";
const std::string kRssEnd = " </channel>\r\n </rss>";
// The RSS document of one record a, b, c, d, e.
const std::string kRssOfFive = kDeclaration1252 + kRssStart +
                               "<item>\r\n<title>a</title>\r\n<link>b</link>\r\n<description>c</description>"
                               "\r\n\r\n</item>\r\n" + kRssEnd;

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
         people, {{Cell::text("Smith"), Cell::text(" Paris ")}}, {},
         kDeclaration1252 + "<Root Database=\"%PATH%\">\r\n" + structure({"NAME", "CITY"}) +
             "   <Record>\r\n     <NAME>Smith</NAME>\r\n     <CITY>Paris</CITY>\r\n\r\n   </Record>\r\n"
             " </Records>\r\n </Root>"},
        {"no records", people, {}, {},
         kDeclaration1252 + "<Root Database=\"%PATH%\">\r\n" + structure({"NAME", "CITY"}) + " </Records>\r\n </Root>"},
        {"an empty value has both tags", people, {{Cell::text("Smith"), Cell()}}, {},
         "     <CITY></CITY>\r\n", true},
        {"control characters are left out", people, {{Cell::text("a\x01" "b\x1F" "c\x7F"), Cell()}},
         {}, "     <NAME>abc\x7F</NAME>\r\n", true},
        {"/utf8: byte-order mark and UTF-8 declaration", people, {}, utf8,
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Root Database=\"%PATH%\">\r\n", true},
        {"RSS: five columns give title, link and description", five, {fiveValues}, rss, kRssOfFive},
        {"RSS: the first three left out give empty items", five, {fiveValues},
         [](ExportSettings &s, SourceTable &t) { s.rssFormat = true, t.fieldExcluded = {1, 1, 1, 0, 0}; },
         "<item>\r\n\r\n</item>\r\n", true},
        {"RSS: a filter on a later column is not applied", five, {fiveValues},
         [](ExportSettings &s, SourceTable &t) { s.rssFormat = true, applyFilterFile(t, {{"D", "zzz"}}); },
         "<title>a</title>", true},
        {"RSS: no records", five, {}, rss, kDeclaration1252 + kRssStart + kRssEnd},
    };
    test::TempDir dir;
    const std::string folder = dir.file("a&b \"q\"");
    std::filesystem::create_directory(folder);
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string db = test::makeTable(folder + "/t" + std::to_string(n++) + ".db", c.fields, c.rows);
        const std::string out = dir.file("out.xml");
        ExportResult result = test::exportTable(db, out, OutputType::Xml, c.adjust);
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

// More names, the "xml" prefix and letters of windows-1251 among them, are checked as the readers see them
// (XmlReaders.HostileValuesAndNamesAndWildcardRunsComeBackExactly).
TEST(XmlDocument, ElementNamesAreValidNamesMadeFromFieldNames) {
    const std::pair<std::string, std::string> cases[] = { // the same in UTF-8 where the name is ASCII
        {"-x", "_-x"}, {".x", "_.x"}, {"xm", "xm"}, {"x-1.2_y", "x-1.2_y"}, {"", "Field_3"},
        {"\x80uro\xD7", "_uro_"}, // the euro and multiplication signs are not letters
        {"a\x81", "a_"},           // an undefined byte
    };
    const XmlText ansi(1252, false), utf8(1252, true);
    for (const auto &[field, name] : cases) {
        EXPECT_EQ(ansi.elementName(field, 3), name) << field;
        EXPECT_EQ(utf8.elementName(field, 3), name) << field;
    }
    EXPECT_EQ(ansi.elementName("\xB7x", 3), "_\xB7x"); // the middle dot may follow but not start
    EXPECT_EQ(utf8.elementName("\xB7x", 3), "_\xC2\xB7x");
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

// An empty field name becomes Field_N in its place; control characters left out are reported once
// per field, and the document is complete as far as XML can hold it.
TEST(XmlDocument, EmptyFieldNamesAndLeftOutControlCharacters) {
    test::TempDir dir;
    const std::string db = test::makeTable(
        dir.file("t.db"), {{"Bell", PxChar, 10}, {"Clean", PxChar, 10}, {"Memo", PxMemoBlob, 30}},
        {{Cell::text("a\x07"), Cell::text("ok"), Cell::text("x\x0C")},
         {Cell::text("\x01"), Cell(), Cell::text("y\x0B")}});
    ExportResult r = test::exportTable(db, dir.file("t.xml"), OutputType::Xml);
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_NE(r.problems[0].find("\"Bell\""), std::string::npos) << r.problems[0];
    EXPECT_NE(r.problems[1].find("\"Memo\""), std::string::npos) << r.problems[1];
    r = test::exportTable(db, dir.file("t.xml"), OutputType::Xml,
                          [](ExportSettings &, SourceTable &t) { t.fields[1].name.clear(); });
    const std::string text = test::readFile(dir.file("t.xml"));
    EXPECT_NE(text.find("<Field_Name></Field_Name>"), std::string::npos);
    EXPECT_NE(text.find("     <Field_2>ok</Field_2>\r\n"), std::string::npos) << text;
}

TEST(XmlDocument, ACancelledExportIsAWellFormedDocumentOfTheRecordsWritten) {
    test::TempDir dir;
    const std::string db = test::makeTable(dir.file("t.db"), {{"A", PxChar, 5}},
                                           {{Cell::text("1")}, {Cell::text("2")}, {Cell::text("3")}});
    for (bool rss : {false, true}) {
        ExportResult r = test::exportTable(db, dir.file("t.xml"), rss ? OutputType::Rss : OutputType::Xml, {},
                                           [](int position, int) { return position < 2; });
        EXPECT_TRUE(r.cancelled);
        const std::string text = test::readFile(dir.file("t.xml"));
        const std::string last = rss ? "<title>2</title>\r\n\r\n</item>\r\n </channel>\r\n </rss>"
                                     : "<A>2</A>\r\n\r\n   </Record>\r\n </Records>\r\n </Root>";
        EXPECT_EQ(text.substr(text.size() - last.size()), last);
    }
}

// A failed write goes through the driver as for every output type without failure code of its own
// (tests/app/command_line_test.cpp and tests/export/rtf/rtf_test.cpp check it); refusing /append is
// this writer's own.
TEST(XmlCommandLine, AppendingIsRefusedAndTheHelpNamesBothTypes) {
    test::TempDir dir;
    test::makeTable(dir.file("t.db"), {{"A", PxChar, 10}}, {{Cell::text("one")}, {Cell::text("two")}});
    // /append cannot add to a finished document: refused, the document left as it was; a new file is written.
    ASSERT_EQ(test::runQuorv(dir.path(), {"t.db", "t.xml"}).status, 0);
    const std::string before = test::readFile(dir.file("t.xml"));
    test::RunResult r = test::runQuorv(dir.path(), {"t.db", "t.xml", "/append"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot be added"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(dir.file("t.xml")), before);
    EXPECT_EQ(test::runQuorv(dir.path(), {"t.db", "new.xml", "/append"}).status, 0);
    EXPECT_EQ(test::readFile(dir.file("new.xml")), before);
    r = test::runQuorv(dir.path(), {"--help"});
    EXPECT_NE(r.out.find(".xml   XML files (*.xml)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(".xml   RSS files (*.xml) with /RSS2\n"), std::string::npos) << r.out;
}

// ---- read back by the independent readers ----------------------------------------------------------

// What the readers must get back from one file: field names, element names (empty: not checked) and
// records in UTF-8; for RSS each record holds title, link and description, `present` says which are written.
struct Expected {
    std::string kind, file, encoding; // kind "xml" or "rss"
    test::Cells names{{}}, tags{{}}, records{};
    std::vector<bool> present = {true, true, true};
};

std::string jsonString(const std::string &utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
        out += c < 0x20 ? std::string(buffer) : std::string(c == '"' || c == '\\' ? "\\" : "") + static_cast<char>(c);
    }
    return out + "\"";
}

std::string jsonList(const std::vector<std::string> &values, const std::vector<bool> *present = nullptr) {
    std::string out;
    for (size_t i = 0, v = 0; i < (present ? 3 : values.size()); ++i) {
        const bool written = !present || (*present)[i];
        out += (i ? "," : "") + (written ? jsonString(v < values.size() ? values[v] : "") : std::string("null"));
        v += written;
    }
    return "[" + out + "]";
}

// xmllint, ElementTree, lxml and feedparser on every file; what they found wrong, or empty.
std::string readBack(const std::vector<Expected> &documents, const test::TempDir &dir) {
    std::vector<std::string> args;
    for (const Expected &d : documents) {
        std::string json = "{\"encoding\":" + jsonString(d.encoding) + ",\"names\":" + jsonList(d.names[0]);
        if (!d.tags[0].empty())
            json += ",\"tags\":" + jsonList(d.tags[0]);
        json += ",\"records\":[";
        for (size_t r = 0; r < d.records.size(); ++r)
            json += (r ? "," : "") + jsonList(d.records[r], d.kind == "rss" ? &d.present : nullptr);
        args.insert(args.end(), {d.kind, d.file, dir.file("expected" + std::to_string(args.size()) + ".json")});
        test::writeFile(args.back(), json + "]}");
    }
    return test::readerFindings("xml", args);
}

std::vector<std::string> inCodePage(const std::vector<std::string> &texts, int codePage) {
    std::vector<std::string> out;
    for (const std::string &t : texts)
        out.push_back(platform::toUtf8(t, codePage));
    return out;
}

const std::vector<std::string> kXmlReaders = {"xmllint", "python3-lxml", "python3-feedparser"};

// Markup characters, quotes, names that are no XML names, control characters, line breaks in memos and
// Char values, every byte above 127; in two code pages as XML, as RSS, in UTF-8, with a column left out.
// In the same reader run: the files of a wildcard run of the quorv binary as RSS.
TEST(XmlReaders, HostileValuesAndNamesAndWildcardRunsComeBackExactly) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools(kXmlReaders));
    const std::vector<FieldSpec> fields = {
        {"Name", PxChar, 160},  {"Notes", PxMemoBlob, 60}, {"xmlData", PxChar, 40}, {"2nd Price", PxNumber},
        {"Unit/Price <&>", PxCurrency}, {"No# %", PxLong}, {"Gr\xF6\xDF" "e", PxChar, 20}, {" Lead", PxChar, 10},
        {"a:b", PxLogical}};
    const std::vector<std::string> tags = {"Name", "Notes", "_xmlData", "_2nd_Price", "Unit_Price____", "No___",
                                           "Gr\xF6\xDF" "e", "_Lead", "a_b"};
    const std::string high = test::everyHighByte();
    const std::vector<std::vector<Cell>> rows = {
        {Cell::text("A & B <c> \"d\" 'e' ]]> &amp;"), Cell::text("line one\r\nline two"), Cell::text("<xml/>"),
         Cell::real(1.5), Cell::real(-2.25), Cell::integer(7), Cell::text("Stra\xDF" "e"), Cell::text("  x  "),
         Cell::logical(true)},
        {Cell::text("  padded  "), Cell::text("  lead and trail  "), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(),
         Cell()},
        {Cell::text("ctl\x01\x07\x1F" "end"), Cell::text("page\x0C" "break <b>&</b>\r\nnext"), Cell::text("tab\there"),
         Cell::real(0), Cell::real(0.01), Cell::integer(-1), Cell::text("a\r\nb"), Cell::text("&"),
         Cell::logical(false)},
        {Cell::text(high), Cell::text(high), Cell::text("\x80\x81"), Cell(), Cell(), Cell(), Cell(), Cell(), Cell()}};
    const test::Cells values = { // the texts a reader must get back, in the table's code page
        {"A & B <c> \"d\" 'e' ]]> &amp;", "line one  line two", "<xml/>", "1.50", "-2.25", "7", "Stra\xDF" "e", "x",
         "1"},
        {"padded", "  lead and trail  ", "", "", "", "", "", "", ""},
        {"ctlend", "pagebreak <b>&</b>  next", "tab\there", "0.00", "0.01", "-1", "a\r\nb", "&", "0"},
        {high, high, "\x80\x81", "", "", "", "", "", ""}};
    const struct {
        const char *label;
        int codePage;
        OutputType type;
        bool rss, utf8;
        int excluded; // an output position left out
    } variants[] = {
        {"xml", 1252, OutputType::Xml, false, false, -1},     {"xml-utf8", 1252, OutputType::Xml, false, true, -1},
        {"rss", 1252, OutputType::Xml, true, false, -1},      {"rss-utf8", 1252, OutputType::Xml, true, true, -1},
        {"type13", 1252, OutputType::Rss, false, false, -1},  {"rss-no-link", 1252, OutputType::Xml, true, false, 1},
        {"xml-1251", 1251, OutputType::Xml, false, false, -1}, {"xml-no-notes", 1252, OutputType::Xml, false, false, 1},
    };
    test::TempDir dir;
    std::vector<Expected> documents;
    for (const auto &v : variants) {
        const std::string db = test::makeTable(dir.file(std::string(v.label) + ".db"), fields, rows, v.codePage);
        const bool rss = v.rss || v.type == OutputType::Rss;
        Expected d{rss ? "rss" : "xml", dir.file(std::string(v.label) + ".xml"),
                   v.utf8 ? "UTF-8" : "windows-" + std::to_string(v.codePage)};
        EXPECT_TRUE(test::exportTable(db, d.file, v.type, [&](ExportSettings &s, SourceTable &t) {
                        s.rssFormat = v.rss, s.utf8 = v.utf8;
                        if (v.excluded >= 0)
                            t.fieldExcluded[static_cast<size_t>(v.excluded)] = 1;
                    }).ok) << v.label;
        auto kept = [&](size_t f) { return static_cast<int>(f) != v.excluded && (!rss || f < 3); };
        for (size_t f = 0; f < fields.size(); ++f)
            if (kept(f)) {
                d.names[0].push_back(fields[f].name);
                d.tags[0].push_back(tags[f]);
            }
        for (const std::vector<std::string> &record : values) {
            d.records.emplace_back();
            for (size_t f = 0; f < record.size(); ++f)
                if (kept(f))
                    d.records.back().push_back(record[f]);
            d.records.back() = inCodePage(d.records.back(), v.codePage);
        }
        d.names[0] = inCodePage(d.names[0], v.codePage);
        d.tags[0] = inCodePage(d.tags[0], v.codePage);
        if (rss && v.excluded >= 0)
            d.present[static_cast<size_t>(v.excluded)] = false;
        documents.push_back(d);
    }

    std::filesystem::create_directory(dir.file("wild"));
    for (const char *name : {"one.db", "two.db"})
        test::makeTable(dir.file("wild/" + std::string(name)),
                        {{"T", PxChar, 10}, {"L", PxChar, 10}, {"D", PxChar, 10}, {"Extra", PxChar, 10}},
                        {{Cell::text("t&1"), Cell::text("l<1"), Cell::text("d>1"), Cell::text("x")}});
    std::filesystem::create_directory(dir.file("rss"));
    test::RunResult r = test::runQuorv(dir.path(), {"wild/*.db", "rss", "/TOxml", "/RSS2", "/COLUMNS:T,D,Extra"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char *name : {"rss/one.xml", "rss/two.xml"}) {
        Expected d{"rss", dir.file(name), "windows-1252"};
        d.records = {{"t&1", "d>1"}};
        d.present = {true, false, true};
        documents.push_back(d);
    }
    EXPECT_EQ(readBack(documents, dir), "");
}

// Every real table as XML, exported in process: the readers give back every name and value. RSS writes its
// values the same way; the hostile fixture above reads it back in every code page and variant.
TEST(XmlReaders, EveryRealTableComesBackExactly) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingCorpus());
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools(kXmlReaders));
    test::TempDir dir;
    std::vector<Expected> documents;
    // Memo line breaks become blanks, other values lose their blanks at the ends; control characters go.
    const test::Shown shown = [](std::string value, bool memo) {
        if (memo)
            std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        else
            value = test::trimBlanks(value);
        value.erase(std::remove_if(value.begin(), value.end(), [](char c) {
                        return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r';
                    }), value.end());
        return value;
    };
    for (const std::string &table : test::corpusTables()) {
        test::Cells cells;
        std::string error;
        if (!test::sourceCells(test::corpusPath(table), ExportSettings(), shown, cells, &error)) {
            std::printf("  not converted (does not open): %s: %s\n", table.c_str(), error.c_str());
            continue;
        }
        int codePage = 0;
        Expected d{"xml", dir.file(std::to_string(documents.size()) + ".xml"), ""};
        const test::Adjust adjust = [&](ExportSettings &, SourceTable &t) { codePage = t.ansiCodePage; };
        EXPECT_TRUE(test::exportTable(test::corpusPath(table), d.file, OutputType::Xml, adjust).ok) << table;
        d.encoding = "windows-" + std::to_string(codePage);
        d.names[0] = cells[0];
        d.records.assign(cells.begin() + 1, cells.end());
        documents.push_back(d);
    }
    std::printf("  %zu of %zu tables converted to XML\n", documents.size(), test::corpusTables().size());
    EXPECT_GE(documents.size(), 40u);
    EXPECT_EQ(readBack(documents, dir), "");
}

} // namespace
