// The script saved from the Command Line dialog, run by /bin/sh, writes what Finish writes: every
// output type, one table and a folder batch, with columns chosen and moved in the Columns dialog, a
// sort, a filter, OEM on and the format page's options set, in folders and file names that a shell
// would take apart. The switches of each case tie the page's controls to the command line's meaning.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <locale.h>
#include <map>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QToolButton>

#include "app/command_compose.h"
#include "export/settings.h"
#include "export/excel/excel_readers.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/choosers.h"
#include "wizard/dialogs.h"
#include "wizard/main_page.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

namespace fs = std::filesystem;
using fixture::Cell;

// Values a shell would take apart, a memo, an empty date and a field whose name holds a comma.
void writePeople(const std::string &path) {
    std::vector<std::vector<Cell>> rows;
    const char *names[] = {"Smith", "smith", "O'Brien", "B\xE4" "cker", "$HOME", "`id`", "<b>&amp;</b>", "Jones"};
    const char *cities[] = {"Boston", "say \"hi\"", "Oslo;Bergen", "|pipe|", "a\\b", "tab\there", "", "M\xFC" "nchen"};
    for (int i = 0; i < 8; ++i)
        rows.push_back({Cell::integer(i + 1), Cell::text(names[i]), Cell::text(cities[i]),
                        i == 3 ? Cell() : Cell::date(1970 + 7 * i, 1 + i, 3 + i), Cell::integer(i * 7 - 20),
                        Cell::real(i * 1.375), Cell::logical(i % 2 == 0), Cell::text(i % 3 ? "memo, \"text\"" : ""),
                        Cell::real(-i * 12.5)});
    fixture::TableSpec layout;
    layout.fields = {{"Id", PxAutoInc},   {"Last Name", PxChar, 20}, {"City", PxChar, 24},
                     {"Born", PxDate},    {"Score", PxShort},        {"Amount", PxNumber},
                     {"Paid", PxLogical}, {"Notes", PxMemoBlob, 40}, {"Gr\xF6\xDF" "e, net", PxCurrency}};
    std::string error;
    ASSERT_TRUE(fixture::writeTable(path, layout, rows, &error)) << error;
}

// "Größe, net" moved to the front, Paid and Notes left out, three decimals. The left-out columns are
// not among the first three positions, from which an RSS channel takes its columns.
void chooseColumns(WizardHarness &h) {
    answerDialog([&] { h.find<QAbstractButton>("columnsButton")->click(); },
                 [](QDialog &d) {
                     auto *list = d.findChild<QTableWidget *>("fieldList");
                     list->selectRow(8);
                     for (int i = 0; i < 8; ++i)
                         d.findChild<QToolButton *>("moveUp")->click();
                     list->item(7, 0)->setCheckState(Qt::Unchecked);
                     list->item(8, 0)->setCheckState(Qt::Unchecked);
                     d.findChild<QSpinBox *>("decimals")->setValue(3);
                 });
}

// Amount at least 1, no city holding "o", and with bornAfter a date condition on Born.
void chooseFilter(WizardHarness &h, const char *bornAfter) {
    answerDialog([&] { h.find<QAbstractButton>("filterButton")->click(); },
                 [&](QDialog &d) {
                     d.findChild<QLineEdit *>("condition5")->setText(">=1");
                     d.findChild<QLineEdit *>("condition2")->setText("!*o*");
                     if (bornAfter)
                         d.findChild<QLineEdit *>("condition3")->setText(bornAfter);
                 });
}

std::map<std::string, std::string> folderFiles(const std::string &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

std::string cellsText(const XlBook &book) {
    std::string text;
    for (const XlSheet &sheet : book) {
        text += "[" + sheet.name + "]\n";
        for (const auto &[at, cell] : sheet.cells)
            text += std::to_string(at.first) + "," + std::to_string(at.second) + " " + cell.kind + " " +
                    cell.value + " " + cell.format + "\n";
    }
    return text;
}

// The same files with the same bytes; workbooks (which carry their save time) with the same cells.
void expectSameOutputs(OutputType type, const std::string &wizard, const std::string &script) {
    const auto expected = folderFiles(wizard), actual = folderFiles(script);
    ASSERT_FALSE(expected.empty());
    if (type != OutputType::Xls && type != OutputType::Xlsx) {
        EXPECT_EQ(actual, expected);
        return;
    }
    if (!missingExcelReaders().empty())
        GTEST_SKIP() << "cannot compare workbooks: " << missingExcelReaders();
    ASSERT_EQ(actual.size(), expected.size());
    std::vector<std::string> paths;
    for (const auto &entry : expected)
        paths.insert(paths.end(), {wizard + "/" + entry.first, script + "/" + entry.first});
    std::map<std::string, XlBook> books;
    std::string error;
    ASSERT_TRUE(readWorkbooks(paths, false, books, &error)) << error;
    for (size_t i = 0; i < paths.size(); i += 2)
        EXPECT_EQ(cellsText(books[paths[i + 1]]), cellsText(books[paths[i]])) << paths[i];
}

// Whether the command holds the word, as a whole word.
bool holdsWord(const std::string &command, const std::string &word) {
    for (size_t at = command.find(word); at != std::string::npos; at = command.find(word, at + 1)) {
        const size_t end = at + word.size();
        if (at > 0 && (command[at - 1] == ' ' || command[at - 1] == '\n') &&
            (end == command.size() || command[end] == ' ' || command[end] == '\n'))
            return true;
    }
    return false;
}

// The columns chooseColumns leaves; an RSS channel takes them from the first three positions only.
std::string columnsSwitch(bool rss) {
    const std::string moved = "/columns:'\"Gr\xF6\xDF" "e, net\",Id,Last Name";
    return moved + (rss ? "" : ",City,Born,Score,Amount") + "'";
}

struct ScriptCase {
    const char *name;
    OutputType type; // picked by the output's extension, the Save dialog or the folder batch's list
    std::vector<std::string> switches; // what the command holds for the options set
    std::function<void(WizardHarness &)> formatOptions = {}; // on the last page
    const char *dateLocale = nullptr; // the wizard's locale, when not C (one table only)
};

const ScriptCase kScriptCases[] = {
    {"dbase4", OutputType::DbaseIV, {"/DBASE4"}},
    {"foxpro", OutputType::VisualFoxPro, {"/VFP"}},
    {"text",
     OutputType::Text,
     {"/SEPTAB", "/utf8", "/allquotes", "/DOUBLEQUOTA", "/nohdr"},
     [](WizardHarness &h) {
         h.find<QComboBox>("separatorBox")->setCurrentIndex(4);
         h.find<QCheckBox>("allQuotes")->click(); // also selects "Double" for text
         h.find<QCheckBox>("exportNames")->setChecked(false);
         h.find<QCheckBox>("utf8")->setChecked(true);
     }},
    {"csv",
     OutputType::Csv,
     {"/SEP';'", "/allquotes", "/SINGLEQUOTA"},
     [](WizardHarness &h) {
         h.find<QComboBox>("separatorBox")->setEditText(";");
         h.find<QCheckBox>("allQuotes")->setChecked(true);
         h.find<QRadioButton>("singleQuote")->setChecked(true);
     }},
    {"sql_mysql",
     OutputType::Sql,
     {"/MYSQL", "/nocreatetable", "/go2"},
     [](WizardHarness &h) {
         h.find<QComboBox>("sqlDialect")->setCurrentIndex(2);
         h.find<QCheckBox>("exportNames")->setChecked(false);
         h.find<QCheckBox>("addGo")->setChecked(true);
         h.find<QSpinBox>("goEvery")->setValue(2);
     }},
    {"html",
     OutputType::Html,
     {"/TITLE='Price list: it'\\''s $5 `now`'", "/COLOR=0000ff", "/BACKGROUND=ffffff", "/BORDER=3",
      "/MAXPERPAGE=2", "/NUMBER"},
     [](WizardHarness &h) {
         h.find<QLineEdit>("title")->setText("Price list: it's $5 `now`");
         QColor chosen(0, 0, 255);
         wizard::setChoosers({{}, {}, {}, [&](QWidget *, const QColor &) { return chosen; }});
         h.find<QAbstractButton>("textColour")->click();
         chosen = QColor(); // cancelled: the background stays white
         h.find<QAbstractButton>("backColour")->click();
         wizard::setChoosers({});
         h.find<QCheckBox>("recordNumbers")->setChecked(true);
         h.find<QCheckBox>("maxPerPage")->setChecked(true);
         h.find<QSpinBox>("rowsPerPage")->setValue(2);
         h.find<QSpinBox>("border")->setValue(3);
     }},
    {"prg", OutputType::Prg, {}},
    // The wizard has no box for UTF-8 XML: set as the command line's /utf8 sets it.
    {"xml", OutputType::Xml, {"/utf8"}, [](WizardHarness &h) { h.settings.utf8 = true; }},
    {"rss", OutputType::Xml, {"/RSS2"}, [](WizardHarness &h) { h.find<QCheckBox>("rss2")->setChecked(true); }},
    {"rss_files", OutputType::Rss, {"/toxml", "/RSS2"}}, // in the folder batch's list only
    {"xlsx", OutputType::Xlsx, {}},
    {"rtf", OutputType::Rtf, {}},
    // The script sets the wizard's locale, so its dates and date conditions read as in the wizard
    // whatever locale the scheduler runs it in (here C.UTF-8).
    {"csv_german_dates", OutputType::Csv, {"LC_ALL=de_DE.UTF-8"}, {}, "de_DE.UTF-8"},
};

struct ScriptRun {
    const ScriptCase *c;
    bool batch;
};

std::vector<ScriptRun> scriptRuns() {
    std::vector<ScriptRun> runs;
    for (const ScriptCase &c : kScriptCases) {
        if (c.type != OutputType::Rss)
            runs.push_back({&c, false});
        if (!c.dateLocale)
            runs.push_back({&c, true});
    }
    return runs;
}

// The program the scripts run: a copy of quorv in a folder whose name a shell would take apart,
// where a log written beside the program (a switch found inside a path) is seen. Made once, removed
// when the tests end.
const std::string &programFolder() {
    static TempDir dir;
    static const std::string folder = [] {
        const std::string path = dir.file("prog it's $P `y` \xC3\xA4");
        fs::create_directories(path);
        fs::copy_file(quorvBinary(), path + "/quorv");
        fs::permissions(path + "/quorv", fs::perms::owner_all);
        return path;
    }();
    return folder;
}

class ScriptRoundTrip : public testing::TestWithParam<ScriptRun> {};

TEST_P(ScriptRoundTrip, WritesWhatFinishWrites) {
    const ScriptCase &c = *GetParam().c;
    const bool batch = GetParam().batch;
    if (c.dateLocale) {
        locale_t wanted = newlocale(LC_TIME_MASK, c.dateLocale, nullptr);
        if (!wanted)
            GTEST_SKIP() << "the locale " << c.dateLocale << " is not installed (Debian package locales-all)";
        freelocale(wanted);
    }
    TempDir dir;
    const std::string tables = dir.file("tables $T 'x' \xC3\xBC"), byWizard = dir.file("wizard"),
                      byScript = dir.file("script $O `z`"), scripts = dir.file("scripts $S/logs");
    for (const std::string &folder : {tables, byWizard, byScript, scripts})
        fs::create_directories(folder);
    writePeople(tables + "/people.db");
    std::string error;
    if (batch) {
        ASSERT_TRUE(fixture::makeAllTypesTable(tables + "/All Types.DB", &error)) << error;
    }
    const std::string extension = outputFormat(c.type).extension;
    const std::string stem = "out \"$1\" 'q' \xC3\xB6", output = stem + extension;

    WizardHarness h;
    const bool saveDialog = !batch && wizard::outputTypeFromPath(output) != static_cast<int>(c.type);
    if (batch) {
        h.pickSourceFolder(tables);
        h.findAnywhere<QComboBox>("exportToList")->setCurrentIndex(static_cast<int>(c.type) - 1);
        h.findAnywhere<QComboBox>("outputBox")->setEditText(QString::fromStdString(byWizard));
    } else if (saveDialog) { // dBase IV and Visual FoxPro: the dialog's filter names the kind of table
        h.chooseInSaveDialog(byWizard + "/" + stem, static_cast<int>(c.type));
        h.findAnywhere<QComboBox>("sourceBox")->setEditText(QString::fromStdString(tables + "/people.db"));
    } else {
        h.choose(tables + "/people.db", byWizard + "/" + output);
    }
    ASSERT_TRUE(h.next()) << h.messages.join("|").toStdString();
    if (batch) {
        h.settings.oemCodePage = 850; // with OEM text off: /OEMCP: must not turn it on
    } else {
        chooseColumns(h);
        chooseFilter(h, c.dateLocale ? ">06.05.1998" : nullptr); // read month first: 5 June
        h.find<QCheckBox>("sortBy")->setChecked(true);
        h.find<QComboBox>("sortField")->setCurrentIndex(1); // Last Name
        h.find<QCheckBox>("oemCharset")->click();
    }
    h.find<QCheckBox>("reverseOrder")->setChecked(true);
    while (h.wizard->currentPage()->nextId() != -1)
        ASSERT_TRUE(h.next());
    if (c.formatOptions)
        c.formatOptions(h);
    if (c.dateLocale)
        h.settings.dateOrder = '1', h.settings.dateSeparator = '.';
    CommandLineRequest request = h.wizard->commandLineRequest();
    h.finish();
    // A batch to DBF warns that a number of the All Types table is too wide for its field.
    if (!batch || extension != ".dbf") {
        EXPECT_TRUE(h.messages.isEmpty()) << h.messages.join("|").toStdString();
    }
    ASSERT_EQ(h.state->exitStatus, 0);
    if (saveDialog) {
        EXPECT_EQ(h.app.lastExportType, static_cast<int>(c.type));
    }

    request.outputPath = batch ? byScript : byScript + "/" + output;
    if (c.dateLocale)
        request.dateLocale = c.dateLocale;
    const std::string script = scripts + "/run it's.sh";
    ASSERT_TRUE(saveCommandScript(request, programFolder() + "/quorv", script, &error)) << error;
    const std::string command = readFile(script);
    std::vector<std::string> switches = c.switches;
    if (batch)
        switches.insert(switches.end(), {"/REVERSE", "/OEMCP:850"});
    else
        switches.insert(switches.end(), {columnsSwitch(writesRss(h.settings)), "/OEM", "/COLUMNORDER",
                                         "/SORTBY:'Last Name'", "/REVERSE", "/decs:3"});
    for (const std::string &word : switches)
        EXPECT_TRUE(holdsWord(command, word)) << word << " not in " << command;
    EXPECT_EQ(holdsWord(command, "/OEM"), !batch) << command;
    if (!batch) {
        EXPECT_EQ(readFile(scripts + "/run it's.filter"),
                  std::string("City:!*o*\n") + (c.dateLocale ? "Born:>06.05.1998\n" : "") + "Amount:>=1\n");
    }

    RunResult run = runProgram({"/bin/sh", script}, dir.path(), -1, {"LC_ALL=C.UTF-8", "TZ=UTC"});
    ASSERT_EQ(run.status, 0) << command << run.err;
    EXPECT_FALSE(fileExists(programFolder() + "/quorv.log")) << "a switch was found inside a path";
    expectSameOutputs(c.type, byWizard, byScript);
    if (batch) {
        EXPECT_TRUE(fileExists(byWizard + "/people" + extension)) << "the batch list picked another type";
    }
    if (c.dateLocale) {
        const std::string csv = readFile(byWizard + "/" + output);
        EXPECT_NE(csv.find("$HOME"), std::string::npos) << csv; // born 7 May 1998
        EXPECT_EQ(csv.find("smith"), std::string::npos) << csv; // born 1977
    }
}

INSTANTIATE_TEST_SUITE_P(Wizard, ScriptRoundTrip, testing::ValuesIn(scriptRuns()),
                         [](const testing::TestParamInfo<ScriptRun> &info) {
                             return std::string(info.param.c->name) + (info.param.batch ? "_batch" : "");
                         });

} // namespace
} // namespace quorv::test
