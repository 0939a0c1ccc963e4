// DBF tables byte by byte: header, descriptors, records, end marker and memo blocks, written by the
// real quorv binary from fixture tables; appending; and failures.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "fixture/fixtures.h"
#include "fixture/paradox_builder.h"
#include "export/dbf/dbf_writer.h"
#include "source/paradox_table.h"
#include "support/dbf_reader.h"
#include "support/test_support.h"

using namespace quorv;
using fixture::Cell;

namespace {

unsigned le16(const std::string &b, size_t at) {
    return static_cast<uint8_t>(b[at]) | static_cast<unsigned>(static_cast<uint8_t>(b[at + 1])) << 8;
}
uint32_t le32(const std::string &b, size_t at) {
    return le16(b, at) | static_cast<uint32_t>(le16(b, at + 2)) << 16;
}
bool allBytes(const std::string &b, size_t from, size_t to, char c) {
    return b.size() >= to && b.find_first_not_of(c, from) >= to;
}

class Dbf : public ::testing::Test {
  protected:
    test::RunResult quorv(std::vector<std::string> args, long fileSizeLimit = -1) {
        args.insert(args.begin(), test::quorvBinary());
        return test::runProgram(args, dir.path(), fileSizeLimit);
    }
    void table(const std::string &name, std::vector<fixture::FieldSpec> fields,
               const std::vector<std::vector<Cell>> &rows, int codePage = 1252) {
        fixture::TableSpec tableLayout;
        tableLayout.fields = std::move(fields);
        tableLayout.codePage = codePage;
        std::string error;
        ASSERT_TRUE(fixture::writeTable(dir.file(name), tableLayout, rows, &error)) << error;
    }
    std::string bytes(const std::string &name) { return test::readFile(dir.file(name)); }
    // The record n of a table as stored, deletion flag included.
    std::string recordOf(const std::string &b, int n) {
        return b.substr(le16(b, 8) + static_cast<size_t>(n) * le16(b, 10), le16(b, 10));
    }
    test::TempDir dir;
};

struct Version {
    const char *flag;
    uint8_t byte;
    uint8_t memoByte;
    bool foxPro;
};
const Version kVersions[] = {
    {"/DBASE3", 0x03, 0x83, false}, {"/DBASE4", 0x43, 0x83, false}, {"/VFP", 0x30, 0x30, true}};

} // namespace

TEST_F(Dbf, OneCharFieldInEveryVersion) {
    table("one.db", {{"Name", PxChar, 20}},
          {{Cell::text("Alpha")},
           {Cell()},
           {Cell::text("\xC7"
                       "a va")}});
    for (const Version &v : kVersions) {
        std::time_t before = std::time(nullptr);
        test::RunResult r = quorv({"one.db", "one.dbf", v.flag});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string b = bytes("one.dbf");
        const size_t headerLength = v.foxPro ? 328 : 65;
        ASSERT_EQ(b.size(), headerLength + 3 * 21 + 1) << v.flag;
        EXPECT_EQ(static_cast<uint8_t>(b[0]), v.byte) << v.flag;
        std::tm at{};
        localtime_r(&before, &at);
        EXPECT_EQ(static_cast<uint8_t>(b[1]), (at.tm_year) % 256);
        EXPECT_EQ(b[2], at.tm_mon + 1);
        EXPECT_EQ(b[3], at.tm_mday);
        EXPECT_EQ(le32(b, 4), 3u);
        EXPECT_EQ(le16(b, 8), headerLength);
        EXPECT_EQ(le16(b, 10), 21u);
        EXPECT_TRUE(allBytes(b, 12, 29, '\0'));       // reserved, and no table flags without memo fields
        EXPECT_EQ(static_cast<uint8_t>(b[29]), 0x03); // Windows-1252
        EXPECT_TRUE(allBytes(b, 30, 32, '\0'));
        // The descriptor: name padded with zero bytes, type, the FoxPro field offset, length, decimals.
        EXPECT_EQ(b.substr(32, 11), std::string("Name\0\0\0\0\0\0\0", 11));
        EXPECT_EQ(b[43], 'C');
        EXPECT_EQ(le32(b, 44), v.foxPro ? 1u : 0u);
        EXPECT_EQ(b[48], 20);
        EXPECT_EQ(b[49], 0);
        EXPECT_TRUE(allBytes(b, 50, 64, '\0'));
        EXPECT_EQ(b[64], '\x0D');
        if (v.foxPro) {
            EXPECT_TRUE(allBytes(b, 65, 328, '\0')) << "backlink area";
        }
        // The records' texts are read back by dbfread in dbf_readers_test.
        EXPECT_EQ(b.back(), '\x1A');
    }
    // A filtered export counts the records it kept.
    test::writeFile(dir.file("f.txt"), "Name:Alpha\n");
    ASSERT_EQ(quorv({"one.db", "one.dbf", "/FILTER:f.txt"}).status, 0);
    std::string b = bytes("one.dbf");
    EXPECT_EQ(le32(b, 4), 1u);
    EXPECT_EQ(b.size(), 65u + 21 + 1);
}

// Names made unique within 10 bytes, numbers right-aligned, a number too wide for its field. (The
// type, width and value of every other field type dbfread reads back from the all-types table, in
// dbf_readers_test.)
TEST_F(Dbf, NamesWidthsAndValues) {
    table("t.db",
          {{"CUSTOMERNAME1", PxChar, 5},
           {"CUSTOMERNAME2", PxChar, 5},
           {"CODE", PxShort},
           {"CODE", PxLong},
           {"CODE", PxNumber},
           {"Code", PxLogical},
           {"Cash", PxCurrency}},
          {{Cell::text("a"), Cell::text("b"), Cell::integer(-5), Cell::integer(-2147483647),
            Cell::real(3.14159), Cell::logical(true), Cell::real(1e20)},
           std::vector<Cell>(7)});
    test::RunResult r = quorv({"t.db", "t.dbf", "/decs:5"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string b = bytes("t.dbf");
    struct Expected {
        const char *name;
        char type;
        int length, decimals;
        const char *value;
    } expected[] = {
        {"CUSTOMERNA", 'C', 5, 0, "a    "},
        {"CUSTOMERN1", 'C', 5, 0, "b    "}, // 10 bytes, last not a digit: replaced by 1
        {"CODE", 'N', 10, 0, "        -5"},
        {"CODE1", 'N', 11, 0, "-2147483647"},
        {"CODE11", 'N', 19, 2, "               3.14"}, // surplus decimals dropped
        {"Code111", 'L', 1, 0, "T"},                   // names differ from each other ignoring case
        {"Cash", 'N', 19, 2, "*******************"}, // too wide: asterisks, never into the next field
    };
    ASSERT_EQ(le16(b, 8), 32u + 32 * 7 + 1);
    int recordLength = 1;
    for (const Expected &e : expected)
        recordLength += e.length;
    ASSERT_EQ(le16(b, 10), static_cast<unsigned>(recordLength));
    std::string record = recordOf(b, 0);
    EXPECT_EQ(record[0], ' ');
    size_t at = 1;
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Expected &e = expected[i];
        const size_t d = 32 + 32 * i;
        EXPECT_EQ(std::string(b.c_str() + d), e.name) << "field " << i;
        EXPECT_EQ(b[d + 10], '\0');
        EXPECT_EQ(b[d + 11], e.type) << e.name;
        EXPECT_EQ(b[d + 16], e.length) << e.name;
        EXPECT_EQ(b[d + 17], e.decimals) << e.name;
        EXPECT_EQ(record.substr(at, static_cast<size_t>(e.length)), e.value) << e.name;
        at += static_cast<size_t>(e.length);
    }
    EXPECT_EQ(recordOf(b, 1), std::string(static_cast<size_t>(recordLength), ' '))
        << "empty fields stay blank";
    EXPECT_NE(
        r.err.find("t.dbf: field Cash N(19,2): 1 value too wide for the field, written as asterisks (the "
                   "first in record 1)"),
        std::string::npos)
        << r.err;
}

TEST(DbfNames, EveryCandidateTakenFallsBackToANumber) {
    std::vector<std::string> taken = {"ABCDEFGHIJ"};
    for (char c = '1'; c <= ':'; ++c)
        taken.push_back(std::string("ABCDEFGHI") + c);
    EXPECT_EQ(uniqueDbfName("ABCDEFGHIJKL", taken, 1252), "ABCDEFGH10");
    EXPECT_EQ(uniqueDbfName("Last Name   ", {}, 1252), "Last Name");
}

TEST(DbfNumbers, FitOrRefuse) {
    struct Case {
        const char *text;
        int length, decimals;
        const char *field; // nullptr: does not fit
    } cases[] = {
        // Surplus decimals cut, and values NamesWidthsAndValues does not write (it writes the others).
        {"12.99", 10, 0, "        12"}, {"nan", 10, 2, nullptr},   {"-inf", 10, 2, nullptr},
        {"1.5e3", 10, 2, nullptr},      {"-0.001", 5, 2, "-0.00"},
    };
    for (const Case &c : cases) {
        std::string field(static_cast<size_t>(c.length), '?');
        bool fits = fitDbfNumber(c.text, c.length, c.decimals, field.data());
        EXPECT_EQ(fits, c.field != nullptr) << c.text;
        if (c.field) {
            EXPECT_EQ(field, c.field) << c.text;
        }
    }
}

TEST_F(Dbf, MemoBlocksInBothForms) {
    const std::string first = "first memo text";
    const std::string second = fixture::fillText(600);
    table("m.db", {{"Id", PxLong}, {"Note", PxMemoBlob, 20}, {"Pic", PxGraphic, 20}},
          {{Cell::integer(1), Cell::text(first), Cell::bytes("\x01\x02")},
           {Cell::integer(2), Cell(), Cell()},
           {Cell::integer(3), Cell::text(second), Cell::bytes(fixture::fillBytes(900, 1))}});

    // The memo files, whole. dBase: 512-byte blocks, the next free block number at 0 and the block size
    // at 20; each text in a new block, ended by two 0x1A. FoxPro: the next free block number (big-endian)
    // and the block size 64 in a 512-byte header, then 64-byte blocks, each text after its type (1,
    // text) and length.
    std::string dbt(3072, '\0');
    dbt[0] = 6;
    dbt[21] = 2;
    dbt.replace(1024, first.size() + 2, first + "\x1A\x1A"); // block 2
    dbt.replace(2048, second.size() + 2, second + "\x1A\x1A"); // block 4, after the end of the first
    std::string fpt(1216, '\0');
    fpt.replace(0, 8, std::string("\0\0\0\x13\0\0\0\x40", 8));
    fpt.replace(512, 8 + first.size(), std::string("\0\0\0\x01\0\0\0\x0F", 8) + first); // block 8
    fpt.replace(576, 8 + second.size(), std::string("\0\0\0\x01\0\0\x02\x58", 8) + second); // block 9
    // The memo fields of the records: dBase block numbers as right-aligned digits, FoxPro's as 4 bytes;
    // no text (and every Graphic) leaves the field blank.
    const std::vector<std::string> dBaseFields = {"         2" + std::string(10, ' '), std::string(20, ' '),
                                                  "         4" + std::string(10, ' ')};
    const std::vector<std::string> foxProFields = {std::string("\x08\0\0\0\0\0\0\0", 8), std::string(8, '\0'),
                                                   std::string("\x09\0\0\0\0\0\0\0", 8)};

    for (const Version &v : kVersions) {
        ASSERT_EQ(quorv({"m.db", "m.dbf", v.flag}).status, 0);
        std::string b = bytes("m.dbf");
        EXPECT_EQ(static_cast<uint8_t>(b[0]), v.memoByte) << v.flag;
        EXPECT_EQ(b[28], v.foxPro ? 0x02 : 0) << v.flag << ": FoxPro marks a table that has memo fields";
        EXPECT_EQ(b[32 + 32 + 11], 'M');
        EXPECT_EQ(b[32 + 32 + 16], v.foxPro ? 4 : 10);
        if (v.foxPro) {
            EXPECT_EQ(le32(b, 32 + 32 + 12), 12u) << "field offset";
        }
        for (size_t r = 0; r < 3; ++r) {
            EXPECT_EQ(recordOf(b, static_cast<int>(r)).substr(12), (v.foxPro ? foxProFields : dBaseFields)[r])
                << v.flag << " record " << r;
        }
        EXPECT_EQ(bytes(v.foxPro ? "m.fpt" : "m.dbt"), v.foxPro ? fpt : dbt) << v.flag;
    }

    // Without memo fields in the export there is no memo file.
    std::filesystem::remove(dir.file("m.fpt"));
    ASSERT_EQ(quorv({"m.db", "m.dbf", "/VFP", "/COLUMNS:Id"}).status, 0);
    EXPECT_FALSE(test::fileExists(dir.file("m.fpt")));
    EXPECT_EQ(bytes("m.dbf")[28], 0);
}

TEST_F(Dbf, CodePageMarkNamesTheBytesWritten) {
    // 0xC4 is a box-drawing line in code page 437 and A with diaeresis in 1252.
    table("cp.db", {{"Text", PxChar, 8}}, {{Cell::text("x\xC4y")}});
    struct Case {
        std::vector<std::string> switches;
        uint8_t mark;
    } cases[] = {
        {{}, 0x03},
        {{"/ANSICP:1250"}, 0xC8},
        {{"/ANSICP:1251"}, 0xC9},
        {{"/ANSICP:1253"}, 0xCB},
        {{"/ANSICP:1254"}, 0xCA},
        {{"/oem"}, 0x01},
        {{"/oem", "/OEMCP:850"}, 0x02},
        {{"/oem", "/OEMCP:866"}, 0x65},
    };
    // The mark is set the same way in every version: the default one is enough.
    for (const Case &c : cases) {
        std::vector<std::string> args = {"cp.db", "cp.dbf"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        ASSERT_EQ(quorv(args).status, 0);
        std::string b = bytes("cp.dbf");
        EXPECT_EQ(static_cast<uint8_t>(b[29]), c.mark) << (c.switches.empty() ? "" : c.switches.back());
        EXPECT_EQ(recordOf(b, 0), " x\xC4y     ") << "the table's bytes, unchanged";
    }
    if (!test::haveDbfread())
        GTEST_SKIP() << "python3-dbfread is not installed";
    ASSERT_EQ(quorv({"cp.db", "cp.dbf", "/oem"}).status, 0);
    std::map<std::string, test::DbfTableDump> tables;
    std::string error;
    ASSERT_TRUE(test::readDbfTables({dir.file("cp.dbf")}, tables, &error)) << error;
    const test::DbfTableDump &t = tables[dir.file("cp.dbf")];
    ASSERT_EQ(t.rows.size(), 1u) << t.error;
    EXPECT_EQ(t.rows[0][0], test::textValue("x\xE2\x94\x80y")); // U+2500, as code page 437 means it
}

TEST_F(Dbf, AppendAddsRecordsAndMemos) {
    const bool haveReader = test::haveDbfread();
    table("a.db", {{"Id", PxLong}, {"Name", PxChar, 10}, {"Note", PxMemoBlob, 15}},
          {{Cell::integer(1), Cell::text("one"), Cell::text("the first memo text")},
           {Cell::integer(2), Cell::text("two"), Cell()},
           {Cell::integer(3), Cell::text("three"), Cell::text("a short")}});
    for (const Version &v : kVersions) {
        const std::string memo = v.foxPro ? "a.fpt" : "a.dbt";
        ASSERT_EQ(quorv({"a.db", "a.dbf", v.flag}).status, 0);
        const std::string once = bytes("a.dbf"), onceMemo = bytes(memo);
        test::RunResult r = quorv({"a.db", "a.dbf", v.flag, "/append"});
        ASSERT_EQ(r.status, 0) << r.err;
        std::string b = bytes("a.dbf");
        EXPECT_EQ(le32(b, 4), 6u) << v.flag;
        ASSERT_EQ(b.size(), once.size() + 3 * le16(b, 10)) << v.flag;
        EXPECT_EQ(b.back(), '\x1A');
        const size_t headerLength = le16(b, 8);
        EXPECT_EQ(b.substr(8, headerLength - 8), once.substr(8, headerLength - 8))
            << "lengths and descriptors kept";
        EXPECT_NE(bytes(memo).substr(0, 4), onceMemo.substr(0, 4)) << "next free block moved on";
        // The old records and memo texts are read back below, beside the appended ones.
        if (!haveReader)
            continue;
        std::map<std::string, test::DbfTableDump> tables;
        std::string error;
        ASSERT_TRUE(test::readDbfTables({dir.file("a.dbf")}, tables, &error)) << error;
        const test::DbfTableDump &t = tables[dir.file("a.dbf")];
        ASSERT_EQ(t.rows.size(), 6u) << v.flag << t.error;
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(t.rows[i], t.rows[i + 3]) << v.flag << " record " << i;
        EXPECT_EQ(t.rows[3][2], test::textValue("the first memo text"));
        EXPECT_EQ(t.rows[5][2], test::textValue("a short"));
    }
    if (!haveReader)
        GTEST_SKIP() << "python3-dbfread is not installed: appended tables not read back";
}

TEST_F(Dbf, AppendRefusesAnotherStructureAndLeavesTheFilesUntouched) {
    table("a.db", {{"Id", PxLong}, {"Note", PxMemoBlob, 15}},
          {{Cell::integer(1), Cell::text("the first memo text")},
           {Cell::integer(2), Cell::text("second one")}});
    ASSERT_EQ(quorv({"a.db", "a.dbf"}).status, 0);
    const std::string original = bytes("a.dbf"), memo = bytes("a.dbt");
    struct Case {
        std::vector<std::string> switches;
        const char *reason;
    } cases[] = {
        {{"/COLUMNS:Id"}, "it has 2 fields, this export 1"},
        {{"/VFP"}, "field 2 is \"Note\" M(10) there and \"Note\" M(4) in this export"},
        {{"/ANSICP:1250"}, "another code page"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"a.db", "a.dbf", "/append", "/LOG:a.log"};
        args.insert(args.end(), c.switches.begin(), c.switches.end());
        test::RunResult r = quorv(args);
        EXPECT_EQ(r.status, 1) << c.reason;
        EXPECT_NE(r.err.find("a.dbf: not appended, the file is left as it was: "), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_NE(bytes("a.log").find(c.reason), std::string::npos);
        EXPECT_EQ(bytes("a.dbf"), original) << c.reason;
        EXPECT_EQ(bytes("a.dbt"), memo) << c.reason;
    }
    // The same fields in another version.
    ASSERT_EQ(quorv({"a.db", "v.dbf", "/COLUMNS:Id"}).status, 0);
    const std::string v = bytes("v.dbf");
    test::RunResult r = quorv({"a.db", "v.dbf", "/COLUMNS:Id", "/DBASE4", "/append"});
    EXPECT_NE(r.err.find("it is a DBF table of version 0x03, this export writes 0x43"), std::string::npos)
        << r.err;
    EXPECT_EQ(bytes("v.dbf"), v);
    // A file that is no table at all. (A field of another width is refused by the same comparison of
    // fields as the memo field of the /VFP case.)
    test::writeFile(dir.file("notes.dbf"), "just some text, not a table at all: 0123456789");
    r = quorv({"a.db", "notes.dbf", "/append"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(bytes("notes.dbf"), "just some text, not a table at all: 0123456789");
    // A table whose memo file is no memo file, or has gone.
    test::writeFile(dir.file("a.dbt"), "too short");
    r = quorv({"a.db", "a.dbf", "/append"});
    EXPECT_NE(r.err.find("its memo file a.dbt cannot be used: it is not a memo file"), std::string::npos)
        << r.err;
    EXPECT_EQ(bytes("a.dbf"), original);
    EXPECT_EQ(bytes("a.dbt"), "too short");
    std::filesystem::remove(dir.file("a.dbt"));
    r = quorv({"a.db", "a.dbf", "/append"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("its memo file a.dbt cannot be used"), std::string::npos) << r.err;
    EXPECT_EQ(bytes("a.dbf"), original);
    EXPECT_FALSE(test::fileExists(dir.file("a.dbt")));
}

TEST_F(Dbf, FailuresAreReportedAndLeaveNothingHalfWritten) {
    table("t.db", {{"Text", PxChar, 200}, {"Note", PxMemoBlob, 20}},
          std::vector<std::vector<Cell>>(
              1000, {Cell::text(std::string(190, 'x')), Cell::text(fixture::fillText(700))}));
    test::RunResult r = quorv({"t.db", "nowhere/t.dbf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nowhere/t.dbf: No such file or directory"), std::string::npos) << r.err;

    // A full disk while the table or while its memo file is written: both files are removed.
    for (const char *columns : {"/COLUMNS:Text", "/COLUMNS:Note"}) {
        r = quorv({"t.db", "t.dbf", columns}, 100 * 1024);
        EXPECT_EQ(r.status, 1) << columns;
        EXPECT_NE(r.err.find(": File too large"), std::string::npos) << r.err;
        EXPECT_FALSE(test::fileExists(dir.file("t.dbf"))) << columns;
        EXPECT_FALSE(test::fileExists(dir.file("t.dbt"))) << columns;
    }

    // The same through the shell's ulimit, which stops a program with SIGXFSZ unless it ignores it.
    r = test::runProgram({"/bin/sh", "-c", "ulimit -f 100 && exec \"$0\" t.db t.dbf", test::quorvBinary()},
                         dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("t.dbt: File too large"), std::string::npos) << r.err;
    EXPECT_FALSE(test::fileExists(dir.file("t.dbf")));

    // A full disk while appending, in the table or in its memo file: both files get their old bytes back.
    // (Both memo forms are put back by the same code: the dBase one stands for both.)
    table("s.db", {{"Text", PxChar, 200}, {"Note", PxMemoBlob, 20}},
          {{Cell::text("small"), Cell::text("a memo text of the small table")}});
    for (const char *columns : {"/COLUMNS:Text", "/COLUMNS:Text,Note"}) {
        ASSERT_EQ(quorv({"s.db", "a.dbf", columns}).status, 0);
        const std::string old = bytes("a.dbf");
        const std::string oldMemo = test::fileExists(dir.file("a.dbt")) ? bytes("a.dbt") : "";
        r = quorv({"t.db", "a.dbf", "/append", columns}, 64 * 1024);
        EXPECT_EQ(r.status, 1) << columns;
        EXPECT_NE(r.err.find(": File too large"), std::string::npos) << r.err;
        EXPECT_EQ(bytes("a.dbf"), old) << columns;
        if (!oldMemo.empty()) {
            EXPECT_EQ(bytes("a.dbt"), oldMemo) << columns;
        }
        std::filesystem::remove(dir.file("a.dbt"));
    }

    // A memo file that cannot be created: reported, the table is still written, the run fails.
    std::filesystem::create_directory(dir.file("u.dbt"));
    r = quorv({"s.db", "u.dbf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find(
            "u.dbt: the memo file cannot be created (Is a directory); the memo texts are left out of u.dbf"),
        std::string::npos)
        << r.err;
    std::string b = bytes("u.dbf");
    ASSERT_EQ(le32(b, 4), 1u);
    EXPECT_EQ(recordOf(b, 0).substr(201), std::string(10, ' '));
}
