// The command line the wizard composes: its text, and a saved script run by /bin/sh writing what the
// wizard's own export writes.
#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <locale.h>
#include <map>
#include <sys/stat.h>

#include "app/command_compose.h"
#include "app/program.h"
#include "export/driver.h"
#include "export/excel/excel_readers.h"
#include "export/settings.h"
#include "export/writer.h"
#include "platform/system.h"
#include "source/paradox_table.h"
#include "support/reader_check.h"

using namespace quorv;
using fixture::Cell;
namespace fs = std::filesystem;

namespace {

// A table of named fields, not opened: what composing reads of it.
void describe(SourceTable &table, const std::vector<std::string> &names) {
    table.fieldCount = static_cast<int>(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        FieldInfo field;
        field.name = names[i];
        field.type = PxChar;
        table.fields.push_back(field);
        table.fieldOrder.push_back(static_cast<int>(i));
        table.fieldExcluded.push_back(0);
    }
}

TEST(ComposeCommand, TextOfEachCase) {
    using Set = std::function<void(SourceTable &, ExportSettings &)>;
    const Set none = [](SourceTable &, ExportSettings &) {};
    const struct {
        const char *what;
        OutputType type;
        bool folderBatch;
        std::string source, output;
        Set set;
        std::string expected; // after the program path
    } cases[] = {
        {"plain names, nothing chosen", OutputType::DbaseIII, false, "/data/cust.db", "/out/cust.dbf", none,
         " /data/cust.db /out/cust.dbf"},
        {"an output with a blank is quoted, the source is not", OutputType::DbaseIII, false, "/data/cust.db",
         "/out/my cust.dbf", none, " /data/cust.db '/out/my cust.dbf'"},
        {"folder batch: *.db added, /tocsv before the page's switches", OutputType::Csv, true, "/data/in",
         "/out", none, " '/data/in/*.db' /out /tocsv /SEP,"},
        {"a folder whose name holds .db still gets its pattern", OutputType::Rtf, true, "/data/my.dbfiles",
         "/o", none, " '/data/my.dbfiles/*.db' /o /tortf"},
        {"folder batch of a folder with a blank: the pattern inside the quotes", OutputType::Xlsx, true,
         "/data/my in/", "/out", none, " '/data/my in/*.db' /out /toxlsx"},
        {"folder batch naming its tables keeps the name; DBF variants and RSS", OutputType::VisualFoxPro,
         true, "/data/A*.DB", "/out", none, " '/data/A*.DB' /out /todbf /VFP"},
        {"RSS in a batch", OutputType::Rss, true, "/d", "/o", none, " '/d/*.db' /o /toxml /RSS2"},
        {"fields 1 and 3 of four left out", OutputType::DbaseIV, false, "/d/t.db", "/o/t.dbf",
         [](SourceTable &t, ExportSettings &) {
             t.fieldExcluded = {0, 1, 0, 1};
         },
         " /d/t.db /o/t.dbf /columns:a,c /DBASE4"},
        {"every field left out: an empty list, not every field", OutputType::Csv, false, "/d/t.db",
         "/o/t.csv",
         [](SourceTable &t, ExportSettings &) {
             t.fieldExcluded = {1, 1, 1, 1};
         },
         " /d/t.db /o/t.csv /columns:'' /SEP,"},
        {"moved columns keep their order; names with blanks, commas", OutputType::Csv, false, "/d/t.db",
         "/o/t.csv",
         [](SourceTable &t, ExportSettings &s) {
             t.fields[1].name = "Last Name", t.fields[2].name = "net, gross";
             t.fieldOrder = {2, 0, 1, 3}, t.fieldExcluded = {0, 0, 0, 1}, s.separator = ";";
         },
         " /d/t.db /o/t.csv /columns:'\"net, gross\",a,Last Name' /SEP';' /COLUMNORDER"},
        {"OEM, SQL Server without CREATE TABLE, Go every 100", OutputType::Sql, false, "/d/t.db", "/o/t.sql",
         [](SourceTable &, ExportSettings &s) {
             s.oemFlags = 1, s.sqlDialect = SqlDialect::SqlServer, s.writeHeader = false, s.sqlWriteGo = true;
         },
         " /d/t.db /o/t.sql /OEM /SQL2000 /nocreatetable /go"},
        {"PostgreSQL, Go every 250, double quotes", OutputType::Sql, false, "/d/t.db", "/o/t.sql",
         [](SourceTable &, ExportSettings &s) {
             s.sqlDialect = SqlDialect::PostgreSql, s.sqlWriteGo = true, s.sqlGoEvery = 250, s.quoteChar = '"';
         },
         " /d/t.db /o/t.sql /POSTGRESQL /go250 /DOUBLEQUOTA"},
        {"text: the page's switches, then the added ones", OutputType::Text, false, "/d/t.db", "/o/t.txt",
         [](SourceTable &, ExportSettings &s) {
             s.separator = "tab", s.utf8 = true, s.quoteAll = true, s.quoteChar = '\'', s.writeHeader = false;
             s.reverseOrder = true, s.sortEnabled = true, s.sortField = 1, s.sortAscending = false, s.decimals = 3;
         },
         " /d/t.db /o/t.txt /SEPTAB /utf8 /allquotes /SORTBY:b /DESC /REVERSE /decs:3 /SINGLEQUOTA /nohdr"},
        {"HTML options", OutputType::Html, false, "/d/t.db", "/o/t.htm",
         [](SourceTable &, ExportSettings &s) {
             s.htmlTitle = "Price list: it's $5", s.htmlTextColor = 0x0000FF, s.htmlBorder = 0, s.htmlSplitPages = true;
             s.htmlRowsPerPage = 20, s.htmlAsForm = true, s.htmlRecordNumbers = true;
         },
         " /d/t.db /o/t.htm /TITLE='Price list: it'\\''s $5' /COLOR=ff0000 /BACKGROUND=ffffff /BORDER=0 "
         "/MAXPERPAGE=20 /ASFORM /NUMBER"},
        {"shell characters in paths", OutputType::Csv, false, "/d/$HOME `id`/t.db", "/o/\"x\" \\ ä.csv", none,
         " '/d/$HOME `id`/t.db' '/o/\"x\" \\ ä.csv' /SEP,"},
    };
    for (const auto &c : cases) {
        SourceTable table;
        describe(table, {"a", "b", "c", "d"});
        ExportSettings settings;
        settings.outputType = c.type;
        c.set(table, settings);
        CommandLineRequest request{c.source, c.output, c.folderBatch, &table, &settings, {}};
        EXPECT_EQ(composeCommandLine(request, "/opt/it's/quorv", "/s/run.filter"),
                  "'/opt/it'\\''s/quorv'" + c.expected)
            << c.what;
    }
}

TEST(ComposeCommand, RelativePathsAndAnOutputWhoseExtensionNamesAnotherType) {
    SourceTable table;
    describe(table, {"a"});
    ExportSettings settings;
    settings.outputType = OutputType::Xlsx;
    CommandLineRequest request{"t.db", "/o/t.xlsx.bak", false, &table, &settings};
    ComposedCommand command = composeCommand(request, "/q", "");
    EXPECT_EQ(command.text, "/q " + shellQuote(platform::currentFolder() + "t.db") + " /o/t.xlsx.bak");
    ASSERT_EQ(command.notes.size(), 1u);
    EXPECT_NE(command.notes[0].find("does not end in \".xlsx\""), std::string::npos);
    request.sourcePath = "/" + std::string(3000, 'd') + ".db"; // no length limit
    EXPECT_NE(composeCommandLine(request, "/q", "").find(request.sourcePath + " "), std::string::npos);
}

TEST(ComposeCommand, ScriptNames) {
    const std::pair<const char *, const char *> names[] = {{"/s/run", "/s/run.sh"},
                                                           {"/s/run.sh", "/s/run.sh"},
                                                           {"/s/RUN.SH", "/s/RUN.SH"},
                                                           {"/s/run.bat", "/s/run.bat.sh"}};
    for (const auto &[chosen, script] : names)
        EXPECT_EQ(scriptPathFor(chosen), script);
    EXPECT_EQ(filterPathForScript("/s/RUN.SH"), "/s/RUN.filter");
    EXPECT_EQ(scriptText("quorv a.db b.csv"), "#!/bin/sh\nquorv a.db b.csv\n");
}

// ---- Round trip: the saved script, run by /bin/sh, writes what runExport writes.

void writeTable(const std::string &path) {
    std::vector<std::vector<Cell>> rows;
    const char *names[] = {"Smith", "smith", "O'Brien", "B\xE4" "cker", "$HOME", "`id`", "<b>&amp;</b>", "Jones"};
    const char *cities[] = {"Boston", "say \"hi\"", "Oslo;Bergen", "|pipe|", "a\\b", "tab\there", "", "M\xFC" "nchen"};
    for (int i = 0; i < 8; ++i)
        rows.push_back({Cell::integer(i + 1), Cell::text(names[i]), Cell::text(cities[i]),
                        i == 3 ? Cell() : Cell::date(1970 + 7 * i, 1 + i, 3 + i), Cell::integer(i * 7 - 20),
                        Cell::real(i * 1.375), Cell::logical(i % 2 == 0), Cell::text(i % 3 ? "memo, \"text\"" : ""),
                        Cell::real(-i * 12.5)});
    test::makeTable(path, {{"Id", PxAutoInc}, {"Last Name", PxChar, 20}, {"City", PxChar, 24}, {"Born", PxDate},
                           {"Score", PxShort}, {"Amount", PxNumber}, {"Paid", PxLogical}, {"Notes", PxMemoBlob, 40},
                           {"Gr\xF6\xDF" "e, net", PxCurrency}}, rows);
}

// The options of each format, set as the wizard's pages would.
void setFormatOptions(ExportSettings &s) {
    if (s.outputType == OutputType::Text)
        s.separator = "tab", s.quoteChar = '"', s.writeHeader = false, s.utf8 = true;
    else if (s.outputType == OutputType::Csv)
        s.separator = ";", s.quoteChar = '\'', s.quoteAll = true;
    else if (s.outputType == OutputType::Sql)
        s.sqlDialect = SqlDialect::MySql, s.sqlWriteGo = true, s.sqlGoEvery = 2, s.writeHeader = false;
    else if (s.outputType == OutputType::Xml)
        s.utf8 = true;
    else if (s.outputType == OutputType::Html) {
        s.htmlTitle = "Price list: it's $5 `now`", s.htmlTextColor = 0x0000FF, s.htmlBackColor = 0xEEEEEE;
        s.htmlBorder = 3, s.htmlSplitPages = true, s.htmlRowsPerPage = 2, s.htmlRecordNumbers = true;
    }
}

std::map<std::string, std::string> folderFiles(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = test::readFile(entry.path().string());
    return files;
}

std::string cellsText(const test::XlBook &book) {
    std::string text;
    for (const test::XlSheet &sheet : book) {
        text += "[" + sheet.name + "]\n";
        for (const auto &[at, cell] : sheet.cells)
            text += std::to_string(at.first) + "," + std::to_string(at.second) + " " + cell.kind + " " +
                    cell.value + " " + cell.format + "\n";
    }
    return text;
}

class RoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        tables = dir.file("tables $T 'x' \xC3\xBC");
        programFolder = dir.file("prog it's $P `y` \xC3\xA4");
        scripts = dir.file("scripts $S/logs");
        for (const std::string &folder : {tables, programFolder, scripts})
            fs::create_directories(folder);
        writeTable(tables + "/people.db");
        program = programFolder + "/quorv";
        fs::copy_file(test::quorvBinary(), program);
        fs::permissions(program, fs::perms::owner_all);
    }

    // Exports in process and through the saved script; returns the two output folders.
    void convertBothWays(OutputType type, bool rss, std::string &reference, std::string &scripted) {
        std::string name = std::string("out \"$1\" 'q' \xC3\xB6") + (rss ? ".xml" : outputFormat(type).extension);
        reference = dir.file("reference " + std::to_string(static_cast<int>(type)) + (rss ? "r" : ""));
        scripted = dir.file("scripted $O `z` " + std::to_string(static_cast<int>(type)) + (rss ? "r" : ""));
        fs::create_directories(reference);
        fs::create_directories(scripted);

        ExportSettings settings;
        prepareSettings(settings);
        settings.outputType = type, settings.rssFormat = rss, settings.viewAfterExport = false, settings.oemFlags = 1;
        setDecimals(settings, 3);
        settings.sortEnabled = true, settings.sortAscending = false;
        setFormatOptions(settings);
        if (!dateLocale.empty())
            settings.dateOrder = '1', settings.dateSeparator = '.';

        SourceTable table;
        table.path = tables + "/people.db";
        std::string error;
        ASSERT_TRUE(openSourceTable(table, settings, &error)) << error;
        settings.sortField = 1;                         // Last Name
        table.fieldOrder = {8, 1, 0, 2, 3, 4, 5, 6, 7}; // the last field moved to the front
        table.fieldExcluded = {0, 0, 1, 0, 1, 0, 0, 1, 0};
        table.conditions.resize(9);
        table.conditions[5].text = ">=2", table.conditions[2].text = "!*z*"; // Amount, City
        if (!dateLocale.empty())
            table.conditions[3].text = ">06.05.1998"; // Born after 6 May 1998 (read month first: 5 June)
        for (FilterCondition &c : table.conditions)
            parseCondition(c);

        CommandLineRequest request{table.path, scripted + "/" + name, false, &table, &settings, {}, dateLocale};
        const std::string script = scripts + "/run it's.sh";
        ASSERT_TRUE(saveCommandScript(request, program, script, &error)) << error;

        settings.outputPath = reference + "/" + name;
        ExportResult result = runExport(table, settings);
        closeSourceTable(table);
        ASSERT_TRUE(result.ok);

        test::RunResult run = test::runProgram({"/bin/sh", script}, dir.path(), -1, {"LC_ALL=C.UTF-8", "TZ=UTC"});
        ASSERT_EQ(run.status, 0) << test::readFile(script) << run.err;
        EXPECT_FALSE(test::fileExists(programFolder + "/quorv.log")) << "a switch was found inside a path";
    }

    test::TempDir dir;
    std::string tables, programFolder, scripts, program;
    std::string dateLocale; // the wizard's locale, when not C
};

// The same files with the same bytes; workbooks (which carry their save time) with the same cells.
void expectSameOutputs(OutputType type, const std::string &reference, const std::string &scripted) {
    std::map<std::string, std::string> expected = folderFiles(reference), actual = folderFiles(scripted);
    ASSERT_FALSE(expected.empty());
    if (type != OutputType::Xls && type != OutputType::Xlsx) {
        EXPECT_EQ(actual, expected);
        return;
    }
    if (!test::missingExcelReaders().empty()) {
        ADD_FAILURE() << "cannot compare workbooks: " << test::missingExcelReaders();
        return;
    }
    ASSERT_EQ(actual.size(), expected.size());
    std::vector<std::string> paths;
    for (const auto &[file, bytes] : expected)
        paths.insert(paths.end(), {reference + "/" + file, scripted + "/" + file});
    std::map<std::string, test::XlBook> books;
    std::string error;
    ASSERT_TRUE(test::readWorkbooks(paths, false, books, &error)) << error;
    for (size_t i = 0; i < paths.size(); i += 2)
        EXPECT_EQ(cellsText(books[paths[i + 1]]), cellsText(books[paths[i]])) << paths[i];
}

// Every type that has a writer; RSS as the wizard makes it, XML with the RSS box.
template <typename Check> void forEachOutputType(Check check) {
    for (int t = 1; t <= kOutputTypeCount + 1; ++t) {
        const bool rss = t == kOutputTypeCount + 1;
        const OutputType type = rss ? OutputType::Xml : static_cast<OutputType>(t);
        if (type == OutputType::Rss || !hasWriter(type))
            continue;
        SCOPED_TRACE(std::string(outputFormat(type).description) + (rss ? " as RSS" : ""));
        check(type, rss);
    }
}

TEST_F(RoundTrip, TheSavedScriptWritesWhatTheWizardWrites) {
    forEachOutputType([&](OutputType type, bool rss) {
        std::string reference, scripted;
        convertBothWays(type, rss, reference, scripted);
        if (!HasFatalFailure())
            expectSameOutputs(type, reference, scripted);
    });
}

// The script sets the wizard's locale, so its dates and date conditions read as in the wizard
// whatever locale the scheduler runs it in (here C.UTF-8).
TEST_F(RoundTrip, DatesFollowTheWizardsLocale) {
    locale_t german = newlocale(LC_TIME_MASK, "de_DE.UTF-8", nullptr);
    if (!german)
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (Debian package locales-all)";
    freelocale(german);
    dateLocale = "de_DE.UTF-8";
    std::string reference, scripted;
    convertBothWays(OutputType::Csv, false, reference, scripted);
    ASSERT_FALSE(HasFatalFailure());
    expectSameOutputs(OutputType::Csv, reference, scripted);
    std::string csv = folderFiles(reference).begin()->second;
    EXPECT_NE(csv.find("$HOME"), std::string::npos) << csv;   // born 7 May 1998
    EXPECT_EQ(csv.find("O'Brien"), std::string::npos) << csv; // born 1984
}

// A folder batch: each table opened in turn with its own columns and no filter, as the wizard's
// Finish converts a folder.
TEST_F(RoundTrip, AFolderBatchScriptWritesWhatTheWizardWrites) {
    fs::copy_file(tables + "/people.db", tables + "/Second Table.DB");
    forEachOutputType([&](OutputType type, bool rss) {
        const std::string tag = std::to_string(static_cast<int>(type)) + (rss ? "r" : "");
        const std::string reference = dir.file("batch reference " + tag);
        const std::string scripted = dir.file("batch 'out' $B " + tag);
        fs::create_directories(reference);
        fs::create_directories(scripted);
        ExportSettings settings;
        prepareSettings(settings);
        settings.outputType = type, settings.rssFormat = rss, settings.viewAfterExport = false;
        settings.oemCodePage = 850; // with OEM text off: /OEMCP: must not turn it on
        settings.reverseOrder = true;
        setFormatOptions(settings);

        CommandLineRequest request{tables, scripted, true, nullptr, &settings, {}};
        const std::string script = scripts + "/batch.sh";
        std::string error;
        ASSERT_TRUE(saveCommandScript(request, program, script, &error)) << error;
        for (const char *name : {"people", "Second Table"}) {
            ExportSettings copy = settings;
            SourceTable table;
            table.path = tables + "/" + name + (name[0] == 'p' ? ".db" : ".DB");
            ASSERT_TRUE(openSourceTable(table, copy, &error)) << error;
            copy.outputPath = reference + "/" + name + outputFormat(type).extension;
            EXPECT_TRUE(runExport(table, copy).ok);
            closeSourceTable(table);
        }
        test::RunResult run = test::runProgram({"/bin/sh", script}, dir.path(), -1, {"LC_ALL=C.UTF-8", "TZ=UTC"});
        ASSERT_EQ(run.status, 0) << test::readFile(script) << run.err;
        expectSameOutputs(type, reference, scripted);
    });
}

} // namespace
