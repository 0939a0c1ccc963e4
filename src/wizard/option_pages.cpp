#include "wizard/option_pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QTableView>
#include <QVBoxLayout>

#include "app/command_compose.h"
#include "platform/codepage.h"
#include "source/paradox_table.h"
#include "wizard/choosers.h"
#include "wizard/dialogs.h"
#include "wizard/preview_model.h"
#include "wizard/progress_gauge.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"

namespace quorv::wizard {

namespace {

template <class W> W *named(W *widget, const char *name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

QCheckBox *checkBox(const char *text, const char *name) {
    return named(new QCheckBox(QString::fromUtf8(text)), name);
}

QColor fromRgbValue(unsigned value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
unsigned toRgbValue(const QColor &c) {
    return static_cast<unsigned>(c.red()) | (static_cast<unsigned>(c.green()) << 8) |
           (static_cast<unsigned>(c.blue()) << 16);
}

// Characters a value of the field takes at most in the preview.
int shownCharacters(const FieldInfo &field) {
    switch (field.type) {
    case PxDate:
        return 10;
    case PxTime:
        return 12;
    case PxTimestamp:
        return 19;
    case PxShort:
        return 6;
    case PxLong:
    case PxAutoInc:
        return 11;
    case PxCurrency:
    case PxNumber:
        return 12;
    case PxBcd:
        return 20;
    case PxLogical:
        return 1;
    default:
        return field.size;
    }
}

OutputType typeOf(const WizardState &state) {
    return static_cast<OutputType>(state.outputType);
}

} // namespace

void ColourButton::setColour(const QColor &colour) {
    colour_ = colour;
    update();
}

void ColourButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
    painter.fillRect(rect().adjusted(3, 3, -3, -3), colour_);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(3, 3, -4, -4));
}

OptionsPage::OptionsPage(WizardState &state, QWidget *parent) : QWizardPage(parent), state_(state) {
    statusBox_ = new StatusBox(this);
}

ConversionWizard *OptionsPage::conversionWizard() const {
    return static_cast<ConversionWizard *>(wizard());
}

QPushButton *OptionsPage::commandLineButton() {
    if (!commandLineButton_) {
        commandLineButton_ =
            named(new QPushButton(QStringLiteral("Command Line..."), this), "commandLineButton");
        connect(commandLineButton_, &QPushButton::clicked, this, [this] {
            storeOptions();
            runCommandLineDialog(this, conversionWizard()->commandLineRequest());
        });
    }
    return commandLineButton_;
}

bool OptionsPage::validatePage() {
    storeOptions();
    if (nextId() == -1)
        conversionWizard()->runConversion(statusBox_);
    return true;
}

// ---------------------------------------------------------------- page 2

CommonOptionsPage::CommonOptionsPage(WizardState &state, QWidget *parent) : OptionsPage(state, parent) {
    setTitle(QStringLiteral("Common options"));
    setSubTitle(QStringLiteral("Check the table, choose its columns, filter and order."));

    auto *sourcePath = named(new QLabel(this), "sourcePath");
    sourcePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    model_ = new PreviewModel(this);
    preview_ = named(new QTableView(this), "preview");
    preview_->setModel(model_);
    preview_->setShowGrid(true);
    preview_->setSelectionBehavior(QAbstractItemView::SelectRows);
    preview_->setSelectionMode(QAbstractItemView::SingleSelection);
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setWordWrap(false);
    preview_->verticalHeader()->hide();
    preview_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    preview_->verticalHeader()->setDefaultSectionSize(preview_->fontMetrics().height() + 6);
    preview_->horizontalHeader()->setSectionsMovable(false);
    preview_->horizontalHeader()->setHighlightSections(false);

    sortBy_ = checkBox("Sort by", "sortBy");
    sortField_ = named(new QComboBox(this), "sortField");
    sortField_->setMinimumContentsLength(12);
    reverse_ = checkBox("Reverse order", "reverseOrder");
    auto *columns = named(new QPushButton(QStringLiteral("Columns..."), this), "columnsButton");
    auto *filter = named(new QPushButton(QStringLiteral("Filter..."), this), "filterButton");
    viewAfter_ = checkBox("View after process done", "viewAfter");
    rss2_ = checkBox("RSS2 format", "rss2");
    oem_ = checkBox("OEM charset", "oemCharset");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sourcePath);
    layout->addWidget(preview_, 1);
    auto *order = new QHBoxLayout;
    order->addWidget(sortBy_);
    order->addWidget(sortField_);
    order->addSpacing(12);
    order->addWidget(reverse_);
    order->addStretch();
    order->addWidget(columns);
    order->addWidget(filter);
    layout->addLayout(order);
    auto *flags = new QHBoxLayout;
    flags->addWidget(oem_);
    flags->addWidget(rss2_);
    flags->addWidget(viewAfter_);
    flags->addStretch();
    flags->addWidget(commandLineButton());
    layout->addLayout(flags);
    layout->addWidget(statusBox_);

    connect(sortBy_, &QCheckBox::toggled, this, [this](bool on) { state_.settings.sortEnabled = on; });
    connect(oem_, &QCheckBox::clicked, this, [this] { toggleOem(); });
    connect(columns, &QPushButton::clicked, this, [this] {
        if (runColumnsDialog(this, state_.currentTable(), state_.settings) && state_.table)
            applyColumnChoice();
    });
    connect(filter, &QPushButton::clicked, this, [this] { runFilterDialog(this, state_.currentTable()); });
}

void CommonOptionsPage::initializePage() {
    const bool finishing = finishesOnCommonPage(state_.outputType);
    statusBox_->setVisible(finishing);
    viewAfter_->setVisible(finishing);
    commandLineButton()->setVisible(finishing);
    rss2_->setVisible(typeOf(state_) == OutputType::Xml);
    viewAfter_->setChecked(state_.settings.viewAfterExport && !state_.folderBatch);
    sortBy_->setChecked(state_.settings.sortEnabled);
    reverse_->setChecked(state_.settings.reverseOrder);

    auto *sourcePath = findChild<QLabel *>(QStringLiteral("sourcePath"));
    if (state_.folderBatch) {
        QStringList names;
        for (const std::string &name : state_.batch.names)
            names << fromPath(name);
        model_->showFiles(names);
        sourcePath->setText(fromPath(state_.batch.sourceFolder));
    } else {
        // A table written under DOS holds OEM text: shown and exported right from the start.
        SourceTable &table = *state_.table;
        if (platform::isDosCodePage(table.headerCodePage)) {
            state_.settings.oemFlags |= 1u;
            oemFromHeader_ = true;
        } else if (oemFromHeader_) {
            state_.settings.oemFlags &= ~1u;
            oemFromHeader_ = false;
        }
        table.oemText = state_.settings.oemText();
        model_->showTable(&table, &state_.settings);
        sourcePath->setText(fromPath(table.path));
    }
    oem_->setChecked(state_.settings.oemText());
    fillSortList();
    fitColumns();
}

void CommonOptionsPage::cleanupPage() {
    model_->clear();
    state_.releaseTables();
    QWizardPage::cleanupPage();
}

void CommonOptionsPage::fillSortList() {
    const int selected = std::max(sortField_->currentIndex(), 0);
    sortField_->clear();
    if (!state_.folderBatch) {
        const SourceTable &table = *state_.table;
        for (int f = 0; f < table.fieldCount; ++f)
            sortField_->addItem(tableText(table, fieldName(table, f)));
    }
    sortField_->setCurrentIndex(selected < sortField_->count() ? selected : 0);
}

void CommonOptionsPage::fitColumns() {
    QHeaderView *header = preview_->horizontalHeader();
    const QFontMetrics metrics = preview_->fontMetrics();
    if (state_.folderBatch) {
        header->resizeSection(0, 320);
        return;
    }
    const SourceTable &table = *state_.table;
    for (int f = 0; f < table.fieldCount; ++f) {
        const QString name = model_->headerData(f, Qt::Horizontal).toString();
        const int byName = metrics.horizontalAdvance(name) + (name.size() <= 3 ? 35 : 32);
        const FieldInfo &field = table.fields[static_cast<size_t>(f)];
        const int bySize = field.type == PxChar
                               ? metrics.averageCharWidth() * field.size
                               : metrics.horizontalAdvance(QString(shownCharacters(field), u'0')) + 12;
        header->resizeSection(f, std::min(std::max(byName, bySize), 400));
        preview_->setColumnHidden(f, false);
    }
}

void CommonOptionsPage::applyColumnChoice() {
    const SourceTable &table = *state_.table;
    QHeaderView *header = preview_->horizontalHeader();
    for (int p = 0; p < table.fieldCount && p < static_cast<int>(table.fieldOrder.size()); ++p) {
        const int field = table.fieldOrder[static_cast<size_t>(p)];
        header->moveSection(header->visualIndex(field), p);
        preview_->setColumnHidden(field, table.fieldExcluded[static_cast<size_t>(p)] != 0);
    }
}

void CommonOptionsPage::toggleOem() {
    state_.settings.oemFlags ^= 1u;
    oemFromHeader_ = false;
    if (!state_.table)
        return;
    state_.table->oemText = state_.settings.oemText();
    model_->refresh();
    fillSortList();
}

bool CommonOptionsPage::validatePage() {
    model_->setPaused(true);
    bool ok = OptionsPage::validatePage();
    model_->setPaused(false);
    return ok;
}

void CommonOptionsPage::storeOptions() {
    state_.settings.sortField = sortField_->currentIndex();
    state_.settings.sortEnabled = sortBy_->isChecked();
    state_.settings.reverseOrder = reverse_->isChecked();
    if (!finishesOnCommonPage(state_.outputType))
        return;
    state_.settings.viewAfterExport = viewAfter_->isChecked();
    state_.settings.rssFormat = typeOf(state_) == OutputType::Xml && rss2_->isChecked();
}

int CommonOptionsPage::nextId() const {
    switch (typeOf(state_)) {
    case OutputType::Text:
    case OutputType::Csv:
    case OutputType::Sql:
        return TextPageId;
    case OutputType::Html:
        return HtmlPageId;
    default:
        return -1;
    }
}

// ---------------------------------------------------------------- page 3

TextOptionsPage::TextOptionsPage(WizardState &state, QWidget *parent) : OptionsPage(state, parent) {
    setTitle(QStringLiteral("Options"));
    setSubTitle(QStringLiteral("How values are separated and quoted."));

    allQuotes_ = checkBox("All fields in quotes", "allQuotes");
    header_ = checkBox("Export field names", "exportNames");
    auto *quotes = named(new QGroupBox(QStringLiteral("Quotes"), this), "quotesGroup");
    single_ = named(new QRadioButton(QStringLiteral("Single"), quotes), "singleQuote");
    double_ = named(new QRadioButton(QStringLiteral("Double"), quotes), "doubleQuote");
    auto *quotesLayout = new QHBoxLayout(quotes);
    quotesLayout->addWidget(single_);
    quotesLayout->addWidget(double_);
    quotesLayout->addStretch();
    auto *separatorLabel = named(new QLabel(QStringLiteral("Fields delimiter"), this), "separatorLabel");
    separator_ = named(new QComboBox(this), "separatorBox");
    separator_->setEditable(true);
    separator_->setInsertPolicy(QComboBox::NoInsert);
    separator_->lineEdit()->setMaxLength(5);
    sqlLabel_ = named(new QLabel(QStringLiteral("SQL"), this), "sqlLabel");
    dialect_ = named(new QComboBox(this), "sqlDialect");
    addGo_ = checkBox("Add 'Go' per", "addGo");
    goEvery_ = named(new QSpinBox(this), "goEvery");
    goEvery_->setRange(1, 1000000000);
    goEvery_->setValue(100);
    goRecords_ = named(new QLabel(QStringLiteral("records"), this), "goRecords");
    viewAfter_ = checkBox("View after process done", "viewAfter");
    utf8_ = checkBox("UTF-8", "utf8");

    auto *grid = new QGridLayout(this);
    grid->addWidget(allQuotes_, 0, 0, 1, 2);
    grid->addWidget(header_, 1, 0, 1, 2);
    grid->addWidget(quotes, 2, 0, 1, 2);
    grid->addWidget(separatorLabel, 3, 0);
    grid->addWidget(separator_, 3, 1);
    grid->addWidget(sqlLabel_, 4, 0);
    grid->addWidget(dialect_, 4, 1);
    auto *go = new QHBoxLayout;
    go->addWidget(addGo_);
    go->addWidget(goEvery_);
    go->addWidget(goRecords_);
    go->addStretch();
    grid->addLayout(go, 5, 0, 1, 2);
    grid->addWidget(utf8_, 6, 0, 1, 2);
    grid->addWidget(viewAfter_, 7, 0, 1, 2);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(2, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(commandLineButton());
    grid->addLayout(bottom, 9, 0, 1, 3);
    grid->addWidget(statusBox_, 10, 0, 1, 3);

    connect(allQuotes_, &QCheckBox::clicked, this, [this](bool checked) {
        if (checked && typeOf(state_) == OutputType::Text)
            double_->setChecked(true);
    });
}

void TextOptionsPage::initializePage() {
    const bool sql = typeOf(state_) == OutputType::Sql;
    for (QWidget *w : {sqlLabel_, static_cast<QWidget *>(dialect_), static_cast<QWidget *>(addGo_),
                       static_cast<QWidget *>(goEvery_), goRecords_})
        w->setVisible(sql);
    utf8_->setVisible(!sql);
    dialect_->clear();
    if (sql) {
        single_->setChecked(true);
        dialect_->addItems({QStringLiteral("Ansi"), QStringLiteral("Oracle"), QStringLiteral("MySQL"),
                            QStringLiteral("SQL SERVER"), QStringLiteral("PostgreSQL")});
        dialect_->setCurrentIndex(0);
        header_->setText(QStringLiteral("CREATE TABLE"));
    } else {
        header_->setText(QStringLiteral("Export field names"));
    }
    header_->setChecked(true);
    viewAfter_->setChecked(state_.settings.viewAfterExport);
    separator_->clear();
    separator_->addItems({QStringLiteral(","), QStringLiteral(";"), QStringLiteral(":"), QStringLiteral("|"),
                          QStringLiteral("tab"), QStringLiteral("space")});
    separator_->setCurrentIndex(0);
}

void TextOptionsPage::storeOptions() {
    ExportSettings &s = state_.settings;
    const bool sql = typeOf(state_) == OutputType::Sql;
    s.quoteAll = allQuotes_->isChecked();
    s.viewAfterExport = viewAfter_->isChecked();
    s.sqlWriteGo = sql && addGo_->isChecked();
    if (sql)
        s.sqlDialect = static_cast<SqlDialect>(std::max(dialect_->currentIndex(), 0));
    s.utf8 = !sql && utf8_->isChecked();
    if (s.sqlWriteGo)
        s.sqlGoEvery = goEvery_->value();
    s.quoteChar = single_->isChecked() ? '\'' : double_->isChecked() ? '"' : 0;
    s.separator = platform::fromUtf8(separator_->currentText().left(5).toStdString(),
                                     state_.currentTable().ansiCodePage);
    s.writeHeader = header_->isChecked();
}

// ---------------------------------------------------------------- page 4

HtmlOptionsPage::HtmlOptionsPage(WizardState &state, QWidget *parent) : OptionsPage(state, parent) {
    setTitle(QStringLiteral("HTML options"));
    setSubTitle(QStringLiteral("Title, layout and colours of the HTML document."));

    title_ = named(new QLineEdit(this), "title");
    title_->setMaxLength(255);
    auto *titleLabel = new QLabel(QStringLiteral("&Title"), this);
    titleLabel->setBuddy(title_);
    auto *layoutBox = new QGroupBox(QStringLiteral("Layout"), this);
    table_ = named(new QRadioButton(QStringLiteral("&Table"), layoutBox), "tableLayout");
    form_ = named(new QRadioButton(QStringLiteral("&Form"), layoutBox), "formLayout");
    auto *layoutRow = new QHBoxLayout(layoutBox);
    layoutRow->addWidget(table_);
    layoutRow->addWidget(form_);
    layoutRow->addStretch();
    recordNumbers_ = checkBox("&Save record number as first column of the table", "recordNumbers");
    maxPerPage_ = checkBox("&Maximum records on the one page", "maxPerPage");
    rowsPerPage_ = named(new QSpinBox(this), "rowsPerPage");
    rowsPerPage_->setRange(1, 1000000000);
    border_ = named(new QSpinBox(this), "border");
    border_->setRange(0, 100);
    auto *borderLabel = new QLabel(QStringLiteral("&Border"), this);
    borderLabel->setBuddy(border_);
    textColour_ = named(new ColourButton(this), "textColour");
    backColour_ = named(new ColourButton(this), "backColour");
    viewAfter_ = checkBox("&View out when export done", "viewAfter");

    auto *grid = new QGridLayout(this);
    grid->addWidget(titleLabel, 0, 0);
    grid->addWidget(title_, 0, 1, 1, 3);
    grid->addWidget(layoutBox, 1, 0, 1, 4);
    grid->addWidget(recordNumbers_, 2, 0, 1, 4);
    grid->addWidget(maxPerPage_, 3, 0, 1, 2);
    grid->addWidget(rowsPerPage_, 3, 2);
    grid->addWidget(borderLabel, 4, 0);
    grid->addWidget(border_, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Text color"), this), 5, 0);
    grid->addWidget(textColour_, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Background"), this), 6, 0);
    grid->addWidget(backColour_, 6, 1);
    grid->addWidget(viewAfter_, 7, 0, 1, 4);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(3, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(commandLineButton());
    grid->addLayout(bottom, 9, 0, 1, 4);
    grid->addWidget(statusBox_, 10, 0, 1, 4);

    for (ColourButton *button : {textColour_, backColour_})
        connect(button, &QPushButton::clicked, this, [this, button] {
            QColor chosen = chooseColour(this, button->colour());
            if (!chosen.isValid())
                return;
            button->setColour(chosen);
            (button == textColour_ ? state_.settings.htmlTextColor : state_.settings.htmlBackColor) =
                toRgbValue(chosen);
        });
}

void HtmlOptionsPage::initializePage() {
    table_->setChecked(true);
    rowsPerPage_->setValue(50);
    border_->setValue(1);
    title_->setText(state_.folderBatch ? fromPath(state_.batch.sourceFolder) : fromPath(state_.table->path));
    viewAfter_->setChecked(state_.settings.viewAfterExport);
    textColour_->setColour(fromRgbValue(state_.settings.htmlTextColor));
    backColour_->setColour(fromRgbValue(state_.settings.htmlBackColor));
}

void HtmlOptionsPage::storeOptions() {
    ExportSettings &s = state_.settings;
    s.viewAfterExport = viewAfter_->isChecked();
    s.htmlBorder = border_->value();
    s.htmlSplitPages = maxPerPage_->isChecked();
    if (s.htmlSplitPages)
        s.htmlRowsPerPage = rowsPerPage_->value();
    s.htmlAsForm = form_->isChecked();
    s.htmlRecordNumbers = recordNumbers_->isChecked();
    s.htmlTitle = title_->text().left(255).toStdString();
}

} // namespace quorv::wizard
