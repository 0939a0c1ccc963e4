// The script saved from the Command Line dialog, run by /bin/sh, writes what Finish writes: columns
// chosen and moved in the Columns dialog, a sort, a filter, OEM on and the format page's options set.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
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
#include "export/excel/excel_readers.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/dialogs.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

namespace fs = std::filesystem;

// City moved to the front, Notes left out.
void chooseColumns(WizardHarness &h) {
    answerDialog([&] { h.find<QAbstractButton>("columnsButton")->click(); },
                 [](QDialog &d) {
                     auto *list = d.findChild<QTableWidget *>("fieldList");
                     list->selectRow(2);
                     d.findChild<QToolButton *>("moveUp")->click();
                     d.findChild<QToolButton *>("moveUp")->click();
                     list->item(6, 0)->setCheckState(Qt::Unchecked);
                 });
}

// Balance at least 10, and no city holding "o".
void chooseFilter(WizardHarness &h) {
    answerDialog([&] { h.find<QAbstractButton>("filterButton")->click(); },
                 [](QDialog &d) {
                     d.findChild<QLineEdit *>("condition4")->setText(">=10");
                     d.findChild<QLineEdit *>("condition2")->setText("!*o*");
                 });
}

// Page 2 of a wizard on source: columns, filter, a descending sort by Name, OEM text.
void setCommonOptions(WizardHarness &h) {
    chooseColumns(h);
    chooseFilter(h);
    h.find<QCheckBox>("sortBy")->setChecked(true);
    h.find<QComboBox>("sortField")->setCurrentIndex(1);
    h.find<QCheckBox>("reverseOrder")->setChecked(true);
    h.find<QCheckBox>("oemCharset")->click();
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
            text += std::to_string(at.first) + "," + std::to_string(at.second) + " " + cell.value + "\n";
    }
    return text;
}

// The same files with the same bytes; workbooks (which carry their save time) with the same cells.
void expectSameOutputs(const std::string &extension, const std::string &wizard, const std::string &script) {
    const auto expected = folderFiles(wizard), actual = folderFiles(script);
    ASSERT_FALSE(expected.empty());
    if (extension != "xls" && extension != "xlsx") {
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

struct ScriptCase {
    const char *name;
    const char *extension;
    int folderType; // the type picked for a folder batch; 0: a single table
    std::function<void(WizardHarness &)> formatOptions; // on the last page
};

void PrintTo(const ScriptCase &c, std::ostream *out) {
    *out << c.name;
}

class ScriptRoundTrip : public testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptRoundTrip, WritesWhatFinishWrites) {
    const ScriptCase &c = GetParam();
    TempDir dir;
    const std::string tables = dir.file("tables 'a' $T"), byWizard = dir.file("wizard"),
                      byScript = dir.file("script $O");
    for (const std::string &folder : {tables, byWizard, byScript})
        fs::create_directories(folder);
    std::string error;
    ASSERT_TRUE(fixture::makeSampleTable(tables + "/customers.db", &error)) << error;
    const bool batch = c.folderType != 0;
    if (batch) {
        ASSERT_TRUE(fixture::makeAllTypesTable(tables + "/All Types.DB", &error)) << error;
    }
    const std::string output = std::string("customers.") + c.extension;
    const std::string script = dir.file("run it.sh");

    WizardHarness h;
    if (batch) {
        h.pickSourceFolder(tables);
        h.findAnywhere<QComboBox>("exportToList")->setCurrentIndex(c.folderType - 1);
        h.findAnywhere<QComboBox>("outputBox")->setEditText(QString::fromStdString(byWizard));
    } else {
        h.choose(tables + "/customers.db", byWizard + "/" + output);
    }
    ASSERT_TRUE(h.next()) << h.messages.join("|").toStdString();
    if (batch) {
        h.find<QCheckBox>("oemCharset")->click();
        h.find<QCheckBox>("reverseOrder")->setChecked(true);
    } else {
        setCommonOptions(h);
    }
    while (h.wizard->currentPage()->nextId() != -1)
        ASSERT_TRUE(h.next());
    c.formatOptions(h);
    CommandLineRequest request = h.wizard->commandLineRequest();
    h.finish();
    EXPECT_TRUE(h.messages.isEmpty()) << h.messages.join("|").toStdString();
    ASSERT_EQ(h.state->exitStatus, 0);

    request.outputPath = batch ? byScript : byScript + "/" + output;
    ASSERT_TRUE(saveCommandScript(request, quorvBinary(), script, &error)) << error;
    RunResult run = runProgram({"/bin/sh", script}, dir.path(), -1, {"LC_ALL=C.UTF-8", "TZ=UTC"});
    ASSERT_EQ(run.status, 0) << readFile(script) << run.err;
    expectSameOutputs(c.extension, byWizard, byScript);
}

void noOptions(WizardHarness &) {}

const ScriptCase kScriptCases[] = {
    {"csv", "csv", 0,
     [](WizardHarness &h) {
         h.find<QComboBox>("separatorBox")->setEditText(";");
         h.find<QCheckBox>("allQuotes")->setChecked(true);
         h.find<QRadioButton>("singleQuote")->setChecked(true);
     }},
    {"text", "txt", 0,
     [](WizardHarness &h) {
         h.find<QComboBox>("separatorBox")->setCurrentIndex(4);
         h.find<QCheckBox>("exportNames")->setChecked(false);
         h.find<QCheckBox>("utf8")->setChecked(true);
     }},
    {"sql", "sql", 0,
     [](WizardHarness &h) {
         h.find<QComboBox>("sqlDialect")->setCurrentIndex(2);
         h.find<QCheckBox>("addGo")->setChecked(true);
         h.find<QSpinBox>("goEvery")->setValue(2);
     }},
    {"html", "htm", 0,
     [](WizardHarness &h) {
         h.find<QLineEdit>("title")->setText("Price list: it's $5 `now`");
         h.find<QCheckBox>("recordNumbers")->setChecked(true);
         h.find<QCheckBox>("maxPerPage")->setChecked(true);
         h.find<QSpinBox>("rowsPerPage")->setValue(2);
         h.find<QSpinBox>("border")->setValue(3);
     }},
    {"xml", "xml", 0, noOptions},
    {"rss", "xml", 0, [](WizardHarness &h) { h.find<QCheckBox>("rss2")->setChecked(true); }},
    {"rtf", "rtf", 0, noOptions},
    {"prg", "prg", 0, noOptions},
    {"dbf", "dbf", 0, noOptions},
    {"xlsx", "xlsx", 0, noOptions},
    {"xls", "xls", 0, noOptions},
    {"folder_csv", "csv", 10, [](WizardHarness &h) { h.find<QCheckBox>("allQuotes")->setChecked(true); }},
    {"folder_html", "htm", 5, [](WizardHarness &h) { h.find<QSpinBox>("border")->setValue(2); }},
};

INSTANTIATE_TEST_SUITE_P(Wizard, ScriptRoundTrip, testing::ValuesIn(kScriptCases),
                         [](const testing::TestParamInfo<ScriptCase> &info) { return info.param.name; });

// What the Columns and Filter dialogs opened from page 2 choose is what the export writes.
TEST(DialogButtons, TheChoicesChangeTheExport) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(fixture::makeSampleTable(dir.file("customers.db"), &error)) << error;
    WizardHarness h;
    h.choose(dir.file("customers.db"), dir.file("out.csv"));
    ASSERT_TRUE(h.next());
    chooseColumns(h);
    chooseFilter(h);
    while (h.wizard->currentPage()->nextId() != -1)
        ASSERT_TRUE(h.next());
    h.finish();
    const std::string csv = readFile(dir.file("out.csv"));
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "City,CustNo,Name,Joined,Balance,Active\r");
    EXPECT_NE(csv.find("\nSevilla,1003,"), std::string::npos) << csv;
    for (const char *filtered : {"Lyon", "Paris", "Refund"})
        EXPECT_EQ(csv.find(filtered), std::string::npos) << filtered;
}

} // namespace
} // namespace quorv::test
