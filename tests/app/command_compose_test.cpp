// The text of the command line the wizard composes. The saved script, run by /bin/sh, writes what the
// wizard writes: tests/wizard/round_trip_test.cpp.
#include <gtest/gtest.h>

#include <functional>

#include "app/command_compose.h"
#include "export/settings.h"
#include "platform/system.h"
#include "source/paradox_table.h"

using namespace quorv;

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

} // namespace
