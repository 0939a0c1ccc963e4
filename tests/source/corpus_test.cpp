// Values of the real Paradox tables that pxlib gets wrong, as they must come out.
#include <gtest/gtest.h>

#include "export/settings.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;

TEST(RealTables, KnownValues) {
    if (test::corpusFolder().empty())
        GTEST_SKIP() << "the real tables are not here";
    ExportSettings settings;
    settings.dateOrder = '2';
    settings.dateSeparator = '-';
    auto value = [&](const std::string &rel, int record, int field) {
        SourceTable table;
        table.path = test::corpusFolder() + "/" + rel;
        std::string error;
        EXPECT_TRUE(openSourceTable(table, settings, &error)) << error;
        EXPECT_TRUE(readRecord(table, record));
        std::string text;
        formatFieldValue(text, table, settings, table.recordBuffer.data(), field);
        return text;
    };
    // Empty Long/Date/Time fields stay empty (pxlib 0.6.8 reads them as -2147483648).
    int empties = 0;
    for (int r = 0; r < 5; ++r)
        for (int f = 0; f < 2; ++f)
            empties += value("paradoxdriver/fields/date7.db", r, f).empty();
    EXPECT_GT(empties, 0);
    // A memo kept in the .mb comes out whole.
    EXPECT_GT(value("paradoxdriver/db/HERCULES.DB", 0, 1).size(), 20u);
    // Dates before 1900.
    bool found1787 = false;
    SourceTable t;
    t.path = test::corpusFolder() + "/paradoxdriver/geog/tblsttes.DB";
    std::string error;
    ASSERT_TRUE(openSourceTable(t, settings, &error));
    std::string text;
    for (int r = 0; r < t.recordCount && !found1787; ++r) {
        readRecord(t, r);
        for (int f = 0; f < t.fieldCount; ++f) {
            formatFieldValue(text, t, settings, t.recordBuffer.data(), f);
            found1787 |= text == "1787-12-07";
        }
    }
    EXPECT_TRUE(found1787);
}
