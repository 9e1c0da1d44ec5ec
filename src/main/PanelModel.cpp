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

void CPanelModel::SetRows(CFolderRows rows)
{
    beginResetModel();
    FRows = std::move(rows);
    endResetModel();
}

} // namespace quorral
