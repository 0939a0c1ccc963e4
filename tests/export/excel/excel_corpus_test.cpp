// Every real Paradox table converted to .xlsx and .xls by the quorv binary, read back by openpyxl and
// xlrd: each cell has the type the Excel cell rules give the field, and the value the table holds.
// (LibreOffice's view of the values is checked on the fixture tables, in excel_writer_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <optional>

#include "export/excel/excel_readers.h"
#include "export/settings.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using test::XlBook;
using test::XlCell;

namespace fs = std::filesystem;

namespace {

struct Want {
    char kind; // 's', 'n', 'd', 'b'
    std::string text;
    double number = 0;
};

std::string cut(const std::string &utf8) {
    // 32767 UTF-16 units; the corpus texts are single-byte code page text, so no surrogate pairs.
    std::string out;
    size_t units = 0;
    for (size_t i = 0; i < utf8.size() && units < 32767; ++units) {
        size_t n = 1;
        while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80)
            ++n;
        out.append(utf8, i, n);
        i += n;
    }
    return out;
}

// The cell of one field of the record in the table's buffer, by the Excel cell rules.
std::optional<Want> wanted(SourceTable &table, const ExportSettings &settings, int field) {
    const uint8_t *record = table.recordBuffer.data();
    std::string text;
    auto textCell = [&](std::string value) -> std::optional<Want> {
        if (value.empty())
            return std::nullopt;
        return Want{'s', cut(platform::toUtf8(value, table.ansiCodePage))};
    };
    switch (table.fields[static_cast<size_t>(field)].type) {
    case PxMemoBlob:
    case PxFmtMemoBlob:
        readMemo(table, record, field, text);
        return textCell(text);
    case PxDate: {
        DateParts d;
        if (!readDateParts(table, record, field, d))
            return std::nullopt;
        // Dates from 1 March 1900 to 9999 are date cells, the others texts.
        char iso[32];
        std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", d.year, d.month, d.day);
        return Want{std::string(iso) >= "1900-03-01" && d.year <= 9999 ? 'd' : 's', iso};
    }
    case PxShort:
    case PxLong:
    case PxCurrency:
    case PxNumber:
    case PxAutoInc: {
        double v = 0;
        if (!readNumber(table, record, field, v))
            return std::nullopt;
        if (!std::isfinite(v)) {
            formatFieldValue(text, table, settings, record, field);
            return textCell(text);
        }
        return Want{'n', "", v};
    }
    case PxLogical: {
        int v = 0;
        if (!readLogical(table, record, field, v))
            return std::nullopt;
        return Want{'b', v ? "1" : "0"};
    }
    default:
        formatFieldValue(text, table, settings, record, field);
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        return textCell(text);
    }
}

TEST(ExcelRealTables, EveryCellHasTheTypeAndValueOfTheSource) {
    const std::vector<std::string> tables = test::corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "the real tables are not here: ../shared/testdata/paradox is absent";
    if (std::string missing = test::missingExcelReaders(); !missing.empty())
        GTEST_SKIP() << "the independent readers are missing: " << missing;
    test::TempDir dir;
    ExportSettings settings; // the C locale of the tests: month/day/year
    settings.dateOrder = '0';
    settings.dateSeparator = '/';

    struct Converted {
        std::string table;
        std::string sheet;
        std::vector<std::vector<std::optional<Want>>> rows; // the cells of each record read
        std::vector<std::string> header;
    };
    std::vector<Converted> converted;
    std::vector<std::string> outputs;
    for (size_t t = 0; t < tables.size(); ++t) {
        SourceTable table;
        table.path = test::corpusPath(tables[t]);
        std::string error;
        if (!openSourceTable(table, settings, &error)) {
            std::printf("  not converted (does not open): %s: %s\n", tables[t].c_str(), error.c_str());
            continue;
        }
        Converted c;
        c.table = tables[t];
        const std::string stem = fs::path(tables[t]).stem().string();
        c.sheet = stem.substr(0, stem.find('.'));
        for (int f = 0; f < table.fieldCount; ++f)
            c.header.push_back(platform::toUtf8(fieldName(table, f), table.ansiCodePage));
        for (int r = 0; r < table.recordCount; ++r) {
            if (!readRecord(table, r))
                continue;
            std::vector<std::optional<Want>> cells;
            for (int f = 0; f < table.fieldCount; ++f)
                cells.push_back(wanted(table, settings, f));
            c.rows.push_back(std::move(cells));
        }
        closeSourceTable(table);
        for (const char *ext : {"xlsx", "xls"}) {
            const std::string out = dir.file(std::to_string(t) + "-" + ext + "." + ext);
            test::RunResult run = test::runProgram({test::quorvBinary(), table.path, out});
            EXPECT_EQ(run.status, 0) << tables[t] << " to " << ext << ": " << run.err;
            outputs.push_back(out);
        }
        converted.push_back(std::move(c));
    }

    std::map<std::string, XlBook> books;
    std::string error;
    ASSERT_TRUE(test::readWorkbooks(outputs, false, books, &error)) << error;

    size_t cellsChecked = 0;
    for (size_t i = 0; i < converted.size(); ++i) {
        const Converted &c = converted[i];
        for (int k = 0; k < 2; ++k) {
            const std::string path = outputs[2 * i + static_cast<size_t>(k)];
            const bool xlsx = k == 0;
            SCOPED_TRACE(c.table + (xlsx ? " as .xlsx" : " as .xls"));
            ASSERT_EQ(books.count(path), 1u);
            ASSERT_EQ(books[path].size(), 1u);
            const test::XlSheet &sheet = books[path][0];
            EXPECT_EQ(sheet.name, c.sheet);
            EXPECT_EQ(sheet.frozen, "A2");
            size_t cells = 0;
            for (size_t f = 0; f < c.header.size(); ++f) {
                const auto it = sheet.cells.find({0, static_cast<int>(f)});
                ASSERT_NE(it, sheet.cells.end()) << "header of column " << f;
                EXPECT_EQ(it->second.value, c.header[f]);
                ++cells;
            }
            for (size_t r = 0; r < c.rows.size(); ++r) {
                const int row = static_cast<int>(r) + 1; // rows stay contiguous when a record is skipped
                for (size_t f = 0; f < c.rows[r].size(); ++f) {
                    const auto &want = c.rows[r][f];
                    const auto it = sheet.cells.find({row, static_cast<int>(f)});
                    if (!want) {
                        EXPECT_EQ(it, sheet.cells.end()) << "an empty value has no cell: row " << row << ", column " << f;
                        continue;
                    }
                    ++cells;
                    ASSERT_NE(it, sheet.cells.end()) << "no cell at row " << row << ", column " << f;
                    EXPECT_EQ(it->second.kind, want->kind) << "row " << row << ", column " << f;
                    // .xls holds a number's exact bits; libxlsxwriter writes 16 significant digits, so a
                    // double that needs 17 may come back one bit off.
                    if (want->kind == 'n' && xlsx)
                        EXPECT_NEAR(std::stod(it->second.value), want->number, 1e-15 * std::fabs(want->number))
                            << "row " << row << ", column " << f;
                    else if (want->kind == 'n')
                        EXPECT_EQ(std::stod(it->second.value), want->number) << "row " << row << ", column " << f;
                    else
                        EXPECT_EQ(it->second.value, want->text) << "row " << row << ", column " << f;
                }
            }
            EXPECT_EQ(sheet.cells.size(), cells);
            cellsChecked += cells;
        }
    }
    std::printf("  %zu tables, %zu cells checked in each reader\n", converted.size(), cellsChecked);
}

} // namespace
