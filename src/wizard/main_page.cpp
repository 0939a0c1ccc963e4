#include "wizard/main_page.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWizard>

#include "platform/system.h"
#include "source/paradox_table.h"
#include "wizard/choosers.h"
#include "wizard/message.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"

namespace quorv::wizard {

namespace {

const char *const kOpenFilter = "Paradox files (*.db *.DB)";
const char *const kChooseFolder = "Choose a folder";

QString fileFolder(const QString &path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

int outputTypeFromPath(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    while (dot != std::string::npos && dot + 1 >= name.size())
        dot = dot == 0 ? std::string::npos : name.rfind('.', dot - 1);
    if (dot == std::string::npos)
        return 0;
    return outputTypeForExtension(std::string_view(name).substr(dot + 1));
}

std::string pathWithExtension(const std::string &path, int outputType) {
    if (outputType < 1 || outputType > kOutputTypeCount)
        return path;
    const char *extension = outputFormat(static_cast<OutputType>(outputType)).extension;
    return path.find(extension) == std::string::npos ? path + extension : path;
}

MainPage::MainPage(WizardState &state, const QString &initialSource, QWidget *parent)
    : QWizardPage(parent), state_(state), initialSource_(initialSource) {
    setTitle(QStringLiteral("Welcome to Quorvane"));
    auto *intro =
        new QLabel(QStringLiteral("Choose the Paradox table to convert, or a folder of tables, and the "
                                  "file or folder to write to."));
    intro->setWordWrap(true);

    auto makeButton = [this](const char *text, const char *name) {
        auto *button = new QPushButton(QString::fromUtf8(text), this);
        button->setObjectName(QString::fromUtf8(name));
        return button;
    };
    auto makeCombo = [this](const char *name, bool editable) {
        auto *box = new QComboBox(this);
        box->setObjectName(QString::fromUtf8(name));
        box->setEditable(editable);
        if (editable) {
            box->setInsertPolicy(QComboBox::NoInsert);
            box->lineEdit()->setMaxLength(4096);
        }
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(30);
        return box;
    };

    sourceBox_ = makeCombo("sourceBox", true);
    auto *sourceLabel = new QLabel(QStringLiteral("&Source file"), this);
    sourceLabel->setObjectName(QStringLiteral("sourceLabel"));
    sourceLabel->setBuddy(sourceBox_);
    QPushButton *sourceBrowse = makeButton("Browse...", "sourceBrowse");
    QPushButton *sourceFolderButton = makeButton("Select folder...", "sourceFolderButton");
    sourceFolderButton->setToolTip(QStringLiteral("Select source folder for batch conversion"));
    QPushButton *clearButton = makeButton("Clear history", "clearHistory");

    outputBox_ = makeCombo("outputBox", true);
    auto *outputLabel = new QLabel(QStringLiteral("&Output file"), this);
    outputLabel->setObjectName(QStringLiteral("outputLabel"));
    outputLabel->setBuddy(outputBox_);
    QPushButton *outputBrowse = makeButton("Browse...", "outputBrowse");
    outputFolderButton_ = makeButton("Select folder...", "outputFolderButton");
    outputFolderButton_->setToolTip(QStringLiteral("Select output folder for batch conversion"));

    exportToLabel_ = new QLabel(QStringLiteral("Export to"), this);
    exportToLabel_->setObjectName(QStringLiteral("exportToLabel"));
    exportToList_ = makeCombo("exportToList", false);
    languageLabel_ = new QLabel(QStringLiteral("Language"), this);
    languageList_ = makeCombo("languageList", false);
    languageList_->addItems({QStringLiteral("English"), QStringLiteral("Deutsch")});

    auto *grid = new QGridLayout(this);
    grid->addWidget(intro, 0, 0, 1, 2);
    grid->setRowMinimumHeight(1, 8);
    grid->addWidget(sourceLabel, 2, 0, 1, 2);
    grid->addWidget(sourceBox_, 3, 0);
    grid->addWidget(sourceBrowse, 3, 1);
    auto *sourceButtons = new QHBoxLayout;
    sourceButtons->addStretch();
    sourceButtons->addWidget(sourceFolderButton);
    sourceButtons->addWidget(clearButton);
    grid->addLayout(sourceButtons, 4, 0, 1, 2);
    grid->setRowMinimumHeight(5, 12);
    grid->addWidget(outputLabel, 6, 0, 1, 2);
    grid->addWidget(outputBox_, 7, 0);
    grid->addWidget(outputBrowse, 7, 1);
    grid->addWidget(outputFolderButton_, 8, 1);
    auto *exportTo = new QHBoxLayout;
    exportTo->addWidget(exportToLabel_);
    exportTo->addWidget(exportToList_, 1);
    grid->addLayout(exportTo, 8, 0);
    auto *language = new QHBoxLayout;
    language->addWidget(languageLabel_);
    language->addWidget(languageList_, 1);
    grid->addLayout(language, 9, 0);
    grid->setRowStretch(10, 1);
    grid->setColumnStretch(0, 1);

    for (QWidget *hidden : {static_cast<QWidget *>(outputFolderButton_),
                            static_cast<QWidget *>(exportToLabel_), static_cast<QWidget *>(exportToList_),
                            static_cast<QWidget *>(languageLabel_), static_cast<QWidget *>(languageList_)})
        hidden->hide();

    connect(sourceBrowse, &QPushButton::clicked, this, &MainPage::browseSource);
    connect(outputBrowse, &QPushButton::clicked, this, &MainPage::browseOutput);
    connect(sourceFolderButton, &QPushButton::clicked, this, &MainPage::selectSourceFolder);
    connect(outputFolderButton_, &QPushButton::clicked, this, &MainPage::selectOutputFolder);
    connect(clearButton, &QPushButton::clicked, this, &MainPage::clearHistoryList);
    connect(languageList_, &QComboBox::activated, this, [this](int index) {
        if (index == state_.app.language)
            return;
        state_.app.language = index;
        state_.restartWizard = true;
        wizard()->reject();
    });
}

void MainPage::initializePage() {
    state_.outputType = 0;
    const AppSettings &app = state_.app;
    for (const std::string &path : app.sourceHistory)
        sourceBox_->addItem(fromPath(path));
    for (const std::string &path : app.outputHistory)
        outputBox_->addItem(fromPath(path));
    sourceBox_->setEditText(initialSource_.isEmpty() ? fromPath(app.lastSourcePath) : initialSource_);
    outputBox_->setEditText(fromPath(app.lastOutputPath));
    languageList_->setCurrentIndex(app.language == 1 ? 1 : 0);
}

void MainPage::stay(const QString &message) {
    showMessage(this, message);
}

void MainPage::browseSource() {
    QString path = chooseOpenFile(
        this, {QStringLiteral("Open"), fromPath(state_.app.sourceFolder), QString::fromUtf8(kOpenFilter)});
    if (path.isEmpty())
        return;
    sourceBox_->setEditText(path);
    state_.app.sourceFolder = toPath(fileFolder(path));
}

void MainPage::browseOutput() {
    SaveFileRequest request;
    request.folder = fromPath(state_.app.outputFolder);
    request.path = outputBox_->currentText();
    for (int type = 1; type < kOutputTypeCount; ++type)
        request.filters << QString::fromUtf8(outputFormat(static_cast<OutputType>(type)).description);
    if (state_.app.lastExportType > 0 && state_.app.lastExportType < kOutputTypeCount)
        request.filterIndex = state_.app.lastExportType - 1;
    SaveFileChoice choice = chooseSaveFile(this, request);
    if (choice.path.isEmpty() || choice.filterIndex < 0)
        return;
    const int type = choice.filterIndex + 1;
    state_.outputType = type;
    state_.app.lastExportType = type;
    const QString path = fromPath(pathWithExtension(toPath(choice.path), type));
    savedOutputPath_ = path;
    outputBox_->setEditText(path);
    state_.app.outputFolder = toPath(fileFolder(path));
}

void MainPage::selectSourceFolder() {
    QString folder = chooseFolder(this, QString::fromUtf8(kChooseFolder), fromPath(state_.app.sourceFolder));
    if (folder.isEmpty())
        return;
    state_.app.sourceFolder = toPath(folder);
    sourceBox_->setEditText(folder);
    showBatchControls();
    outputBox_->setEditText(fromPath(state_.app.outputFolder));
    state_.folderBatch = true;
}

void MainPage::showBatchControls() {
    exportToList_->clear();
    for (int i = 0; i < kOutputTypeCount; ++i)
        exportToList_->addItem(QString::fromUtf8(outputFormats()[i].description));
    exportToList_->setCurrentIndex(0);
    for (QWidget *shown : {static_cast<QWidget *>(outputFolderButton_),
                           static_cast<QWidget *>(exportToLabel_), static_cast<QWidget *>(exportToList_)})
        shown->show();
    findChild<QLabel *>(QStringLiteral("sourceLabel"))->setText(QStringLiteral("&Source folder"));
    findChild<QLabel *>(QStringLiteral("outputLabel"))->setText(QStringLiteral("&Output folder"));
}

void MainPage::selectOutputFolder() {
    QString folder = chooseFolder(this, QString::fromUtf8(kChooseFolder), fromPath(state_.app.outputFolder));
    if (folder.isEmpty())
        return;
    state_.app.outputFolder = toPath(folder);
    outputBox_->setEditText(folder);
}

void MainPage::clearHistoryList() {
    if (!showMessage(this, QStringLiteral("Would you like to clear history list?"), MessageKind::Question))
        return;
    const QString source = sourceBox_->currentText();
    const QString output = outputBox_->currentText();
    sourceBox_->clear();
    outputBox_->clear();
    sourceBox_->setEditText(source);
    outputBox_->setEditText(output);
    AppSettings &app = state_.app;
    clearHistory(app);
    app.sourceFolder.clear();
    app.outputFolder.clear();
    app.lastSourcePath.clear();
    app.lastOutputPath.clear();
    storeSettings(app);
}

bool MainPage::validatePage() {
    return state_.folderBatch ? validateBatch() : validateSingle();
}

bool MainPage::validateSingle() {
    state_.releaseTables();
    const QString source = sourceBox_->currentText();
    if (source.isEmpty()) {
        stay(QStringLiteral("Please select the db file"));
        return false;
    }
    auto table = std::make_unique<SourceTable>();
    table->path = toPath(source);
    std::string error;
    if (!platform::fileExists(table->path)) {
        stay(source + QStringLiteral(": no such file"));
        return false;
    }
    if (!openSourceTable(*table, state_.settings, &error)) {
        stay(source + QStringLiteral(": ") + QString::fromStdString(error));
        return false;
    }

    const QString output = outputBox_->currentText();
    // The Save dialog's type holds while the box shows the path it gave; a typed path names its type.
    if (state_.outputType == 0 || output != savedOutputPath_)
        state_.outputType = outputTypeFromPath(toPath(output));
    if (output.isEmpty()) {
        stay(QStringLiteral("Please select output file"));
        return false;
    }
    if (state_.outputType == 0) {
        stay(QStringLiteral("Please select output type"));
        return false;
    }
    state_.table = std::move(table);
    state_.settings.outputType = static_cast<OutputType>(state_.outputType);
    state_.settings.outputPath = toPath(output);
    state_.app.lastOutputPath = toPath(output);
    state_.app.lastSourcePath = toPath(source);
    return true;
}

bool MainPage::validateBatch() {
    state_.releaseTables();
    state_.outputType = exportToList_->currentIndex() + 1;
    const QString output = outputBox_->currentText();
    if (output.isEmpty()) {
        stay(QStringLiteral("Please select the output folder"));
        return false;
    }
    // The source box names the folder, or a folder and a pattern of its tables.
    QString folder = sourceBox_->currentText();
    if (folder.isEmpty())
        folder = fromPath(state_.app.sourceFolder);
    QString pattern = QStringLiteral("*.db");
    if (!QFileInfo(folder).isDir()) {
        QFileInfo info(folder);
        pattern = info.fileName();
        folder = info.path();
        if (!pattern.contains(QStringLiteral(".db"), Qt::CaseInsensitive))
            pattern += QStringLiteral("*.db");
    }
    state_.app.sourceFolder = toPath(folder);
    std::vector<std::string> names = findSourceTables(toPath(folder), toPath(pattern));
    if (names.empty()) {
        stay(QString::fromUtf8("%1: not found db files").arg(folder));
        return false;
    }
    state_.app.outputFolder = toPath(output);
    state_.batch = {toPath(folder), toPath(output), std::move(names)};
    state_.settings.outputType = static_cast<OutputType>(state_.outputType);
    state_.settings.outputPath.clear();
    return true;
}

int MainPage::nextId() const {
    return CommonPageId;
}

} // namespace quorv::wizard
