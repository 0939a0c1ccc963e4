// Every type code rendered from a known stored value, and the empty field of each type.
#include <gtest/gtest.h>

#include "export/settings.h"
#include "fixture/paradox_builder.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;
using fixture::FieldSpec;

namespace {

enum Col { CChar, CDate, CShort, CLong, CCurrency, CNumber, CLogical, CMemo, CBlob, COle, CGraphic, CTime,
           CTimestamp, CAutoInc, CBcd, CBytes, CFmtMemo, CCount };

std::vector<FieldSpec> allFields() {
    return {{"Name", PxChar, 20},       {"Born", PxDate},        {"Small", PxShort},
            {"Big", PxLong},            {"Price", PxCurrency},   {"Ratio", PxNumber},
            {"Paid", PxLogical},        {"Notes", PxMemoBlob, 20}, {"Data", PxBlob, 15},
            {"Object", PxOle, 15},      {"Picture", PxGraphic, 15}, {"Start", PxTime},
            {"Stamp", PxTimestamp},     {"Id", PxAutoInc},       {"Exact", PxBcd, 17, 4},
            {"Raw", PxBytes, 6},        {"Styled", PxFmtMemoBlob, 20}};
}

class FormatTest : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::TableSpec tableLayout;
        tableLayout.fields = allFields();
        std::vector<std::vector<Cell>> rows(3, std::vector<Cell>(CCount));
        auto &v = rows[0];
        v[CChar] = Cell::text("O'Brien caf\xE9");
        v[CDate] = Cell::date(2024, 3, 7);
        v[CShort] = Cell::integer(-5);
        v[CLong] = Cell::integer(123456789);
        v[CCurrency] = Cell::real(1234.5);
        v[CNumber] = Cell::real(2.5);
        v[CLogical] = Cell::logical(true);
        v[CMemo] = Cell::text("short memo");
        v[CBlob] = Cell::bytes("xy");
        v[COle] = Cell::bytes("ole");
        v[CGraphic] = Cell::bytes("GIF89a");
        v[CTime] = Cell::time(10, 5, 3, 500);
        v[CTimestamp] = Cell::timestamp(2024, 3, 7, 13, 4, 5);
        v[CAutoInc] = Cell::integer(7);
        v[CBcd] = Cell::bcd("-12.3456");
        v[CBytes] = Cell::bytes("\x01\x02");
        v[CFmtMemo] = Cell::text(std::string(3000, 'x') + "end"); // lives in the .mb file
        // row 1: every field empty
        auto &z = rows[2];
        z[CDate] = Cell::date(1787, 12, 7); // before 1900
        z[CShort] = Cell::integer(0);
        z[CLong] = Cell::integer(0);
        z[CNumber] = Cell::real(0);
        z[CLogical] = Cell::logical(false);
        z[CTime] = Cell::time(0, 0, 0, 0);
        z[CBcd] = Cell::bcd("0");
        std::string error;
        path = dir.file("all.db");
        ASSERT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
        table.path = path;
        ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
        ASSERT_EQ(table.recordCount, 3);
    }

    std::string text(int record, int field) {
        EXPECT_TRUE(readRecord(table, record));
        std::string out;
        formatFieldValue(out, table, settings, table.recordBuffer.data(), field);
        return out;
    }

    test::TempDir dir;
    std::string path;
    ExportSettings settings;
    SourceTable table;
};

} // namespace

TEST_F(FormatTest, ValuesOfEveryType) {
    EXPECT_EQ(text(0, CChar), "O'Brien caf\xE9");
    EXPECT_EQ(text(0, CDate), "07.03.2024");
    EXPECT_EQ(text(0, CShort), "-5");
    EXPECT_EQ(text(0, CLong), "123456789");
    EXPECT_EQ(text(0, CCurrency), "1234.50");
    EXPECT_EQ(text(0, CNumber), "2.50");
    EXPECT_EQ(text(0, CLogical), "1");
    EXPECT_EQ(text(0, CMemo), "short memo");
    EXPECT_EQ(text(0, CBlob), "memo");
    EXPECT_EQ(text(0, COle), "memo");
    EXPECT_EQ(text(0, CGraphic), "memo");
    EXPECT_EQ(text(0, CTime), "10:05:03.500");
    EXPECT_EQ(text(0, CTimestamp), "07.03.2024 13:04:05");
    EXPECT_EQ(text(0, CAutoInc), "7");
    EXPECT_EQ(text(0, CBcd), "-12.3456");
    EXPECT_EQ(text(0, CBytes), "");
    EXPECT_EQ(text(0, CFmtMemo), std::string(3000, 'x') + "end");
}

TEST_F(FormatTest, EmptyFieldsAreEmptyAndZerosAreZero) {
    for (int f = 0; f < CCount; ++f) {
        bool alwaysMemo = f == CBlob || f == COle || f == CGraphic;
        EXPECT_EQ(text(1, f), alwaysMemo ? "memo" : "") << "field " << f;
    }
    EXPECT_EQ(text(2, CShort), "0");
    EXPECT_EQ(text(2, CLong), "0");
    EXPECT_EQ(text(2, CNumber), "0.00");
    EXPECT_EQ(text(2, CLogical), "0");
    EXPECT_EQ(text(2, CBcd), "0.0000");
    EXPECT_EQ(text(2, CDate), "07.12.1787");
    double n = 1;
    ASSERT_TRUE(readRecord(table, 1));
    EXPECT_FALSE(readNumber(table, table.recordBuffer.data(), CLong, n));
    DateParts d;
    EXPECT_FALSE(readDateParts(table, table.recordBuffer.data(), CDate, d));
}

TEST_F(FormatTest, DateOrdersAndDecimals) {
    settings.dateOrder = '0';
    settings.dateSeparator = '/';
    EXPECT_EQ(text(0, CDate), "03/07/2024");
    EXPECT_EQ(text(0, CTimestamp), "03/07/2024 13:04:05");
    settings.dateOrder = '2';
    settings.dateSeparator = '-';
    EXPECT_EQ(text(0, CDate), "2024-03-07");
    EXPECT_EQ(text(0, CTimestamp), "2024-03-07 13:04:05");
    settings.dateOrder = 'x';
    EXPECT_EQ(text(0, CDate), "");
    setDecimals(settings, 0);
    EXPECT_EQ(text(0, CNumber), "2"); // printf rounds half to even: 2.5 -> 2
    setDecimals(settings, 5);
    EXPECT_EQ(text(0, CCurrency), "1234.50000");
    setDecimals(settings, 99);
    EXPECT_EQ(settings.numberFormat, "%.15f");

    ASSERT_TRUE(readRecord(table, 0));
    std::string iso;
    formatDateIso(iso, table, table.recordBuffer.data(), CDate);
    EXPECT_EQ(iso, "2024-03-07");
    formatDateIso(iso, table, table.recordBuffer.data(), CTimestamp);
    EXPECT_EQ(iso, "2024-03-07 13:04:05");
    char compact[9] = "........";
    ASSERT_TRUE(formatDateCompact(compact, table, table.recordBuffer.data(), CDate));
    EXPECT_STREQ(compact, "20240307");
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
