// XML and RSS exports read back by independent readers: xmllint, ElementTree, lxml and feedparser
// must accept every file and give back every value and the real field names.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/codepage.h"
#include "source/format.h"
#include "support/test_support.h"
#include "xml_test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

std::string everyHighByte() {
    std::string s;
    for (int b = 0x80; b <= 0xFF; ++b)
        s.push_back(static_cast<char>(b));
    return s;
}

// A table named after what it breaks: markup characters, quotes, names that are no XML names,
// control characters, line breaks in memos and Char values, every byte above 127.
struct Hostile {
    std::vector<fixture::FieldSpec> fields = {
        {"Name", PxChar, 160},  {"Notes", PxMemoBlob, 60}, {"xmlData", PxChar, 40}, {"2nd Price", PxNumber},
        {"Unit/Price", PxCurrency}, {"No# %", PxLong}, {"Gr\xF6\xDF" "e", PxChar, 20}, {" Lead", PxChar, 10},
        {"a:b", PxLogical},
    };
    std::vector<std::string> tags = {"Name", "Notes", "_xmlData", "_2nd_Price", "Unit_Price", "No___",
                                     "Gr\xF6\xDF" "e", "_Lead", "a_b"};
    // Source rows and, per value, the text a reader must get back (in the table's code page).
    std::vector<std::vector<Cell>> rows = {
        {Cell::text("A & B <c> \"d\" 'e' ]]> &amp;"), Cell::text("line one\r\nline two"), Cell::text("<xml/>"),
         Cell::real(1.5), Cell::real(-2.25), Cell::integer(7), Cell::text("Stra\xDF" "e"), Cell::text("  x  "),
         Cell::logical(true)},
        {Cell::text("  padded  "), Cell::text("  lead and trail  "), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(),
         Cell()},
        {Cell::text("ctl\x01\x07\x1F" "end"), Cell::text("page\x0C" "break <b>&</b>\r\nnext"),
         Cell::text("tab\there"), Cell::real(0), Cell::real(0.01), Cell::integer(-1), Cell::text("a\r\nb"),
         Cell::text("&"), Cell::logical(false)},
        {Cell::text(everyHighByte()), Cell::text(everyHighByte()), Cell::text("\x80\x81"), Cell(), Cell(), Cell(),
         Cell(), Cell(), Cell()},
    };
    std::vector<std::vector<std::string>> values = {
        {"A & B <c> \"d\" 'e' ]]> &amp;", "line one  line two", "<xml/>", "1.50", "-2.25", "7", "Stra\xDF" "e", "x",
         "1"},
        {"padded", "  lead and trail  ", "", "", "", "", "", "", ""},
        {"ctlend", "pagebreak <b>&</b>  next", "tab\there", "0.00", "0.01", "-1", "a\r\nb", "&", "0"},
        {everyHighByte(), everyHighByte(), "\x80\x81", "", "", "", "", "", ""},
    };
};

std::vector<std::string> toUtf8(const std::vector<std::string> &texts, int codePage) {
    std::vector<std::string> out;
    for (const std::string &t : texts)
        out.push_back(platform::toUtf8(t, codePage));
    return out;
}

struct Variant {
    const char *label;
    int codePage;
    OutputType type;
    bool rss, utf8;
    int excluded = -1; // an output position left out
};

TEST(XmlReaders, HostileValuesAndNamesComeBackExactly) {
    if (std::string missing = test::missingXmlReaders(); !missing.empty())
        GTEST_SKIP() << "the independent readers are missing: " << missing;
    const Variant variants[] = {
        {"xml", 1252, OutputType::Xml, false, false},     {"xml-utf8", 1252, OutputType::Xml, false, true},
        {"rss", 1252, OutputType::Xml, true, false},      {"rss-utf8", 1252, OutputType::Xml, true, true},
        {"type13", 1252, OutputType::Rss, false, false},  {"rss-no-link", 1252, OutputType::Xml, true, false, 1},
        {"xml-1251", 1251, OutputType::Xml, false, false}, {"rss-1251", 1251, OutputType::Xml, true, false},
        {"xml-1251-utf8", 1251, OutputType::Xml, false, true}, {"xml-no-notes", 1252, OutputType::Xml, false, false, 1},
    };
    const Hostile h;
    test::TempDir dir;
    std::vector<test::ExpectedDocument> documents;
    for (const Variant &v : variants) {
        const std::string db = test::makeTable(dir.file(std::string(v.label) + ".db"), h.fields, h.rows, v.codePage);
        test::ExpectedDocument d;
        d.file = dir.file(std::string(v.label) + ".xml");
        const bool rss = v.rss || v.type == OutputType::Rss;
        d.kind = rss ? "rss" : "xml";
        d.encoding = v.utf8 ? "UTF-8" : "windows-" + std::to_string(v.codePage);
        ExportResult r = test::exportTable(db, d.file, v.type, [&](ExportSettings &s, SourceTable &t) {
            s.rssFormat = v.rss, s.utf8 = v.utf8;
            if (v.excluded >= 0)
                t.fieldExcluded[static_cast<size_t>(v.excluded)] = 1;
        });
        EXPECT_TRUE(r.ok) << v.label;
        for (size_t f = 0; f < h.fields.size(); ++f) {
            if (static_cast<int>(f) == v.excluded || (rss && f >= 3))
                continue;
            d.names.push_back(platform::toUtf8(h.fields[f].name, v.codePage));
            d.tags.push_back(platform::toUtf8(h.tags[f], v.codePage));
        }
        for (const std::vector<std::string> &values : h.values) {
            std::vector<std::string> kept;
            for (size_t f = 0; f < values.size(); ++f)
                if (static_cast<int>(f) != v.excluded && (!rss || f < 3))
                    kept.push_back(values[f]);
            d.records.push_back(toUtf8(kept, v.codePage));
        }
        if (rss && v.excluded >= 0)
            d.present[static_cast<size_t>(v.excluded)] = false;
        documents.push_back(d);
    }
    EXPECT_EQ(test::readBack(documents, dir.path()), "");
}

TEST(XmlReaders, WildcardRunsWriteXmlAndRss) {
    if (std::string missing = test::missingXmlReaders(); !missing.empty())
        GTEST_SKIP() << "the independent readers are missing: " << missing;
    test::TempDir dir;
    const std::vector<fixture::FieldSpec> fields = {{"T", PxChar, 10}, {"L", PxChar, 10}, {"D", PxChar, 10},
                                                    {"Extra", PxChar, 10}};
    const std::vector<std::vector<Cell>> rows = {{Cell::text("t&1"), Cell::text("l<1"), Cell::text("d>1"),
                                                  Cell::text("x")}};
    test::makeTable(dir.file("one.db"), fields, rows);
    test::makeTable(dir.file("two.db"), fields, rows);
    std::vector<test::ExpectedDocument> documents;
    for (const char *rss : {"", "/RSS2"}) {
        const std::string out = dir.file(*rss ? "rss" : "xml");
        std::filesystem::create_directory(out);
        test::RunResult r = test::runProgram({test::quorvBinary(), dir.file("*.db"), out, "/TOxml", rss, "/COLUMNS:T,D,Extra"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const char *name : {"/one.xml", "/two.xml"}) {
            test::ExpectedDocument d;
            d.kind = *rss ? "rss" : "xml";
            d.file = out + name;
            d.encoding = "windows-1252";
            d.names = *rss ? std::vector<std::string>{} : std::vector<std::string>{"T", "D", "Extra"};
            d.records = {*rss ? std::vector<std::string>{"t&1", "d>1"} : std::vector<std::string>{"t&1", "d>1", "x"}};
            d.present = {true, false, true};
            documents.push_back(d);
        }
    }
    EXPECT_EQ(test::readBack(documents, dir.path()), "");
}

// The text a reader must get back for one field of the record in the table's buffer.
std::string wantedValue(SourceTable &table, const ExportSettings &settings, int field) {
    std::string value;
    formatFieldValue(value, table, settings, table.recordBuffer.data(), field);
    const uint8_t type = table.fields[static_cast<size_t>(field)].type;
    if (type == PxMemoBlob || type == PxFmtMemoBlob) {
        std::replace(value.begin(), value.end(), '\r', ' ');
        std::replace(value.begin(), value.end(), '\n', ' ');
    } else {
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of(' ') + 1);
    }
    value.erase(std::remove_if(value.begin(), value.end(),
                               [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r'; }),
                value.end());
    return platform::toUtf8(value, table.ansiCodePage);
}

TEST(XmlReaders, EveryRealTableComesBackExactly) {
    const std::vector<std::string> tables = test::corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "the real tables are not here: ../shared/testdata/paradox is absent";
    if (std::string missing = test::missingXmlReaders(); !missing.empty())
        GTEST_SKIP() << "the independent readers are missing: " << missing;
    test::TempDir dir;
    std::vector<test::ExpectedDocument> documents;
    int converted = 0;
    for (size_t t = 0; t < tables.size(); ++t) {
        for (bool rss : {false, true}) {
            ExportSettings settings;
            SourceTable table;
            table.path = test::corpusPath(tables[t]);
            std::string error;
            if (!openSourceTable(table, settings, &error)) {
                if (!rss)
                    std::printf("  not converted (does not open): %s: %s\n", tables[t].c_str(), error.c_str());
                continue;
            }
            test::ExpectedDocument d;
            d.kind = rss ? "rss" : "xml";
            d.file = dir.file(std::to_string(t) + (rss ? ".rss.xml" : ".xml"));
            d.encoding = "windows-" + std::to_string(table.ansiCodePage);
            const int columns = rss ? std::min(table.fieldCount, 3) : table.fieldCount;
            for (int f = 0; f < columns && !rss; ++f)
                d.names.push_back(platform::toUtf8(fieldName(table, f), table.ansiCodePage));
            for (int r = 0; r < table.recordCount; ++r) {
                if (!readRecord(table, r))
                    continue;
                std::vector<std::string> values;
                for (int f = 0; f < columns; ++f)
                    values.push_back(wantedValue(table, settings, f));
                d.records.push_back(values);
            }
            for (int f = columns; f < 3; ++f)
                d.present[static_cast<size_t>(f)] = false;
            settings.outputType = OutputType::Xml;
            settings.rssFormat = rss;
            settings.outputPath = d.file;
            settings.viewAfterExport = false;
            runExport(table, settings);
            closeSourceTable(table);
            documents.push_back(d);
            converted += rss ? 0 : 1;
        }
    }
    std::printf("  %d of %zu tables converted to XML and RSS\n", converted, tables.size());
    EXPECT_GE(converted, 40);
    EXPECT_EQ(test::readBack(documents, dir.path()), "");
}

} // namespace
