// The Columns, Filter and Command Line dialogs, driven offscreen.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

#include "app/command_compose.h"
#include "export/settings.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/dialogs.h"
#include "wizard/message.h"

using namespace quorv;
using namespace quorv::wizard;

namespace {

// A table of named fields, not opened: the dialogs read only its description.
void describe(SourceTable &table, int count, const std::string &stem = "field") {
    table.fieldCount = count;
    for (int i = 0; i < count; ++i) {
        FieldInfo field;
        field.name = count <= 5 ? std::string(1, static_cast<char>('a' + i)) : stem + std::to_string(i);
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

} // namespace

class DialogTest : public QObject {
    Q_OBJECT

  private slots:
    void columns_data();
    void columns();
    void columnsCancelKeepsOrderAndDecimals();
    void filterReopensWithTheTextsAsTyped();
    void filterScrollsManyFields();
    void filterTakesNoLongerConditions();
    void commandLineSavesAScript();
    void commandLineReportsAFileThatCannotBeWritten();
    void screens();
};

// Each step: 'u'/'d' move the selection up/down, 's' followed by a digit selects that row, 'x'
// followed by a digit unchecks that row, 'A' Select All, 'U' Unselect All.
void DialogTest::columns_data() {
    QTest::addColumn<int>("fields");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("shown");
    QTest::newRow("first row up, last row down") << 3 << "s0us2d" << "a b c";
    QTest::newRow("no selection: nothing moves") << 3 << "ud" << "a b c";
    QTest::newRow("the check stays with the row") << 3 << "x1s1u" << "b a- c";
    QTest::newRow("down twice") << 4 << "s0dd" << "b c a d";
    QTest::newRow("unchecked, then select all") << 3 << "x0x2A" << "a b c";
    QTest::newRow("unselect all") << 2 << "U" << "a- b-";
}

void DialogTest::columns() {
    QFETCH(int, fields);
    QFETCH(QString, steps);
    QFETCH(QString, shown);
    SourceTable table;
    describe(table, fields);
    ExportSettings settings;
    auto dialog = makeColumnsDialog(nullptr, table, settings);
    auto *list = child<QTableWidget>(*dialog, "fieldList");
    for (int i = 0; i < steps.size(); ++i) {
        QChar step = steps[i];
        if (step == 'u')
            child<QToolButton>(*dialog, "moveUp")->click();
        else if (step == 'd')
            child<QToolButton>(*dialog, "moveDown")->click();
        else if (step == 's')
            list->setCurrentCell(steps[++i].digitValue(), 0);
        else if (step == 'x')
            list->item(steps[++i].digitValue(), 0)->setCheckState(Qt::Unchecked);
        else
            child<QPushButton>(*dialog, step == 'A' ? "selectAll" : "unselectAll")->click();
    }
    QCOMPARE(names(*dialog), shown);

    child<QSpinBox>(*dialog, "decimals")->setValue(3);
    dialog->accept();
    QCOMPARE(settings.numberFormat, std::string("%.3f"));
    QStringList stored;
    for (size_t p = 0; p < size_t(fields); ++p)
        stored << QString::fromStdString(table.fields[size_t(table.fieldOrder[p])].name) +
                      (table.fieldExcluded[p] ? "-" : "");
    QCOMPARE(stored.join(' '), shown);
}

void DialogTest::columnsCancelKeepsOrderAndDecimals() {
    SourceTable table;
    describe(table, 3);
    table.fieldExcluded[2] = 1;
    ExportSettings settings;
    auto dialog = makeColumnsDialog(nullptr, table, settings);
    QCOMPARE(names(*dialog), QString("a b c-"));
    auto *decimals = child<QSpinBox>(*dialog, "decimals");
    decimals->setValue(99);
    QCOMPARE(decimals->value(), kMaxDecimals); // the number format stays valid
    child<QTableWidget>(*dialog, "fieldList")->setCurrentCell(0, 0);
    child<QToolButton>(*dialog, "moveDown")->click();
    dialog->reject();
    QCOMPARE(table.fieldOrder, (std::vector<int>{0, 1, 2}));
    QCOMPARE(table.fieldExcluded, (std::vector<int>{0, 0, 1}));
    QCOMPARE(settings.decimals, 2);
}

void DialogTest::filterReopensWithTheTextsAsTyped() {
    SourceTable table;
    describe(table, 3);
    auto dialog = makeFilterDialog(nullptr, table);
    child<QLineEdit>(*dialog, "condition1")->setText("  >= 10");
    child<QLineEdit>(*dialog, "condition2")->setText(QString::fromUtf8("M\xC3\xBC*"));
    dialog->accept();
    QCOMPARE(table.conditions.size(), size_t(3));
    QCOMPARE(table.conditions[1].text, std::string(">= 10"));
    QCOMPARE(int(table.conditions[1].op), int(FilterOp::GreaterEqual)); // parsed at once
    QCOMPARE(table.conditions[2].text, std::string("M\xFC*")); // in the table's code page

    auto again = makeFilterDialog(nullptr, table);
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    QVERIFY(!child<QScrollArea>(*again, "rows")->verticalScrollBar()->isVisible()); // all rows fit
    auto *box = child<QLineEdit>(*again, "condition1");
    QCOMPARE(box->text(), QString(">= 10"));
    QCOMPARE(child<QLineEdit>(*again, "condition2")->text(), QString::fromUtf8("M\xC3\xBC*"));
    QVERIFY(box->hasFocus());
    QCOMPARE(box->selectedText(), box->text());
    box->setText("new"); // Cancel keeps what was there
    again->reject();
    QCOMPARE(table.conditions[1].text, std::string(">= 10"));
}

void DialogTest::filterScrollsManyFields() {
    SourceTable table;
    describe(table, 60, "a rather long field name ");
    auto dialog = makeFilterDialog(nullptr, table);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    auto *scroll = child<QScrollArea>(*dialog, "rows");
    QScrollBar *bar = scroll->verticalScrollBar();
    QVERIFY(bar->isVisible());
    const int start = bar->value();
    auto *last = child<QLineEdit>(*dialog, "condition59");
    last->setFocus();
    scroll->ensureWidgetVisible(last);
    QVERIFY(bar->value() > start);
    // A long name is shown whole and ends before its box begins.
    QLabel *label = scroll->widget()->findChildren<QLabel *>().last();
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QVERIFY(label->geometry().right() < last->geometry().left());
}

void DialogTest::filterTakesNoLongerConditions() {
    SourceTable table;
    describe(table, 2);
    auto dialog = makeFilterDialog(nullptr, table);
    auto *box = child<QLineEdit>(*dialog, "condition1");
    box->setFocus();
    QTest::keyClicks(box, QString(300, 'x'));
    QCOMPARE(box->text().size(), 254); // the box takes no more: the cut is seen
    dialog->accept();
    QCOMPARE(table.conditions[1].text, std::string(254, 'x'));
}

void DialogTest::commandLineSavesAScript() {
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
    QCOMPARE(text->toPlainText(), QString("/opt/q/quorv /data/t.db /out/t.xlsx /FILTER:'<script>.filter'"));
    QVERIFY(child<QLabel>(*dialog, "notes")->text().contains("filter conditions will be saved with the script"));

    // A name without ".sh" gets it; one ending in ".sh", in any case, keeps its name.
    const struct {
        std::string chosen, script, filter;
    } saves[] = {{dir.file("nightly"), dir.file("nightly.sh"), dir.file("nightly.filter")},
                 {dir.file("run.bat"), dir.file("run.bat.sh"), dir.file("run.bat.filter")},
                 {dir.file("run.sh"), dir.file("run.sh"), dir.file("run.filter")},
                 {dir.file("Upper.SH"), dir.file("Upper.SH"), dir.file("Upper.filter")}};
    for (const auto &save : saves) {
        QString filter, suggested;
        setSaveFileHook([&](QWidget *, const QString &, const QString &start, const QString &f) {
            suggested = start;
            filter = f;
            return QString::fromStdString(save.chosen);
        });
        clickButton(*dialog, "Save as script...");
        setSaveFileHook({});
        QCOMPARE(filter, QString("Shell scripts (*.sh)"));
        QCOMPARE(suggested, QString("/out/t.sh"));
        QCOMPARE(QString::fromStdString(test::readFile(save.script)),
                 QString("#!/bin/sh\n/opt/q/quorv /data/t.db /out/t.xlsx /FILTER:%1\n")
                     .arg(QString::fromStdString(shellQuote(save.filter))));
        QCOMPARE(test::readFile(save.filter), std::string("b:>5\n"));
        struct stat info {};
        QCOMPARE(::stat(save.script.c_str(), &info), 0);
        QVERIFY(info.st_mode & S_IXUSR);
        QVERIFY(text->toPlainText().contains(QString::fromStdString(save.filter)));
    }
    QCOMPARE(dialog->result(), 0); // a save does not close the dialog
}

void DialogTest::commandLineReportsAFileThatCannotBeWritten() {
    SourceTable table;
    describe(table, 1);
    ExportSettings settings;
    CommandLineRequest request{"/data/t.db", "/out/t.csv", false, &table, &settings, "/q"};
    auto dialog = makeCommandLineDialog(nullptr, request);
    dialog->show();
    QString message;
    setMessageHook([&](QWidget *, const QString &text, MessageKind) {
        message = text;
        return true;
    });
    setSaveFileHook([](QWidget *, const QString &, const QString &, const QString &) {
        return QString("/no such folder/x.sh");
    });
    clickButton(*dialog, "Save as script...");
    setSaveFileHook({});
    setMessageHook({});
    QVERIFY(message.contains("No such file or directory"));
    QVERIFY(dialog->isVisible());
    QVERIFY(child<QLabel>(*dialog, "saved")->isHidden());
}

// Pictures of the three dialogs in the build folder, to look at.
void DialogTest::screens() {
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
    QVERIFY(saveDialogScreens(QUORV_SCREENS_DIR, table, settings, request));
    for (const char *name : {"dialog_columns.png", "dialog_filter.png", "dialog_command_line.png"})
        QVERIFY(QImage(QString(QUORV_SCREENS_DIR "/") + name).width() > 200);
}

int main(int argc, char **argv) {
    // Qt wants a private runtime folder; the offscreen platform comes from the test's environment.
    QTemporaryDir runtime;
    ::chmod(runtime.path().toLocal8Bit().constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    DialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
