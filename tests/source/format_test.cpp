// Every type code rendered from a known stored value, and the empty field of each type.
#include <gtest/gtest.h>

#include "export/settings.h"
#include "fixture/fixtures.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

// The fields of the all-types fixture table (tools/fixture/fixtures.h lists its records).
enum Col { CChar, CDate, CShort, CLong, CCurrency, CNumber, CLogical, CMemo, CBlob, CFmtMemo, COle, CGraphic,
           CTime, CTimestamp, CAutoInc, CBcd, CBytes, CCount };

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fixture::makeAllTypesTable(dir.file("all.db"), &error)) << error;
        table.path = dir.file("all.db");
        ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
        ASSERT_EQ(table.recordCount, 5);
    }

    std::string text(int record, int field) {
        EXPECT_TRUE(readRecord(table, record));
        std::string out;
        formatFieldValue(out, table, settings, table.recordBuffer.data(), field);
        return out;
    }

    test::TempDir dir;
    ExportSettings settings;
    SourceTable table;
};

} // namespace

// LibreOffice shows the Char and .mb memo values of this table, and a time, a graphic ("memo") and a
// Bytes field (empty) of another, in the Excel tests; the SQL writer test pins record 2's numbers,
// logical, memos and BCD as they come from here. Left: dates in the default order, one before 1900,
// and an OLE value held in the .mb.
TEST_F(FormatTest, ValuesOfEveryType) {
    EXPECT_EQ(text(2, CDate), "07.12.1787");
    EXPECT_EQ(text(2, CTimestamp), "07.03.2024 13:04:05");
    EXPECT_EQ(text(3, COle), "memo");
}

TEST_F(FormatTest, EmptyFieldsAreEmptyAndZerosAreZero) {
    for (int f = 0; f < CCount; ++f) {
        bool alwaysMemo = f == CBlob || f == COle || f == CGraphic;
        EXPECT_EQ(text(0, f), alwaysMemo ? "memo" : "") << "field " << f;
    }
    EXPECT_EQ(text(1, CLong), "0");
    EXPECT_EQ(text(1, CNumber), "0.00");
    EXPECT_EQ(text(1, CLogical), "0");
    EXPECT_EQ(text(1, CTime), "00:00:00.000");
    EXPECT_EQ(text(1, CBcd), "0.0000");
}

TEST_F(FormatTest, DateOrdersAndDecimals) {
    // Month first with '/' (the C locale's order) is read back in the command-line CSV and Excel tests;
    // here year first and an unknown order.
    settings.dateOrder = '2';
    settings.dateSeparator = '-';
    EXPECT_EQ(text(2, CDate), "1787-12-07");
    EXPECT_EQ(text(2, CTimestamp), "2024-03-07 13:04:05");
    settings.dateOrder = 'x';
    EXPECT_EQ(text(2, CDate), "");
    setDecimals(settings, 0);
    EXPECT_EQ(text(4, CNumber), "0"); // printf rounds half to even: 0.5 -> 0
}

TEST(FormatOem, CharValuesAndNamesConvertOnlyWithOem) {
    test::TempDir dir;
    fixture::TableSpec tableLayout;
    tableLayout.codePage = 437;
    tableLayout.fields = {{"Stra\xE1" "e", PxChar, 10}};
    std::string error;
    ASSERT_TRUE(fixture::writeTable(dir.file("oem.db"), tableLayout, {{Cell::text("M\x81nchen")}}, &error)) << error;
    for (bool oem : {false, true}) {
        ExportSettings settings;
        settings.oemFlags = oem ? 1 : 0;
        SourceTable table;
        table.path = dir.file("oem.db");
        ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
        ASSERT_TRUE(readRecord(table, 0));
        std::string out;
        formatFieldValue(out, table, settings, table.recordBuffer.data(), 0);
        EXPECT_EQ(out, oem ? "M\xFCnchen" : "M\x81nchen");
        EXPECT_EQ(fieldName(table, 0), oem ? "Stra\xDF" "e" : "Stra\xE1" "e");
    }
}

TEST(FormatMemo, MissingBlobFileIsReportedOnceAndLeavesTheMemoEmpty) {
    test::TempDir dir;
    fixture::TableSpec tableLayout;
    tableLayout.fields = {{"Notes", PxMemoBlob, 20}};
    std::string error;
    std::vector<std::vector<Cell>> rows = {{Cell::text(std::string(500, 'a'))}, {Cell::text(std::string(600, 'b'))}};
    ASSERT_TRUE(fixture::writeTable(dir.file("m.db"), tableLayout, rows, &error)) << error;
    std::remove(dir.file("m.mb").c_str());
    ExportSettings settings;
    SourceTable table;
    table.path = dir.file("m.db");
    ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
    std::string out = "x";
    for (int r = 0; r < 2; ++r) {
        ASSERT_TRUE(readRecord(table, r));
        formatFieldValue(out, table, settings, table.recordBuffer.data(), 0);
        EXPECT_EQ(out, "");
    }
    EXPECT_EQ(table.problems.size(), 1u);
}
