// The Filter dialog: one condition per field, in a scrolling column of labelled boxes.
#include <algorithm>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSizeGrip>
#include <QVBoxLayout>

#include "source/filter.h"
#include "source/paradox_table.h"
#include "wizard/dialogs.h"
#include "wizard/table_text.h"

namespace quorv::wizard {

namespace {

// The longest condition a field takes; the box refuses more, so a cut is seen while typing.
constexpr int kMaxConditionLength = 254;

class FilterDialog : public QDialog {
  public:
    FilterDialog(QWidget *parent, SourceTable &table);

    void accept() override;

  protected:
    void showEvent(QShowEvent *event) override;

  private:
    void fitToRows();

    SourceTable &table_;
    std::vector<QLineEdit *> boxes_;
    QScrollArea *scroll_ = nullptr;
    QDialogButtonBox *buttons_ = nullptr;
    bool fitted_ = false;
};

FilterDialog::FilterDialog(QWidget *parent, SourceTable &table) : QDialog(parent), table_(table) {
    setWindowTitle(tr("Filter"));
    setSizeGripEnabled(true);

    auto *rows = new QWidget;
    auto *form = new QFormLayout(rows);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QLineEdit *focus = nullptr;
    for (int i = 0; i < table.fieldCount; ++i) {
        auto *label = new QLabel(shownFieldName(table, i));
        label->setTextFormat(Qt::PlainText);
        auto *box = new QLineEdit;
        box->setObjectName(QString("condition%1").arg(i));
        box->setMaxLength(kMaxConditionLength);
        box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 20);
        if (static_cast<size_t>(i) < table.conditions.size())
            box->setText(tableText(table, table.conditions[static_cast<size_t>(i)].text));
        if (!focus && !box->text().isEmpty()) {
            focus = box;
            box->selectAll();
        }
        form->addRow(label, box);
        boxes_.push_back(box);
    }
    if (!focus && !boxes_.empty())
        focus = boxes_.front();

    auto *scroll = scroll_ = new QScrollArea(this);
    scroll->setObjectName("rows");
    scroll->setWidget(rows);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto *buttons = buttons_ = new QDialogButtonBox(Qt::Vertical, this);
    buttons->addButton(QDialogButtonBox::Ok)->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(buttons, 0, Qt::AlignTop);

    if (focus) {
        focus->setFocus();
        scroll->ensureWidgetVisible(focus);
    }
}

// Measured once the widgets are polished, so the sizes are those of the real fonts and style.
void FilterDialog::showEvent(QShowEvent *event) {
    if (!fitted_) {
        fitted_ = true;
        fitToRows();
    }
    QDialog::showEvent(event);
}

// As large as the rows need, up to a size that fits a small screen; the rest scrolls. The rows are
// never narrower than their labels and boxes.
void FilterDialog::fitToRows() {
    QWidget *rows = scroll_->widget();
    const QSize rowsSize = rows->sizeHint();
    const int frame = 2 * scroll_->frameWidth();
    scroll_->setMinimumWidth(rows->minimumSizeHint().width() + frame +
                             scroll_->verticalScrollBar()->sizeHint().width());
    const QMargins margins = layout()->contentsMargins();
    const int width = rowsSize.width() + frame + scroll_->verticalScrollBar()->sizeHint().width() +
                      layout()->spacing() + buttons_->sizeHint().width() + margins.left() + margins.right();
    const int height = rowsSize.height() + frame + margins.top() + margins.bottom();
    resize(std::max(width, 420), std::clamp(height, buttons_->sizeHint().height() + 40, 480));
}

// Every field gets a condition, empty ones included, each split into operator and value.
void FilterDialog::accept() {
    table_.conditions.assign(static_cast<size_t>(table_.fieldCount), FilterCondition{});
    for (size_t i = 0; i < boxes_.size(); ++i) {
        FilterCondition &condition = table_.conditions[i];
        condition.text = tableBytes(table_, boxes_[i]->text().left(kMaxConditionLength));
        parseCondition(condition);
    }
    QDialog::accept();
}

} // namespace

std::unique_ptr<QDialog> makeFilterDialog(QWidget *parent, SourceTable &table) {
    return std::make_unique<FilterDialog>(parent, table);
}

bool runFilterDialog(QWidget *parent, SourceTable &table) {
    return makeFilterDialog(parent, table)->exec() == QDialog::Accepted;
}

} // namespace quorv::wizard
