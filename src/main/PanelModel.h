#pragma once

#include "files/FolderRow.h"

#include <QAbstractTableModel>

namespace quorral {

// The rows of one folder panel: the caption in the first column, the folder marker "+" in the
// second. Rows keep the order they were given in; the model never sorts.
class CPanelModel final : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const CFolderRows& Rows() const { return FRows; }
    void SetRows(CFolderRows rows);
    void Clear() { SetRows({}); }

private:
    CFolderRows FRows;
};

} // namespace quorral
