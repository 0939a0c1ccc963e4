// The real Paradox tables: every table opens, and every field of every record formats.
#include <gtest/gtest.h>

#include "export/settings.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;

TEST(RealTables, EveryFieldOfEveryRecordFormats) {
    std::vector<std::string> tables = test::corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "the real tables are not here: " << "../shared/testdata/paradox is absent";
    ExportSettings settings;
    int opened = 0;
    std::string notOpened;
    for (const std::string &relative : tables) {
        std::string path = test::corpusPath(relative);
        SourceTable table;
        table.path = path;
        std::string error;
        if (!openSourceTable(table, settings, &error)) {
            notOpened += "  " + path + ": " + error + "\n";
            continue;
        }
        ++opened;
        std::string text;
        for (int r = 0; r < table.recordCount; ++r) {
            ASSERT_TRUE(readRecord(table, r)) << path << " record " << r;
            for (int f = 0; f < table.fieldCount; ++f) {
                formatFieldValue(text, table, settings, table.recordBuffer.data(), f);
                ASSERT_LE(text.size(), 4u << 20) << path;
            }
        }
        for (const std::string &problem : table.problems)
            std::printf("  note: %s\n", problem.c_str());
    }
    std::printf("%d of %zu real tables opened\n%s", opened, tables.size(),
                notOpened.empty() ? "" : ("tables that did not open:\n" + notOpened).c_str());
    EXPECT_EQ(static_cast<size_t>(opened), tables.size()) << notOpened;
}

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
