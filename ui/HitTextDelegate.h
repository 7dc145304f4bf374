#pragma once

#include <QStyledItemDelegate>
#include <QTextCharFormat>

class FoundDaysModel;

// The look of a hit wherever one is shown, in the result rows and in the
// entry box: dark text on amber, readable on light and dark themes and on a
// selected row.
QTextCharFormat HitFormat();

// Draws the line column of the search window's rows: the line of the first
// hit with every hit in it marked, cut to the column's width.
class HitTextDelegate : public QStyledItemDelegate
{
public:
    HitTextDelegate(FoundDaysModel* model, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    FoundDaysModel* mModel;
};
