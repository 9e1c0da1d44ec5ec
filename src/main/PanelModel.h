#pragma once

#include "files/FolderRow.h"

#include <QAbstractTableModel>

#include <functional>

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
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A confirmed in-place edit: CaptionEdited runs first, then the row shows the new text,
    // whatever the handler made of it.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    const CFolderRows& Rows() const { return FRows; }
    void SetRows(CFolderRows rows);
    void Clear() { SetRows({}); }
    void RemoveRow(int row);

    // Decides whether a row's caption may be edited in place; every row may when unset.
    std::function<bool(const CFolderRow&)> Editing;

signals:
    void CaptionEdited(int row, const QString& newText);

private:
    CFolderRows FRows;
};

} // namespace quorral
