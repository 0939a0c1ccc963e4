// RTF documents: the bytes the format fixes, hostile names and values and the real tables read back
// by unrtf and LibreOffice Writer, and failed runs that leave no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/excel/excel_readers.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;
using test::Cells;

namespace {

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

// The cells a table should give: the names, then the values (memo texts whole, other values without
// blanks at the ends, each CR and LF a blank).
Cells expectedCells(const std::string &path, const ExportSettings &settings) {
    Cells cells;
    std::string error;
    EXPECT_TRUE(test::sourceCells(path, settings, [](std::string v, bool memo) {
        v = memo ? v : test::trimBlanks(v);
        std::replace_if(v.begin(), v.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        return v;
    }, cells, &error)) << path << ": " << error;
    return cells;
}

// The cells as unrtf 0.21 gives them: a run of blanks as one blank, as HTML would; and an escaped
// backslash at the end of a text, with the line break that follows, read as the control word \par,
// which it shows as text.
Cells unrtfView(Cells cells) {
    for (auto &row : cells)
        for (std::string &text : row) {
            std::string single;
            for (char c : text)
                if (c != ' ' || single.empty() || single.back() != ' ')
                    single.push_back(c);
            text = single;
            if (!text.empty() && text.back() == '\\')
                text += "par ";
        }
    return cells;
}

// unrtf reads every document; what differs from the wanted cells.
void expectUnrtfReads(const std::vector<std::string> &files, const std::vector<Cells> &wanted) {
    std::vector<test::ReadDocument> read;
    std::string error;
    ASSERT_TRUE(test::readDocuments("rtf", files, read, &error)) << error;
    ASSERT_EQ(read.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(test::differences(read[i].texts(), unrtfView(wanted[i])), "") << "unrtf, " << files[i];
}

// LibreOffice Writer's plain text of each document (one run, its own profile) against the lines a table
// gives: one per cell, an empty line before each column name but the first (the header cells start a
// new paragraph), control characters other than TAB left out as Writer drops them.
void expectLibreOfficeReads(const std::vector<std::string> &files, const std::vector<Cells> &wanted,
                            const std::string &outDir) {
    std::string error;
    ASSERT_TRUE(test::libreOfficeConvert(files, "txt:Text (encoded):UTF8", outDir, &error)) << error;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string txt = outDir + "/" + std::filesystem::path(files[i]).stem().string() + ".txt";
        ASSERT_TRUE(test::fileExists(txt)) << "LibreOffice wrote no text for " << files[i];
        std::string text = test::readFile(txt);
        std::vector<std::string> got, want;
        for (const std::string &line : test::splitText(text.substr(text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0), '\n'))
            if (!line.empty() || !got.empty()) // Writer starts the first column name on a line of its own, or not
                got.push_back(line);
        for (size_t r = 0; r < wanted[i].size(); ++r)
            for (size_t k = 0; k < wanted[i][r].size(); ++k) {
                if (r == 0 && k > 0)
                    want.emplace_back();
                want.emplace_back();
                for (char c : wanted[i][r][k])
                    if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                        want.back().push_back(c);
            }
        while (got.size() > want.size() && got.back().empty())
            got.pop_back(); // the paragraph that ends the document
        EXPECT_EQ(test::differences({got}, {want}), "") << "LibreOffice, " << files[i];
    }
}

class Rtf : public ::testing::Test {
protected:
    std::string table(const std::string &name, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<Cell>> &rows, int codePage = 1252) {
        return test::makeTable(dir.file(name + ".db"), std::move(fields), rows, codePage);
    }
    // The result of an export in this process and the document it wrote.
    std::pair<ExportResult, std::string> run(const std::string &path, const test::Adjust &adjust = {}) {
        const std::string out = dir.file("out.rtf");
        ExportResult result = test::exportTable(path, out, OutputType::Rtf, adjust);
        std::string text = test::fileExists(out) ? test::readFile(out) : "";
        std::filesystem::remove(out);
        return {result, text};
    }
    test::RunResult quorv(const std::vector<std::string> &args, long fileSizeLimit = -1) {
        return test::runQuorv(dir.path(), args, fileSizeLimit);
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

const std::string kCellStart = "\r\n\\tcelld\\clvertalc\\cltxlrtb\\clbrdrb\\brdrs\\brdrw5\\brsp0\\brdrcf0\\cl"
                               "brdrl\\brdrs\\brdrw5\\brsp0\\brdrcf0"
                               "\\clbrdrr\\brdrs\\brdrw5\\brsp0\\brdrcf0\\clbrdrt\\brdrs\\brdrw5\\brsp0\\brdr"
                               "cf0\\clshdng0\\clcfpat0\\clcbpat3\\cellx";
const std::string kParagraph = "\\pard\\intbl\\qj\\fi0\\li0\\ri0\\sb0\\sa0\\sl0\\animtext0\\expndtw0\\kerning0"
                               "\\charscalex100\\f0\\fs20\\cf0\\b0\\caps0\\striked0\\i0\\outl0\\shad0\\scaps0\\strike0"
                               "\\ulnone ";

TEST_F(Rtf, EmptyTableIsPrologHeaderRowAndEnd) {
    auto [result, text] = run(table("two", {{"ID", PxLong}, {"NAME", PxChar, 10}}, {}));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(text, kProlog1252 + kCellStart + "4400\r\n\\par" + kParagraph + "ID\r\n\\cell " + kCellStart +
                          "8800\r\n\\par" + kParagraph + "NAME\r\n\\cell \r\n\\trgaph115\\row\\pard\r\n\\par}");
}

// The cells' right boundaries follow the exported columns; the values in them are read back by unrtf and
// LibreOffice (HostileNamesAndValuesComeBackIntact).
TEST_F(Rtf, RowBoundariesFollowTheExportedColumns) {
    const std::string path = table("three", {{"Id", PxLong}, {"Name", PxChar, 20}, {"Note", PxMemoBlob, 30}},
                                   {{Cell::integer(1), Cell::text("a"), Cell::text("memo")},
                                    {Cell::integer(2), Cell(), Cell()}});
    const std::vector<int> three = {4400, 8800, 13200}, two = {4400, 8800};
    for (bool excluded : {false, true}) {
        SCOPED_TRACE(excluded ? "the second column left out" : "all columns");
        auto [result, text] = run(path, [&](ExportSettings &, SourceTable &t) { t.fieldExcluded[1] = excluded; });
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(rowBoundaries(text), std::vector<std::vector<int>>(3, excluded ? two : three));
        // Header cells start a new paragraph, data cells do not.
        EXPECT_EQ(text.find("\r\n\\par\\pard", text.find("\\row")), std::string::npos);
    }
}

// The preamble of another code page names it and the font's charset (1252's is checked whole above); the
// values are read back in 1251 by unrtf and LibreOffice (HostileNamesAndValuesComeBackIntact).
TEST_F(Rtf, CodePageOfTheTableNamesTheDocumentsCodePage) {
    const std::pair<int, std::string> cases[] = {
        {1251, "\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fnil\\fcharset204\\cpg1251 "},
        {1250, "\\ansicpg1250\\deff0{\\fonttbl{\\f0\\fnil\\fcharset238\\cpg1250 "}};
    for (const auto &[codePage, prolog] : cases) {
        SCOPED_TRACE(codePage);
        auto [result, text] = run(table("cp" + std::to_string(codePage), {{"T", PxChar, 10}}, {{Cell::text("x")}},
                                        codePage));
        EXPECT_EQ(text.rfind("{\\rtf1\\ansi" + prolog, 0), 0u);
    }
}

// Hostile names and values in two code pages, read back by unrtf and LibreOffice Writer.
TEST_F(Rtf, HostileNamesAndValuesComeBackIntact) {
    const std::string everyHigh = test::everyHighByte();
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
        wanted.push_back(expectedCells(path, settings));
        ASSERT_EQ(wanted.back().size(), 4u);
    }

    if (const std::string missing = test::missingTools({"unrtf"}); !missing.empty())
        std::printf("  unrtf check left out: %s\n", missing.c_str());
    else
        expectUnrtfReads(files, wanted);
    if (test::sofficeProgram().empty())
        GTEST_SKIP() << "LibreOffice (libreoffice-writer-nogui) is not installed";
    expectLibreOfficeReads(files, wanted, dir.path());
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

// Every real table converted by the quorv binary: unrtf reads every cell of every document (a large
// one in parts of whole rows). LibreOffice Writer reads the hostile documents above.
TEST(RtfRealTables, EveryCellHoldsTheSourceValue) {
    QUORV_SKIP_UNLESS_EMPTY(test::missingCorpus());
    QUORV_SKIP_UNLESS_EMPTY(test::missingTools({"unrtf"}));
    test::TempDir dir;
    ExportSettings settings; // the C locale of the tests: month/day/year
    settings.dateOrder = '0';
    settings.dateSeparator = '/';
    std::vector<std::string> outputs;
    std::vector<Cells> wanted;
    size_t cells = 0;
    for (const std::string &table : test::corpusTables()) {
        const std::string out = dir.file(std::to_string(outputs.size()) + ".rtf");
        test::RunResult run = test::runQuorv(dir.path(), {test::corpusPath(table), out});
        if (!test::fileExists(out)) {
            std::printf("  not converted: %s (exit %d): %s", table.c_str(), run.status, run.err.c_str());
            continue;
        }
        outputs.push_back(out);
        wanted.push_back(expectedCells(test::corpusPath(table), settings));
        cells += wanted.back().size() * wanted.back()[0].size();
    }
    ASSERT_GE(outputs.size(), 40u);
    expectUnrtfReads(outputs, wanted);
    std::printf("  %zu documents, %zu cells read back by unrtf\n", outputs.size(), cells);
}

} // namespace
