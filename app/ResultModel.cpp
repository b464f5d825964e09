#include "app/ResultModel.h"

namespace {
struct Column {
    const char16_t* caption;
    int width;
    Qt::Alignment alignment;
};
const Column kColumns[6] = {
    {u"SN", 60, Qt::AlignLeft},
    {u"目录类型", 90, Qt::AlignHCenter},
    {u"目录所在扇区", 100, Qt::AlignLeft},
    {u"目录所在簇数", 100, Qt::AlignHCenter},
    {u"高位簇", 60, Qt::AlignLeft},
    {u"低位簇", 60, Qt::AlignLeft},
};
// How long new rows may wait before the view is told of them.
constexpr int kPublishMs = 50;

QString ResultRow::*const kFields[6] = {&ResultRow::sn, &ResultRow::type, &ResultRow::sector,
                                        &ResultRow::cluster, &ResultRow::clusterHi, &ResultRow::clusterLo};
} // namespace

ResultModel::ResultModel(QObject* parent) : QAbstractTableModel(parent)
{
    publish_.setSingleShot(true);
    publish_.setInterval(kPublishMs);
    connect(&publish_, &QTimer::timeout, this, &ResultModel::Publish);
}

QString ResultModel::ColumnCaption(int column) { return QString::fromUtf16(kColumns[column].caption); }
int ResultModel::ColumnWidth(int column) { return kColumns[column].width; }
Qt::Alignment ResultModel::ColumnAlignment(int column) { return kColumns[column].alignment; }

void ResultModel::Clear()
{
    beginResetModel();
    rows_.clear();
    shown_ = 0;
    endResetModel();
}

void ResultModel::Append(const ResultRow& row)
{
    rows_.push_back(row);
    if (!publish_.isActive())
        publish_.start();
}

void ResultModel::Publish()
{
    publish_.stop();
    if (shown_ >= Count())
        return;
    beginInsertRows({}, shown_, Count() - 1);
    shown_ = Count();
    endInsertRows();
}

QString ResultModel::Cell(int row, int subItem) const
{
    if (row < 0 || row >= Count() || subItem < -1 || subItem > 4)
        return {};
    return rows_[std::size_t(row)].*kFields[subItem + 1];
}

int ResultModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int ResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 6; }

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= shown_)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return Cell(index.row(), index.column() - 1);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(index.column()) | Qt::AlignVCenter);
    return {};
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section > 5)
        return {};
    if (role == Qt::DisplayRole)
        return ColumnCaption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ColumnAlignment(section) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0) // the caption may be edited in place; nothing reads it back
        f |= Qt::ItemIsEditable;
    return f;
}

bool ResultModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::EditRole || index.row() >= shown_)
        return false;
    rows_[std::size_t(index.row())].sn = value.toString();
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}
