// DBF tables written from the fixture tables and from the real tables, read back by independent
// readers (Python's dbfread, LibreOffice): field types, lengths and decimals, record counts, and every
// value equal to the source value as our table reader gives it (memo texts from the .mb beside the
// table). dbfread reads every table as dBase III and FoxPro; LibreOffice the all-types table.
#include <gtest/gtest.h>

#include <clocale>
#include <map>

#include "app/program.h"
#include "export/settings.h"
#include "fixture/fixtures.h"
#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"
#include "support/csv_reader.h"
#include "support/dbf_reader.h"
#include "support/test_support.h"

using namespace quorv;

namespace {

struct Version {
    const char *flag;
    const char *suffix;
    bool foxPro;
};
// dBase IV writes the values as dBase III does (only its version byte differs, which dbf_layout_test
// checks, and LibreOffice reads that form below): the tables are read back as dBase III and FoxPro.
const Version kVersions[] = {{"/DBASE3", "d3", false}, {"/VFP", "vfp", true}};

// What a reader should find: the fields and the values of the source table.
struct Expected {
    std::string error;
    std::vector<std::string> names; // the source field names
    std::vector<test::DbfField> fields;
    std::vector<std::vector<std::string>> rows;
};

// Type letter, length and decimals each source type gets.
test::DbfField expectedField(const FieldInfo &f, bool foxPro) {
    test::DbfField d;
    d.decimals = 0;
    // clang-format off
    switch (f.type) {
    case PxDate: d.type = 'D', d.length = 8; break;
    case PxShort: d.type = 'N', d.length = 10; break;
    case PxLong: case PxAutoInc: d.type = 'N', d.length = 11; break;
    case PxCurrency: case PxNumber: d.type = 'N', d.length = 19, d.decimals = 2; break;
    case PxLogical: d.type = 'L', d.length = 1; break;
    case PxTime: d.type = 'C', d.length = 12; break;
    case PxTimestamp: d.type = 'C', d.length = 19; break;
    case PxBcd: d.type = 'C', d.length = 1 + std::max(32 - f.decimals, 1) + (f.decimals ? f.decimals + 1 : 0); break;
    case PxMemoBlob: case PxFmtMemoBlob: case PxBlob: case PxGraphic: d.type = 'M', d.length = foxPro ? 4 : 10; break;
    default: d.type = 'C', d.length = std::max(f.size % 256, 1); break;
    }
    // clang-format on
    return d;
}

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string numberText(double value, int decimals, int width) {
    char text[64];
    snprintf(text, sizeof text, "%.*f", decimals, value);
    return static_cast<int>(strlen(text)) <= width ? std::string("n:") + text : "-"; // too wide: asterisks
}

// The text as dbfread decodes it (errors='surrogateescape'): a byte the code page does not define stays
// as it is, which leaves no valid UTF-8.
std::string readerText(const std::string &text, int codePage) {
    std::string out;
    for (char c : text) {
        if (platform::byteHasCharacter(codePage, static_cast<unsigned char>(c))) {
            platform::appendUtf8(out, std::string_view(&c, 1), codePage);
        } else {
            out += c;
        }
    }
    return out;
}

// The source table's values in the readers' plain form.
Expected expectedTable(const std::string &path, bool foxPro) {
    Expected e;
    ExportSettings settings;
    std::setlocale(LC_ALL, "");
    prepareSettings(settings); // the binary's date order: month/day/year in the tests' locale
    std::setlocale(LC_NUMERIC, "C");
    SourceTable table;
    table.path = path;
    if (!openSourceTable(table, settings, &e.error))
        return e;
    const int codePage = table.ansiCodePage;
    for (const FieldInfo &f : table.fields) {
        e.names.push_back(f.name);
        e.fields.push_back(expectedField(f, foxPro));
    }
    std::string text;
    for (int r = 0; r < table.recordCount; ++r) {
        if (!readRecord(table, r)) {
            e.error = "record " + std::to_string(r) + " cannot be read";
            break;
        }
        const uint8_t *record = table.recordBuffer.data();
        std::vector<std::string> row;
        for (int i = 0; i < table.fieldCount; ++i) {
            const FieldInfo &f = table.fields[static_cast<size_t>(i)];
            double number = 0;
            int logical = 0;
            DateParts d;
            switch (f.type) {
            case PxDate:
                if (readDateParts(table, record, i, d) && d.year >= 1 && d.year <= 9999) {
                    char iso[16];
                    snprintf(iso, sizeof iso, "d:%04d-%02d-%02d", d.year, d.month, d.day);
                    row.push_back(iso);
                } else {
                    row.push_back("-");
                }
                break;
            case PxShort:
            case PxLong:
            case PxAutoInc:
            case PxCurrency:
            case PxNumber: {
                const test::DbfField field = expectedField(f, foxPro);
                row.push_back(readNumber(table, record, i, number)
                                  ? numberText(number, field.decimals, field.length)
                                  : "-");
                break;
            }
            case PxLogical:
                row.push_back(readLogical(table, record, i, logical) ? (logical ? "T" : "F") : "-");
                break;
            case PxMemoBlob:
            case PxFmtMemoBlob:
                readMemo(table, record, i, text);
                row.push_back(text.empty() ? "-" : test::textValue(readerText(text, codePage)));
                break;
            case PxBlob:
            case PxGraphic:
                row.push_back("-");
                break;
            default:
                formatFieldValue(text, table, settings, record, i);
                row.push_back(test::textValue(readerText(trimmed(text), codePage)));
                break;
            }
        }
        e.rows.push_back(std::move(row));
    }
    closeSourceTable(table);
    return e;
}

class DbfReaders : public ::testing::Test {
  protected:
    // Exports every table in both versions and compares what dbfread finds in them with the source.
    void exportAndCompare(const std::vector<std::string> &tables) {
        auto output = [&](size_t t, int v) {
            return dir.file("t" + std::to_string(t) + "_" + kVersions[v].suffix + ".dbf");
        };
        std::vector<std::string> files;
        for (size_t t = 0; t < tables.size(); ++t) {
            for (int v = 0; v < 2; ++v) {
                test::RunResult r =
                    test::runProgram({test::quorvBinary(), tables[t], output(t, v), kVersions[v].flag});
                EXPECT_EQ(r.status, 0) << tables[t] << " " << kVersions[v].flag << ": " << r.err;
                files.push_back(output(t, v));
            }
        }
        std::map<std::string, test::DbfTableDump> dumps;
        std::string error;
        ASSERT_TRUE(test::readDbfTables(files, dumps, &error)) << error;
        for (size_t t = 0; t < tables.size(); ++t) {
            const Expected plain = expectedTable(tables[t], false), fox = expectedTable(tables[t], true);
            ASSERT_TRUE(plain.error.empty()) << tables[t] << ": " << plain.error;
            for (int v = 0; v < 2; ++v) {
                const std::string where = tables[t] + " " + kVersions[v].flag;
                const test::DbfTableDump &dump = dumps[output(t, v)];
                const Expected &e = kVersions[v].foxPro ? fox : plain;
                ASSERT_TRUE(dump.error.empty()) << where << ": " << dump.error;
                ASSERT_EQ(dump.fields.size(), e.fields.size()) << where;
                for (size_t f = 0; f < e.fields.size(); ++f) {
                    EXPECT_EQ(dump.fields[f].type, e.fields[f].type) << where << " field " << f;
                    EXPECT_EQ(dump.fields[f].length, e.fields[f].length) << where << " field " << f;
                    EXPECT_EQ(dump.fields[f].decimals, e.fields[f].decimals) << where << " field " << f;
                }
                ASSERT_EQ(dump.rows.size(), e.rows.size()) << where;
                int mismatches = 0; // the first five records that differ are shown whole
                for (size_t r = 0; r < e.rows.size() && mismatches < 5; ++r) {
                    EXPECT_EQ(dump.rows[r], e.rows[r]) << where << " record " << r;
                    mismatches += dump.rows[r] != e.rows[r];
                }
            }
        }
    }

    std::vector<std::string> fixtureTables() {
        std::string error;
        EXPECT_TRUE(fixture::makeAllTypesTable(dir.file("alltypes.db"), &error)) << error;
        EXPECT_TRUE(fixture::makeSampleTable(dir.file("customers.db"), &error)) << error;
        EXPECT_TRUE(fixture::makeBigTable(dir.file("big.db"), 3000, 7, &error)) << error;
        return {dir.file("alltypes.db"), dir.file("customers.db"), dir.file("big.db")};
    }

    test::TempDir dir;
};

} // namespace

// The fixture tables in both versions, read by dbfread.
TEST_F(DbfReaders, FixtureTablesReadBackAsDBaseAndFoxPro) {
    if (!test::haveDbfread())
        GTEST_SKIP() << "python3-dbfread is not installed";
    const std::vector<std::string> tables = fixtureTables();
    exportAndCompare(tables);
}

// The real tables, read by dbfread (which passes on bytes a table's code page does not define, as
// Rparadox/of.db holds).
TEST_F(DbfReaders, RealTablesReadBackAsDBaseAndFoxPro) {
    std::vector<std::string> tables;
    for (const std::string &relative : test::corpusTables())
        tables.push_back(test::corpusPath(relative));
    if (tables.empty())
        GTEST_SKIP() << "the real Paradox tables (../shared/testdata/paradox) are not there";
    if (!test::haveDbfread())
        GTEST_SKIP() << "python3-dbfread is not installed";
    exportAndCompare(tables);
}

// LibreOffice reads the all-types table in the dBase IV form (the dBase III form is the same but for
// the version byte, and the customers table is left to dbfread). It reads FoxPro memo fields as
// digits, not as the 4-byte block numbers FoxPro writes, so the FoxPro form is left to dbfread.
TEST_F(DbfReaders, LibreOfficeReadsTheAllTypesTable) {
    if (!test::fileExists("/usr/bin/soffice") ||
        !test::fileExists("/usr/lib/libreoffice/program/libdbaselo.so"))
        GTEST_SKIP()
            << "LibreOffice with its dBase driver (libreoffice-calc-nogui, libreoffice-base-drivers) is not "
               "installed";
    if (test::debianPython().empty())
        GTEST_SKIP() << "python3 is not installed";
    const std::string table = fixtureTables()[0];
    // Number is left out: LibreOffice reads the asterisks of its one value that does not fit as 0.
    const std::string columns =
        "/COLUMNS:Char,Date,Short,Long,Currency,Logical,OLE,Time,Timestamp,AutoInc,BCD,Bytes";
    const std::string out = dir.file("alltypes4.dbf");
    test::RunResult r = test::runProgram({test::quorvBinary(), table, out, "/DBASE4", columns});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::runProgram({"/usr/bin/soffice", "-env:UserInstallation=file://" + dir.file("profile"),
                          "--headless", "--infilter=dBase:ANSI", "--convert-to",
                          "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", dir.file("lo"), out});
    ASSERT_EQ(r.status, 0) << r.err;

    test::CsvRows rows;
    std::string error;
    ASSERT_TRUE(test::readCsvWithPython(dir.file("lo/alltypes4.csv"), ',', '"', true, rows, &error)) << error;
    Expected e = expectedTable(table, false);
    ASSERT_TRUE(e.error.empty()) << e.error;
    std::vector<size_t> exported; // the exported source fields
    for (size_t i = 0; i < e.names.size(); ++i)
        if (columns.find(e.names[i]) != std::string::npos)
            exported.push_back(i);

    // The values, every one; the fields' types and widths are dbfread's to check.
    ASSERT_EQ(rows.size(), e.rows.size() + 1);
    ASSERT_EQ(rows[0].size(), exported.size());
    for (size_t r = 0; r < e.rows.size(); ++r) {
        for (size_t k = 0; k < exported.size(); ++k) {
            const std::string &want = e.rows[r][exported[k]];
            const std::string &cell = rows[r + 1][k];
            const test::DbfField &f = e.fields[exported[k]];
            std::string got;
            if (f.type == 'N') {
                got = cell.empty() ? "-" : numberText(std::stod(cell), f.decimals, 99);
            } else if (f.type == 'L') {
                got = cell == "TRUE" ? "T" : cell == "FALSE" ? "F" : cell.empty() ? "-" : cell;
            } else if (f.type == 'D') {
                // Shown as MM/DD/YY in the tests' locale.
                got = want == "-" ? (cell.empty() ? "-" : cell)
                      : cell == want.substr(7, 2) + "/" + want.substr(10, 2) + "/" + want.substr(4, 2)
                          ? want
                          : cell;
            } else if (f.type == 'M') {
                got = cell.empty() ? "-" : test::textValue(cell);
            } else {
                got = test::textValue(cell);
            }
            EXPECT_EQ(got, want) << "record " << r << " " << e.names[exported[k]] << ": " << cell;
        }
    }
}
