// The wizard's pages for every output type, Back, a failed export, colours and the Command Line button.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

#include "app/command_compose.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/choosers.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

using wizard::CommonPageId;
using wizard::HtmlPageId;
using wizard::MainPageId;
using wizard::TextPageId;

struct Sample {
    TempDir dir;
    std::string table = dir.file("customers.db");
    Sample() {
        std::string error;
        EXPECT_TRUE(fixture::makeSampleTable(table, &error)) << error;
    }
};

struct FlowCase {
    const char *extension;
    int type;
    int lastPage; // CommonPageId when page 2 finishes
};

const FlowCase kFlows[] = {
    {"dbf", 1, CommonPageId},  {"txt", 4, TextPageId},   {"htm", 5, HtmlPageId},
    {"prg", 6, CommonPageId},  {"xml", 7, CommonPageId}, {"xls", 8, CommonPageId},
    {"xlsx", 9, CommonPageId}, {"csv", 10, TextPageId},  {"sql", 11, TextPageId},
    {"rtf", 12, CommonPageId},
};

void PrintTo(const FlowCase &c, std::ostream *out) {
    *out << c.extension;
}

class PageFlow : public testing::TestWithParam<FlowCase> {};

// Page 2 finishes (Back and Finish) or leads on to the format page (Next only), which finishes. Back
// from page 2 closes the table.
TEST_P(PageFlow, PagesOfEachType) {
    const FlowCase &c = GetParam();
    Sample sample;
    WizardHarness h;
    h.choose(sample.table, sample.dir.file(std::string("out.") + c.extension));
    ASSERT_TRUE(h.next()) << h.messages.join("|").toStdString();
    EXPECT_EQ(h.state->outputType, c.type);
    EXPECT_EQ(h.wizard->currentId(), CommonPageId);
    const bool finishes = c.lastPage == CommonPageId;
    EXPECT_EQ(h.shownButtons(), finishes ? QStringList({"Back", "Finish"}) : QStringList({"Next"}));
    if (finishes) {
        ASSERT_NE(h.state->table, nullptr);
        h.wizard->back();
        EXPECT_EQ(h.wizard->currentId(), MainPageId);
        EXPECT_EQ(h.state->table, nullptr);
        EXPECT_EQ(h.shownButtons(), QStringList{"Next"});
        return;
    }

    ASSERT_TRUE(h.next());
    EXPECT_EQ(h.wizard->currentId(), c.lastPage);
    EXPECT_EQ(h.shownButtons(), QStringList{"Finish"});
    if (c.lastPage == HtmlPageId) {
        int recordNumberBoxes = 0;
        for (QCheckBox *box : h.wizard->currentPage()->findChildren<QCheckBox *>()) {
            recordNumberBoxes += box->text().contains("Save record number");
            EXPECT_FALSE(box->text().contains("Print")); // no box without an effect
        }
        EXPECT_EQ(recordNumberBoxes, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryType, PageFlow, testing::ValuesIn(kFlows),
                         [](const testing::TestParamInfo<FlowCase> &info) { return info.param.extension; });

TEST(PageFlow, ProblemsOfTheExportAreShownAndTheStatusIsOne) {
    Sample sample;
    WizardHarness h;
    const std::string output = sample.dir.file("missing/out.xlsx");
    h.choose(sample.table, output);
    ASSERT_TRUE(h.next());
    h.finish();
    ASSERT_EQ(h.messages.size(), 1);
    EXPECT_EQ(h.messages[0].toStdString().rfind(output, 0), 0u) << h.messages[0].toStdString();
    EXPECT_EQ(h.state->exitStatus, 1);
    EXPECT_FALSE(fileExists(output));
}

TEST(PageFlow, ColourButtonsStoreTheChosenColours) {
    Sample sample;
    WizardHarness h;
    h.choose(sample.table, sample.dir.file("out.htm"));
    ASSERT_TRUE(h.next());
    ASSERT_TRUE(h.next());
    QColor chosen(0x11, 0x22, 0x33);
    wizard::setChoosers({{}, {}, {}, [&](QWidget *, const QColor &) { return chosen; }});
    h.find<QAbstractButton>("textColour")->click();
    chosen = QColor(); // cancelled: the background stays white
    h.find<QAbstractButton>("backColour")->click();
    wizard::setChoosers({});
    EXPECT_EQ(h.settings.htmlTextColor, 0x332211u);
    EXPECT_EQ(h.settings.htmlBackColor, 0xFFFFFFu);
}

TEST(PageFlow, CommandLineButtonStoresThePageFirst) {
    Sample sample;
    WizardHarness h;
    h.choose(sample.table, sample.dir.file("out.csv"));
    ASSERT_TRUE(h.next());
    ASSERT_TRUE(h.next());
    h.find<QComboBox>("separatorBox")->setEditText("||");
    h.find<QCheckBox>("allQuotes")->setChecked(true);
    QString shown;
    answerDialog([&] { h.find<QAbstractButton>("commandLineButton")->click(); },
                 [&](QDialog &d) { shown = d.findChild<QPlainTextEdit *>("command")->toPlainText(); }, false);
    EXPECT_TRUE(shown.contains(QString::fromStdString(sample.table))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("out.csv"))) << shown.toStdString();
    EXPECT_EQ(h.settings.separator, "||");
    EXPECT_TRUE(h.settings.quoteAll);
    // The rest of the request: the scripts of ScriptRoundTrip.
    EXPECT_EQ(h.wizard->commandLineRequest().outputPath, sample.dir.file("out.csv"));
}

} // namespace
} // namespace quorv::test
