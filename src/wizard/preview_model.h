// The preview of page 2: a table model that reads a record only when a view asks for one of its
// cells, so a table of any size opens at once and memory stays flat.
#pragma once

#include <deque>
#include <unordered_map>

#include <QAbstractTableModel>
#include <QStringList>

namespace quorv {
struct SourceTable;
struct ExportSettings;
} // namespace quorv

namespace quorv::wizard {

class PreviewModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit PreviewModel(QObject *parent = nullptr);

    // One column per field, one row per record of the open table.
    void showTable(SourceTable *table, const ExportSettings *settings);
    // Folder batch: one column "Source file", one row per file name.
    void showFiles(const QStringList &names);
    void clear();
    // The table's text changed its code page: names and values are read again.
    void refresh();
    // While an export uses the table's record buffer, only rows already read are shown.
    void setPaused(bool paused) { paused_ = paused; }

    // Records read from the table so far (the cache keeps the last rows read).
    long recordsRead() const { return recordsRead_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  private:
    const QStringList *row(int r) const;

    SourceTable *table_ = nullptr;
    const ExportSettings *settings_ = nullptr;
    QStringList files_;
    QStringList headers_;
    bool paused_ = false;
    mutable long recordsRead_ = 0;
    mutable std::unordered_map<int, QStringList> cache_;
    mutable std::deque<int> cacheOrder_;
};

// The field's text in the preview and the lists: the table's code page decoded.
QString tableText(const SourceTable &table, const std::string &bytes);

} // namespace quorv::wizard
