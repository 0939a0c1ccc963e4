// The text of the command line the wizard composes, for what the round trip does not reach: the saved
// script, run by /bin/sh, writes what the wizard writes (tests/wizard/round_trip_test.cpp), and the
// switches of every output type, quoting and the columns are checked there.
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
        {"a folder whose name holds .db still gets its pattern", OutputType::Rtf, true, "/data/my.dbfiles",
         "/o", none, " '/data/my.dbfiles/*.db' /o /tortf"},
        {"every field left out: an empty list, not every field", OutputType::Csv, false, "/d/t.db",
         "/o/t.csv",
         [](SourceTable &t, ExportSettings &) {
             t.fieldExcluded = {1, 1, 1, 1};
         },
         " /d/t.db /o/t.csv /columns:'' /SEP,"},
        {"a descending sort", OutputType::Text, false, "/d/t.db", "/o/t.txt",
         [](SourceTable &, ExportSettings &s) {
             s.sortEnabled = true, s.sortField = 1, s.sortAscending = false;
         },
         " /d/t.db /o/t.txt /SEP, /SORTBY:b /DESC"},
        {"HTML as forms, no border", OutputType::Html, false, "/d/t.db", "/o/t.htm",
         [](SourceTable &, ExportSettings &s) {
             s.htmlBorder = 0, s.htmlAsForm = true;
         },
         " /d/t.db /o/t.htm /BORDER=0 /ASFORM"},
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

// An RSS channel reads title, link and description from the first three positions and leaves a
// left-out one empty; the column list closes such a gap, so the dialog says the script differs there.
TEST(ComposeCommand, AnRssGapAmongTheFirstThreeColumnsIsNoted) {
    for (const auto &[excluded, noted] : std::vector<std::pair<std::vector<int>, bool>>{
             {{0, 1, 0, 0}, true}, {{0, 0, 0, 1}, false}}) {
        SourceTable table;
        describe(table, {"a", "b", "c", "d"});
        table.fieldExcluded = excluded;
        ExportSettings settings;
        settings.outputType = OutputType::Rss;
        CommandLineRequest request{"/d/t.db", "/o/t.xml", false, &table, &settings};
        const ComposedCommand command = composeCommand(request, "/q", "");
        const bool hasNote = !command.notes.empty() && command.notes[0].find("RSS") != std::string::npos;
        EXPECT_EQ(hasNote, noted) << command.text;
    }
}

} // namespace
