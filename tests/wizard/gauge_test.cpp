// The progress gauge's arithmetic and pixels, its paint count, and Cancel during a long export.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTimer>

#include "fixture/fixtures.h"
#include "support/test_support.h"
#include "wizard/progress_gauge.h"
#include "wizard/wizard_support.h"

namespace quorv::test {
namespace {

using wizard::ProgressGauge;

QImage painted(int done, int total) {
    QImage image(201, 40, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    ProgressGauge gauge(image.size());
    gauge.updateProgress(done, total);
    QPainter painter(&image);
    gauge.paint(painter);
    return image;
}

// The bar ends at the percentage of the width, the rest is white, the text blue.
TEST(Gauge, PaintsBarWhiteRestAndText) {
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    const int y = 4; // above the text
    QImage half = painted(50, 100);
    EXPECT_EQ(half.pixel(100, y), black); // the bar's right edge at x = 100
    EXPECT_EQ(half.pixel(101, y), white);
    bool blueText = false;
    for (int x = 0; x < half.width(); ++x)
        for (int row = 10; row < 30; ++row)
            blueText = blueText || half.pixel(x, row) == qRgb(0, 0, 255);
    EXPECT_TRUE(blueText);
    EXPECT_EQ(painted(0, 200).pixel(1, y), white); // no bar at all
}

TEST(Gauge, AtMostOnePaintPerPercent) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(fixture::makeBigTable(dir.file("big.db"), 20000, 3, &error)) << error;
    WizardHarness h;
    h.choose(dir.file("big.db"), dir.file("big.xlsx"));
    ASSERT_TRUE(h.next());
    h.finish();
    EXPECT_EQ(h.state->exitStatus, 0) << h.messages.join("|").toStdString();
    auto *box = h.find<wizard::StatusBox>("statusBox");
    EXPECT_EQ(box->percent(), 100);
    EXPECT_GE(box->paintCount(), 50);
    EXPECT_LE(box->paintCount(), 101) << "paints";
}

TEST(Gauge, CancelStopsAMillionRecordExportWithinTenRecords) {
    const std::string big = bigTablePath();
    if (big.empty())
        GTEST_SKIP() << "the 1,000,000-record fixture (QUORV_WIZARD_BIG_TABLE) is not there";
    TempDir dir;
    WizardHarness h;
    h.choose(big, dir.file("big.csv"));
    ASSERT_TRUE(h.next());
    ASSERT_TRUE(h.next());
    // The click arrives while the first records are written.
    QTimer::singleShot(0, h.wizard.get(), [&] { h.wizard->button(QWizard::CancelButton)->click(); });
    h.finish();
    EXPECT_EQ(h.state->exitStatus, 0);
    EXPECT_TRUE(h.state->exported);
    // A cancelled export is no failure: the file holds the header and the records written so far.
    std::vector<std::string> lines = splitText(readFile(dir.file("big.csv")), '\n');
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 8), "Id,Name,");
    EXPECT_LE(lines.size(), 13u);
    EXPECT_TRUE(h.messages.isEmpty()) << h.messages.join("|").toStdString();
}

} // namespace
} // namespace quorv::test
