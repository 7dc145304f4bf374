#include "view/CellMarkDelegate.h"

#include "view/FlexGridModel.h"

#include <QPainter>
#include <QPainterPath>

CellMarkDelegate::CellMarkDelegate(std::function<bool()> shown, QObject* parent)
    : QStyledItemDelegate(parent), mShown(std::move(shown))
{}

void CellMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (!mShown() || !index.data(FlexGridModel::MarkRole).toBool())
        return;
    // In the corner away from the number, which sits at the bottom centre.
    const QRect cell = option.rect;
    const int side = std::clamp(cell.height() * 2 / 5, 4, 9);
    QPainterPath corner;
    corner.moveTo(cell.topLeft());
    corner.lineTo(cell.left() + side, cell.top());
    corner.lineTo(cell.left(), cell.top() + side);
    corner.closeSubpath();
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(
        corner, option.palette.color(selected ? QPalette::HighlightedText : QPalette::Highlight));
    painter->restore();
}
