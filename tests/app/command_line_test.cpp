// The command-line mode, run through the real quorv binary on tables the fixture builder makes.
// The tests run in the C locale, whose dates are month/day/year.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "fixture/fixtures.h"
#include "fixture/paradox_builder.h"
#include "source/paradox_table.h"
#include "support/csv_reader.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

// The people table; kPeople below is what the CSV output holds of its records, in table order.
void writePeople(const std::string &path) {
    fixture::TableSpec tableLayout;
    tableLayout.fields = {{"Id", PxAutoInc},       {"Last Name", PxChar, 20}, {"City", PxChar, 20},
                   {"Born", PxDate},        {"Score", PxShort},        {"Amount", PxNumber},
                   {"Paid", PxLogical},     {"Notes", PxMemoBlob, 40}};
    std::vector<std::vector<Cell>> rows = {
        {Cell::integer(1), Cell::text("Smith"), Cell::text("Boston"), Cell::date(1980, 5, 1), Cell::integer(7),
         Cell::real(2.5), Cell::logical(true), Cell::text("likes, commas")},
        {Cell::integer(2), Cell::text("smith"), Cell::text("Berlin"), Cell::date(1975, 12, 31), Cell::integer(-5),
         Cell::real(2.0), Cell::logical(false), Cell()},
        {Cell::integer(3), Cell::text("Jones"), Cell::text("Oslo;Bergen"), Cell(), Cell(), Cell::real(10.75), Cell(),
         Cell::text("line1\r\nline2")},
        {Cell::integer(4), Cell::text("O'Brien"), Cell::text("say \"hi\""), Cell::date(2024, 2, 2), Cell::integer(0),
         Cell::real(0.4), Cell::logical(true), Cell::text("he said \"no\"")},
        {Cell::integer(5), Cell::text("B\xE4" "cker"), Cell::text("|pipe|"), Cell::date(2024, 2, 1),
         Cell::integer(12), Cell::real(3), Cell::logical(false), Cell::text("tab\there")},
    };
    std::string error;
    ASSERT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
}

const std::vector<std::string> kHeader = {"Id", "Last Name", "City", "Born", "Score", "Amount", "Paid", "Notes"};
const std::vector<std::vector<std::string>> kPeople = {
    {"1", "Smith", "Boston", "05/01/1980", "7", "2.50", "1", "likes, commas"},
    {"2", "smith", "Berlin", "12/31/1975", "-5", "2.00", "0", ""},
    {"3", "Jones", "Oslo;Bergen", "null", "", "10.75", "", "line1\r\nline2"},
    {"4", "O'Brien", "say \"hi\"", "02/02/2024", "0", "0.40", "1", "he said \"no\""},
    {"5", "B\xE4" "cker", "|pipe|", "02/01/2024", "12", "3.00", "0", "tab\there"},
};

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override { writePeople(dir.file("people.db")); }
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1,
                          const std::vector<std::string> &environment = {}) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit, environment);
    }
    test::CsvRows readCsv(const std::string &name, char delimiter = ',', char quote = '"', bool utf8 = false) {
        test::CsvRows rows;
        std::string error;
        if (!test::readCsvWithPython(dir.file(name), delimiter, quote, utf8, rows, &error))
            ADD_FAILURE() << "Python's csv module could not read " << name << ": " << error;
        return rows;
    }
    // The values of column c below the header.
    std::vector<std::string> column(const test::CsvRows &rows, size_t c) {
        std::vector<std::string> values;
        for (size_t r = 1; r < rows.size(); ++r)
            values.push_back(c < rows[r].size() ? rows[r][c] : "<missing>");
        return values;
    }
    test::TempDir dir;
};

bool havePythonCsv() { return !test::debianPython().empty(); }

} // namespace

// Python's csv module reads every value back, with no switch (a comma and double quotes) and with
// each separator and quote switch.
TEST_F(CommandLine, EverySeparatorAndQuoteSettingReadsBack) {
    if (!havePythonCsv())
        GTEST_SKIP() << "python3 is not installed";
    struct Sep {
        const char *sw;
        char c;
    } seps[] = {{"", ','}, {"/SEP;", ';'}, {"/SEPTAB", '\t'}, {"/SEPspace", ' '}, {"/SEPPIPE", '|'}};
    struct Quote {
        std::vector<std::string> sw;
        char c;
    } quotes[] = {{{}, '"'}, {{"/SINGLEQUOTA"}, '\''}, {{"/DOUBLEQUOTA"}, '"'}, {{"/allquotes"}, '"'},
                  {{"/SINGLEQUOTA", "/allquotes"}, '\''}};
    for (const Sep &sep : seps) {
        for (const Quote &quote : quotes) {
            std::vector<std::string> args = {"people.db", "out.txt"};
            if (*sep.sw)
                args.push_back(sep.sw);
            args.insert(args.end(), quote.sw.begin(), quote.sw.end());
            test::RunResult r = quorv(args);
            ASSERT_EQ(r.status, 0) << r.err;
            test::CsvRows rows = readCsv("out.txt", sep.c, quote.c);
            std::string setting = std::string(sep.sw) + " " + (quote.sw.empty() ? "" : quote.sw[0]);
            ASSERT_EQ(rows.size(), 6u) << setting;
            EXPECT_EQ(rows[0], kHeader) << setting;
            for (size_t i = 0; i < kPeople.size(); ++i)
                EXPECT_EQ(rows[i + 1], kPeople[i]) << setting << " record " << i;
        }
    }
}

TEST_F(CommandLine, QuotingLiterals) {
    // No switch: lines end in CR LF. The values, the word null for an empty date among them: the
    // reader test above.
    ASSERT_EQ(quorv({"people.db", "out.csv"}).status, 0);
    std::string bytes = test::readFile(dir.file("out.csv"));
    EXPECT_EQ(bytes.substr(0, 48), "Id,Last Name,City,Born,Score,Amount,Paid,Notes\r\n");
    // /SEP; /allquotes /DOUBLEQUOTA: every value in double quotes, separated by ';'.
    ASSERT_EQ(quorv({"people.db", "out.csv", "/SEP;", "/allquotes", "/DOUBLEQUOTA"}).status, 0);
    bytes = test::readFile(dir.file("out.csv"));
    EXPECT_EQ(bytes.substr(0, bytes.find('\n') + 1),
              "\"Id\";\"Last Name\";\"City\";\"Born\";\"Score\";\"Amount\";\"Paid\";\"Notes\"\r\n");
    EXPECT_NE(bytes.find("\r\n\"1\";\"Smith\";\"Boston\";\"05/01/1980\";\"7\";\"2.50\";\"1\";\"likes, commas\"\r\n"),
              std::string::npos);
    // /SINGLEQUOTA: text-like values in apostrophes, inner apostrophes doubled; numbers bare.
    ASSERT_EQ(quorv({"people.db", "out.csv", "/SINGLEQUOTA", "/nohdr"}).status, 0);
    bytes = test::readFile(dir.file("out.csv"));
    EXPECT_EQ(bytes.substr(0, 2), "1,");
    EXPECT_NE(bytes.find("\r\n4,'O''Brien','say \"hi\"','02/02/2024',0,0.40,1,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n3,'Jones','Oslo;Bergen',null,,10.75,,"), std::string::npos);
}

TEST_F(CommandLine, ColumnsDecimalsAndUtf8) {
    if (!havePythonCsv())
        GTEST_SKIP() << "python3 is not installed";
    test::RunResult r = quorv({"people.db", "out.csv", "/COLUMNS:amount,Last Name", "/decs:3", "/utf8"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string bytes = test::readFile(dir.file("out.csv"));
    ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    test::CsvRows rows = readCsv("out.csv", ',', '"', true);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Last Name", "Amount"})); // table order
    EXPECT_EQ(rows[5], (std::vector<std::string>{"B\xC3\xA4" "cker", "3.000"}));
    // Appending UTF-8 writes no second byte-order mark.
    r = quorv({"people.db", "out.csv", "/COLUMNS:Id", "/utf8", "/append"});
    ASSERT_EQ(r.status, 0) << r.err;
    bytes = test::readFile(dir.file("out.csv"));
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF", 3), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 3), "5\r\n");
}

TEST_F(CommandLine, SortReverseAndFilter) {
    if (!havePythonCsv())
        GTEST_SKIP() << "python3 is not installed";
    auto ids = [&](std::vector<std::string> switches) {
        std::vector<std::string> args = {"people.db", "out.csv"};
        args.insert(args.end(), switches.begin(), switches.end());
        test::RunResult r = quorv(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string joined;
        for (const std::string &id : column(readCsv("out.csv"), 0))
            joined += id;
        return joined;
    };
    EXPECT_EQ(ids({"/REVERSE"}), "54321");
    EXPECT_EQ(ids({"/SORTBY:Last Name"}), "53412");  // bytes: B\xE4 < J < O < S < s
    EXPECT_EQ(ids({"/SORTBY:Last", "Name", "/DESC"}), "21435"); // the name runs on to the next '/'
    EXPECT_EQ(ids({"/SORTBY:score"}), "32415");      // empty first, then -5 0 7 12
    EXPECT_EQ(ids({"/SORTBY:Amount"}), "42153");     // 0.4 2.0 2.5 3 10.75: numbers, not whole parts
    EXPECT_EQ(ids({"/SORTBY:Born", "/REVERSE"}), "45123"); // empty date first, then reversed
    EXPECT_EQ(ids({"/SORTBY:Paid"}), "32514");       // empty, then "0" records in table order, then "1"

    test::writeFile(dir.file("f.txt"), "Amount:<3\nLast Name:>M\n");
    EXPECT_EQ(ids({"/FILTER:f.txt"}), "124");        // < 3 keeps 2.5 and 2.0; >M keeps O'Brien, Smith, smith
    test::writeFile(dir.file("f.txt"), "last name:SM*TH\n");
    EXPECT_EQ(ids({"/FILTER:f.txt"}), "12");         // patterns ignore case
    test::writeFile(dir.file("f.txt"), "Born:>02/01/2024\n");
    EXPECT_EQ(ids({"/FILTER:f.txt"}), "4");          // empty dates fail an ordering condition
    test::writeFile(dir.file("f.txt"), "Born:*/2024\nNotes:!empty()\n");
    EXPECT_EQ(ids({"/FILTER:f.txt"}), "45");
    test::writeFile(dir.file("f.txt"), "Score:empty()\n");
    EXPECT_EQ(ids({"/FILTER:f.txt"}), "34");         // empty and 0 compare as 0
    test::writeFile(dir.file("f.txt"), "Born:>13/01/2024\n");
    test::RunResult r = quorv({"people.db", "out.csv", "/FILTER:f.txt"});
    EXPECT_NE(r.err.find("names no month"), std::string::npos); // reported, and rejects nothing
    EXPECT_EQ(column(readCsv("out.csv"), 0).size(), 5u);
}

// Paths with blanks, $ and quotes, one per argument, are run by the scripts of the wizard's round trip.
// Here the whole command line comes as one argument, its quotes and blanks as on Windows.
TEST_F(CommandLine, TheWholeCommandLineAsOneArgument) {
    test::RunResult r = quorv({"\"people.db\" \"one arg.csv\" /SEP;"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("one arg.csv")).substr(0, 6), "Id;Las");
    // An unquoted source followed by a quoted output does not give the two names.
    EXPECT_EQ(quorv({"people.db \"two arg.csv\""}).status, 2);
    EXPECT_FALSE(test::fileExists(dir.file("two arg.csv")));
}

TEST_F(CommandLine, OpenHandsTheFinishedOutputToTheDesktop) {
    // A stand-in for xdg-open records what it was asked to open (renamed into place: never seen half
    // written).
    std::string bin = dir.file("bin"), opened = dir.file("opened");
    std::filesystem::create_directories(bin);
    const std::string record =
        "printf '%s' \"$1\" > '" + opened + ".new' && mv '" + opened + ".new' '" + opened + "'";
    test::writeFile(bin + "/xdg-open", "#!/bin/sh\n" + record + "\n");
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    std::string path = "PATH=" + bin + ":/usr/bin:/bin";
    ASSERT_EQ(quorv({"people.db", "shown.csv", "/Open"}, -1, {path}).status, 0);
    for (int i = 0; i < 100 && !test::fileExists(opened); ++i)
        usleep(20000); // the opener runs detached
    EXPECT_EQ(test::readFile(opened), "shown.csv");
}

TEST_F(CommandLine, WildcardBatchAndShellExpandedTables) {
    std::filesystem::create_directories(dir.file("in"));
    std::filesystem::create_directories(dir.file("out"));
    for (const char *name : {"a.db", "B.DB"}) {
        std::filesystem::copy_file(dir.file("people.db"), dir.file(std::string("in/") + name));
    }
    test::writeFile(dir.file("in/Thumbs.db"), "not a table");
    test::writeFile(dir.file("in/broken.db"), std::string(3000, '\x07'));
    test::RunResult r = quorv({"in/*.db", "out", "/TOcsv", "/LOG:batch.log"});
    EXPECT_EQ(r.status, 1) << "the broken table makes the run fail";
    EXPECT_TRUE(test::fileExists(dir.file("out/a.csv")));
    EXPECT_TRUE(test::fileExists(dir.file("out/B.csv")));
    EXPECT_FALSE(test::fileExists(dir.file("out/Thumbs.csv")));
    EXPECT_FALSE(test::fileExists(dir.file("out/broken.csv")));
    std::string log = test::readFile(dir.file("batch.log"));
    EXPECT_NE(log.find("source file: in/B.DB\r\n out file:out/B.csv\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("in/broken.db: not a readable Paradox table"), std::string::npos) << log;
    EXPECT_NE(r.err.find("broken.db"), std::string::npos);
    EXPECT_EQ(log.find("Thumbs"), std::string::npos);

    r = quorv({"in/a.db", "in/B.DB", "out", "/TOtxt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(test::fileExists(dir.file("out/a.txt")));
    EXPECT_TRUE(test::fileExists(dir.file("out/B.txt")));

    r = quorv({"in/*.nomatch.db", "out", "/TOcsv", "/LOG:none.log"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::readFile(dir.file("none.log")), "in/*.nomatch.db: files not found\r\n");
}

TEST_F(CommandLine, FailuresAreReported) {
    test::RunResult r = quorv({"people.db", "nowhere/out.csv", "/LOG:fail.log"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(test::readFile(dir.file("fail.log")),
              "source file: people.db\r\n out file:nowhere/out.csv\r\nnowhere/out.csv: No such file or directory\r\n");
    EXPECT_NE(r.err.find("nowhere/out.csv: No such file or directory"), std::string::npos);

    // A full disk: the file-size limit stops the writes; nothing half-written is left.
    std::string error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("big.db"), 3000, 1, &error)) << error;
    r = quorv({"big.db", "big.csv"}, 64 * 1024);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("big.csv: File too large"), std::string::npos) << r.err;
    EXPECT_FALSE(test::fileExists(dir.file("big.csv")));
}

// A bad command line exits with 2, a table that cannot be read with 1.
TEST_F(CommandLine, BadCommandLinesGetOneLineErrors) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char *message;
    } cases[] = {
        {{"people.db", "out.pdf"}, 2, "unknown output type \"pdf\""},
        {{"people.db", "out"}, 2, "has no extension"},
        {{"people.db", "out.csv", "/bogus"}, 2, "unknown switch /bogus"},
        {{"people.db", "out.csv", "/decs:x"}, 2, "decimals must be a number"},
        {{"people.db", "out.csv", "/decs:16"}, 2, "decimals must be a number"},
        {{"people.db", "out.csv", "/FILTER:none.txt"}, 2, "filter file none.txt does not exist"},
        {{"people.db"}, 2, "give the source table and the output"},
        {{"data.txt", "out.csv"}, 2, "no Paradox table"},
        {{"in/*.db", "out"}, 2, "needs /TO"},
        {{"missing.db", "out.csv"}, 1, "missing.db: no such file"},
    };
    for (const Case &c : cases) {
        test::RunResult r = quorv(c.args);
        EXPECT_EQ(r.status, c.status) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    test::RunResult help = quorv({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("/SORTBY:"), std::string::npos);
    EXPECT_NE(help.out.find(".csv"), std::string::npos);
}
