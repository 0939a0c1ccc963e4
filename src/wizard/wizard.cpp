#include "wizard/wizard.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QShortcut>
#include <QUrl>

#include "app/command_compose.h"
#include "export/driver.h"
#include "platform/user_guide.h"
#include "source/paradox_table.h"
#include "wizard/main_page.h"
#include "wizard/message.h"
#include "wizard/option_pages.h"
#include "wizard/progress_gauge.h"
#include "wizard/qt_text.h"

static void initWizardResources() {
    Q_INIT_RESOURCE(wizard);
}

namespace quorv::wizard {

bool finishesOnCommonPage(int outputType) {
    switch (static_cast<OutputType>(outputType)) {
    case OutputType::Text:
    case OutputType::Html:
    case OutputType::Csv:
    case OutputType::Sql:
        return false;
    default:
        return true;
    }
}

WizardState::WizardState(AppSettings &a, ExportSettings &s)
    : app(a), settings(s), emptyTable_(std::make_unique<SourceTable>()) {}

WizardState::~WizardState() {
    releaseTables();
}

void WizardState::releaseTables() {
    if (table)
        closeSourceTable(*table);
    table.reset();
    batch = {};
}

SourceTable &WizardState::currentTable() {
    return table ? *table : *emptyTable_;
}

namespace {

// The watermark drawn at the top of a column as tall as the page, the column in its bottom colour.
QPixmap watermarkColumn() {
    const QPixmap art(QStringLiteral(":/quorvane/watermark.png"));
    QPixmap column(art.width(), 454);
    column.fill(art.toImage().pixelColor(art.width() / 2, art.height() - 1));
    QPainter painter(&column);
    painter.drawPixmap(0, 0, art);
    return column;
}

} // namespace

ConversionWizard::ConversionWizard(WizardState &state, const QString &initialSource)
    : QWizard(nullptr), state_(state) {
    initWizardResources();
    setWindowTitle(QStringLiteral("Quorvane"));
    setWindowIcon(QIcon(QStringLiteral(":/quorvane/quorvane-256.png")));
    setWizardStyle(QWizard::ModernStyle);
    setOption(QWizard::HaveHelpButton, true);
    setPixmap(QWizard::LogoPixmap, QPixmap(QStringLiteral(":/quorvane/quorvane-48.png")));
    setOption(QWizard::NoBackButtonOnStartPage, true);
    setOption(QWizard::NoBackButtonOnLastPage, false);

    auto *mainPage = new MainPage(state_, initialSource);
    mainPage->setPixmap(QWizard::WatermarkPixmap, watermarkColumn());
    setPage(MainPageId, mainPage);
    setPage(CommonPageId, new CommonOptionsPage(state_));
    setPage(TextPageId, new TextOptionsPage(state_));
    setPage(HtmlPageId, new HtmlOptionsPage(state_));
    setStartId(MainPageId);

    connect(this, &QWizard::currentIdChanged, this, [this] { updateButtons(); });
    connect(this, &QWizard::helpRequested, this, &ConversionWizard::showHelp);
    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &ConversionWizard::showHelp);
    resize(720, 500);
}

void ConversionWizard::updateButtons() {
    QList<QWizard::WizardButton> layout{QWizard::HelpButton, QWizard::Stretch};
    switch (currentId()) {
    case CommonPageId:
        if (finishesOnCommonPage(state_.outputType))
            layout << QWizard::BackButton << QWizard::FinishButton;
        else
            layout << QWizard::NextButton;
        break;
    case TextPageId:
    case HtmlPageId:
        layout << QWizard::FinishButton;
        break;
    default:
        layout << QWizard::NextButton;
        break;
    }
    layout << QWizard::CancelButton;
    setButtonLayout(layout);
}

bool ConversionWizard::exportProgress(StatusBox *statusBox, int position, int loopCount) {
    statusBox->showProgress(position, loopCount);
    // The window keeps repainting and the Cancel button answers while the records are written.
    if (position % 10 == 0)
        QCoreApplication::processEvents();
    return !cancelRequested_;
}

void ConversionWizard::runConversion(StatusBox *statusBox) {
    exporting_ = true;
    cancelRequested_ = false;
    QWidget *page = currentPage();
    page->setEnabled(false);
    for (QWizard::WizardButton which : {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton})
        button(which)->setEnabled(false);
    statusBox->show();
    // The page shows itself disabled before the first record; from then on only the gauge repaints.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    statusBox->startGauge();

    std::vector<std::string> problems;
    bool failed = false;
    if (state_.folderBatch) {
        FolderResult result =
            convertFolder(state_.batch, state_.settings, [&](int, int position, int loopCount) {
                return exportProgress(statusBox, position, loopCount);
            });
        problems = std::move(result.problems);
        failed = result.failed > 0;
    } else {
        ExportResult result = runExport(*state_.table, state_.settings, [&](int position, int loopCount) {
            return exportProgress(statusBox, position, loopCount);
        });
        problems = std::move(result.problems);
        failed = !result.ok;
    }
    if (!cancelRequested_)
        statusBox->showProgress(1, 1);

    exporting_ = false;
    page->setEnabled(true);
    for (QWizard::WizardButton which : {QWizard::BackButton, QWizard::NextButton, QWizard::FinishButton})
        button(which)->setEnabled(true);
    state_.exported = true;
    state_.exitStatus = failed ? 1 : 0;
    if (!problems.empty()) {
        QString text;
        for (const std::string &problem : problems)
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromStdString(problem);
        showMessage(this, text, MessageKind::Warning);
    }
}

CommandLineRequest ConversionWizard::commandLineRequest() const {
    CommandLineRequest request;
    request.folderBatch = state_.folderBatch;
    request.sourcePath =
        state_.folderBatch ? state_.batch.sourceFolder : (state_.table ? state_.table->path : "");
    request.outputPath = state_.folderBatch ? state_.batch.outputFolder : state_.settings.outputPath;
    request.table = &state_.currentTable();
    request.settings = &state_.settings;
    return request;
}

void ConversionWizard::reject() {
    if (exporting_) {
        cancelRequested_ = true;
        return;
    }
    QWizard::reject();
}

void ConversionWizard::showHelp() {
    const std::string guide = platform::userGuidePath();
    if (!guide.empty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(fromPath(guide)));
}

} // namespace quorv::wizard
