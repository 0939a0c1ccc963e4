// DBCREATE scripts: the bytes of the script, names that need other delimiters, the command line for one
// table and a batch, and failed runs that leave no file.
#include <gtest/gtest.h>

#include <filesystem>

#include "export/prg/prg_writer.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

const std::string kEnd = "\r\n })";

// One column line as the script writes it, with the padding run for a name of nameLength bytes.
std::string column(const std::string &literal, size_t nameLength) {
    return "{" + literal + ",  " + std::string(nameLength < 31 ? 31 - nameLength : 0, ' ') +
           "\"C\",  255,  0  },; \r\n";
}

class Prg : public ::testing::Test {
protected:
    void table(const std::string &file, std::vector<fixture::FieldSpec> fields, int records = 2) {
        fixture::TableSpec tableLayout;
        tableLayout.fields = std::move(fields);
        std::vector<Cell> row(tableLayout.fields.size(), Cell::text("x"));
        std::string error;
        ASSERT_TRUE(fixture::writeTable(dir.file(file), tableLayout,
                                        std::vector<std::vector<Cell>>(static_cast<size_t>(records), row), &error))
            << error;
    }
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit);
    }
    test::TempDir dir;
};

TEST_F(Prg, ScriptBytes) {
    const std::string longName(40, 'L');
    table("orders.db", {{"ID", PxChar, 4}, {"NAME", PxChar, 20}, {"NOTE", PxChar, 5}});
    table("names.db", {{"a\"b", PxChar, 4}, {"it's \"x\"", PxChar, 4}, {longName, PxChar, 4}, {"Cust#", PxChar, 4}});
    struct Case {
        const char *what;
        std::vector<std::string> args;
        std::string file, bytes;
    };
    const std::string start = " DBCREATE (\"orders.db\", {;\r\n";
    const Case cases[] = {
        {"every column, no records",
         {"orders.db", "o.prg"},
         "o.prg",
         start + column("\"ID\"", 2) + column("\"NAME\"", 4) + column("\"NOTE\"", 4) + kEnd},
        {"the padding run", {"orders.db", "p.prg", "/COLUMNS:ID"}, "p.prg",
         start + "{\"ID\",  " + std::string(29, ' ') + "\"C\",  255,  0  },; \r\n" + kEnd},
        {"the last field excluded", {"orders.db", "q.prg", "/COLUMNS:ID,NAME"}, "q.prg",
         start + column("\"ID\"", 2) + column("\"NAME\"", 4) + kEnd},
        {"no exported column", {"orders.db", "r.prg", "/COLUMNS:nothing"}, "r.prg", start},
        {"names in apostrophes and brackets, no run for long names",
         {"names.db", "n.prg"},
         "n.prg",
         " DBCREATE (\"names.db\", {;\r\n" + column("'a\"b'", 3) + column("[it's \"x\"]", 8) +
             column("\"" + longName + "\"", 40) + column("\"Cust#\"", 5) + kEnd},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::RunResult r = quorv(c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(test::readFile(dir.file(c.file)), c.bytes);
    }

    // A batch writes one script per table, each naming its own table.
    std::filesystem::create_directory(dir.file("out"));
    test::RunResult r = quorv({"*.db", "out", "/TOprg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("out/orders.prg")), cases[0].bytes);
    EXPECT_EQ(test::readFile(dir.file("out/names.prg")), cases[4].bytes);
}

TEST(PrgLiteral, EveryTextGivesOneValidExpression) {
    const std::pair<std::string, std::string> cases[] = {
        {"Name", "\"Name\""},
        {"", "\"\""},
        {"say \"hi\"", "'say \"hi\"'"},
        {"it's \"x\"", "[it's \"x\"]"},
        {"a\"b'c]d", "[a\"b'c]+\"]d\""},
        {"line\r\nbreak", "\"line\"+CHR(13)+CHR(10)+\"break\""},
        {"\t", "CHR(9)"},
    };
    for (const auto &[text, literal] : cases)
        EXPECT_EQ(prgStringLiteral(text), literal) << text;
}

TEST_F(Prg, FailedWritesLeaveNoFile) {
    std::vector<fixture::FieldSpec> fields;
    for (int i = 0; i < 200; ++i)
        fields.push_back({std::string(100, 'A') + std::to_string(i), PxChar, 1});
    table("wide.db", fields, 1);
    struct Case {
        const char *what;
        std::vector<std::string> args;
        long fileSizeLimit;
        std::string message, leftOver;
    };
    const Case cases[] = {
        {"a folder that does not exist", {"wide.db", "nowhere/w.prg"}, -1, "No such file or directory",
         "nowhere/w.prg"},
        {"a full disk", {"wide.db", "w.prg"}, 8 * 1024, "File too large", "w.prg"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        test::RunResult r = quorv(c.args, c.fileSizeLimit);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.leftOver), std::string::npos) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file(c.leftOver)));
    }
}

} // namespace
