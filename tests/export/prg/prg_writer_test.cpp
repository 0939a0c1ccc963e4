// DBCREATE scripts: the bytes of the script, names that need other delimiters, the command line for one
// table and a batch. A failed write goes through the driver as for every output type without failure code
// of its own (tests/app/command_line_test.cpp and tests/export/rtf/rtf_test.cpp check it).
#include <gtest/gtest.h>

#include <filesystem>

#include "export/prg/prg_writer.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;

namespace {

// One column line as the script writes it, with the padding run for a name of nameLength bytes.
std::string column(const std::string &literal, size_t nameLength) {
    return "{" + literal + ",  " + std::string(nameLength < 31 ? 31 - nameLength : 0, ' ') +
           "\"C\",  255,  0  },; \r\n";
}

// A table of two records, "x" in every field.
void table(const std::string &path, const std::vector<fixture::FieldSpec> &fields) {
    test::makeTable(path, fields, std::vector<std::vector<Cell>>(2, std::vector<Cell>(fields.size(), Cell::text("x"))));
}

TEST(Prg, ScriptBytes) {
    test::TempDir dir;
    const std::string longName(40, 'L'), start = " DBCREATE (\"orders.db\", {;\r\n", end = "\r\n })";
    table(dir.file("orders.db"), {{"ID", PxChar, 4}, {"NAME", PxChar, 20}, {"NOTE", PxChar, 5}});
    table(dir.file("names.db"),
          {{"a\"b", PxChar, 4}, {"it's \"x\"", PxChar, 4}, {longName, PxChar, 4}, {"Cust#", PxChar, 4}});
    const struct {
        const char *what;
        std::vector<std::string> args;
        std::string bytes; // of the file the second argument names
    } cases[] = {
        {"every column, no records",
         {"orders.db", "o.prg"},
         start + column("\"ID\"", 2) + column("\"NAME\"", 4) + column("\"NOTE\"", 4) + end},
        {"the padding run",
         {"orders.db", "p.prg", "/COLUMNS:ID"},
         start + "{\"ID\",  " + std::string(29, ' ') + "\"C\",  255,  0  },; \r\n" + end},
        {"the last field excluded",
         {"orders.db", "q.prg", "/COLUMNS:ID,NAME"},
         start + column("\"ID\"", 2) + column("\"NAME\"", 4) + end},
        {"no exported column", {"orders.db", "r.prg", "/COLUMNS:nothing"}, start},
        {"names in apostrophes and brackets, no run for long names",
         {"names.db", "n.prg"},
         " DBCREATE (\"names.db\", {;\r\n" + column("'a\"b'", 3) + column("[it's \"x\"]", 8) +
             column("\"" + longName + "\"", 40) + column("\"Cust#\"", 5) + end},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        test::RunResult r = test::runQuorv(dir.path(), c.args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(test::readFile(dir.file(c.args[1])), c.bytes);
    }
    // A batch writes one script per table, each naming its own table.
    std::filesystem::create_directory(dir.file("out"));
    test::RunResult r = test::runQuorv(dir.path(), {"*.db", "out", "/TOprg"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readFile(dir.file("out/orders.prg")), cases[0].bytes);
    EXPECT_EQ(test::readFile(dir.file("out/names.prg")), cases[4].bytes);
}

TEST(Prg, EveryTextGivesOneValidLiteral) {
    const std::pair<std::string, std::string> cases[] = {
        {"Name", "\"Name\""}, {"", "\"\""}, {"say \"hi\"", "'say \"hi\"'"}, {"it's \"x\"", "[it's \"x\"]"},
        {"a\"b'c]d", "[a\"b'c]+\"]d\""}, {"line\r\nbreak", "\"line\"+CHR(13)+CHR(10)+\"break\""}, {"\t", "CHR(9)"}};
    for (const auto &[text, literal] : cases)
        EXPECT_EQ(prgStringLiteral(text), literal) << text;
}

} // namespace
