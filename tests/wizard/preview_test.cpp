// Page 2's preview: records read only for the cells asked for, and the OEM box.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTableView>

#include "fixture/fixtures.h"
#include "support/test_support.h"
#include "wizard/option_pages.h"
#include "wizard/preview_model.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

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
    h.find<QTableView>("preview")->scrollToBottom();
    QApplication::processEvents();
    EXPECT_LE(model->recordsRead(), shown + 100);
    EXPECT_EQ(model->data(model->index(999998, 0)).toString(), "999999");
}

TEST(Preview, DosCodePageTableStartsWithOemTicked) {
    TempDir dir;
    fixture::TableSpec layout;
    layout.codePage = 437;
    layout.fields = {{"Name", fixture::kAlpha, 20}};
    std::string error;
    ASSERT_TRUE(fixture::writeTable(dir.file("dos.db"), layout,
                                    {{fixture::Cell::text("\x81"
                                                          "ber")}},
                                    &error))
        << error;
    WizardHarness h;
    h.choose(dir.file("dos.db"), dir.file("dos.csv"));
    ASSERT_TRUE(h.next());
    auto *oem = h.find<QCheckBox>("oemCharset");
    EXPECT_TRUE(oem->isChecked());
    wizard::PreviewModel *model = previewOf(h);
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QString::fromUtf8("über"));
    oem->click();
    EXPECT_FALSE(h.settings.oemText());
    EXPECT_NE(model->data(model->index(0, 0)).toString(), QString::fromUtf8("über"));
    oem->click();
    EXPECT_TRUE(h.settings.oemText());
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QString::fromUtf8("über"));
}

} // namespace
} // namespace quorv::test
