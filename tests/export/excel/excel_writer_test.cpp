// Excel workbooks written by the real quorv binary, opened by the programs people use to read them:
// openpyxl (.xlsx), xlrd (.xls) and LibreOffice (both). The tests run in the C locale, whose dates are
// month/day/year.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "export/excel/excel_readers.h"
#include "export/excel/excel_writer.h"
#include "fixture/fixtures.h"
#include "fixture/paradox_builder.h"
#include "source/paradox_table.h"
#include "support/csv_reader.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;
using test::XlBook;
using test::XlCell;
using test::XlSheet;

namespace fs = std::filesystem;

namespace {

// The kinds table: one field of each kind of cell, and the values at the edges of each.
//   Id  Name               Born        Qty     Amount    Ratio          Paid  Notes               At                   Clock         Code    Raw    Pic
//   1   Renée              1980-05-01  7       2.5       0.125          T     line1 CR LF line2   2024-03-07 13:04:05  10:05:03.500  12.50   bytes  bytes
//   2   (every other field empty)
//   3   _x0041_ TAB here   1899-12-31  0       0         +infinity      F     40000 characters    ...
//   4   "  padded  "       1900-03-01  -32767  -1234.56  6.02214076e23  T     a \x01 b
//   5   € 5                9999-12-31  32767   0.01      -0.5           F     (empty)
//   6   (empty)            10000-01-01 (a day count past 9999), the rest empty
const std::string kLongMemo = fixture::fillText(40000);

void writeKinds(const std::string &path) {
    fixture::TableSpec tableLayout;
    tableLayout.fields = {{"Id", PxAutoInc},        {"Name", PxChar, 30},    {"Born", PxDate},
                   {"Qty", PxShort},         {"Amount", PxCurrency},  {"Ratio", PxNumber},
                   {"Paid", PxLogical},      {"Notes", PxMemoBlob, 30}, {"At", PxTimestamp},
                   {"Clock", PxTime},        {"Code", PxBcd, 17, 2},  {"Raw", PxBytes, 4},
                   {"Pic", PxGraphic, 12}};
    const int64_t day10000 = fixture::paradoxDayNumber(9999, 12, 31) + 1;
    std::vector<std::vector<Cell>> rows = {
        {Cell::integer(1), Cell::text("Ren\xE9" "e"), Cell::date(1980, 5, 1), Cell::integer(7), Cell::real(2.5),
         Cell::real(0.125), Cell::logical(true), Cell::text("line1\r\nline2"), Cell::timestamp(2024, 3, 7, 13, 4, 5),
         Cell::time(10, 5, 3, 500), Cell::bcd("12.50"), Cell::bytes("\x01\x02\x03\x04"), Cell::bytes("GIF89a")},
        {Cell::integer(2), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(),
         Cell()},
        {Cell::integer(3), Cell::text("_x0041_ tab\there"), Cell::date(1899, 12, 31), Cell::integer(0), Cell::real(0),
         Cell::real(INFINITY), Cell::logical(false), Cell::text(kLongMemo), Cell(), Cell(), Cell(), Cell(), Cell()},
        {Cell::integer(4), Cell::text("  padded  "), Cell::date(1900, 3, 1), Cell::integer(-32767),
         Cell::real(-1234.56), Cell::real(6.02214076e23), Cell::logical(true), Cell::text("a\x01" "b"), Cell(), Cell(),
         Cell(), Cell(), Cell()},
        {Cell::integer(5), Cell::text("\x80 5"), Cell::date(9999, 12, 31), Cell::integer(32767), Cell::real(0.01),
         Cell::real(-0.5), Cell::logical(false), Cell(), Cell(), Cell(), Cell(), Cell(), Cell()},
        {Cell::integer(6), Cell(), Cell::integer(day10000), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(), Cell(),
         Cell(), Cell(), Cell()},
    };
    std::string error;
    ASSERT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
}

const std::vector<std::string> kKindsHeader = {"Id",  "Name", "Born",  "Qty",  "Amount", "Ratio", "Paid",
                                               "Notes", "At", "Clock", "Code", "Raw",    "Pic"};

// Every cell of the kinds table below its header, as both readers must see it ('-' for no cell).
struct Expected {
    int row, col;
    char kind;
    std::string value;
};
std::vector<Expected> kindsCells() {
    std::vector<Expected> e = {
        {1, 0, 'n', "1.0"}, {1, 1, 's', "Ren\u00e9e"}, {1, 2, 'd', "1980-05-01"}, {1, 3, 'n', "7.0"},
        {1, 4, 'n', "2.5"}, {1, 5, 'n', "0.125"}, {1, 6, 'b', "1"}, {1, 7, 's', "line1\r\nline2"},
        {1, 8, 's', "03/07/2024 13:04:05"}, {1, 9, 's', "10:05:03.500"}, {1, 10, 's', "12.50"}, {1, 12, 's', "memo"},
        {2, 0, 'n', "2.0"}, {2, 12, 's', "memo"},
        {3, 0, 'n', "3.0"}, {3, 1, 's', "_x0041_ tab\there"}, {3, 2, 's', "1899-12-31"}, {3, 3, 'n', "0.0"},
        {3, 4, 'n', "0.0"}, {3, 5, 's', "inf"}, {3, 6, 'b', "0"}, {3, 7, 's', kLongMemo.substr(0, 32767)},
        {3, 12, 's', "memo"},
        {4, 0, 'n', "4.0"}, {4, 1, 's', "  padded"}, {4, 2, 'd', "1900-03-01"}, {4, 3, 'n', "-32767.0"},
        {4, 4, 'n', "-1234.56"}, {4, 5, 'n', "6.02214076e+23"}, {4, 6, 'b', "1"}, {4, 7, 's', "a\x01" "b"},
        {4, 12, 's', "memo"},
        {5, 0, 'n', "5.0"}, {5, 1, 's', "\u20ac 5"}, {5, 2, 'd', "9999-12-31"}, {5, 3, 'n', "32767.0"},
        {5, 4, 'n', "0.01"}, {5, 5, 'n', "-0.5"}, {5, 6, 'b', "0"}, {5, 12, 's', "memo"},
        {6, 0, 'n', "6.0"}, {6, 2, 's', "10000-01-01"}, {6, 12, 's', "memo"},
    };
    for (size_t c = 0; c < kKindsHeader.size(); ++c)
        e.push_back({0, static_cast<int>(c), 's', kKindsHeader[c]});
    return e;
}

class ExcelOutput : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string missing = test::missingExcelReaders();
        if (!missing.empty())
            GTEST_SKIP() << "the independent readers are missing: " << missing;
    }
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit);
    }
    std::map<std::string, XlBook> read(const std::vector<std::string> &names, bool summary = false) {
        std::vector<std::string> paths;
        for (const std::string &n : names)
            paths.push_back(dir.file(n));
        std::map<std::string, XlBook> raw, books;
        std::string error;
        if (!test::readWorkbooks(paths, summary, raw, &error))
            ADD_FAILURE() << error;
        for (auto &[path, book] : raw)
            books[fs::path(path).filename().string()] = std::move(book);
        return books;
    }
    // Files in the folder besides the given ones (temporary files left behind, parts that should not be).
    std::vector<std::string> filesBesides(const std::vector<std::string> &expected) {
        std::vector<std::string> extra;
        for (const auto &entry : fs::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end())
                extra.push_back(name);
        }
        return extra;
    }
    test::TempDir dir;
};

// In a book that counts dates from 1904 (date1904), dates before 1904 are texts too. An appended sheet
// has the name the book gave it (name).
void expectKinds(const XlSheet &sheet, const std::string &file, bool date1904 = false,
                 const std::string &name = "kinds") {
    SCOPED_TRACE(file);
    EXPECT_EQ(sheet.name, name);
    EXPECT_EQ(sheet.frozen, "A2") << "the first row is frozen";
    EXPECT_EQ(sheet.rows, 7);
    // Date columns are 11 characters wide as Excel's dialog counts them; files store the width with
    // the cell padding, 11.7109375 (libxlsxwriter's and Excel's own value for 11).
    ASSERT_EQ(sheet.widths.size(), 1u) << "only the date column has a width";
    EXPECT_EQ(sheet.widths.begin()->first, 2);
    EXPECT_DOUBLE_EQ(sheet.widths.begin()->second, 11.7109375);
    auto expected = kindsCells();
    for (Expected &e : expected)
        if (date1904 && e.kind == 'd' && e.value < "1904")
            e.kind = 's';
    for (const Expected &e : expected) {
        auto it = sheet.cells.find({e.row, e.col});
        if (it == sheet.cells.end()) {
            ADD_FAILURE() << "no cell at row " << e.row << ", column " << e.col;
            continue;
        }
        EXPECT_EQ(it->second.kind, e.kind) << "row " << e.row << ", column " << e.col;
        if (e.kind == 'n')
            EXPECT_EQ(std::stod(it->second.value), std::stod(e.value)) << "row " << e.row << ", column " << e.col;
        else
            EXPECT_EQ(it->second.value, e.value) << "row " << e.row << ", column " << e.col;
        if (e.kind == 'd') {
            EXPECT_TRUE(it->second.format == "mm-dd-yy" || it->second.format == "14")
                << "built-in date format 14, got " << it->second.format;
        }
        if (e.kind == 'n') {
            EXPECT_TRUE(it->second.format == "General" || it->second.format == "0") << it->second.format;
        }
    }
    EXPECT_EQ(sheet.cells.size(), expected.size()) << "empty values give no cell";
}

TEST_F(ExcelOutput, EveryKindOfValueBecomesItsCellInBothFormats) {
    writeKinds(dir.file("kinds.db"));
    for (const char *out : {"kinds.xlsx", "kinds.xls"}) {
        test::RunResult r = quorv({"kinds.db", out});
        EXPECT_EQ(r.status, 0) << r.err;
        // The memo longer than a cell is cut and reported once.
        EXPECT_NE(r.err.find("\"Notes\" is longer than the 32767 characters"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.rfind('\n')) << "one line: " << r.err;
    }
    auto books = read({"kinds.xlsx", "kinds.xls"});
    for (const char *out : {"kinds.xlsx", "kinds.xls"}) {
        ASSERT_EQ(books[out].size(), 1u) << out;
        expectKinds(books[out][0], out);
    }
    EXPECT_TRUE(filesBesides({"kinds.db", "kinds.mb", "kinds.xls", "kinds.xlsx"}).empty());
    EXPECT_EQ(fs::status(dir.file("kinds.xlsx")).permissions() & fs::perms::others_read, fs::perms::others_read)
        << "an ordinary file, not the temporary file's owner-only mode";
}

// The kinds table, with its memos in the .mb, through LibreOffice: it opens both files and shows the
// values a person sees.
TEST_F(ExcelOutput, LibreOfficeOpensTheFilesAndShowsTheValues) {
    if (test::sofficeProgram().empty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed";
    writeKinds(dir.file("kinds.db"));
    std::string error;
    std::vector<std::string> files;
    for (const char *ext : {"xlsx", "xls"}) {
        const std::string out = std::string("kinds-") + ext + "." + ext;
        test::RunResult r = quorv({"kinds.db", out});
        ASSERT_NE(r.status, 2) << r.err;
        files.push_back(dir.file(out));
    }
    const std::string csvDir = dir.file("csv");
    fs::create_directories(csvDir);
    ASSERT_TRUE(test::libreOfficeToCsv(files, csvDir, &error)) << error;

    for (const char *ext : {"xlsx", "xls"}) {
        SCOPED_TRACE(ext);
        test::CsvRows rows;
        ASSERT_TRUE(test::readCsvWithPython(csvDir + "/kinds-" + ext + "-kinds.csv", ',', '"', true, rows, &error))
            << error;
        ASSERT_EQ(rows.size(), 7u);
        ASSERT_EQ(rows[0], kKindsHeader);
        // Booleans: LibreOffice shows TRUE/FALSE for .xlsx, and 1/0 for .xls booleans in the General
        // format (its own .xls files do the same).
        const std::string yes = std::string(ext) == "xlsx" ? "TRUE" : "1";
        const std::string no = std::string(ext) == "xlsx" ? "FALSE" : "0";
        EXPECT_EQ(rows[1], (std::vector<std::string>{"1", "Ren\u00e9e", "05/01/1980", "7", "2.5", "0.125", yes,
                                                     "line1\nline2", "03/07/2024 13:04:05", "10:05:03.500", "12.50",
                                                     "", "memo"}));
        EXPECT_EQ(rows[2], (std::vector<std::string>{"2", "", "", "", "", "", "", "", "", "", "", "", "memo"}));
        EXPECT_EQ(rows[3][1], "_x0041_ tab\there") << "a text that looks like an escape stays as written";
        EXPECT_EQ(rows[3][2], "1899-12-31");
        EXPECT_EQ(rows[3][5], "inf");
        EXPECT_EQ(rows[3][6], no);
        EXPECT_EQ(rows[3][7].size(), 32767u);
        EXPECT_EQ(rows[4][2], "03/01/1900") << "the day after Excel's 29 February 1900";
        EXPECT_EQ(rows[4][1], "  padded");
        EXPECT_EQ(rows[5][2], "12/31/9999");
        EXPECT_EQ(rows[5][1], "\u20ac 5");
        EXPECT_EQ(rows[6][2], "10000-01-01");
    }
}

// A filtered, sorted export of some columns, from a table whose name is no valid sheet name; and a
// table name longer than a sheet name. Rows, columns and sheet names are chosen before the book is
// written, the same way for both formats: .xls stands for both. (Its book of three columns is small
// enough to have its Workbook stream padded to the 4096 bytes of a regular stream.)
TEST_F(ExcelOutput, FilteredRowsColumnsAndSheetNamesFromOddTableNames) {
    writeKinds(dir.file("kinds.db"));
    const std::string odd = "my[data]:v2.part.db", longName = std::string(40, 'L') + ".db";
    fs::copy_file(dir.file("kinds.db"), dir.file(odd));
    fs::copy_file(dir.file("kinds.db"), dir.file(longName));
    test::writeFile(dir.file("filter.txt"), "Name:!empty()\n");
    test::RunResult r =
        quorv({odd, odd + ".xls", "/FILTER:filter.txt", "/COLUMNS:Paid,Born,Id", "/SORTBY:Id", "/DESC"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = quorv({longName, longName + ".xls"});
    EXPECT_EQ(r.status, 0) << r.err;
    auto books = read({odd + ".xls", longName + ".xls"});
    EXPECT_EQ(books[longName + ".xls"].at(0).name, std::string(31, 'L'));
    ASSERT_EQ(books[odd + ".xls"].size(), 1u);
    const XlSheet &s = books[odd + ".xls"][0];
    EXPECT_EQ(s.name, "my_data__v2");
    EXPECT_EQ(s.rows, 5) << "records 5, 4, 3, 1 (2 and 6 have no Name)";
    // The columns in table order: Id, Born, Paid.
    EXPECT_EQ(s.cells.at({0, 0}).value, "Id");
    EXPECT_EQ(s.cells.at({0, 1}).value, "Born");
    EXPECT_EQ(s.cells.at({0, 2}).value, "Paid");
    // Which records and in what order is the driver's, checked in tests/app/command_line_test.cpp.
    EXPECT_EQ(s.cells.size(), 3u + 4 * 3);
    EXPECT_EQ(s.widths.size(), 1u);
    EXPECT_EQ(s.widths.count(1), 1u) << "the date column is now the second";
}

// 100,000 records to .xls give out_0.xls with 65534 records and out.xls with the other 34466 in
// "Sheet1"; exactly 65534 kept records give one workbook.
TEST_F(ExcelOutput, XlsSplitsEvery65534Records) {
    std::string error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("big.db"), 100000, 11, &error)) << error;
    test::RunResult r = quorv({"big.db", "out.xls"});
    ASSERT_EQ(r.status, 0) << r.err;
    test::writeFile(dir.file("first.txt"), "Id:<=65534\n");
    r = quorv({"big.db", "exact.xls", "/FILTER:first.txt"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(filesBesides({"big.db", "out.xls", "out_0.xls", "exact.xls", "first.txt"}).empty())
        << "one workbook for exactly 65534 records";

    auto books = read({"out_0.xls", "out.xls", "exact.xls"}, true);
    const XlSheet &first = books["out_0.xls"].at(0), &last = books["out.xls"].at(0), &exact = books["exact.xls"].at(0);
    EXPECT_EQ(first.name, "big");
    EXPECT_EQ(first.rows, 65535);
    EXPECT_EQ(first.cells.at({1, 0}).value, "1.0");
    EXPECT_EQ(first.cells.at({65534, 0}).value, "65534.0");
    EXPECT_EQ(last.name, "Sheet1");
    EXPECT_EQ(last.rows, 34467);
    EXPECT_EQ(last.cells.at({0, 0}).value, "Id") << "every part has the header row";
    EXPECT_EQ(last.cells.at({1, 0}).value, "65535.0");
    EXPECT_EQ(last.cells.at({34466, 0}).value, "100000.0");
    EXPECT_EQ(last.frozen, "A2");
    EXPECT_EQ(first.kindCounts.at('b'), 65534) << "a logical cell in every record: none lost or doubled";
    EXPECT_EQ(last.kindCounts.at('b'), 34466);
    EXPECT_EQ(exact.name, "big");
    EXPECT_EQ(exact.rows, 65535);
    EXPECT_EQ(exact.cells.at({65534, 0}).value, "65534.0");
}

// The same splitting for .xlsx past its row limit, with books made small.
TEST_F(ExcelOutput, XlsxSplitsTheSameWayPastItsLimit) {
    std::string error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("big.db"), 2500, 5, &error)) << error;
    ExportSettings settings;
    settings.outputType = OutputType::Xlsx;
    settings.outputPath = dir.file("OUT.XLSX");
    SourceTable table;
    table.path = dir.file("big.db");
    ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
    ExportRun run(table, settings);
    for (int f = 0; f < table.fieldCount; ++f)
        run.columns.push_back(f);
    run.selectedCount = table.fieldCount;
    ExcelWriter writer(settings);
    writer.setRecordsPerBook(1000);
    ASSERT_TRUE(writer.head(run));
    for (int r = 0; r < table.recordCount; ++r) {
        ASSERT_TRUE(readRecord(table, r));
        ASSERT_TRUE(writer.record(run)) << (run.problems.empty() ? "" : run.problems.back());
        ++run.written;
    }
    ASSERT_TRUE(writer.trailer(run));
    closeSourceTable(table);
    EXPECT_TRUE(filesBesides({"big.db", "OUT_0.XLSX", "OUT_1.XLSX", "OUT.XLSX"}).empty())
        << "parts keep the extension as written";

    auto books = read({"OUT_0.XLSX", "OUT_1.XLSX", "OUT.XLSX"}, true);
    const std::vector<std::tuple<std::string, std::string, int, std::string>> parts = {
        {"OUT_0.XLSX", "big", 1001, "1.0"}, {"OUT_1.XLSX", "Sheet1", 1001, "1001.0"}, {"OUT.XLSX", "Sheet1", 501, "2001.0"}};
    for (const auto &[file, sheet, rows, firstId] : parts) {
        SCOPED_TRACE(file);
        ASSERT_EQ(books[file].size(), 1u);
        EXPECT_EQ(books[file][0].name, sheet);
        EXPECT_EQ(books[file][0].rows, rows);
        EXPECT_EQ(books[file][0].cells.at({1, 0}).value, firstId);
        EXPECT_EQ(books[file][0].cells.at({0, 0}).value, "Id");
    }
}

TEST(ExcelNames, SplitPartsAndSheetNames) {
    // out.xls to out_0.xls and OUT.XLSX to OUT_0.XLSX go through the splitting tests above.
    EXPECT_EQ(excelSplitPath("/my.xls.files/out.xlsx", BookKind::Xml, 1), "/my.xls.files/out_1.xlsx")
        << "only the file name's extension counts, not an .xls in a folder name";
    EXPECT_EQ(excelSplitPath("/data/out.dat", BookKind::Classic, 0), "/data/out.dat_0.xls");
    EXPECT_EQ(excelSplitPath("out", BookKind::Xml, 2), "out_2.xlsx");
    EXPECT_EQ(excelSplitPath(".xls", BookKind::Classic, 0), ".xls_0.xls");

    EXPECT_EQ(sheetNameForTable("/t/Kunden\xE4.DB", 1252), "Kunden\u00e4") << "a name in the ANSI code page";
    EXPECT_EQ(sheetNameForTable("/t/Kunden\u00e4.DB", 1252), "Kunden\u00e4") << "a UTF-8 name stays";
}

// The cases the exports above do not write (a name cut to 31 characters, [ ] and : replaced, a taken
// name numbered are in FilteredRowsColumnsAndSheetNamesFromOddTableNames and the appending tests).
TEST(ExcelNames, SheetNamesAreMadeValidAndUnique) {
    EXPECT_EQ(validSheetName("a*e?f/g\\h"), "a_e_f_g_h");
    EXPECT_EQ(validSheetName("'quoted'"), "quoted");
    EXPECT_EQ(validSheetName(""), "Sheet1");
    EXPECT_EQ(validSheetName("tab\there"), "tab_here");
    // 31 UTF-16 units: a character outside the BMP counts two and is not split.
    EXPECT_EQ(validSheetName(std::string(30, 'x') + "\U0001F600"), std::string(30, 'x'));
    EXPECT_EQ(validSheetName(std::string(29, 'x') + "\U0001F600"), std::string(29, 'x') + "\U0001F600");

    EXPECT_EQ(uniqueSheetName("Sheet2", {"sheet2"}), "Sheet2 (2)") << "names compare ignoring case";
    EXPECT_EQ(uniqueSheetName("Sheet2", {"SHEET2", "Sheet2 (2)"}), "Sheet2 (3)");
    EXPECT_EQ(uniqueSheetName(std::string(31, 'y'), {std::string(31, 'y')}), std::string(27, 'y') + " (2)");
}

// The last day before 1 March 1900, which the kinds table does not hold (1 March 1900, 9999-12-31,
// 1899-12-31 and a day past 9999 are read back from it by every reader).
TEST(ExcelDates, DatesBefore1March1900HaveNoSerialNumber) {
    double serial = 0;
    EXPECT_FALSE(Workbook::create(BookKind::Classic, "/tmp")->datePack(1900, 2, 28, serial))
        << "LibreOffice shows serial 59 as 27 February";
}

// ---------------------------------------------------------------------------------------------
// Appending

// Every zip entry of an .xlsx: name, then CRC and size of its content.
std::map<std::string, std::string> packageEntries(const std::string &path) {
    std::string out, error;
    const char *script = "import sys, zipfile\n"
                         "for i in zipfile.ZipFile(sys.argv[1]).infolist(): print(i.filename, i.CRC, i.file_size)\n";
    if (!test::runPython(script, {path}, &out, &error))
        ADD_FAILURE() << error;
    std::map<std::string, std::string> entries;
    std::istringstream in(out);
    std::string name, rest;
    while (in >> name && std::getline(in, rest))
        entries[name] = rest;
    return entries;
}

// Every cell of a sheet as it was before a sheet was added to its book.
void expectCellsKept(const XlSheet &before, const XlSheet &after) {
    ASSERT_EQ(after.cells.size(), before.cells.size());
    for (const auto &[at, cell] : before.cells) {
        ASSERT_TRUE(after.cells.count(at)) << at.first << "," << at.second;
        EXPECT_EQ(after.cells.at(at).value, cell.value) << at.first << "," << at.second;
        EXPECT_EQ(after.cells.at(at).kind, cell.kind) << at.first << "," << at.second;
    }
}

TEST_F(ExcelOutput, AppendingTwiceAddsSheetsAndKeepsTheEarlierOnes) {
    writeKinds(dir.file("kinds.db"));
    for (const char *out : {"book.xlsx", "book.xls"}) {
        SCOPED_TRACE(out);
        test::RunResult r = quorv({"kinds.db", out});
        ASSERT_EQ(r.status, 0) << r.err;
        test::writeFile(dir.file("some.txt"), "Id:>4\n");
        r = quorv({"kinds.db", out, "/append", "/FILTER:some.txt"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = quorv({"kinds.db", out, "/append"});
        ASSERT_EQ(r.status, 0) << r.err;

        auto after = read({out});
        const XlBook &book = after[out];
        ASSERT_EQ(book.size(), 3u);
        // The first sheet kept whole (.xls: loaded and saved again), with its frozen row and widths.
        expectKinds(book[0], std::string(out) + " kinds");
        EXPECT_EQ(book[1].name, "Sheet2");
        EXPECT_EQ(book[1].rows, 3) << "the header and records 5 and 6";
        EXPECT_EQ(book[1].cells.at({1, 2}).kind, 'd');
        EXPECT_EQ(book[1].cells.at({1, 2}).value, "9999-12-31");
        expectKinds(book[2], std::string(out) + " Sheet3", false, "Sheet3");
        // The .xlsx package's parts kept byte for byte: AppendingToWorkbooksOfOtherPrograms, same merge.
    }
    EXPECT_TRUE(filesBesides({"kinds.db", "kinds.mb", "book.xlsx", "book.xls", "some.txt"}).empty());
}

// Workbooks that other programs wrote: openpyxl's .xlsx (shared strings, the 1904 date system, a sheet
// that already has the name the new one would get) and LibreOffice's own .xls.
TEST_F(ExcelOutput, AppendingToWorkbooksOfOtherPrograms) {
    writeKinds(dir.file("kinds.db"));
    std::string out, error;
    const char *make = "import sys, datetime, openpyxl\n"
                       "from openpyxl.utils.datetime import CALENDAR_MAC_1904\n"
                       "wb = openpyxl.Workbook(); wb.epoch = CALENDAR_MAC_1904\n"
                       "ws = wb.active; ws.title = 'Sheet2'\n"
                       "ws.append(['kept', 1.5, datetime.date(2001, 2, 3), True])\n"
                       "ws.sheet_view.tabSelected = True\n"
                       "wb.save(sys.argv[1])\n";
    ASSERT_TRUE(test::runPython(make, {dir.file("py.xlsx")}, &out, &error)) << error;
    const auto pyBefore = packageEntries(dir.file("py.xlsx"));

    test::RunResult r = quorv({"kinds.db", "py.xlsx", "/append"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto books = read({"py.xlsx"});
    const XlBook &py = books["py.xlsx"];
    ASSERT_EQ(py.size(), 2u);
    EXPECT_EQ(py[0].name, "Sheet2");
    EXPECT_EQ(py[0].cells.at({0, 0}).value, "kept");
    EXPECT_EQ(py[0].cells.at({0, 2}).value, "2001-02-03");
    EXPECT_EQ(py[0].cells.at({0, 2}).format, "yyyy-mm-dd") << "the existing sheet keeps its own date format";
    // The name the book already has is made unique.
    expectKinds(py[1], "openpyxl's book, 1904 dates", true, "Sheet2 (2)");
    for (const auto &[name, crc] : packageEntries(dir.file("py.xlsx")))
        if (pyBefore.count(name) && name.find("workbook.xml") == std::string::npos && name != "[Content_Types].xml" &&
            name != "xl/styles.xml") {
            EXPECT_EQ(pyBefore.at(name), crc) << name << " changed";
        }

    if (test::sofficeProgram().empty())
        GTEST_SKIP() << "LibreOffice (libreoffice-calc-nogui) is not installed: its own workbooks are not tried";
    ASSERT_EQ(quorv({"kinds.db", "ours.xlsx"}).status, 0);
    ASSERT_TRUE(test::libreOfficeConvert({dir.file("ours.xlsx")}, "xls:MS Excel 97", dir.file("lo"), &error)) << error;
    fs::copy_file(dir.file("lo/ours.xls"), dir.file("lo.xls"));
    const auto loBefore = read({"lo.xls"});
    r = quorv({"kinds.db", "lo.xls", "/append"});
    ASSERT_EQ(r.status, 0) << r.err;
    books = read({"lo.xls"});
    const XlBook &book = books["lo.xls"];
    ASSERT_EQ(book.size(), 2u);
    // LibreOffice's sheet kept, every cell: xlrd reads them all.
    EXPECT_EQ(book[0].cells.at({1, 1}).value, "Ren\u00e9e");
    expectCellsKept(loBefore.at("lo.xls")[0], book[0]);
    expectKinds(book[1], "lo.xls", false, "Sheet2");
}

TEST_F(ExcelOutput, AppendingToAFileThatIsNoWorkbookLeavesItAlone) {
    writeKinds(dir.file("kinds.db"));
    const std::string text = "name,value\r\nnot,a workbook\r\n";
    for (const char *out : {"notes.xlsx", "notes.xls"}) {
        test::writeFile(dir.file(out), text);
        test::RunResult r = quorv({"kinds.db", out, "/append"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(std::string(out) + ": cannot add a sheet to it"), std::string::npos) << r.err;
        EXPECT_EQ(test::readFile(dir.file(out)), text);
    }
    // A zip that is no workbook.
    std::string out, error;
    ASSERT_TRUE(test::runPython("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('a.txt', 'x')\n",
                                {dir.file("zip.xlsx")}, &out, &error))
        << error;
    const std::string zip = test::readFile(dir.file("zip.xlsx"));
    test::RunResult r = quorv({"kinds.db", "zip.xlsx", "/append"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not an .xlsx workbook"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(dir.file("zip.xlsx")), zip);
    EXPECT_TRUE(filesBesides({"kinds.db", "kinds.mb", "notes.xlsx", "notes.xls", "zip.xlsx"}).empty());
}

// ---------------------------------------------------------------------------------------------
// Failures

TEST_F(ExcelOutput, FailedSavesAreReportedAndLeaveNothingBehind) {
    writeKinds(dir.file("kinds.db"));
    for (const char *out : {"missing/out.xlsx", "missing/out.xls"}) {
        test::RunResult r = quorv({"kinds.db", out});
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
    }
    // A full disk, simulated by a file size limit smaller than the output.
    for (const char *out : {"full.xlsx", "full.xls"}) {
        test::RunResult r = quorv({"kinds.db", out}, 20000);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_NE(r.err.find("could not be saved"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << "the system's reason: " << r.err;
    }
    // libxlsxwriter copies its sheet data once more before zipping it and does not check that copy: a
    // limit just below the sheet's size truncates only that copy, whose compressed form would still
    // fit. The saved package is checked, so this is reported too.
    ASSERT_EQ(quorv({"kinds.db", "whole.xlsx"}).status, 0);
    const std::string sizes = packageEntries(dir.file("whole.xlsx"))["xl/worksheets/sheet1.xml"];
    const long sheetSize = std::stol(sizes.substr(sizes.rfind(' ') + 1));
    ASSERT_LT(static_cast<long>(fs::file_size(dir.file("whole.xlsx"))), sheetSize - 10)
        << "the package must be smaller than its sheet for this check";
    fs::remove(dir.file("whole.xlsx"));
    test::RunResult r = quorv({"kinds.db", "cut.xlsx"}, sheetSize - 10);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("incomplete"), std::string::npos) << r.err;
    EXPECT_TRUE(filesBesides({"kinds.db", "kinds.mb"}).empty()) << "no output, no temporary file";
}

// A failure after a split removes the parts saved before it: the output is not complete. The part
// saved first is small (empty texts) and the last one large (long texts), so that a file size limit
// between the two lets the first save succeed and the last one fail.
TEST_F(ExcelOutput, AFailureAfterASplitRemovesTheSavedParts) {
    fixture::TableSpec tableLayout;
    tableLayout.fields = {{"Id", PxLong}, {"Text", PxChar, 250}};
    fixture::TableWriter table;
    std::string error;
    ASSERT_TRUE(table.open(dir.file("grow.db"), tableLayout, &error)) << error;
    for (int i = 1; i <= 65534 + 8000; ++i) {
        const std::string text = i > 65534 ? std::to_string(i) + std::string(240, 'x') : std::string();
        ASSERT_TRUE(table.addRecord({Cell::integer(i), text.empty() ? Cell() : Cell::text(text)}, &error)) << error;
    }
    ASSERT_TRUE(table.close(&error)) << error;
    test::RunResult r = quorv({"grow.db", "grow.xls"}, 1500000);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("grow.xls: the workbook could not be saved"), std::string::npos) << r.err;
    EXPECT_TRUE(filesBesides({"grow.db"}).empty()) << "grow_0.xls was saved, and is removed again";
}

} // namespace
