// The wizard's cost on an export: the same CSV export run plainly and from the wizard's Finish (gauge
// and event processing every 10 records), and the time page 2 takes to show a large table.
//
//   wizard_bench [records] [folder]     (defaults: 1000000 /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>

#include "app/program.h"
#include "export/driver.h"
#include "fixture/fixtures.h"
#include "source/paradox_table.h"
#include "wizard/option_pages.h"
#include "wizard/preview_model.h"
#include "wizard/progress_gauge.h"
#include "wizard/wizard.h"

using namespace quorv;

namespace {

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char **argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const long records = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const std::string table = folder + "/wizard_bench.db";
    std::string error;
    if (!fixture::makeBigTable(table, static_cast<uint64_t>(records), 3, &error)) {
        std::fprintf(stderr, "wizard_bench: %s\n", error.c_str());
        return 1;
    }

    const long startKb = peakKb();
    AppSettings app;
    ExportSettings settings;
    prepareSettings(settings);
    settings.viewAfterExport = false;
    wizard::WizardState state(app, settings);
    wizard::ConversionWizard w(state);
    w.show();
    QApplication::processEvents();
    w.findChild<QComboBox *>(QStringLiteral("sourceBox"))->setEditText(QString::fromStdString(table));
    w.findChild<QComboBox *>(QStringLiteral("outputBox"))
        ->setEditText(QString::fromStdString(folder + "/wizard_bench_wizard.csv"));
    auto start = std::chrono::steady_clock::now();
    w.next();
    QApplication::processEvents();
    const double pageSeconds = secondsSince(start);
    auto *page = static_cast<wizard::CommonOptionsPage *>(w.currentPage());
    const long rowsRead = page->previewModel()->recordsRead();
    const long pageKb = peakKb();
    ExportSettings plain;
    prepareSettings(plain);
    plain.viewAfterExport = false;
    plain.outputType = OutputType::Csv;
    plain.outputPath = folder + "/wizard_bench_plain.csv";
    SourceTable source;
    source.path = table;
    openSourceTable(source, plain, &error);
    start = std::chrono::steady_clock::now();
    runExport(source, plain);
    const double plainSeconds = secondsSince(start);
    closeSourceTable(source);

    w.next();
    auto *box = w.currentPage()->findChild<wizard::StatusBox *>(QStringLiteral("statusBox"));
    start = std::chrono::steady_clock::now();
    w.button(QWizard::FinishButton)->click();
    const double wizardSeconds = secondsSince(start);

    std::printf("records                 %ld\n", records);
    std::printf("page 2 shown in         %.3f s (%ld records read for the preview)\n", pageSeconds, rowsRead);
    std::printf("peak memory             %ld KB at the start, %ld KB with page 2 shown\n", startKb, pageKb);
    std::printf("plain export            %.2f s (%.0f records/s)\n", plainSeconds, records / plainSeconds);
    std::printf("export from the wizard  %.2f s (%.0f records/s), %d gauge paints\n", wizardSeconds,
                records / wizardSeconds, box->paintCount());
    for (const char *name : {"/wizard_bench.db", "/wizard_bench_plain.csv", "/wizard_bench_wizard.csv"})
        std::remove((folder + name).c_str());
    return 0;
}
