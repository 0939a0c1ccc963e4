// Every real Paradox table converted to HTML by the quorv binary and read back by html5lib: each page
// holds the table's field names and every record's values, as the table stores them.
#include <gtest/gtest.h>

#include "export/html/html_pages.h"
#include "support/test_support.h"

using namespace quorv;

namespace {

TEST(HtmlRealTables, EveryValueReadsBackAsStored) {
    const std::vector<std::string> tables = test::corpusTables();
    if (tables.empty())
        GTEST_SKIP() << "the real tables are not here: ../shared/testdata/paradox is absent";
    if (std::string missing = test::missingHtmlReader(false); !missing.empty())
        GTEST_SKIP() << "the independent reader is missing: " << missing;
    test::TempDir dir;
    std::vector<std::string> outputs, converted;
    std::vector<test::ShownTable> wanted;
    for (size_t t = 0; t < tables.size(); ++t) {
        test::ShownTable want;
        std::string error;
        if (!test::expectedHtmlTexts(test::corpusPath(tables[t]), true, want, &error)) {
            std::printf("  not converted (does not open): %s: %s\n", tables[t].c_str(), error.c_str());
            continue;
        }
        const std::string out = dir.file(std::to_string(t) + ".htm");
        test::RunResult run = test::runProgram({test::quorvBinary(), test::corpusPath(tables[t]), out}, "", -1, {"TZ=UTC"});
        EXPECT_EQ(run.status, 0) << tables[t] << ": " << run.err;
        outputs.push_back(out);
        converted.push_back(tables[t]);
        wanted.push_back(std::move(want));
    }
    std::vector<test::HtmlPage> pages;
    std::string error;
    ASSERT_TRUE(test::readHtmlPages(outputs, false, pages, &error)) << error;
    size_t values = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE(converted[i]);
        const test::ShownTable &want = wanted[i];
        ASSERT_EQ(pages[i].tables.size(), 1u);
        const auto &grid = pages[i].tables[0];
        ASSERT_EQ(grid.size(), want.records.size() + 2);
        ASSERT_EQ(grid[1].size(), want.names.size());
        for (size_t f = 0; f < want.names.size(); ++f)
            EXPECT_EQ(grid[1][f].text, want.names[f]);
        for (size_t r = 0; r < want.records.size(); ++r) {
            const auto &row = grid[r + 2];
            ASSERT_EQ(row.size(), want.names.size()) << "record " << r;
            for (size_t f = 0; f < row.size(); ++f) {
                const std::string &value = want.records[r][f];
                EXPECT_EQ(row[f].text, row[f].href.empty() ? value : " " + value + " ")
                    << "record " << r << ", field " << f;
                ++values;
            }
        }
    }
    std::printf("  %zu tables, %zu values checked\n", pages.size(), values);
}

} // namespace
