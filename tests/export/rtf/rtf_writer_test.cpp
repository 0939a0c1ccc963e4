// RTF documents: the bytes the format fixes, hostile names and values read back by unrtf and
// LibreOffice Writer, and failed runs that leave no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "export/driver.h"
#include "export/excel/excel_readers.h"
#include "export/rtf/rtf_readers.h"
#include "fixture/fixtures.h"
#include "platform/codepage.h"
#include "source/filter.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

struct Document {
    ExportResult result;
    std::string text;
};

// The right boundaries of each row's cells, in document order.
std::vector<std::vector<int>> rowBoundaries(const std::string &text) {
    std::vector<std::vector<int>> rows;
    for (size_t at = 0; (at = text.find("\\", at)) != std::string::npos; ++at) {
        if (text.compare(at, 6, "\\trowd") == 0)
            rows.emplace_back();
        else if (text.compare(at, 6, "\\cellx") == 0 && !rows.empty())
            rows.back().push_back(std::stoi(text.substr(at + 6)));
    }
    return rows;
}

// The document text of each paragraph (what follows the character formatting), in order.
std::vector<std::string> paragraphs(const std::string &text) {
    std::vector<std::string> out;
    for (size_t at = 0; (at = text.find("\\ulnone ", at)) != std::string::npos;) {
        at += 8;
        out.push_back(text.substr(at, text.find("\r\n\\cell ", at) - at));
    }
    return out;
}

class Rtf : public ::testing::Test {
protected:
    std::string table(const std::string &name, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<Cell>> &rows, int codePage = 1252) {
        fixture::TableSpec tableLayout;
        tableLayout.fields = std::move(fields);
        tableLayout.codePage = codePage;
        std::string path = dir.file(name + ".db"), error;
        EXPECT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
        return path;
    }
    Document run(const std::string &path, const std::function<void(SourceTable &)> &adjust = {}) {
        Document doc;
        ExportSettings settings;
        settings.outputType = OutputType::Rtf;
        settings.outputPath = dir.file("out.rtf");
        settings.viewAfterExport = false;
        SourceTable source;
        source.path = path;
        std::string error;
        EXPECT_TRUE(openSourceTable(source, settings, &error)) << error;
        if (adjust)
            adjust(source);
        doc.result = runExport(source, settings);
        closeSourceTable(source);
        if (test::fileExists(settings.outputPath)) {
            doc.text = test::readFile(settings.outputPath);
            std::filesystem::remove(settings.outputPath);
        }
        return doc;
    }
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit);
    }
    test::TempDir dir;
};

const std::string kProlog1252 =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0\\cpg1252 Times New Roman}"
    "{\\f1\\fnil\\fcharset0\\cpg1252 Arial}}{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;"
    "\\red192\\green192\\blue192;\\red255\\green255\\blue255;}{\\*\\generator Quorvane;}\r\n{\\info}"
    "\\viewkind1\\viewscale100\\paperw12240\\paperh15840\\margl1800\\margr1800\\margt1440\\margb1440\\gutter0\r\n"
    "\\sectd\\sbknone\\pgwsxn12240\\pghsxn15840\\marglsxn1800\\margrsxn1800\\margtsxn1440\\margbsxn1440"
    "\\guttersxn0\\headery720\\footery720\r\n"
    "\\trowd\\trgaph115\\trql\\trleft0\\trrh0\\trpaddb20\\trpaddfb3\\trpaddl20\\trpaddfl3\\trpaddr20\\trpaddfr3"
    "\\trpaddt20\\trpaddft3";

const std::string kCellStart =
    "\r\n\\tcelld\\clvertalc\\cltxlrtb\\clbrdrb\\brdrs\\brdrw5\\brsp0\\brdrcf0\\clbrdrl\\brdrs\\brdrw5\\brsp0\\brdrcf0"
    "\\clbrdrr\\brdrs\\brdrw5\\brsp0\\brdrcf0\\clbrdrt\\brdrs\\brdrw5\\brsp0\\brdrcf0\\clshdng0\\clcfpat0\\clcbpat3\\cellx";
const std::string kParagraph = "\\pard\\intbl\\qj\\fi0\\li0\\ri0\\sb0\\sa0\\sl0\\animtext0\\expndtw0\\kerning0"
                               "\\charscalex100\\f0\\fs20\\cf0\\b0\\caps0\\striked0\\i0\\outl0\\shad0\\scaps0\\strike0"
                               "\\ulnone ";

TEST_F(Rtf, EmptyTableIsPrologHeaderRowAndEnd) {
    Document d = run(table("two", {{"ID", PxLong}, {"NAME", PxChar, 10}}, {}));
    ASSERT_TRUE(d.result.ok);
    EXPECT_EQ(d.text, kProlog1252 + kCellStart + "4400\r\n\\par" + kParagraph + "ID\r\n\\cell " + kCellStart +
                          "8800\r\n\\par" + kParagraph + "NAME\r\n\\cell \r\n\\trgaph115\\row\\pard\r\n\\par}");
}

TEST_F(Rtf, RowsBoundariesAndValues) {
    const std::vector<fixture::FieldSpec> fields = {{"Id", PxLong}, {"Name", PxChar, 20}, {"Note", PxMemoBlob, 30}};
    const std::string path = table("three", fields,
                                   {{Cell::integer(1), Cell::text("  two blanks"), Cell::text(" memo\r\nline")},
                                    {Cell::integer(2), Cell::text("a{b}c\\d"), Cell::text("x\ny\rz")},
                                    {Cell::integer(3), Cell::text("Caf\xE9 \x81"), Cell()}});
    struct Case {
        const char *what;
        std::function<void(SourceTable &)> adjust;
        std::vector<std::string> values; // every paragraph after the names
        std::vector<std::vector<int>> rows;
    };
    const std::vector<int> three = {4400, 8800, 13200};
    const Case cases[] = {
        {"all records",
         {},
         {"1", "two blanks", " memo  line", "2", "a\\{b\\}c\\\\d", "x y z", "3", "Caf\\'e9 \\u129\\'81", ""},
         {three, three, three, three}},
        {"a record the filter rejects has no row",
         [](SourceTable &t) { applyFilterFile(t, {{"Id", ">1"}}); },
         {"2", "a\\{b\\}c\\\\d", "x y z", "3", "Caf\\'e9 \\u129\\'81", ""},
         {three, three, three}},
        {"an excluded column",
         [](SourceTable &t) { t.fieldExcluded[1] = 1; },
         {"1", " memo  line", "2", "x y z", "3", ""},
         {{4400, 8800}, {4400, 8800}, {4400, 8800}, {4400, 8800}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Document d = run(path, c.adjust);
        ASSERT_TRUE(d.result.ok);
        EXPECT_EQ(rowBoundaries(d.text), c.rows);
        std::vector<std::string> texts = paragraphs(d.text);
        const size_t names = c.rows[0].size();
        ASSERT_GE(texts.size(), names);
        EXPECT_EQ(std::vector<std::string>(texts.begin() + static_cast<long>(names), texts.end()), c.values);
        // Header cells start a new paragraph, data cells do not.
        EXPECT_EQ(d.text.find("\r\n\\par\\pard", d.text.find("\\row")), std::string::npos);
    }
}

TEST_F(Rtf, CodePageOfTheTableNamesTheDocumentsCodePage) {
    struct Case {
        int codePage;
        std::string text, prolog, fontCharset, written;
    };
    const Case cases[] = {
        {1252, "\xE9\x80\x81", "\\ansicpg1252", "\\fcharset0\\cpg1252 ", "\\'e9\\'80\\u129\\'81"},
        {1251, "\xC0\xFF\x98", "\\ansicpg1251", "\\fcharset204\\cpg1251 ", "\\'c0\\'ff\\u152\\'98"},
        {1250, "\x8A\xE8\x83", "\\ansicpg1250", "\\fcharset238\\cpg1250 ", "\\'8a\\'e8\\u131\\'83"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.codePage);
        Document d = run(table("cp" + std::to_string(c.codePage), {{"T", PxChar, 10}}, {{Cell::text(c.text)}},
                               c.codePage));
        EXPECT_EQ(d.text.rfind("{\\rtf1\\ansi" + c.prolog + "\\deff0{\\fonttbl{\\f0\\fnil" + c.fontCharset, 0), 0u);
        EXPECT_EQ(paragraphs(d.text).back(), c.written);
    }
}

// Hostile names and values in two code pages, read back by unrtf and LibreOffice Writer.
TEST_F(Rtf, HostileNamesAndValuesComeBackIntact) {
    std::string everyHigh;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyHigh.push_back(static_cast<char>(b));
    const std::string markup = "& < > \" ' \\ { } ; \\'41 \\u66 \\par &amp; <td>";
    const std::string memo = fixture::fillText(32 * 1024 - 40) + "\r\n" + markup + "\r\nend";
    struct Variant {
        int codePage;
        std::string nameBytes, valueBytes;
    };
    const Variant variants[] = {{1252, "Caf\xE9\x81", "cr\xE8me \x80 \x8D\x8F\x90\x9D"},
                                {1251, "\xC8\xEC\xFF\x98", "\xCF\xF0\xE8\xE2\xE5\xF2 \x98 \xA8\xB8"}};
    std::vector<std::string> files;
    std::vector<test::Cells> wanted;
    ExportSettings settings;
    for (const Variant &v : variants) {
        const std::string path =
            table("hostile" + std::to_string(v.codePage),
                  {{"A&B<C>\"D'E", PxChar, 255},
                   {"\\{x};" + v.nameBytes, PxChar, 255},
                   {"Memo \\par}", PxMemoBlob, 40},
                   {" lead\tTab", PxChar, 20}},
                  {{Cell::text(markup), Cell::text(everyHigh), Cell::text(memo), Cell::text("\t tab")},
                   {Cell::text("line1\r\nline2\rline3\nline4"), Cell::text(v.valueBytes), Cell::text(markup),
                    Cell::text("   ")},
                   {Cell::text(" {\\rtf1 nested}"), Cell(), Cell::text("\r\n"), Cell::text("}}}")}},
                  v.codePage);
        const std::string out = dir.file("hostile" + std::to_string(v.codePage) + ".rtf");
        test::RunResult r = quorv({path, out});
        ASSERT_EQ(r.status, 0) << r.err;
        files.push_back(out);
        wanted.push_back(test::expectedCells(path, settings));
        ASSERT_EQ(wanted.back().size(), 4u);
        EXPECT_EQ(wanted.back()[2][1], platform::toUtf8(v.valueBytes, v.codePage)) << "the expectation itself";
    }

    if (std::string missing = test::missingUnrtf(); !missing.empty()) {
        std::printf("  unrtf check left out: %s is missing\n", missing.c_str());
    } else {
        std::map<std::string, test::Cells> read;
        std::string error;
        ASSERT_TRUE(test::readWithUnrtf(files, read, &error)) << error;
        for (size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(test::differences(read[files[i]], test::unrtfView(wanted[i])), "") << "unrtf, " << files[i];
    }

    if (test::sofficeProgram().empty()) {
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) is not installed";
    }
    std::map<std::string, std::vector<std::string>> lines;
    std::string error;
    ASSERT_TRUE(test::readWithLibreOffice(files, dir.file(""), lines, &error)) << error;
    for (size_t i = 0; i < files.size(); ++i) {
        std::vector<std::string> got = lines[files[i]];
        const std::vector<std::string> want = test::libreOfficeLines(wanted[i]);
        while (got.size() > want.size() && got.back().empty())
            got.pop_back(); // the paragraph that ends the document
        EXPECT_EQ(test::differences({got}, {want}), "") << "LibreOffice, " << files[i];
    }
    // A rendering for people to look at.
    EXPECT_TRUE(test::libreOfficeConvert({files[1]}, "pdf:writer_pdf_Export", QUORV_TEST_OUTPUT_DIR, &error)) << error;
    std::printf("  rendering: %s/hostile1251.pdf\n", QUORV_TEST_OUTPUT_DIR);
}

TEST_F(Rtf, FailedRunsLeaveNoFile) {
    table("t", {{"Text", PxChar, 200}, {"Note", PxMemoBlob, 20}},
          std::vector<std::vector<Cell>>(2000, {Cell::text(std::string(190, 'x')), Cell::text("memo")}));
    struct Case {
        const char *what;
        std::vector<std::string> args;
        long fileSizeLimit;
        std::string message, leftOver;
    };
    const Case cases[] = {
        {"a folder that does not exist", {"t.db", "nowhere/t.rtf"}, -1, "No such file or directory",
         "nowhere/t.rtf"},
        {"a full disk", {"t.db", "t.rtf"}, 100 * 1024, "File too large", "t.rtf"},
        {"a full disk in a batch", {"*.db", "batch", "/TOrtf"}, 100 * 1024, "File too large", "batch/t.rtf"},
    };
    std::filesystem::create_directory(dir.file("batch"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::RunResult r = quorv(c.args, c.fileSizeLimit);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.leftOver), std::string::npos) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file(c.leftOver)));
    }
    // /append cannot add to a finished document: the document is written anew.
    test::writeFile(dir.file("old.rtf"), "{\\rtf1 old}");
    ASSERT_EQ(quorv({"t.db", "old.rtf", "/append"}).status, 0);
    const std::string text = test::readFile(dir.file("old.rtf"));
    EXPECT_EQ(text.rfind("{\\rtf1\\ansi\\ansicpg1252", 0), 0u);
    EXPECT_EQ(rowBoundaries(text).size(), 2001u);
}

} // namespace
