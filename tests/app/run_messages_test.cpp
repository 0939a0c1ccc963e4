// What a command-line run says: empty switch values, DOS text read without "/oem", and the
// progress line that only a terminal sees.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixture/paradox_builder.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;

namespace {

class RunMessages : public ::testing::Test {
protected:
    test::RunResult quorv(const std::vector<std::string> &args) { return test::runQuorv(dir.path(), args); }
    void writeTable(const std::string &name, int codePage, const std::string &fieldName, const std::string &value) {
        test::makeTable(dir.file(name), {{fieldName, PxChar, 20}, {"N", PxLong}},
                        {{Cell::text("plain"), Cell::integer(1)}, {Cell::text(value), Cell::integer(2)}}, codePage);
    }
    test::TempDir dir;
};

// Runs quorv with the given arguments (shell words) on a pseudo-terminal of 100 columns, through
// util-linux's script; its output is everything the terminal received.
test::RunResult runOnTerminal(const std::string &folder, const std::string &args) {
    const std::string command = "stty cols 100 rows 24; exec '" + test::quorvBinary() + "' " + args;
    return test::runProgram({"/usr/bin/script", "-qec", command, "/dev/null"}, folder, -1,
                            {"XDG_CONFIG_HOME=" + folder});
}

// The warning about a DOS table read without "/oem", after the table's path.
std::string dosWarning(int codePage) {
    return ": the table's code page is the DOS code page " + std::to_string(codePage) +
           " and its text holds characters above 127: it is probably DOS text, which \"/oem\" converts";
}

} // namespace

TEST_F(RunMessages, EmptySwitchValuesAreRefused) {
    writeTable("t.db", 1252, "Name", "x");
    const char *switches[] = {"/LOG:",  "/FILTER:",     "/COLUMNSLIST:", "/COLUMNS:", "/OEMCP:",
                              "/decs:", "/MAXPERPAGE=", "/BORDER=",      "/COLOR=",   "/BACKGROUND="};
    for (const char *sw : switches) {
        test::RunResult r = quorv({"t.db", "out.csv", sw});
        EXPECT_EQ(r.status, 2) << sw;
        EXPECT_EQ(r.err.rfind(std::string("quorv: ") + sw + " needs ", 0), 0u) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file("out.csv"))) << sw;
    }
}

TEST_F(RunMessages, DosTextWithoutOemIsWarnedAbout) {
    const struct {
        int codePage;
        const char *fieldName, *value, *oem; // oem: "" for none
        bool warned;
    } cases[] = {
        {437, "Name", "M\x81ller", "", true},   {866, "\x88\xac\xef", "x", "", true}, // a Cyrillic field name
        {850, "Name", "ascii only", "", false}, {437, "Name", "M\x81ller", "/oem", false},
        {1252, "Name", "M\xFCller", "", false},
    };
    for (const auto &c : cases) {
        writeTable("t.db", c.codePage, c.fieldName, c.value);
        std::vector<std::string> args = {"t.db", "out.csv", "/LOG:run.log"};
        if (*c.oem)
            args.push_back(c.oem);
        test::RunResult r = quorv(args);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string warning = "t.db" + dosWarning(c.codePage);
        EXPECT_EQ(r.err, c.warned ? "quorv: " + warning + "\n" : "") << c.codePage << c.value;
        std::string log = test::readFile(dir.file("run.log"));
        EXPECT_EQ(log.find(warning + "\r\n") != std::string::npos, c.warned) << log;
    }
}

// On a terminal a run shows a line with the table, the percentage and the records per second that
// it clears at the end; through a pipe it prints nothing of it.
TEST_F(RunMessages, ProgressOnlyOnATerminal) {
    if (!test::missingTools({"script"}).empty())
        GTEST_SKIP() << "script is missing (Debian package bsdutils)";
    std::string error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("a.db"), 60000, 1, &error)) << error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("b.db"), 100, 2, &error)) << error;
    // A DOS table in the batch: its warning must start on a line of its own.
    writeTable("c.db", 437, "Name", "M\x81ller");

    std::filesystem::create_directories(dir.file("out"));
    test::RunResult terminal = runOnTerminal(dir.path(), "'*.db' out /TOcsv");
    const std::string &screen = terminal.out;
    EXPECT_EQ(terminal.status, 0) << screen << terminal.err;
    EXPECT_NE(screen.find("\ra.db (1 of 3): 0%, 0 of 60000 records"), std::string::npos) << screen;
    size_t warning = screen.find("quorv: " + dir.file("c.db") + ": the table's code page");
    ASSERT_NE(warning, std::string::npos) << screen;
    EXPECT_EQ(screen[warning - 1], '\r') << "the warning follows the cleared line";
    EXPECT_EQ(screen.substr(warning - 2, 1), " ");
    // Every progress line fits the terminal's 100 columns.
    for (const std::string &line : test::splitText(screen, '\r'))
        EXPECT_TRUE(line.size() < 100u || line.find("quorv:") != std::string::npos) << line;

    test::RunResult piped = quorv({"*.db", "out", "/TOcsv"});
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err, "quorv: " + dir.file("c.db") + dosWarning(437) + "\n");
}
