#pragma once
// The result table's rows: the found directories in the order the scan found them. The rows are there
// for the job to count and read the moment they are appended; the view hears of new rows in batches, so
// that a scan finding a hundred thousand directories does not lay out the table a hundred thousand times.

#include "rebuild/MainWindowOps.h"

#include <QAbstractTableModel>
#include <QTimer>
#include <deque>

class ResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultModel(QObject* parent = nullptr);

    // Caption and width of each column, as the table shows them.
    static QString ColumnCaption(int column);
    static int ColumnWidth(int column);
    static Qt::Alignment ColumnAlignment(int column);

    void Clear();
    void Append(const ResultRow& row);
    int Count() const { return int(rows_.size()); }
    // Sub-item 0 is the type column; -1 the caption (SN).
    QString Cell(int row, int subItem) const;
    // Lets the view see every row appended so far, now.
    void Publish();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    std::deque<ResultRow> rows_; // grows without moving what it holds
    int shown_ = 0; // rows the view knows of
    QTimer publish_;
};
