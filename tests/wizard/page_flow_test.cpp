// The wizard's pages for every output type, Back, a failed export and the Command Line button;
// page 2's preview: records read only for the cells asked for, and the OEM box.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>

#include "app/command_compose.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "support/test_support.h"
#include "wizard/option_pages.h"
#include "wizard/preview_model.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

using wizard::CommonPageId;
using wizard::HtmlPageId;
using wizard::MainPageId;
using wizard::TextPageId;

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

class PageFlow : public testing::TestWithParam<FlowCase> {};

// Page 2 finishes (Back and Finish) or leads on to the format page (Next only), which finishes. Back
// from page 2 closes the table.
TEST_P(PageFlow, PagesOfEachType) {
    const FlowCase &c = GetParam();
    SampleFolder sample;
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
        return;
    }

    ASSERT_TRUE(h.next());
    EXPECT_EQ(h.wizard->currentId(), c.lastPage);
    EXPECT_EQ(h.shownButtons(), QStringList{"Finish"});
}

INSTANTIATE_TEST_SUITE_P(EveryType, PageFlow, testing::ValuesIn(kFlows),
                         [](const testing::TestParamInfo<FlowCase> &info) { return info.param.extension; });

TEST(PageFlow, ProblemsOfTheExportAreShownAndTheStatusIsOne) {
    SampleFolder sample;
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

TEST(PageFlow, CommandLineButtonStoresThePageFirst) {
    SampleFolder sample;
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

wizard::PreviewModel *previewOf(WizardHarness &h) {
    return static_cast<wizard::CommonOptionsPage *>(h.wizard->currentPage())->previewModel();
}

TEST(Preview, AMillionRecordsOpenAtOnceReadingOnlyTheRowsShown) {
    const std::string big = bigTablePath();
    if (big.empty())
        GTEST_SKIP() << "the 1,000,000-record fixture (QUORV_WIZARD_BIG_TABLE) is not there";
    TempDir dir;
    WizardHarness h;
    h.choose(big, dir.file("big.xlsx"));
    ASSERT_TRUE(h.next());
    wizard::PreviewModel *model = previewOf(h);
    ASSERT_EQ(model->rowCount(), 1000000);
    const long shown = model->recordsRead();
    EXPECT_LE(shown, 100);

    EXPECT_EQ(model->data(model->index(999999, 0)).toString(), "1000000");
    EXPECT_EQ(model->recordsRead(), shown + 1);
}

TEST(Preview, DosCodePageTableStartsWithOemTicked) {
    TempDir dir;
    fixture::TableSpec layout;
    layout.codePage = 437;
    layout.fields = {{"Name", fixture::kAlpha, 20}};
    std::string error;
    const std::vector<std::vector<fixture::Cell>> rows = {{fixture::Cell::text("\x81" "ber")}};
    ASSERT_TRUE(fixture::writeTable(dir.file("dos.db"), layout, rows, &error)) << error;
    WizardHarness h;
    h.choose(dir.file("dos.db"), dir.file("dos.csv"));
    ASSERT_TRUE(h.next());
    EXPECT_TRUE(h.find<QCheckBox>("oemCharset")->isChecked());
    wizard::PreviewModel *model = previewOf(h);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QString::fromUtf8("über"));
}

} // namespace
} // namespace quorv::test
