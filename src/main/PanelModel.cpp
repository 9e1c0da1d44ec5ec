#include "main/PanelModel.h"

namespace quorral {

int CPanelModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int CPanelModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant CPanelModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(FRows.size()) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const CFolderRow& row = FRows[static_cast<std::size_t>(index.row())];
    if (index.column() == 0) {
        return QString::fromLocal8Bit(row.Caption);
    }
    return row.IsFolder ? QStringLiteral("+") : QString();
}

QVariant CPanelModel::headerData(int, Qt::Orientation orientation, int role) const
{
    // Both columns have blank headers.
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        return QString();
    }
    return {};
}

Qt::ItemFlags CPanelModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0 && index.row() < static_cast<int>(FRows.size()) &&
        (!Editing || Editing(FRows[static_cast<std::size_t>(index.row())]))) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool CPanelModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 ||
        index.row() >= static_cast<int>(FRows.size())) {
        return false;
    }
    const QString text = value.toString();
    emit CaptionEdited(index.row(), text);
    // The handler may have replaced the rows meanwhile (a refresh); then the edit has nothing to show.
    if (index.row() < static_cast<int>(FRows.size())) {
        FRows[static_cast<std::size_t>(index.row())].Caption = text.toLocal8Bit().toStdString();
        emit dataChanged(index, index);
    }
    return true;
}

void CPanelModel::RemoveRow(int row)
{
    if (row < 0 || row >= static_cast<int>(FRows.size())) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    FRows.erase(FRows.begin() + row);
    endRemoveRows();
}

void CPanelModel::SetRows(CFolderRows rows)
{
    beginResetModel();
    FRows = std::move(rows);
    endResetModel();
}

} // namespace quorral
