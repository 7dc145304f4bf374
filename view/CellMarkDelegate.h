#pragma once

#include <QStyledItemDelegate>

#include <functional>

// Draws a grid cell as usual, then, for a cell whose model data holds a
// mark (FlexGridModel::MarkRole) while marks are shown, a small triangle in
// its top left corner: the day number, its colour and the highlight of the
// current cell stay as they are.
class CellMarkDelegate : public QStyledItemDelegate
{
public:
    CellMarkDelegate(std::function<bool()> shown, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    std::function<bool()> mShown;
};
