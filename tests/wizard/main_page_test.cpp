// Page 1: its messages, the output type from the extension, folder batch, the user guide lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <QComboBox>
#include <QTimer>

#include "fixture/fixtures.h"
#include "platform/user_guide.h"
#include "support/test_support.h"
#include "wizard/main_page.h"
#include "wizard/wizard_main.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

struct FailureCase {
    const char *name;
    std::string source; // "@" stands for the folder with one table, "@t" for the table in it
    std::string output;
    bool batch;
    std::string message; // "@" stands for the folder
};

class MainPageFailure : public testing::TestWithParam<FailureCase> {};

std::string expand(std::string text, const std::string &folder) {
    if (size_t at = text.find('@'); at != std::string::npos)
        text.replace(at, 1, folder);
    return text;
}

TEST_P(MainPageFailure, ShowsItsMessageAndStays) {
    const FailureCase &c = GetParam();
    SampleFolder folder("t.db");
    TempDir empty;
    WizardHarness h;
    const std::string base =
        c.message.find("not found") != std::string::npos ? empty.path() : folder.dir.path();
    if (c.batch)
        h.pickSourceFolder(base);
    h.choose(expand(c.source, base), expand(c.output, base));
    EXPECT_FALSE(h.next());
    EXPECT_EQ(h.wizard->currentId(), wizard::MainPageId);
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0].toStdString(), expand(c.message, base));
    EXPECT_EQ(h.state->table, nullptr);
}

const FailureCase kFailures[] = {
    {"source_empty", "", "@/out.csv", false, "Please select the db file"},
    {"table_does_not_open", "@/no/such/folder/t.db", "@/out.csv", false,
     "@/no/such/folder/t.db: no such file"},
    {"output_empty", "@/t.db", "", false, "Please select output file"},
    {"html_extension_is_no_type", "@/t.db", "@/out.html", false, "Please select output type"},
    {"batch_output_empty", "@", "", true, "Please select the output folder"},
    {"batch_no_tables", "@", "@", true, "@: not found db files"},
};

INSTANTIATE_TEST_SUITE_P(EveryRow, MainPageFailure, testing::ValuesIn(kFailures),
                         [](const testing::TestParamInfo<FailureCase> &info) { return info.param.name; });

TEST(OutputType, FromTheExtension) {
    // The lower-case extensions of every type: PagesOfEachType.
    const std::pair<const char *, int> cases[] = {
        {"/x/out.XML", 7},    {"/x/out.txt.bak", 0}, {"/x/out.Csv", 10}, {"/x/my.csv/out", 0},
        {"/x/out.sql.", 0},   {"out.xlsx", 9},       {"/x/out", 0},
    };
    for (const auto &[path, type] : cases)
        EXPECT_EQ(wizard::outputTypeFromPath(path), type) << path;
}

TEST(OutputType, TypedPathAfterTheSaveDialogNamesItsOwnType) {
    SampleFolder folder("t.db");
    WizardHarness h;
    h.chooseInSaveDialog(folder.dir.file("out"), 10);
    h.choose(folder.table, folder.dir.file("out.sql"));
    ASSERT_TRUE(h.next());
    EXPECT_EQ(h.state->outputType, 11);
}

// Every table of the folder but Thumbs.db, each output named after its table; a table that does not
// open is reported and the others are converted. Folder names holding ".db" stay whole.
TEST(FolderBatch, ConvertsEveryTableButThumbsDb) {
    TempDir root;
    const std::string source = root.file("my.dbfiles"), output = root.file("out.db");
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(output);
    std::string error;
    for (const char *name : {"first.db", "SECOND.DB", "a.db.db"})
        ASSERT_TRUE(fixture::makeSampleTable(source + "/" + name, &error)) << error;
    writeFile(source + "/Thumbs.db", "not a table");
    writeFile(source + "/bad.db", "not a table");
    WizardHarness h;
    h.pickSourceFolder(source);
    auto *types = h.findAnywhere<QComboBox>("exportToList");
    ASSERT_TRUE(types->isVisible());
    EXPECT_EQ(types->count(), 13);
    types->setCurrentIndex(9); // CSV
    h.findAnywhere<QComboBox>("outputBox")->setEditText(QString::fromStdString(output + "/"));
    ASSERT_TRUE(h.next()) << h.messages.join("|").toStdString();
    EXPECT_EQ(h.state->batch.names, (std::vector<std::string>{"SECOND.DB", "a.db.db", "bad.db", "first.db"}));
    ASSERT_TRUE(h.next());
    h.finish();
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0].toStdString().rfind(source + "/bad.db: ", 0), 0u) << h.messages[0].toStdString();
    EXPECT_EQ(h.state->exitStatus, 1);
    for (const char *converted : {"first.csv", "SECOND.csv", "a.db.csv"})
        EXPECT_TRUE(fileExists(output + "/" + converted)) << converted;
    EXPECT_FALSE(fileExists(output + "/Thumbs.csv"));
    EXPECT_FALSE(fileExists(output + "/bad.csv"));
    EXPECT_EQ(readFile(output + "/first.csv").substr(0, 7), "CustNo,");
}

// One start of the wizard mode: act runs on the wizard once it is up, then the wizard is closed.
void wizardSession(const std::function<void(wizard::ConversionWizard &)> &act) {
    QTimer::singleShot(0, [&] {
        for (QWidget *window : QApplication::topLevelWidgets())
            if (auto *w = qobject_cast<wizard::ConversionWizard *>(window); w && w->isVisible()) {
                act(*w);
                w->reject();
            }
    });
    EXPECT_EQ(wizard::runWizardSessions(""), 0);
}

QStringList listOf(wizard::ConversionWizard &w, const char *name = "sourceBox") {
    auto *box = w.findChild<QComboBox *>(name);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// The settings file of a fresh XDG_CONFIG_HOME with one old pair and the language: a conversion
// confirmed on page 1 is in the history, newest first, at the next start, not at once. "Clear
// history" asks; Yes empties the lists at once and through the file, and keeps the language.
TEST(WizardMode, AConfirmedConversionEntersTheHistoryAtTheNextStart) {
    SampleFolder folder("t.db");
    const QString table = QString::fromStdString(folder.table);
    const QString output = QString::fromStdString(folder.dir.file("t.csv"));
    TempDir config;
    std::filesystem::create_directories(config.file("quorvane"));
    writeFile(config.file("quorvane/quorv.conf"), "LANG=1\nRECENTS=1\nSRC0=/old/b.db\nDST0=/old/b.csv\n");
    const std::string previousConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    QStringList messages;
    wizard::MessageHook previousHook =
        wizard::setMessageHook([&](QWidget *, const QString &text, wizard::MessageKind) {
            messages << text;
            return true;
        });
    QStringList seen[3], outputs, afterYes;
    QString shown;
    int language = -1;
    wizardSession([&](wizard::ConversionWizard &w) {
        seen[0] = listOf(w);
        language = w.findChild<QComboBox *>("languageList")->currentIndex();
        w.findChild<QComboBox *>("sourceBox")->setEditText(table);
        w.findChild<QComboBox *>("outputBox")->setEditText(output);
        w.next();
        QApplication::processEvents();
    });
    wizardSession([&](wizard::ConversionWizard &w) {
        seen[1] = listOf(w);
        outputs = listOf(w, "outputBox");
        shown = w.findChild<QComboBox *>("sourceBox")->currentText();
        w.findChild<QAbstractButton *>("clearHistory")->click();
        afterYes = listOf(w) + listOf(w, "outputBox");
    });
    wizardSession([&](wizard::ConversionWizard &w) { seen[2] = listOf(w); });
    wizard::setMessageHook(previousHook);
    const AppSettings last = loadSettings();
    if (previousConfig.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", previousConfig.c_str(), 1);

    EXPECT_EQ(seen[0], QStringList{"/old/b.db"});
    EXPECT_EQ(language, 1);
    EXPECT_EQ(seen[1], (QStringList{table, "/old/b.db"}));
    EXPECT_EQ(outputs, (QStringList{output, "/old/b.csv"}));
    EXPECT_EQ(shown, table); // the last conversion
    EXPECT_EQ(afterYes, QStringList());
    EXPECT_EQ(seen[2], QStringList());
    EXPECT_EQ(messages, QStringList{"Would you like to clear history list?"});
    EXPECT_TRUE(last.lastSourcePath.empty());
    EXPECT_TRUE(last.sourceHistory.empty());
    EXPECT_EQ(last.language, 1);
}

TEST(UserGuide, UnderShareBesideTheProgramFolder) {
    TempDir root;
    const std::string bin = root.file("bin");
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(root.path() + "/share/doc/quorvane/guide");
    writeFile(root.path() + "/share/doc/quorvane/guide/index.html", "x");
    EXPECT_EQ(platform::userGuidePathFrom(bin), bin + "/../share/doc/quorvane/guide/index.html");
}

TEST(WizardMode, WithoutADisplayExplainsAndExitsTwo) {
    // --wizard here, no argument below: both reach the same start of the wizard.
    RunResult run = runProgram({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                "QT_QPA_PLATFORM", quorvBinary(), "--wizard"});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("no display"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("quorv --help"), std::string::npos) << run.err;
    // A display that is named but cannot be opened: the same advice, no abort.
    run = runProgram(
        {"/usr/bin/env", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM", "DISPLAY=:97", quorvBinary()});
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("cannot open the display"), std::string::npos) << run.err;
}

} // namespace
} // namespace quorv::test
