#include "wizard/preview_model.h"

#include "platform/codepage.h"
#include "source/format.h"
#include "source/paradox_table.h"

namespace quorv::wizard {

namespace {
constexpr size_t kCachedRows = 512;

bool rightAligned(uint8_t type) {
    return type == PxShort || type == PxCurrency || type == PxNumber;
}
} // namespace

QString tableText(const SourceTable &table, const std::string &bytes) {
    return QString::fromStdString(platform::toUtf8(bytes, table.ansiCodePage));
}

PreviewModel::PreviewModel(QObject *parent) : QAbstractTableModel(parent) {}

void PreviewModel::showTable(SourceTable *table, const ExportSettings *settings) {
    beginResetModel();
    table_ = table;
    settings_ = settings;
    files_.clear();
    headers_.clear();
    cache_.clear();
    cacheOrder_.clear();
    for (int f = 0; table_ && f < table_->fieldCount; ++f)
        headers_ << tableText(*table_, fieldName(*table_, f));
    endResetModel();
}

void PreviewModel::showFiles(const QStringList &names) {
    beginResetModel();
    table_ = nullptr;
    files_ = names;
    headers_ = QStringList{QStringLiteral("Source file")};
    cache_.clear();
    cacheOrder_.clear();
    endResetModel();
}

void PreviewModel::clear() {
    beginResetModel();
    table_ = nullptr;
    files_.clear();
    headers_.clear();
    cache_.clear();
    cacheOrder_.clear();
    endResetModel();
}

void PreviewModel::refresh() {
    if (!table_)
        return;
    cache_.clear();
    cacheOrder_.clear();
    for (int f = 0; f < table_->fieldCount && f < headers_.size(); ++f)
        headers_[f] = tableText(*table_, fieldName(*table_, f));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int PreviewModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid())
        return 0;
    return table_ ? table_->recordCount : static_cast<int>(files_.size());
}

int PreviewModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

const QStringList *PreviewModel::row(int r) const {
    if (auto found = cache_.find(r); found != cache_.end())
        return &found->second;
    if (paused_ || !table_ || !table_->file)
        return nullptr;
    // The row is read into the table's buffer and kept as text, so the buffer is free again at once.
    QStringList values;
    ++recordsRead_;
    if (readRecord(*table_, r)) {
        std::string text;
        for (int f = 0; f < table_->fieldCount; ++f) {
            formatFieldValue(text, *table_, *settings_, table_->recordBuffer.data(), f);
            values << tableText(*table_, text);
        }
    }
    if (cacheOrder_.size() >= kCachedRows) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.pop_front();
    }
    cacheOrder_.push_back(r);
    return &(cache_[r] = std::move(values));
}

QVariant PreviewModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid())
        return {};
    if (!table_) {
        if (role == Qt::DisplayRole && index.row() < files_.size())
            return files_[index.row()];
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        const uint8_t type = table_->fields[static_cast<size_t>(index.column())].type;
        return QVariant::fromValue(Qt::AlignVCenter | (rightAligned(type) ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const QStringList *values = row(index.row());
    if (!values || index.column() >= values->size())
        return {};
    return values->at(index.column());
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole && table_)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (rightAligned(table_->fields[static_cast<size_t>(section)].type)
                                        ? Qt::AlignRight
                                        : Qt::AlignLeft));
    return {};
}

} // namespace quorv::wizard
