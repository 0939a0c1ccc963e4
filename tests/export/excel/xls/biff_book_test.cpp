#include "export/excel/xls/biff_book.h"

#include "export/excel/xls/compound_file.h"
#include "export/excel/excel_readers.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace quorv::xls {
namespace {

using test::TempDir;

std::string repeat(std::string_view unit, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += unit;
    return s;
}

// Sheet names and texts: Latin-1 (stored 8-bit) and beyond (stored UTF-16).
const std::string kDonnees = "Donn\xC3\xA9"
                             "es";
const std::string kGreek = "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC \xCE\xA3";
const std::string kZoe = "Zo\xC3\xAB";
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
const std::string kEmoji = "smile \xF0\x9F\x98\x80";

// A book with every kind of cell, several sheets, frozen header, widths, extreme cells, two
// 32767-character texts and a shared string table long enough to need CONTINUE records.
XlsBook sampleBook() {
    XlsBook b;
    const int s0 = b.addSheet(kDonnees);
    const std::vector<std::string> header = {"Name", "Amount", "Paid", "Due", "Notes"};
    for (int c = 0; c < 5; ++c)
        b.writeText(s0, 0, c, header[static_cast<size_t>(c)]);
    const std::vector<std::string> names = {kZoe, kJapanese, kGreek, "line1\nline2", "\tx ", kEmoji};
    const std::vector<double> amounts = {0, -1.5, 1e300, 3.14159, 123456789012.0, 42};
    const std::vector<double> dates = {45000, 45000.5, 1, 2958465, 36526.75, 60};
    for (int r = 0; r < 6; ++r) {
        b.writeText(s0, r + 1, 0, names[static_cast<size_t>(r)]);
        b.writeNumber(s0, r + 1, 1, amounts[static_cast<size_t>(r)]);
        b.writeLogical(s0, r + 1, 2, r % 2 == 0);
        b.writeDate(s0, r + 1, 3, dates[static_cast<size_t>(r)]);
        b.writeText(s0, r + 1, 4, "note " + std::to_string(r));
    }
    b.freezeFirstRow(s0);
    b.setColumnWidth(s0, 0, 0, 11.0);
    b.setColumnWidth(s0, 1, 3, 20.5);

    const int s1 = b.addSheet(kGreek);
    b.writeNumber(s1, 65535, 255, -536870912);
    b.writeText(s1, 0, 255, "far right");
    b.writeLogical(s1, 65535, 0, false);
    b.writeText(s1, 1, 0, std::string(32767, 'x'));
    b.writeText(s1, 2, 0, repeat("\xD0\x96", 32767));
    b.writeNumber(s1, 3, 1, 0.1);
    b.writeText(s1, 3, 0, ""); // an empty text cell, which LibreOffice drops
    b.writeNumber(s1, 3, 2, 536870912);

    const int s2 = b.addSheet("Strings");
    for (int i = 0; i < 3000; ++i) {
        std::string t = (i % 3 == 1) ? repeat(kJapanese, static_cast<size_t>(i % 29)) + std::to_string(i)
                                     : repeat("ab\xC3\xA9", static_cast<size_t>(i % 37)) + std::to_string(i);
        b.writeText(s2, i / 4, i % 4, t);
    }
    b.addSheet("Empty");
    return b;
}

// xlrd's view of every cell of a sheet (all rows read): each of our cells with its kind, texts and
// logicals with their value, numbers with their exact value.
void expectXlrdCells(const XlsBook &book, int s, const test::XlSheet &sheet) {
    size_t count = 0;
    book.forEachCell(s, [&](int r, int c, const XlsCell &cell) {
        ++count;
        auto it = sheet.cells.find({r, c});
        ASSERT_NE(it, sheet.cells.end()) << r << "," << c;
        const char kinds[] = {'s', 'n', 'b', 'd'}; // XlsCell::Kind order
        EXPECT_EQ(it->second.kind, kinds[static_cast<int>(cell.kind)]) << r << "," << c;
        if (cell.kind == XlsCell::Kind::Text) {
            EXPECT_EQ(it->second.value, cell.text) << r << "," << c;
        } else if (cell.kind == XlsCell::Kind::Logical) {
            EXPECT_EQ(it->second.value, cell.logical ? "1" : "0") << r << "," << c;
        } else if (cell.kind == XlsCell::Kind::Number) {
            EXPECT_EQ(std::stod(it->second.value), cell.number) << r << "," << c;
        }
    });
    EXPECT_EQ(sheet.cells.size(), count);
}

TEST(XlsBookFile, DatesOfThe1904SystemAreMovedTo1900) {
    XlsBook book;
    book.addSheet("D");
    book.writeDate(0, 0, 0, 100);
    book.writeNumber(0, 0, 1, 100);
    std::string stream = book.workbookStream();
    const std::string dateMode("\x22\x00\x02\x00\x00\x00", 6);
    const size_t at = stream.find(dateMode);
    ASSERT_NE(at, std::string::npos);
    stream[at + 4] = 1;
    XlsBook loaded;
    std::string error;
    ASSERT_TRUE(loaded.loadWorkbookStream(stream, &error)) << error;
    EXPECT_EQ(loaded.cell(0, 0, 0)->number, 1562);
    EXPECT_EQ(loaded.cell(0, 0, 1)->number, 100) << "plain numbers stay";
}

// The sample book saved and read by xlrd. (A book small enough to be padded to the 4096 bytes of a
// regular stream xlrd reads in excel_writer_test: the filtered export of three columns.)
TEST(XlsBookFile, XlrdReadsTypesValuesAndLayout) {
    if (!test::missingExcelReaders().empty())
        GTEST_SKIP() << test::missingExcelReaders() << " is not installed";
    const XlsBook book = sampleBook();
    TempDir dir;
    const std::string path = dir.file("sample.xls");
    std::string error;
    ASSERT_TRUE(book.save(path, &error)) << error;
    std::map<std::string, test::XlBook> books;
    ASSERT_TRUE(test::readWorkbooks({path}, false, books, &error)) << error;
    const test::XlBook &sheets = books[path];
    ASSERT_EQ(sheets.size(), 4u);
    for (int s = 0; s < 4; ++s) {
        SCOPED_TRACE("sheet " + std::to_string(s));
        EXPECT_EQ(sheets[static_cast<size_t>(s)].name, book.sheetName(s));
        EXPECT_EQ(sheets[static_cast<size_t>(s)].rows, book.rowCount(s));
        expectXlrdCells(book, s, sheets[static_cast<size_t>(s)]);
    }
    EXPECT_EQ(sheets[0].frozen, "A2");
    EXPECT_EQ(sheets[1].frozen, "");
    EXPECT_EQ(sheets[0].widths, (std::map<int, double>{{0, 11.0}, {1, 20.5}, {2, 20.5}, {3, 20.5}}));
    EXPECT_TRUE(sheets[1].widths.empty());

    // The strings table of the sample is long enough to go on in CONTINUE records.
    const std::string stream = book.workbookStream();
    size_t continues = 0;
    for (size_t p = 0; p + 4 <= stream.size();) {
        uint16_t type = static_cast<uint16_t>(static_cast<unsigned char>(stream[p]) |
                                              static_cast<unsigned char>(stream[p + 1]) << 8);
        size_t len = static_cast<unsigned char>(stream[p + 2]) | static_cast<unsigned char>(stream[p + 3])
                                                                     << 8;
        continues += type == 0x003C;
        EXPECT_LE(len, 8224u);
        p += 4 + len;
    }
    EXPECT_GT(continues, 10u);
}

TEST(XlsBookFile, DamagedFilesGiveErrors) {
    XlsBook sample;
    std::string error;
    const int s = sample.addSheet("S");
    for (int r = 0; r < 40; ++r) {
        sample.writeText(s, r, 0, "row " + std::to_string(r) + (r % 2 ? kJapanese : ""));
        sample.writeNumber(s, r, 1, r * 1.25);
        sample.writeDate(s, r, 2, 40000 + r);
        sample.writeLogical(s, r, 3, r % 3 == 0);
    }
    sample.freezeFirstRow(s);
    sample.setColumnWidth(s, 0, 3, 12);
    sample.addSheet("Second");
    const std::string stream = sample.workbookStream();

    // Every cut stream fails, with a message, and leaves the book as it was.
    XlsBook target = sample;
    for (size_t len = 0; len < stream.size(); ++len) {
        error.clear();
        ASSERT_FALSE(target.loadWorkbookStream(std::string_view(stream).substr(0, len), &error)) << len;
        ASSERT_FALSE(error.empty());
    }
    EXPECT_EQ(target.sheetCount(), 2);
    EXPECT_EQ(target.cellCount(0), 160u);

    // A strings table claiming four billion strings.
    std::string huge = stream;
    size_t sst = huge.find(std::string("\xFC\x00", 2));
    ASSERT_NE(sst, std::string::npos);
    for (int i = 0; i < 4; ++i)
        huge[sst + 8 + i] = '\xFF';
    XlsBook b;
    b.loadWorkbookStream(huge, &error);

    // Two sheets at one offset, and a sheet whose records run on into the next sheet.
    const size_t firstSheet = stream.find(std::string("\x85\x00", 2));
    const size_t secondSheet = stream.find(std::string("\x85\x00", 2), firstSheet + 1);
    ASSERT_NE(secondSheet, std::string::npos);
    std::string shared = stream;
    shared.replace(secondSheet + 4, 4, stream, firstSheet + 4, 4);
    EXPECT_FALSE(b.loadWorkbookStream(shared, &error));
    std::string runOn = stream;
    uint32_t secondOffset = 0;
    std::memcpy(&secondOffset, stream.data() + secondSheet + 4, 4);
    ASSERT_EQ(runOn.substr(secondOffset - 4, 4), std::string("\x0A\x00\x00\x00", 4));
    runOn[secondOffset - 4] = 0x0B; // the first sheet's EOF becomes an unknown record
    EXPECT_FALSE(b.loadWorkbookStream(runOn, &error));
    EXPECT_NE(error.find("without an EOF"), std::string::npos) << error;

    // Files: missing, not a compound file, no workbook inside. (A cut compound file: compound_file_test.)
    TempDir dir;
    EXPECT_FALSE(b.load(dir.file("missing.xls"), &error));
    std::ofstream(dir.file("text.xls")) << "Name,Amount\nx,1\n";
    EXPECT_FALSE(b.load(dir.file("text.xls"), &error));
    EXPECT_NE(error.find("compound"), std::string::npos) << error;
    ASSERT_TRUE(writeCompoundFile(dir.file("other.xls"), {{"Other", "data"}}, &error));
    EXPECT_FALSE(b.load(dir.file("other.xls"), &error));
}

} // namespace
} // namespace quorv::xls
