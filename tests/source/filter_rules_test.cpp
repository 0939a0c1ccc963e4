// Condition parsing, patterns, day numbers and the filter and column files: the parts of the
// filter that need no table.
#include <gtest/gtest.h>

#include "source/filter.h"
#include "source/order.h"
#include "support/test_support.h"

using namespace quorv;

namespace {
FilterCondition parsed(const std::string &text) {
    FilterCondition c;
    c.text = text;
    parseCondition(c);
    return c;
}
} // namespace

// ">", "<", "!empty()" and patterns filter the command-line tests' CSV output, read by Python's csv.
TEST(ParseCondition, OperatorsAndValues) {
    struct Case {
        const char *text;
        FilterOp op;
        const char *value;
    } cases[] = {
        {">= 5", FilterOp::GreaterEqual, "5"}, {"  SMITH", FilterOp::None, "SMITH"},
        {"!>5", FilterOp::Greater, "5"},       {"<>5", FilterOp::Less, ">5"},
        {"=5", FilterOp::None, "=5"},          {"!", FilterOp::Not, ""},
        {"<=3", FilterOp::LessEqual, "3"},
    };
    for (const Case &c : cases) {
        FilterCondition got = parsed(c.text);
        EXPECT_EQ(got.op, c.op) << c.text;
        EXPECT_EQ(got.value, c.value) << c.text;
    }
    EXPECT_TRUE(parsed("    ").text.empty()); // blanks only: no condition
}

TEST(MatchPattern, PrefixStarAndQuestionMark) {
    EXPECT_EQ(matchPattern("ANN", "ANNA"), 0);
    EXPECT_NE(matchPattern("ANN", "JOANNA"), 0);
    EXPECT_EQ(matchPattern("*ANN*", "JOANNA"), 0);
    EXPECT_EQ(matchPattern("*ANN", "JOANNA"), 0);
    EXPECT_EQ(matchPattern("A?N", "ANNA"), 0);
    EXPECT_EQ(matchPattern("A?N", "AXNE"), 0);
    EXPECT_EQ(matchPattern("*", ""), 0);
    EXPECT_EQ(matchPattern("", "ANYTHING"), 0);
    EXPECT_NE(matchPattern("ANNA", "ANN"), 0); // shorter text than pattern
}

TEST(DayNumber, CountsEveryYearOfTheCalendar) {
    EXPECT_EQ(dayNumber(1900, 1, 1), 2415021);
    EXPECT_EQ(dayNumber(2024, 2, 2) - dayNumber(2024, 2, 1), 1);
    EXPECT_EQ(dayNumber(2024, 3, 1) - dayNumber(2024, 2, 28), 2); // leap year
    EXPECT_EQ(dayNumber(1900, 3, 1) - dayNumber(1900, 2, 28), 1); // 1900 is not
    EXPECT_EQ(dayNumber(2000, 1, 1) - dayNumber(1999, 1, 1), 365);
    EXPECT_LT(dayNumber(1787, 12, 7), dayNumber(1800, 1, 1)); // before 1900 still ordered
    EXPECT_EQ(dayNumber(2024, 1, 32), dayNumber(2024, 2, 1)); // days count on into the next month
}

TEST(FilterFile, LinesSplitAtTheFirstColon) {
    test::TempDir dir;
    test::writeFile(dir.file("f.txt"), "Start:>10:00\r\nName :>5\nnocolon\n:x\nempty:\nCity:*ANN*");
    std::vector<FilterFileEntry> entries = readFilterFile(dir.file("f.txt"));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "Start");
    EXPECT_EQ(entries[0].condition, ">10:00");
    EXPECT_EQ(entries[1].name, "Name "); // names are not trimmed
    EXPECT_EQ(entries[2].condition, "*ANN*"); // a last line without a line break
    EXPECT_TRUE(readFilterFile(dir.file("missing.txt")).empty());
}

TEST(ColumnList, QuotedItemsAndEmptyLines) {
    std::vector<std::string> entries;
    addColumnList("\"x,y\",z", entries); // two commas: three items, the last one empty
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], "x,y");
    EXPECT_EQ(entries[1], "z");
    EXPECT_EQ(entries[2], "");
    std::string item = "unchanged";
    splitListItem(item, "a,b", 5, ',');
    EXPECT_EQ(item, "unchanged");
    splitListItem(item, "a,\"b\"  ", 1, ',');
    EXPECT_EQ(item, "b");

    test::TempDir dir;
    test::writeFile(dir.file("c.txt"), "Name\r\n\nCity\n");
    std::vector<std::string> lines;
    readColumnListFile(dir.file("c.txt"), lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"Name", "", "City"}));
}
