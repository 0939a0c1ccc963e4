// The Columns, Filter and Command Line dialogs, driven offscreen (in wizard_tests), and the command
// line they compose.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "app/command_compose.h"
#include "export/settings.h"
#include "platform/system.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/dialogs.h"
#include "wizard/message.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

using namespace wizard;

// A table of named fields, not opened: the dialogs read only its description.
void describe(SourceTable &table, int count) {
    table.fieldCount = count;
    for (int i = 0; i < count; ++i) {
        FieldInfo field;
        field.name = count <= 5 ? std::string(1, static_cast<char>('a' + i)) : "field" + std::to_string(i);
        field.type = i % 2 ? PxNumber : PxChar;
        field.size = i % 2 ? 8 : 20 + i;
        table.fields.push_back(field);
        table.fieldOrder.push_back(i);
        table.fieldExcluded.push_back(0);
    }
}

template <typename T> T *child(QDialog &dialog, const char *name) {
    T *widget = dialog.findChild<T *>(name);
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

QString names(QDialog &dialog) {
    auto *list = child<QTableWidget>(dialog, "fieldList");
    QStringList texts;
    for (int r = 0; r < list->rowCount(); ++r)
        texts << list->item(r, 0)->text() + (list->item(r, 0)->checkState() == Qt::Checked ? "" : "-");
    return texts.join(' ');
}

void clickButton(QDialog &dialog, const QString &text) {
    for (QPushButton *b : dialog.findChildren<QPushButton *>())
        if (b->text() == text)
            return b->click();
    qFatal("no button %s", qPrintable(text));
}

// Each step: 'u'/'d' move the selection up/down, 's' followed by a digit selects that row, 'x'
// followed by a digit unchecks that row, 'A' Select All, 'U' Unselect All.
TEST(ColumnsDialog, MovesChecksAndDecimals) {
    const struct {
        const char *what;
        int fields;
        QString steps, shown;
    } cases[] = {
        {"first row up, last row down", 3, "s0us2d", "a b c"},
        {"the check stays with the row", 3, "x1s1u", "b a- c"},
        {"down twice", 4, "s0dd", "b c a d"},
        {"unchecked, then select all", 3, "x0x2A", "a b c"},
        {"unselect all", 2, "U", "a- b-"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SourceTable table;
        describe(table, c.fields);
        ExportSettings settings;
        auto dialog = makeColumnsDialog(nullptr, table, settings);
        auto *list = child<QTableWidget>(*dialog, "fieldList");
        for (int i = 0; i < c.steps.size(); ++i) {
            QChar step = c.steps[i];
            if (step == 'u')
                child<QToolButton>(*dialog, "moveUp")->click();
            else if (step == 'd')
                child<QToolButton>(*dialog, "moveDown")->click();
            else if (step == 's')
                list->setCurrentCell(c.steps[++i].digitValue(), 0);
            else if (step == 'x')
                list->item(c.steps[++i].digitValue(), 0)->setCheckState(Qt::Unchecked);
            else
                child<QPushButton>(*dialog, step == 'A' ? "selectAll" : "unselectAll")->click();
        }
        EXPECT_EQ(names(*dialog), c.shown);

        child<QSpinBox>(*dialog, "decimals")->setValue(3);
        dialog->accept();
        EXPECT_EQ(settings.numberFormat, "%.3f");
        QStringList stored;
        for (size_t p = 0; p < size_t(c.fields); ++p)
            stored << QString::fromStdString(table.fields[size_t(table.fieldOrder[p])].name) +
                          (table.fieldExcluded[p] ? "-" : "");
        EXPECT_EQ(stored.join(' '), c.shown);
    }
}

TEST(ColumnsDialog, CancelKeepsOrderAndDecimals) {
    SourceTable table;
    describe(table, 3);
    table.fieldExcluded[2] = 1;
    ExportSettings settings;
    auto dialog = makeColumnsDialog(nullptr, table, settings);
    EXPECT_EQ(names(*dialog), QString("a b c-"));
    child<QSpinBox>(*dialog, "decimals")->setValue(9);
    child<QTableWidget>(*dialog, "fieldList")->setCurrentCell(0, 0);
    child<QToolButton>(*dialog, "moveDown")->click();
    dialog->reject();
    EXPECT_EQ(table.fieldOrder, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(table.fieldExcluded, (std::vector<int>{0, 0, 1}));
    EXPECT_EQ(settings.decimals, 2);
}

// The texts come back as typed; a box takes no more than 254 characters.
TEST(FilterDialog, ReopensWithTheTextsAsTyped) {
    SourceTable table;
    describe(table, 4);
    auto dialog = makeFilterDialog(nullptr, table);
    child<QLineEdit>(*dialog, "condition1")->setText("  >= 10");
    child<QLineEdit>(*dialog, "condition2")->setText(QString::fromUtf8("M\xC3\xBC*"));
    auto *longest = child<QLineEdit>(*dialog, "condition3");
    longest->setFocus();
    QTest::keyClicks(longest, QString(300, 'x'));
    EXPECT_EQ(longest->text().size(), 254); // the box takes no more: the cut is seen
    dialog->accept();
    EXPECT_EQ(table.conditions.size(), size_t(4));
    EXPECT_EQ(table.conditions[1].text, std::string(">= 10"));
    EXPECT_EQ(int(table.conditions[1].op), int(FilterOp::GreaterEqual)); // parsed at once
    EXPECT_EQ(table.conditions[2].text, std::string("M\xFC*")); // in the table's code page
    EXPECT_EQ(table.conditions[3].text, std::string(254, 'x'));

    auto again = makeFilterDialog(nullptr, table);
    again->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(again.get()));
    EXPECT_TRUE(!child<QScrollArea>(*again, "rows")->verticalScrollBar()->isVisible()); // all rows fit
    auto *box = child<QLineEdit>(*again, "condition1");
    EXPECT_EQ(box->text(), QString(">= 10"));
    EXPECT_EQ(child<QLineEdit>(*again, "condition2")->text(), QString::fromUtf8("M\xC3\xBC*"));
    box->setText("new"); // Cancel keeps what was there
    again->reject();
    EXPECT_EQ(table.conditions[1].text, std::string(">= 10"));
}

TEST(FilterDialog, ScrollsManyFields) {
    SourceTable table;
    describe(table, 60);
    auto dialog = makeFilterDialog(nullptr, table);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    auto *scroll = child<QScrollArea>(*dialog, "rows");
    QScrollBar *bar = scroll->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    const int start = bar->value();
    auto *last = child<QLineEdit>(*dialog, "condition59");
    last->setFocus();
    scroll->ensureWidgetVisible(last);
    EXPECT_TRUE(bar->value() > start);
}

TEST(CommandLineDialog, SavesAScript) {
    test::TempDir dir;
    SourceTable table;
    describe(table, 3);
    table.conditions.resize(3);
    table.conditions[1].text = ">5";
    ExportSettings settings;
    settings.outputType = OutputType::Xlsx;
    CommandLineRequest request{"/data/t.db", "/out/t.xlsx", false, &table, &settings, "/opt/q/quorv"};
    auto dialog = makeCommandLineDialog(nullptr, request);
    auto *text = child<QPlainTextEdit>(*dialog, "command");
    EXPECT_EQ(text->toPlainText(), QString("/opt/q/quorv /data/t.db /out/t.xlsx /FILTER:'<script>.filter'"));
    EXPECT_TRUE(
        child<QLabel>(*dialog, "notes")->text().contains("filter conditions will be saved with the script"));

    // A file that cannot be written: the message, and the dialog stays open showing nothing saved.
    dialog->show();
    QString message;
    setMessageHook([&](QWidget *, const QString &shown, MessageKind) {
        message = shown;
        return true;
    });
    setSaveFileHook([](QWidget *, const QString &, const QString &, const QString &) {
        return QString("/no such folder/x.sh");
    });
    clickButton(*dialog, "Save as script...");
    setMessageHook({});
    EXPECT_TRUE(message.contains("No such file or directory"));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(child<QLabel>(*dialog, "saved")->isHidden());

    // A name without ".sh" gets it; one ending in ".sh" keeps its name.
    const struct {
        std::string chosen, script, filter;
    } saves[] = {{dir.file("nightly"), dir.file("nightly.sh"), dir.file("nightly.filter")},
                 {dir.file("run.bat"), dir.file("run.bat.sh"), dir.file("run.bat.filter")},
                 {dir.file("run.sh"), dir.file("run.sh"), dir.file("run.filter")}};
    for (const auto &save : saves) {
        QString filter, suggested;
        setSaveFileHook([&](QWidget *, const QString &, const QString &start, const QString &f) {
            suggested = start;
            filter = f;
            return QString::fromStdString(save.chosen);
        });
        clickButton(*dialog, "Save as script...");
        setSaveFileHook({});
        EXPECT_EQ(filter, QString("Shell scripts (*.sh)"));
        EXPECT_EQ(suggested, QString("/out/t.sh"));
        EXPECT_EQ(QString::fromStdString(test::readFile(save.script)),
                  QString("#!/bin/sh\n/opt/q/quorv /data/t.db /out/t.xlsx /FILTER:%1\n")
                      .arg(QString::fromStdString(shellQuote(save.filter))));
        EXPECT_EQ(test::readFile(save.filter), std::string("b:>5\n"));
        EXPECT_NE(std::filesystem::status(save.script).permissions() & std::filesystem::perms::owner_exec,
                  std::filesystem::perms::none);
        EXPECT_TRUE(text->toPlainText().contains(QString::fromStdString(save.filter)));
    }
    EXPECT_TRUE(dialog->isVisible()); // a save does not close the dialog
}

// The text of the command line the dialog shows, for what the round trip does not reach: the saved
// script, run by /bin/sh, writes what the wizard writes (round_trip_test.cpp), and the switches of
// every output type, quoting and the columns are checked there.
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
        describe(table, 4);
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
    describe(table, 1);
    ExportSettings settings;
    settings.outputType = OutputType::Xlsx;
    CommandLineRequest request{"t.db", "/o/t.xlsx.bak", false, &table, &settings};
    ComposedCommand command = composeCommand(request, "/q", "");
    EXPECT_EQ(command.text, "/q " + shellQuote(platform::currentFolder() + "t.db") + " /o/t.xlsx.bak");
    ASSERT_EQ(command.notes.size(), 1u);
    EXPECT_NE(command.notes[0].find("does not end in \".xlsx\""), std::string::npos);
}

// An RSS channel reads title, link and description from the first three positions and leaves a
// left-out one empty; the column list closes such a gap, so the dialog says the script differs there.
TEST(ComposeCommand, AnRssGapAmongTheFirstThreeColumnsIsNoted) {
    for (const auto &[excluded, noted] : std::vector<std::pair<std::vector<int>, bool>>{
             {{0, 1, 0, 0}, true}, {{0, 0, 0, 1}, false}}) {
        SourceTable table;
        describe(table, 4);
        table.fieldExcluded = excluded;
        ExportSettings settings;
        settings.outputType = OutputType::Rss;
        CommandLineRequest request{"/d/t.db", "/o/t.xml", false, &table, &settings};
        const ComposedCommand command = composeCommand(request, "/q", "");
        const bool hasNote = !command.notes.empty() && command.notes[0].find("RSS") != std::string::npos;
        EXPECT_EQ(hasNote, noted) << command.text;
    }
}

// Pictures of the three dialogs in the build folder, to look at.
TEST(Dialogs, Screens) {
    SourceTable table;
    describe(table, 5);
    table.fields[1].name = "Last Name";
    table.fields[3].name = "Gr\xF6\xDF" "e";
    table.fieldExcluded[2] = 1;
    table.conditions.resize(5);
    table.conditions[1].text = "SM?TH*";
    table.conditions[3].text = ">=100";
    ExportSettings settings;
    settings.outputType = OutputType::Csv;
    settings.separator = ";";
    CommandLineRequest request{"/home/anna/data/customers.db", "/home/anna/export/customers 2024.csv", false,
                               &table, &settings, "/usr/local/bin/quorv"};
    QDir().mkpath(QUORV_SCREENS_DIR);
    EXPECT_TRUE(saveDialogScreens(QUORV_SCREENS_DIR, table, settings, request));
    for (const char *name : {"dialog_columns.png", "dialog_filter.png", "dialog_command_line.png"})
        EXPECT_TRUE(QImage(QString(QUORV_SCREENS_DIR "/") + name).width() > 200);
}

} // namespace
} // namespace quorv::test
