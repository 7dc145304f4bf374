#include "view/FlexGrid.h"

#include "platform/Twips.h"

#include <QHeaderView>
#include <QMouseEvent>

namespace {

Qt::Alignment alignmentFor(int value)
{
    static const Qt::Alignment horizontal[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment vertical[3] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (value < 0 || value > 8)
        value = 1;
    return horizontal[value / 3] | vertical[value % 3];
}

} // namespace

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setRowCount(2);
    setColumnCount(2);
    connect(this, &QTableWidget::currentCellChanged, this, &FlexGrid::onCurrentCellChanged);
    fitRowsToFont();
    mRow = 1;
    mCol = 1;
    syncCurrentCell();
}

void FlexGrid::fitRowsToFont()
{
    // Rows as high as one line of the cell font, like the classic grid.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void FlexGrid::changeEvent(QEvent* event)
{
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitRowsToFont();
}

void FlexGrid::setRows(int rows)
{
    rows = std::max(rows, 0);
    setRowCount(rows);
    restyle();
    if (mRow >= rows && rows > 0)
        setRow(rows - 1);
}

void FlexGrid::setCols(int cols)
{
    cols = std::max(cols, 0);
    setColumnCount(cols);
    restyle();
    if (mCol >= cols && cols > 0)
        setCol(cols - 1);
}

void FlexGrid::setFixedRows(int rows)
{
    mFixedRows = std::max(rows, 0);
    restyle();
    if (mRow < mFixedRows && mFixedRows < rowCount())
        setRow(mFixedRows);
}

void FlexGrid::setFixedCols(int cols)
{
    mFixedCols = std::max(cols, 0);
    restyle();
    if (mCol < mFixedCols && mFixedCols < columnCount())
        setCol(mFixedCols);
}

void FlexGrid::setRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const bool changed = row != mRow;
    mRow = row;
    syncCurrentCell();
    if (changed)
        emit RowColChange();
}

void FlexGrid::setCol(int col)
{
    if (col < 0 || col >= columnCount())
        return;
    const bool changed = col != mCol;
    mCol = col;
    syncCurrentCell();
    if (changed)
        emit RowColChange();
}

void FlexGrid::syncCurrentCell()
{
    mSyncing = true;
    if (!isFixed(mRow, mCol))
        setCurrentCell(mRow, mCol);
    else
        clearSelection();
    mSyncing = false;
}

void FlexGrid::onCurrentCellChanged(int row, int col, int previousRow, int previousCol)
{
    if (mSyncing || row < 0 || col < 0)
        return;
    if (isFixed(row, col)) {
        // The keyboard cannot enter the header.
        mSyncing = true;
        if (previousRow >= 0 && previousCol >= 0)
            setCurrentCell(previousRow, previousCol);
        mSyncing = false;
        return;
    }
    if (row == mRow && col == mCol)
        return;
    mRow = row;
    mCol = col;
    emit RowColChange();
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

QTableWidgetItem* FlexGrid::cell(int row, int col)
{
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
        return nullptr;
    QTableWidgetItem* it = item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        styleCell(row, col, it);
        setItem(row, col, it);
    }
    return it;
}

void FlexGrid::styleCell(int row, int col, QTableWidgetItem* it) const
{
    it->setTextAlignment(alignmentFor(ColAlignment(col)));
    if (isFixed(row, col)) {
        it->setFlags(Qt::ItemIsEnabled);
        it->setBackground(palette().button());
    } else {
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        it->setData(Qt::BackgroundRole, QVariant());
    }
}

void FlexGrid::restyle()
{
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            if (QTableWidgetItem* it = item(r, c))
                styleCell(r, c, it);
    // Fixed cells get an item even when empty, so they look like headers.
    for (int r = 0; r < std::min(mFixedRows, rowCount()); ++r)
        for (int c = 0; c < columnCount(); ++c)
            cell(r, c);
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < std::min(mFixedCols, columnCount()); ++c)
            cell(r, c);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    if (QTableWidgetItem* it = cell(row, col))
        it->setText(text);
}

double FlexGrid::ColWidth(int col) const
{
    return PixelsToTwipsX(columnWidth(col));
}

void FlexGrid::setColWidth(int col, double twips)
{
    setColumnWidth(col, TwipsToPixelsX(twips));
}

double FlexGrid::RowHeight(int row) const
{
    return PixelsToTwipsY(rowHeight(row));
}

void FlexGrid::setRowHeight(int row, double twips)
{
    QTableWidget::setRowHeight(row, TwipsToPixelsY(twips));
}

void FlexGrid::setColAlignment(int col, int value)
{
    mAlignments[col] = value;
    for (int r = 0; r < rowCount(); ++r)
        if (QTableWidgetItem* it = item(r, col))
            it->setTextAlignment(alignmentFor(value));
}

QColor FlexGrid::ColourFromWindows(int colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int FlexGrid::CellForeColorAt(int row, int col) const
{
    const QTableWidgetItem* it = item(row, col);
    if (!it)
        return -1;
    const QVariant brush = it->data(Qt::ForegroundRole);
    if (!brush.isValid())
        return -1;
    const QColor c = brush.value<QBrush>().color();
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

void FlexGrid::setCellForeColorAt(int row, int col, int colour)
{
    QTableWidgetItem* it = cell(row, col);
    if (!it)
        return;
    if (colour < 0)
        it->setData(Qt::ForegroundRole, QVariant());
    else
        it->setForeground(ColourFromWindows(colour));
}

int FlexGrid::TopRow() const
{
    const int top = rowAt(0);
    return std::max(top < 0 ? 0 : top, mFixedRows);
}

void FlexGrid::setTopRow(int row)
{
    if (row >= 0 && row < rowCount())
        scrollTo(model()->index(row, 0), QAbstractItemView::PositionAtTop);
}

void FlexGrid::setRedraw(bool on)
{
    mRedraw = on;
    setUpdatesEnabled(on);
}

QString FlexGrid::Clip() const
{
    QStringList rows;
    const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
    for (const QTableWidgetSelectionRange& range : ranges) {
        for (int r = range.topRow(); r <= range.bottomRow(); ++r) {
            QStringList cells;
            for (int c = range.leftColumn(); c <= range.rightColumn(); ++c)
                cells << TextMatrix(r, c);
            rows << cells.join(QLatin1Char('\t'));
        }
    }
    if (rows.isEmpty() && !isFixed(mRow, mCol))
        rows << Text();
    return rows.join(QLatin1Char('\r'));
}

void FlexGrid::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    // The header rows and columns are not cells one can select.
    if (!index.isValid() || !isFixed(index.row(), index.column()))
        QTableWidget::mousePressEvent(event);
    int button = 0;
    if (event->button() == Qt::LeftButton)
        button = 1;
    else if (event->button() == Qt::RightButton)
        button = 2;
    else if (event->button() == Qt::MiddleButton)
        button = 4;
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier)
        shift |= 1;
    if (event->modifiers() & Qt::ControlModifier)
        shift |= 2;
    if (event->modifiers() & Qt::AltModifier)
        shift |= 4;
    const QPoint at = mapFromGlobal(event->globalPosition().toPoint());
    emit MouseDown(button, shift, PixelsToTwipsX(at.x()), PixelsToTwipsY(at.y()));
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableWidget::mouseDoubleClickEvent(event);
    emit DblClick();
}
