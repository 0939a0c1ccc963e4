// SQL scripts loaded into the real databases: PostgreSQL (/POSTGRESQL), MariaDB in strict mode (/MYSQL)
// and SQLite (the Ansi dialect). Every script, from the fixture tables and from the real tables, loads
// twice in a row without an error, and the loaded table holds the source's names, row count and values.
//
// The servers are started once for the whole run by tests/export/sql/with_databases.sh; without them the
// PostgreSQL and MariaDB cases skip with a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>

#include "export/settings.h"
#include "fixture/fixtures.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "export/sql/sql_databases.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

enum class Target { Sqlite, Postgres, Maria };

const char *targetName(Target t) {
    return t == Target::Sqlite ? "SQLite" : t == Target::Postgres ? "PostgreSQL" : "MariaDB";
}
const char *dialectSwitch(Target t) {
    return t == Target::Sqlite ? "" : t == Target::Postgres ? "/POSTGRESQL" : "/MYSQL";
}

// ---------------------------------------------------------------------------------------------
// Fixture tables, written once for the run.

// Names that are reserved words, hold blanks, quotes, "#" or "%" (two that become the same name), start
// with a digit or are not ASCII; text that breaks scripts whose literals are not escaped; bytes that code
// page 1252 leaves undefined; a memo longer than MySQL's 64 KB text column.
void writeOrderTable(const std::string &path) {
    fixture::TableSpec tableLayout;
    tableLayout.fields = {{"Date", PxDate},
                   {"Order", PxChar, 40},
                   {"Group", PxShort},
                   {"Unit Price", PxCurrency},
                   {"Cust#", PxLong},
                   {"No%", PxNumber},
                   {"Select", PxLogical},
                   {"2nd Name", PxChar, 20},
                   {"Gr\xF6\xDF" "e", PxChar, 10},
                   {"user", PxChar, 10},
                   {"Notes", PxMemoBlob, 20},
                   {"At", PxTime},
                   {"Say \"Hi\" a]b`c", PxChar, 10},
                   {"Cust%", PxShort}};
    std::vector<std::vector<Cell>> rows = {
        {Cell::date(2024, 3, 7), Cell::text("O'Brien"), Cell::integer(1), Cell::real(12.5), Cell::integer(7),
         Cell::real(-0.25), Cell::logical(true), Cell::text("back\\slash\\"), Cell::text("say \"hi\""),
         Cell::text("null"), Cell::text("line1\r\nline2 'q' \"dq\" \\ end"), Cell::time(23, 59, 59, 999),
         Cell::text("x"), Cell::integer(8)},
        {Cell::date(1, 1, 1), Cell::text("'); drop table x; --"), Cell::integer(-2), Cell::real(0),
         Cell::integer(0), Cell::real(1e15), Cell::logical(false), Cell::text("  leading"),
         Cell::text("caf\xE9 \x80"), Cell::text("NULL"), Cell::text(fixture::fillText(70000)),
         Cell::time(0, 0, 0, 1), Cell(), Cell()},
        {Cell::date(9999, 12, 31), Cell::text("a\x81" "b\x8D\x8F\x90\x9D" "z"), Cell(), Cell(), Cell(), Cell(),
         Cell(), Cell::text("semi; colon, comma"), Cell::text("\\'\\\""),
         Cell::text("--x"), Cell::text("undefined \x81 \x9D / */ /* "), Cell(), Cell::text("`\"]"), Cell()},
        std::vector<Cell>(14, Cell()),
    };
    std::string error;
    ASSERT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
}

// Greek in code page 1253, which MySQL has no charset for, in a table whose name holds a blank.
void writeGreekTable(const std::string &path) {
    fixture::TableSpec tableLayout;
    tableLayout.codePage = 1253;
    tableLayout.fields = {{"\xCF\xED\xEF\xEC\xE1", PxChar, 20}, {"Amount", PxNumber}};
    std::vector<std::vector<Cell>> rows = {{Cell::text("\xC1\xE8\xDE\xED\xE1"), Cell::real(3.5)},
                                           {Cell::text("\xA2\xF1\xF4\xE1 \xA4"), Cell::real(-1)}};
    std::string error;
    ASSERT_TRUE(fixture::writeTable(path, tableLayout, rows, &error)) << error;
}

const std::string &fixtureFolder() {
    static test::TempDir dir;
    static bool written = [&] {
        std::string error;
        EXPECT_TRUE(fixture::makeAllTypesTable(dir.file("alltypes.db"), &error)) << error;
        writeOrderTable(dir.file("Order.db"));
        writeGreekTable(dir.file("Greek List.db"));
        return true;
    }();
    (void)written;
    return dir.path();
}

// ---------------------------------------------------------------------------------------------
// What the loaded table must hold, read from the source table.

enum class Kind { Text, Date, Timestamp, Time, Integer, Decimal, Float, Logical };

struct Expected {
    std::string name;
    std::vector<std::string> columns;
    std::vector<Kind> kinds;
    std::vector<int> bcdDecimals;
    test::DbRows rows;
};

// YYYY-MM-DD, and " hh:mm:ss" when seconds of the day are given; no value outside years 1 to 9999.
test::DbValue isoDate(const DateParts &d, long seconds = -1) {
    if (d.year < 1 || d.year > 9999)
        return {};
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    if (seconds >= 0)
        std::snprintf(text + 10, sizeof text - 10, " %02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    return std::string(text);
}

// How the values of each field type are compared; any other type as text.
const std::map<uint8_t, Kind> kKinds = {
    {PxDate, Kind::Date},       {PxTimestamp, Kind::Timestamp}, {PxTime, Kind::Time},
    {PxShort, Kind::Integer},   {PxLong, Kind::Integer},        {PxAutoInc, Kind::Integer},
    {PxCurrency, Kind::Decimal}, {PxBcd, Kind::Decimal},        {PxNumber, Kind::Float},
    {PxLogical, Kind::Logical}};

// The table read with the reader's own value operations; texts as the database keeps them: UTF-8, or
// for SQLite without /utf8 the table's bytes.
bool readSource(const std::string &path, bool utf8Text, Expected &out, std::string *error) {
    ExportSettings settings;
    SourceTable table;
    table.path = path;
    if (!openSourceTable(table, settings, error))
        return false;
    auto text = [&](std::string value) {
        return utf8Text ? platform::toUtf8(value, table.ansiCodePage) : value;
    };
    out.name = std::filesystem::path(path).filename().string(); // file names here are ASCII
    out.name = out.name.substr(0, out.name.find('.'));
    for (int f = 0; f < table.fieldCount; ++f) {
        std::string name = fieldName(table, f);
        for (char &c : name)
            c = c == '%' || c == '#' ? ' ' : c;
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        out.columns.push_back(text(name));
        const uint8_t type = table.fields[static_cast<size_t>(f)].type;
        out.bcdDecimals.push_back(type == PxBcd ? table.fields[static_cast<size_t>(f)].decimals : 0);
        const auto kind = kKinds.find(type);
        out.kinds.push_back(kind == kKinds.end() ? Kind::Text : kind->second);
    }
    std::string value;
    for (int r = 0; r < table.recordCount; ++r) {
        if (!readRecord(table, r)) {
            *error = path + ": record " + std::to_string(r) + " does not read";
            return false;
        }
        const uint8_t *record = table.recordBuffer.data();
        std::vector<test::DbValue> row;
        for (int f = 0; f < table.fieldCount; ++f) {
            test::DbValue v;
            double number = 0;
            int logical = 0;
            long longValue = 0;
            int64_t millis = 0;
            DateParts date;
            switch (table.fields[static_cast<size_t>(f)].type) {
            case PxChar:
                formatFieldValue(value, table, settings, record, f);
                value.erase(value.find_last_not_of(' ') + 1);
                v = text(value);
                break;
            case PxMemoBlob:
            case PxFmtMemoBlob:
            case PxBcd:
                formatFieldValue(value, table, settings, record, f);
                if (!value.empty())
                    v = text(value);
                break;
            case PxBlob:
            case PxOle:
            case PxGraphic:
                v = "memo";
                break;
            case PxDate:
                if (readDateParts(table, record, f, date))
                    v = isoDate(date);
                break;
            case PxTimestamp:
                if (readTimestampMillis(table, record, f, millis))
                    v = isoDate(dateFromDayCount(static_cast<long>(millis / 86400000)),
                                static_cast<long>(millis % 86400000 / 1000));
                break;
            case PxTime:
                if (readLongValue(table, record, f, longValue) && longValue >= 0 && longValue < 86400000)
                    v = std::to_string(longValue);
                break;
            case PxShort:
            case PxLong:
            case PxAutoInc:
                if (readNumber(table, record, f, number))
                    v = std::to_string(static_cast<long long>(number));
                break;
            case PxCurrency:
            case PxNumber:
                if (readNumber(table, record, f, number) && std::isfinite(number)) {
                    char fixed[400];
                    std::snprintf(fixed, sizeof fixed, "%.2f", number);
                    v = std::string(fixed);
                }
                break;
            case PxLogical:
                if (readLogical(table, record, f, logical))
                    v = logical ? "1" : "0";
                break;
            default: // Bytes have no text form
                break;
            }
            row.push_back(v);
        }
        out.rows.push_back(std::move(row));
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Comparing a value the database gives back with the source's.

// "-000120.5000" -> "-120.5", "-0.00" -> "0".
std::string normalDecimal(std::string text) {
    bool negative = !text.empty() && text[0] == '-';
    if (negative)
        text.erase(0, 1);
    size_t point = text.find('.');
    std::string whole = text.substr(0, point),
                fraction = point == std::string::npos ? "" : text.substr(point + 1);
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (whole.empty())
        whole = "0";
    std::string result = whole + (fraction.empty() ? "" : "." + fraction);
    return negative && result != "0" ? "-" + result : result;
}

long long timeMillis(const std::string &text) {
    int h = 0, m = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%lf", &h, &m, &s) != 3)
        return -1;
    return (h * 3600LL + m * 60) * 1000 + std::llround(s * 1000);
}

bool closeEnough(double a, double b) {
    return a == b || std::fabs(a - b) <= 1e-14 * std::max(std::fabs(a), std::fabs(b));
}

bool sameValue(Kind kind, Target target, int bcdDecimals, const test::DbValue &expected,
               const test::DbValue &actual) {
    if (!expected || !actual)
        return !expected && !actual;
    const std::string &e = *expected, &a = *actual;
    switch (kind) {
    case Kind::Time:
        return timeMillis(a) == std::stoll(e);
    case Kind::Logical:
        return (a == "t" || a == "true" || a == "1"    ? "1"
                : a == "f" || a == "false" || a == "0" ? "0"
                                                       : a) == e;
    case Kind::Decimal:
        if (target == Target::Sqlite) // SQLite keeps decimals as floating values
            return closeEnough(std::stod(a), std::stod(e));
        if (target == Target::Maria && bcdDecimals > 30) // MySQL keeps 30 decimals at most, rounded its own way
            return true;
        return normalDecimal(a) == normalDecimal(e);
    case Kind::Float:
        // PostgreSQL prints the shortest text that reads back exactly; the others print 15 to 17 digits.
        return target == Target::Postgres ? std::stod(a) == std::stod(e)
                                          : closeEnough(std::stod(a), std::stod(e));
    default:
        return a == e;
    }
}

// A text that sorts a row by its values: the database keeps rows in an order of its own (PostgreSQL
// fills free room in earlier pages), so the rows of both sides are compared in this order.
std::string rowKey(const std::vector<Kind> &kinds, const std::vector<test::DbValue> &row) {
    std::string key;
    for (size_t f = 0; f < row.size() && f < kinds.size(); ++f) {
        const test::DbValue &v = row[f];
        if (!v) {
            key += "\x01N";
        } else if (kinds[f] == Kind::Decimal || kinds[f] == Kind::Float) {
            char text[64];
            std::snprintf(text, sizeof text, "%.10g", std::stod(*v));
            key += text;
        } else if (kinds[f] == Kind::Time) {
            key += std::to_string(v->find(':') == std::string::npos ? std::stoll(*v) : timeMillis(*v));
        } else if (kinds[f] == Kind::Logical) {
            key += *v == "t" || *v == "true" || *v == "1" ? "1" : "0";
        } else {
            key += *v;
        }
        key += '\0';
    }
    return key;
}

void sortRows(const std::vector<Kind> &kinds, test::DbRows &rows) {
    std::vector<std::pair<std::string, size_t>> keys;
    for (size_t r = 0; r < rows.size(); ++r)
        keys.emplace_back(rowKey(kinds, rows[r]), r);
    std::sort(keys.begin(), keys.end());
    test::DbRows sorted;
    for (const auto &key : keys)
        sorted.push_back(std::move(rows[key.second]));
    rows = std::move(sorted);
}

std::string shown(const test::DbValue &v) {
    if (!v)
        return "NULL";
    std::string text =
        v->size() > 80 ? v->substr(0, 80) + "...(" + std::to_string(v->size()) + " bytes)" : *v;
    return "'" + text + "'";
}

std::string lower(std::string text) {
    for (char &c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// ---------------------------------------------------------------------------------------------
// The cases.

struct LoadCase {
    Target target;
    std::string table; // a fixture's file name, or a path below the real-table folder
    std::vector<std::string> switches;
    bool corpus = false;
};

class LoadsIntoDatabase : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadsIntoDatabase, TwiceWithEveryValue) {
    const LoadCase &c = GetParam();
    SCOPED_TRACE(std::string(targetName(c.target)) + ", " + c.table + " " + testing::PrintToString(c.switches));
    std::string source;
    if (c.corpus) {
        if (test::corpusFolder().empty())
            GTEST_SKIP() << "the real tables are not here: ../shared/testdata/paradox is absent";
        source = test::corpusPath(c.table);
    } else {
        source = fixtureFolder() + "/" + c.table;
    }
    test::TempDir dir;
    std::unique_ptr<test::SqlDatabase> db = c.target == Target::Postgres ? test::postgresDatabase()
                                            : c.target == Target::Maria
                                                ? test::mariaDatabase()
                                                : test::sqliteDatabase(dir.file("db.sqlite"));
    if (std::string why = db->unavailable(); !why.empty())
        GTEST_SKIP() << why;

    const std::string script = dir.file("script.sql");
    std::vector<std::string> args = {test::quorvBinary(), source, script};
    if (*dialectSwitch(c.target))
        args.emplace_back(dialectSwitch(c.target));
    args.insert(args.end(), c.switches.begin(), c.switches.end());
    test::RunResult run = test::runProgram(args);
    ASSERT_EQ(run.status, 0) << run.err;

    std::string error;
    ASSERT_TRUE(db->reset(&error)) << error;
    ASSERT_TRUE(db->load(script, &error)) << "first load: " << error;
    ASSERT_TRUE(db->load(script, &error)) << "second load: " << error;
    test::DbTable loaded;
    ASSERT_TRUE(db->table(loaded, &error)) << error;

    const bool utf8 = c.target != Target::Sqlite ||
                      std::find(c.switches.begin(), c.switches.end(), "/utf8") != c.switches.end();
    Expected expected;
    ASSERT_TRUE(readSource(source, utf8, expected, &error)) << error;

    // Unquoted names are folded to one case by some databases; the letters must be the source's.
    EXPECT_EQ(lower(loaded.name), lower(expected.name));
    ASSERT_EQ(loaded.columns.size(), expected.columns.size());
    std::map<std::string, int> seen;
    for (size_t i = 0; i < expected.columns.size(); ++i) {
        std::string name = lower(expected.columns[i]);
        if (int n = seen[name]++; n > 0) // a name that the cleaning made twice gets a number
            name += "_" + std::to_string(n + 1);
        EXPECT_EQ(lower(loaded.columns[i]), name) << "column " << i;
    }

    ASSERT_EQ(loaded.rows.size(), expected.rows.size()) << "rows after loading the script twice";
    for (const auto &row : loaded.rows)
        ASSERT_EQ(row.size(), expected.columns.size());
    sortRows(expected.kinds, expected.rows);
    sortRows(expected.kinds, loaded.rows);
    int mismatches = 0;
    for (size_t r = 0; r < expected.rows.size() && mismatches < 10; ++r) {
        for (size_t f = 0; f < expected.columns.size(); ++f) {
            if (sameValue(expected.kinds[f], c.target, expected.bcdDecimals[f], expected.rows[r][f],
                          loaded.rows[r][f]))
                continue;
            ADD_FAILURE() << "row " << r << " (in sorted order), column " << expected.columns[f]
                          << ": expected " << shown(expected.rows[r][f]) << ", the database holds "
                          << shown(loaded.rows[r][f]);
            ++mismatches;
        }
    }
}

std::vector<LoadCase> fixtureCases() {
    std::vector<LoadCase> cases;
    for (Target target : {Target::Sqlite, Target::Postgres, Target::Maria}) {
        for (const char *table : {"alltypes.db", "Order.db", "Greek List.db"}) {
            cases.push_back({target, table, {}});
            cases.push_back({target, table, {"/utf8"}});
        }
        cases.push_back({target, "alltypes.db", {"/DOUBLEQUOTA", "/allquotes"}});
        cases.push_back({target, "Order.db", {"/DOUBLEQUOTA", "/allquotes"}});
    }
    return cases;
}

std::vector<LoadCase> corpusCases() {
    std::vector<LoadCase> cases;
    for (const std::string &path : test::corpusTables()) // relative to the corpus folder
        for (Target target : {Target::Sqlite, Target::Postgres, Target::Maria})
            cases.push_back({target, path, {}, true});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, LoadsIntoDatabase, ::testing::ValuesIn(fixtureCases()));
INSTANTIATE_TEST_SUITE_P(RealTables, LoadsIntoDatabase, ::testing::ValuesIn(corpusCases()));

} // namespace
