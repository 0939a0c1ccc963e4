// The Columns dialog: which fields are exported, in which order, and the decimals of numbers.
#include <algorithm>
#include <numeric>

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "export/settings.h"
#include "source/paradox_table.h"
#include "wizard/dialogs.h"
#include "wizard/table_text.h"

namespace quorv::wizard {

namespace {

enum Column { NameColumn = 0, TypeColumn = 1, SizeColumn = 2, ColumnCount = 3 };

class ColumnsDialog : public QDialog {
  public:
    ColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings);

    void accept() override;

  private:
    void fillRow(int row);
    void move(int step);
    void setAllChecked(bool checked);
    void showRowStatus(int row);

    SourceTable &table_;
    ExportSettings &settings_;
    std::vector<int> order_; // the order being edited; stored on OK only, so Cancel keeps the old one
    QTableWidget *list_;
    QSpinBox *decimals_;
    QLabel *status_;
};

ColumnsDialog::ColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings)
    : QDialog(parent), table_(table), settings_(settings), order_(table.fieldOrder) {
    setWindowTitle(tr("Columns"));
    // A table whose lists were never set up (one not opened) shows its fields in table order.
    if (order_.size() != static_cast<size_t>(table.fieldCount)) {
        order_.resize(static_cast<size_t>(table.fieldCount));
        std::iota(order_.begin(), order_.end(), 0);
    }
    table.fieldExcluded.resize(static_cast<size_t>(table.fieldCount), 0);

    list_ = new QTableWidget(table.fieldCount, ColumnCount, this);
    list_->setObjectName("fieldList");
    list_->setHorizontalHeaderLabels({tr("Name"), tr("Type"), tr("Size")});
    list_->verticalHeader()->hide();
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->setColumnWidth(NameColumn, 160);
    list_->setColumnWidth(TypeColumn, 80);
    list_->setColumnWidth(SizeColumn, 60);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 8);
    for (int row = 0; row < table.fieldCount; ++row) {
        fillRow(row);
        bool excluded = table.fieldExcluded[static_cast<size_t>(row)] != 0;
        list_->item(row, NameColumn)->setCheckState(excluded ? Qt::Unchecked : Qt::Checked);
    }

    auto *ok = new QPushButton(tr("&OK"), this);
    auto *cancel = new QPushButton(tr("&Cancel"), this);
    auto *selectAll = new QPushButton(tr("Select All"), this);
    auto *unselectAll = new QPushButton(tr("&Unselect All"), this);
    ok->setDefault(true);
    selectAll->setObjectName("selectAll");
    unselectAll->setObjectName("unselectAll");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(selectAll, &QPushButton::clicked, this, [this] { setAllChecked(true); });
    connect(unselectAll, &QPushButton::clicked, this, [this] { setAllChecked(false); });

    auto makeMoveButton = [this](const char *name, QStyle::StandardPixmap icon, const QString &tip,
                                 int step) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        button->setAutoRaise(false);
        connect(button, &QToolButton::clicked, this, [this, step] { move(step); });
        return button;
    };
    QToolButton *up = makeMoveButton("moveUp", QStyle::SP_ArrowUp, tr("Move the selected column up"), -1);
    QToolButton *down =
        makeMoveButton("moveDown", QStyle::SP_ArrowDown, tr("Move the selected column down"), 1);

    decimals_ = new QSpinBox(this);
    decimals_->setObjectName("decimals");
    decimals_->setRange(0, kMaxDecimals);
    decimals_->setValue(std::clamp(settings.decimals, 0, kMaxDecimals));
    auto *decimalsLabel = new QLabel(tr("Decimal Digits"), this);
    decimalsLabel->setBuddy(decimals_);

    auto *moves = new QHBoxLayout;
    moves->addWidget(up);
    moves->addWidget(down);
    moves->addStretch();
    auto *side = new QVBoxLayout;
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addSpacing(12);
    side->addWidget(selectAll);
    side->addWidget(unselectAll);
    side->addSpacing(12);
    side->addLayout(moves);
    side->addStretch();
    side->addWidget(decimalsLabel);
    side->addWidget(decimals_);

    auto *body = new QHBoxLayout;
    body->addWidget(list_, 1);
    body->addLayout(side);

    status_ = new QLabel(tr("Fields %1").arg(table.fieldCount), this);
    status_->setObjectName("status");
    auto *statusBar = new QStatusBar(this);
    statusBar->setSizeGripEnabled(false);
    statusBar->addWidget(status_, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addWidget(statusBar);
    layout->setContentsMargins(8, 8, 8, 0);

    connect(list_, &QTableWidget::currentCellChanged, this, [this](int row) { showRowStatus(row); });
    resize(520, 340);
}

void ColumnsDialog::fillRow(int row) {
    const int field = order_[static_cast<size_t>(row)];
    const FieldInfo &info = table_.fields[static_cast<size_t>(field)];
    const QString texts[ColumnCount] = {shownFieldName(table_, field),
                                        QString::fromLatin1(fieldTypeName(table_, field)),
                                        QString::number(info.size)};
    for (int column = 0; column < ColumnCount; ++column) {
        QTableWidgetItem *item = list_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable |
                           (column == NameColumn ? Qt::ItemIsUserCheckable : Qt::NoItemFlags));
            list_->setItem(row, column, item);
        }
        item->setText(texts[column]);
    }
}

// Swaps the selected row's field with its neighbour's. The check boxes stay where they are: a check
// belongs to the output position, not to the field.
void ColumnsDialog::move(int step) {
    QList<QTableWidgetSelectionRange> ranges = list_->selectedRanges();
    if (ranges.isEmpty())
        return;
    const int row = ranges.first().topRow();
    const int target = row + step;
    if (target < 0 || target >= table_.fieldCount)
        return;
    std::swap(order_[static_cast<size_t>(row)], order_[static_cast<size_t>(target)]);
    fillRow(row);
    fillRow(target);
    list_->setCurrentCell(target, NameColumn);
    list_->selectRow(target);
    list_->scrollToItem(list_->item(target, NameColumn));
}

void ColumnsDialog::setAllChecked(bool checked) {
    for (int row = 0; row < table_.fieldCount; ++row)
        list_->item(row, NameColumn)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void ColumnsDialog::showRowStatus(int row) {
    if (row >= 0)
        status_->setText(tr("Field %1/%2").arg(row + 1).arg(table_.fieldCount));
}

void ColumnsDialog::accept() {
    setDecimals(settings_, decimals_->value());
    table_.fieldOrder = order_;
    for (int row = 0; row < table_.fieldCount; ++row) {
        bool checked = list_->item(row, NameColumn)->checkState() == Qt::Checked;
        table_.fieldExcluded[static_cast<size_t>(row)] = checked ? 0 : 1;
    }
    QDialog::accept();
}

} // namespace

std::unique_ptr<QDialog> makeColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings) {
    return std::make_unique<ColumnsDialog>(parent, table, settings);
}

bool runColumnsDialog(QWidget *parent, SourceTable &table, ExportSettings &settings) {
    return makeColumnsDialog(parent, table, settings)->exec() == QDialog::Accepted;
}

} // namespace quorv::wizard
