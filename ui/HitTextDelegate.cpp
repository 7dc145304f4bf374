#include "ui/HitTextDelegate.h"

#include "ui/FoundDaysModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

QTextCharFormat HitFormat()
{
    QTextCharFormat format;
    format.setBackground(QColor(255, 214, 64));
    format.setForeground(QColor(Qt::black));
    return format;
}

HitTextDelegate::HitTextDelegate(FoundDaysModel* model, QObject* parent)
    : QStyledItemDelegate(parent), mModel(model)
{}

void HitTextDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    // The row's background, selection and focus as the style draws them;
    // the text is drawn here, with its hits.
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    mModel->setLineSpace(area.width() - 2 * margin, item.font);
    const Snippet& snippet = mModel->snippet(index.row());
    QTextLayout layout(snippet.text, item.font);
    QList<QTextLayout::FormatRange> hits;
    for (const Hit& hit : snippet.hits)
        hits.append({hit.start, hit.length, HitFormat()});
    layout.setFormats(hits);
    QTextOption noWrap;
    noWrap.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(noWrap);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    if (!line.isValid())
        return;

    const bool selected = item.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(area);
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    layout.draw(painter,
                QPointF(area.left() + margin, area.top() + (area.height() - line.height()) / 2));
    painter->restore();
}
