// The SQL writer's bytes: the layout of the DROP/CREATE block and the INSERT statements, and the
// names, types and literals of each dialect. SQL Server and Oracle have no server here, so their
// scripts are checked only here; the other three are also loaded into the real databases
// (tests/export/sql/sql_database_test.cpp).
#include <gtest/gtest.h>

#include <functional>

#include "export/driver.h"
#include "export/settings.h"
#include "export/sql/sql_writer.h"
#include "fixture/fixtures.h"
#include "source/filter.h"
#include "source/paradox_table.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

std::string blanks(size_t n) {
    return std::string(n, ' ');
}

struct Script {
    ExportResult result;
    std::string text;
};

class SqlScript : public ::testing::Test {
  protected:
    // Writes a table of the given fields and rows under `name` (".db" added).
    std::string table(const std::string &name, std::vector<fixture::FieldSpec> fields,
                      const std::vector<std::vector<Cell>> &rows, int codePage = 1252) {
        fixture::TableSpec tableLayout;
        tableLayout.fields = std::move(fields);
        tableLayout.codePage = codePage;
        std::string path = dir.file(name + ".db"), error;
        EXPECT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
        return path;
    }
    // Orders: NAME Char(20), PRICE Number; "Pen" 1.5, "O'Brien" with no price.
    std::string orders() {
        return table("Orders", {{"NAME", PxChar, 20}, {"PRICE", PxNumber}},
                     {{Cell::text("Pen"), Cell::real(1.5)}, {Cell::text("O'Brien"), Cell()}});
    }
    Script run(const std::string &path, SqlDialect dialect,
               const std::function<void(ExportSettings &, SourceTable &)> &adjust = {}) {
        Script script;
        ExportSettings settings;
        settings.outputType = OutputType::Sql;
        settings.outputPath = dir.file("out.sql");
        settings.quoteChar = '\'';
        settings.sqlDialect = dialect;
        settings.viewAfterExport = false;
        SourceTable source;
        source.path = path;
        std::string error;
        EXPECT_TRUE(openSourceTable(source, settings, &error)) << error;
        if (adjust)
            adjust(settings, source);
        script.result = runExport(source, settings);
        closeSourceTable(source);
        if (test::fileExists(settings.outputPath)) {
            script.text = test::readFile(settings.outputPath);
            std::remove(settings.outputPath.c_str());
        }
        return script;
    }
    // The lines of the script that begin with "insert".
    static std::vector<std::string> inserts(const std::string &text) {
        std::vector<std::string> lines;
        for (size_t at = text.find("insert into "); at != std::string::npos;
             at = text.find("insert into ", at + 1))
            lines.push_back(text.substr(at, text.find(");\r\n", at) + 4 - at));
        return lines;
    }
    test::TempDir dir;
};

TEST_F(SqlScript, EveryDialectsBlockAndStatements) {
    const std::string path = orders();
    // The whole script with the block; without it only the encoding line and the statements remain. The
    // PostgreSQL and MySQL scripts differ from the Ansi one in their types and literals only, which the
    // databases load and compare (sql_database_test.cpp).
    struct Expected {
        SqlDialect dialect;
        std::string encoding, script;
    };
    const Expected cases[] = {
        {SqlDialect::Ansi, "",
         " DROP TABLE IF EXISTS Orders;\r\n CREATE TABLE Orders (\r\nNAME" + blanks(29) + "char(20), \r\nPRICE" +
             blanks(28) + "double precision);\r\ninsert into Orders values('Pen',1.50);\r\n"
             "insert into Orders values('O''Brien',null);\r\n"},
        {SqlDialect::PostgreSql, "SET client_encoding = 'WIN1252';\r\n", ""},
        {SqlDialect::MySql, "SET NAMES latin1;\r\n", ""},
        {SqlDialect::Oracle, "",
         " DROP TABLE Orders;\r\n CREATE TABLE Orders (\r\nNAME" + blanks(29) + "char(20 char), \r\nPRICE" +
             blanks(28) + "real);\r\ninsert into Orders values('Pen',1.50);\r\n"
             "insert into Orders values('O''Brien',null);\r\n"},
        {SqlDialect::SqlServer, "",
         "  if exists ( select * from sys.tables where name = N'Orders')\r\n DROP TABLE [Orders];\r\n"
         " CREATE TABLE [Orders] (\r\n[NAME]" + blanks(29) + "char(20), \r\n[PRICE]" + blanks(28) +
             "float);\r\ninsert into Orders values(N'Pen',1.50);\r\n"
             "insert into Orders values(N'O''Brien',null);\r\n"},
    };
    for (const Expected &e : cases) {
        SCOPED_TRACE(sqlDialectRules(e.dialect).name);
        if (!e.script.empty()) {
            EXPECT_EQ(run(path, e.dialect).text, e.script);
        }
        Script bare = run(path, e.dialect,
                          [](ExportSettings &settings, SourceTable &) { settings.writeHeader = false; });
        EXPECT_EQ(bare.text.substr(0, bare.text.find("insert")), e.encoding);
        EXPECT_EQ(inserts(bare.text).size(), 2u);
    }
}

TEST_F(SqlScript, NamesAreQuotedWhereTheDialectNeedsIt) {
    const std::string grosse = "Gr\xF6\xDF" "e"; // not ASCII
    const std::vector<fixture::FieldSpec> fields = {
        {"Date", PxDate}, {"Order", PxShort}, {"Group", PxShort}, {"Unit Price", PxCurrency}, {"No#", PxLong},
        {"No%", PxLong},  {"Name", PxChar, 5}, {"Say \"Hi\"", PxChar, 5}, {"a]b`c", PxChar, 5},
        {grosse, PxChar, 5}, {"2nd", PxShort}};
    std::vector<Cell> row(fields.size());
    row[0] = Cell::date(2024, 3, 7);
    const std::string path = table("Order Lines", fields, {row});
    // The names in CREATE order; the fill after each follows the length of the stored name. The other
    // dialects' names are loaded and compared by the databases (sql_database_test.cpp).
    struct Expected {
        SqlDialect dialect;
        std::string table;
        std::vector<std::string> names;
    };
    const Expected cases[] = {
        {SqlDialect::Oracle,
         "\"Order Lines\"",
         {"\"Date\"", "\"Order\"", "\"Group\"", "\"Unit Price\"", "No", "No_2", "Name", "\"Say \"\"Hi\"\"\"",
          "\"a]b`c\"", "\"" + grosse + "\"", "\"2nd\""}},
        {SqlDialect::SqlServer,
         "[Order Lines]",
         {"[Date]", "[Order]", "[Group]", "[Unit Price]", "[No]", "[No_2]", "[Name]", "[Say \"Hi\"]",
          "[a]]b`c]", "[" + grosse + "]", "[2nd]"}},
    };
    for (const Expected &e : cases) {
        SCOPED_TRACE(sqlDialectRules(e.dialect).name);
        Script s = run(path, e.dialect);
        size_t at = s.text.find(" CREATE TABLE " + e.table + " (\r\n");
        ASSERT_NE(at, std::string::npos) << s.text;
        at = s.text.find("\r\n", at) + 2;
        for (size_t i = 0; i < e.names.size(); ++i) {
            const std::string expected = e.names[i] + "  " + blanks(31 - fields[i].name.size());
            EXPECT_EQ(s.text.substr(at, expected.size()), expected) << "column " << i;
            at = s.text.find("\r\n", at) + 2;
        }
        EXPECT_EQ(inserts(s.text).at(0).rfind("insert into " + e.table + " values(", 0), 0u);
    }
    // SQL Server names the table inside a string literal too.
    Script quoted = run(table("O'Hare", {{"A", PxShort}}, {}), SqlDialect::SqlServer);
    const std::string drop =
        "  if exists ( select * from sys.tables where name = N'O''Hare')\r\n DROP TABLE [O'Hare];";
    EXPECT_EQ(quoted.text.substr(0, drop.size()), drop);
}

TEST_F(SqlScript, TextLiteralsOfEachDialect) {
    const std::string path = table("t", {{"T", PxChar, 30}},
                                   {{Cell::text("O'Brien")},
                                    {Cell::text("back\\slash")},
                                    {Cell::text("say \"hi\"")},
                                    {Cell::text("a\r\nb")},
                                    {Cell::text("R&D")},
                                    {Cell::text("  lead  ")},
                                    {Cell()}});
    // The literals of the other dialects, with either quote, are loaded and compared by the databases
    // (sql_database_test.cpp).
    struct Expected {
        SqlDialect dialect;
        std::vector<std::string> values;
    };
    const Expected cases[] = {
        {SqlDialect::SqlServer,
         {"N'O''Brien'", "N'back\\slash'", "N'say \"hi\"'", "(N'a' + NCHAR(13)) + (NCHAR(10) + N'b')",
          "N'R&D'", "N'  lead'", "N''"}},
        {SqlDialect::Oracle,
         {"'O''Brien'", "'back\\slash'", "'say \"hi\"'", "('a' || CHR(13)) || (CHR(10) || 'b')",
          "'R' || (CHR(38) || 'D')", "'  lead'", "''"}},
    };
    for (const Expected &e : cases) {
        SCOPED_TRACE(sqlDialectRules(e.dialect).name);
        std::vector<std::string> lines = inserts(run(path, e.dialect).text);
        ASSERT_EQ(lines.size(), e.values.size());
        for (size_t i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i], "insert into t values(" + e.values[i] + ");\r\n");
    }
}

TEST_F(SqlScript, SqlServerAndOracleTypesAndValues) {
    std::string error;
    const std::string all = dir.file("alltypes.db");
    ASSERT_TRUE(fixture::makeAllTypesTable(all, &error)) << error;
    struct Expected {
        SqlDialect dialect;
        std::vector<std::string> types;
        std::string empty, negatives;
    };
    const Expected cases[] = {
        {SqlDialect::SqlServer,
         {"char(40)", "date", "integer", "integer", "decimal(20,2)", "float", "bit", "nvarchar(max)",
          "nvarchar(max)", "nvarchar(max)", "nvarchar(max)", "nvarchar(max)", "time", "datetime2", "integer",
          "decimal(34,4)", "nvarchar(max)"},
         "N'',null,null,null,null,null,null,null,N'memo',null,N'memo',N'memo',null,null,null,null,null",
         "N'It''s \"quoted\" \\ back; semi, "
         "comma','1787-12-07',-32767,-2147483647,-1234.56,-273.15,1,N'Short memo',"
         "N'memo',N'{\\rtf1 x}',N'memo',N'memo','10:05:03.500','2024-03-07 13:04:05',2,-98765.4321,null"},
        {SqlDialect::Oracle,
         {"char(40 char)", "date", "integer", "integer", "decimal(20,2)", "real", "number(1)", "clob", "clob",
          "clob", "clob", "clob", "varchar2(12)", "timestamp", "integer", "number(34,4)", "clob"},
         "'',null,null,null,null,null,null,null,'memo',null,'memo','memo',null,null,null,null,null",
         "'It''s \"quoted\" \\ back; semi, comma',DATE "
         "'1787-12-07',-32767,-2147483647,-1234.56,-273.15,1,'Short memo',"
         "'memo','{\\rtf1 x}','memo','memo','10:05:03.500',TIMESTAMP '2024-03-07 "
         "13:04:05',2,-98765.4321,null"},
    };
    for (const Expected &e : cases) {
        SCOPED_TRACE(sqlDialectRules(e.dialect).name);
        Script s = run(all, e.dialect);
        ASSERT_TRUE(s.result.ok);
        size_t at = s.text.find(" (\r\n") + 4;
        for (const std::string &type : e.types) {
            size_t end = s.text.find("\r\n", at);
            std::string line = s.text.substr(at, end - at);
            EXPECT_EQ(line.substr(line.find_first_not_of(' ', line.find("  ")), type.size()), type) << line;
            at = end + 2;
        }
        std::vector<std::string> lines = inserts(s.text);
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[0], "insert into alltypes values(" + e.empty + ");\r\n");
        EXPECT_EQ(lines[2], "insert into alltypes values(" + e.negatives + ");\r\n");
    }

    // Oracle takes string literals of 4000 bytes at most: the 3000-character memo of record 3 is
    // joined from pieces of 1000.
    std::string memo = inserts(run(all, SqlDialect::Oracle).text).at(3);
    size_t piece = memo.find("TO_CLOB('The quick");
    ASSERT_NE(piece, std::string::npos);
    EXPECT_EQ(memo.substr(piece + 9 + 1000, 23), "')\r\n || TO_CLOB('brown ") << "pieces of 1000 characters";

    // A BCD column keeps its own decimals; MySQL keeps 30 at most and says so.
    const std::string bcd = table("bcd", {{"Six", PxBcd, 17, 6}, {"Many", PxBcd, 17, 32}},
                                  {{Cell::bcd("1.234567"), Cell::bcd("0.12345678901234567890123456789012")}});
    for (SqlDialect d : {SqlDialect::SqlServer, SqlDialect::Oracle, SqlDialect::MySql}) {
        Script s = run(bcd, d);
        const bool oracle = d == SqlDialect::Oracle;
        EXPECT_NE(s.text.find(oracle ? "number(34,6)" : "decimal(34,6)"), std::string::npos) << s.text;
        EXPECT_NE(s.text.find(d == SqlDialect::MySql ? "decimal(34,30)"
                              : oracle               ? "number(34,32)"
                                                     : "decimal(34,32)"),
                  std::string::npos)
            << s.text;
        EXPECT_NE(s.text.find("values(1.234567,0.12345678901234567890123456789012);"), std::string::npos)
            << s.text;
        EXPECT_EQ(s.result.problems.size(), d == SqlDialect::MySql ? 1u : 0u);
    }
}

TEST_F(SqlScript, GoLinesFollowTheKeptRecords) {
    std::vector<std::vector<Cell>> rows;
    for (int i = 1; i <= 5; ++i)
        rows.push_back({Cell::integer(i)});
    const std::string path = table("five", {{"Id", PxLong}}, rows);
    auto goAfter = [](const std::string &text) {
        std::string lines; // "i" for an insert, "G" for a Go line
        for (size_t at = 0; at < text.size(); at = text.find("\r\n", at) + 2)
            lines += text.compare(at, 4, "Go\r\n") == 0   ? 'G'
                     : text.compare(at, 6, "insert") == 0 ? 'i'
                                                          : '-';
        return lines;
    };
    auto every = [](int n) {
        return [=](ExportSettings &settings, SourceTable &) {
            settings.sqlWriteGo = true;
            settings.sqlGoEvery = n;
            settings.writeHeader = false;
        };
    };
    EXPECT_EQ(goAfter(run(path, SqlDialect::SqlServer, every(2)).text), "iiGiiGi");
    // A record the filter drops does not count.
    Script filtered = run(path, SqlDialect::SqlServer, [&](ExportSettings &settings, SourceTable &source) {
        every(2)(settings, source);
        applyFilterFile(source, {{"Id", ">1"}});
    });
    EXPECT_EQ(goAfter(filtered.text), "iiGiiG");
    EXPECT_EQ(inserts(filtered.text).front(), "insert into five values(2);\r\n");
    // PostgreSQL and SQLite would read "Go" as the start of the next statement.
    Script pg = run(path, SqlDialect::PostgreSql, every(2));
    EXPECT_EQ(goAfter(pg.text), "-iiiii");
    ASSERT_EQ(pg.result.problems.size(), 1u);
    EXPECT_NE(pg.result.problems[0].find("\"Go\""), std::string::npos);
}

// The line that names the script's encoding where no database here tells it: the byte-order mark of
// /utf8, and MySQL's UTF-8 for a code page it has no charset for. The other lines, and the values with
// bytes the code page leaves undefined, are loaded and compared by the databases (sql_database_test.cpp).
TEST_F(SqlScript, EncodingLines) {
    // 1253 has no MySQL charset.
    const std::string west = table("west", {{"T", PxChar, 10}}, {{Cell::text("b\xE9")}});
    const std::string greek = table("greek", {{"T", PxChar, 10}}, {{Cell::text("\xC1")}}, 1253);
    const struct {
        std::string path;
        SqlDialect dialect;
        bool utf8;
        std::string line;
    } cases[] = {
        {west, SqlDialect::PostgreSql, true, "\xEF\xBB\xBFSET client_encoding = 'UTF8';\r\n"},
        {west, SqlDialect::MySql, true, "\xEF\xBB\xBFSET NAMES utf8mb4;\r\n"},
        {greek, SqlDialect::MySql, false, "SET NAMES utf8mb4;\r\n"}, // UTF-8 without a byte-order mark
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path + " " + sqlDialectRules(c.dialect).name + (c.utf8 ? " /utf8" : ""));
        Script s = run(c.path, c.dialect, [&](ExportSettings &settings, SourceTable &) { settings.utf8 = c.utf8; });
        EXPECT_EQ(s.text.substr(0, c.line.size()), c.line);
    }
}

TEST_F(SqlScript, ValuesNoDatabaseTakesBecomeNull) {
    const std::string path = table("odd", {{"D", PxDate}, {"T", PxTime}, {"S", PxTimestamp}},
                                   {{Cell::integer(fixture::paradoxDayNumber(9999, 12, 31) + 1),
                                     Cell::integer(25 * 3600000), Cell::timestamp(2024, 3, 7, 1, 2, 3)},
                                    {Cell::date(9999, 12, 31), Cell::time(23, 59, 59, 999), Cell()}});
    Script s = run(path, SqlDialect::Ansi);
    EXPECT_TRUE(s.result.ok);
    std::vector<std::string> lines = inserts(s.text);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "insert into odd values(null,null,'2024-03-07 01:02:03');\r\n");
    EXPECT_EQ(lines[1], "insert into odd values('9999-12-31','23:59:59.999',null);\r\n");
    ASSERT_EQ(s.result.problems.size(), 1u);
    EXPECT_NE(s.result.problems[0].find("2 date, time or number values"), std::string::npos)
        << s.result.problems[0];
}

TEST_F(SqlScript, NumbersAndLogicalsWithAllQuotes) {
    const std::string path =
        table("n", {{"I", PxShort}, {"L", PxLogical}, {"D", PxDate}},
              {{Cell::integer(7), Cell::logical(true), Cell::date(2024, 3, 7)}, {Cell(), Cell(), Cell()}});
    // The databases load scripts of the other dialects with /allquotes (sql_database_test.cpp).
    auto allQuotes = [](ExportSettings &settings, SourceTable &) { settings.quoteAll = true; };
    EXPECT_EQ(inserts(run(path, SqlDialect::Oracle, allQuotes).text),
              (std::vector<std::string>{"insert into n values('7',1,DATE '2024-03-07');\r\n",
                                        "insert into n values(null,null,null);\r\n"}));
}

TEST_F(SqlScript, NoColumnsIsAFailure) {
    Script s = run(orders(), SqlDialect::Ansi, [](ExportSettings &, SourceTable &source) {
        for (int &excluded : source.fieldExcluded)
            excluded = 1;
    });
    EXPECT_FALSE(s.result.ok);
    EXPECT_TRUE(s.text.empty()) << "no script is left behind";
    ASSERT_FALSE(s.result.problems.empty());
    EXPECT_NE(s.result.problems[0].find("no columns"), std::string::npos);
}

// The switches on the command line: /SQL2000 with /go puts a Go line after every 100th record, and
// /nocreatetable leaves the statements alone.
TEST_F(SqlScript, CommandLineSwitches) {
    std::vector<std::vector<Cell>> rows;
    for (int i = 1; i <= 250; ++i)
        rows.push_back({Cell::integer(i)});
    const std::string path = table("many", {{"Id", PxLong}}, rows);
    const std::string out = dir.file("many.sql");
    test::RunResult run =
        test::runProgram({test::quorvBinary(), path, out, "/SQL2000", "/go", "/nocreatetable"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = test::readFile(out);
    EXPECT_EQ(text.substr(0, 29), "insert into many values(1);\r\n");
    EXPECT_NE(text.find("values(100);\r\nGo\r\ninsert into many values(101);"), std::string::npos);
    EXPECT_NE(text.find("values(200);\r\nGo\r\ninsert into many values(201);"), std::string::npos);
    EXPECT_EQ(text.find("Go\r\n", text.find("values(201)")), std::string::npos) << "no Go after the last 50";

    run =
        test::runProgram({test::quorvBinary(), path, out, "/ORACLE", "/MYSQL"}); // the last one present wins
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::readFile(out).substr(0, 19), "SET NAMES latin1;\r\n");
}

// The words are looked up by binary search. Which names each dialect quotes is checked above for SQL
// Server and Oracle and by the databases for the others (sql_database_test.cpp).
TEST(SqlNames, ReservedWordListsAreSortedAndTheTableNameEndsAtTheFirstDot) {
    for (SqlDialect d : {SqlDialect::Ansi, SqlDialect::Oracle, SqlDialect::MySql, SqlDialect::SqlServer,
                         SqlDialect::PostgreSql}) {
        const SqlDialectRules &rules = sqlDialectRules(d);
        EXPECT_TRUE(std::is_sorted(rules.reservedWords.begin(), rules.reservedWords.end(),
                                   [](std::string_view a, std::string_view b) { return a < b; }))
            << rules.name;
    }
    EXPECT_EQ(sqlTableName("/data/Orders.db"), "Orders");
    EXPECT_EQ(sqlTableName("/data/my.orders.db"), "my");
}

} // namespace
