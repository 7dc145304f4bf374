#include "view/FlexGrid.h"

#include "platform/Twips.h"
#include "view/CellMarkDelegate.h"
#include "view/FlexGridModel.h"

#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionHeader>

FlexGrid::FlexGrid(QWidget* parent) : QTableView(parent), mModel(new FlexGridModel(this))
{
    setModel(mModel);
    setItemDelegate(new CellMarkDelegate([this] { return mShowMarks; }, this));
    verticalHeader()->hide();
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    setCornerButtonEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setWordWrap(false);
    setTabKeyNavigation(false);
    // The right button is the caller's: it must neither move the current
    // cell nor open anything of its own.
    setContextMenuPolicy(Qt::PreventContextMenu);
    header->setContextMenuPolicy(Qt::PreventContextMenu);
    // The header row is a row of the grid to the caller: a press on it is
    // reported as one on the grid (it moves nothing).
    header->viewport()->installEventFilter(this);
    mModel->setFixedRows(1);
    mModel->setRows(2);
    mModel->setCols(2);
    fitRowsToFont();
    followPalette();
    mRow = mRowSel = 1;
    syncSelection();
}

QColor FlexGrid::ColourFromWindows(int colour)
{
    return FlexGridModel::ColourFromWindows(colour);
}

void FlexGrid::fitRowsToFont()
{
    // Rows as high as one line of the cell font, like the classic grid.
    const int height = fontMetrics().height() + 4;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

void FlexGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        fitRowsToFont();
        followPalette();
    } else if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        followPalette();
}

void FlexGrid::followPalette()
{
    // Cells are drawn on the base colour. The header row is drawn by the
    // style from the buttons' colour, which styles lighten, darken or shade
    // as they see fit: what it is drawn on is read from a section drawn here.
    mModel->setBackgrounds({palette().color(QPalette::Base)}, headerBackgrounds());
}

QList<QColor> FlexGrid::headerBackgrounds() const
{
    QHeaderView* header = horizontalHeader();
    QStyleOptionHeader option;
    option.initFrom(header);
    // The grid hears of a new palette before the header inherits it.
    option.palette = palette();
    option.state |= QStyle::State_Raised | QStyle::State_Horizontal;
    option.orientation = Qt::Horizontal;
    option.position = QStyleOptionHeader::Middle;
    const QSize size(std::max(header->defaultSectionSize(), 8), std::max(header->height(), 8));
    option.rect = QRect(QPoint(0, 0), size);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(option.palette.color(header->backgroundRole()));
    {
        QPainter painter(&image);
        header->style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, header);
    }
    // Down the middle of the section, where its text stands, between the
    // lines at its edges.
    QList<QColor> colours;
    for (int y = 1; y < size.height() - 1; ++y) {
        const QColor colour = image.pixelColor(size.width() / 2, y);
        if (!colours.contains(colour))
            colours << colour;
    }
    return colours;
}

bool FlexGrid::isFixed(int row) const
{
    return row < mModel->fixedRows();
}

QModelIndex FlexGrid::indexOf(int row, int col) const
{
    return mModel->index(row - mModel->fixedRows(), col);
}

int FlexGrid::Rows() const
{
    return mModel->rows();
}

void FlexGrid::setRows(int rows)
{
    rows = std::max(rows, 0);
    mSyncing = true;
    mModel->setRows(rows);
    mSyncing = false;
    mRowSel = std::min(mRowSel, std::max(rows - 1, 0));
    if (mRow >= rows && rows > 0)
        setRow(rows - 1);
    else
        syncSelection();
}

int FlexGrid::Cols() const
{
    return mModel->cols();
}

void FlexGrid::setCols(int cols)
{
    cols = std::max(cols, 0);
    mSyncing = true;
    mModel->setCols(cols);
    mSyncing = false;
    mColSel = std::min(mColSel, std::max(cols - 1, 0));
    if (mCol >= cols && cols > 0)
        setCol(cols - 1);
    else
        syncSelection();
}

int FlexGrid::FixedRows() const
{
    return mModel->fixedRows();
}

void FlexGrid::setFixedRows(int rows)
{
    mSyncing = true;
    mModel->setFixedRows(rows);
    mSyncing = false;
    horizontalHeader()->setVisible(mModel->fixedRows() > 0);
    if (mRow < mModel->fixedRows() && mModel->fixedRows() < Rows())
        setRow(mModel->fixedRows());
    else
        syncSelection();
}

void FlexGrid::setFixedCols(int)
{
    // Neither grid of the program has a fixed column.
}

void FlexGrid::setRow(int row)
{
    if (row < 0 || row >= Rows())
        return;
    const bool changed = row != mRow;
    mRow = mRowSel = row;
    mColSel = mCol;
    syncSelection();
    if (changed)
        emit RowColChange();
}

void FlexGrid::setCol(int col)
{
    if (col < 0 || col >= Cols())
        return;
    const bool changed = col != mCol;
    mCol = mColSel = col;
    mRowSel = mRow;
    syncSelection();
    if (changed)
        emit RowColChange();
}

void FlexGrid::moveCurrent(int row, int col)
{
    const bool changed = row != mRow || col != mCol;
    mRow = mRowSel = row;
    mCol = mColSel = col;
    syncSelection();
    if (changed)
        emit RowColChange();
}

void FlexGrid::setSelectionEnd(int row, int col)
{
    if (isFixed(mRow))
        return;
    mRowSel = std::clamp(row, FixedRows(), std::max(Rows() - 1, FixedRows()));
    mColSel = std::clamp(col, 0, std::max(Cols() - 1, 0));
    syncSelection();
}

void FlexGrid::syncSelection()
{
    QItemSelectionModel* selection = selectionModel();
    if (!selection)
        return;
    mSyncing = true;
    if (mRow >= 0 && mCol >= 0 && mRow < Rows() && mCol < Cols() && !isFixed(mRow)) {
        selection->setCurrentIndex(indexOf(mRow, mCol), QItemSelectionModel::NoUpdate);
        const int top = std::max(std::min(mRow, mRowSel), FixedRows());
        const int bottom = std::min(std::max(mRow, mRowSel), Rows() - 1);
        const int left = std::max(std::min(mCol, mColSel), 0);
        const int right = std::min(std::max(mCol, mColSel), Cols() - 1);
        selection->select(QItemSelection(indexOf(top, left), indexOf(bottom, right)),
                          QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
    mSyncing = false;
}

void FlexGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // Every move the grid makes itself goes through moveCurrent; what
    // arrives here is Qt's own bookkeeping (rows removed, focus taken).
    if (!mSyncing)
        syncSelection();
}

QString FlexGrid::TextMatrix(int row, int col) const
{
    return mModel->text(row, col);
}

void FlexGrid::setTextMatrix(int row, int col, const QString& text)
{
    mModel->setText(row, col, text);
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
    if (isFixed(row))
        return PixelsToTwipsY(horizontalHeader()->height());
    return PixelsToTwipsY(rowHeight(row - FixedRows()));
}

void FlexGrid::setRowHeight(int row, double twips)
{
    if (row < 0 || row >= Rows())
        return;
    if (isFixed(row))
        horizontalHeader()->setFixedHeight(TwipsToPixelsY(twips));
    else
        QTableView::setRowHeight(row - FixedRows(), TwipsToPixelsY(twips));
}

int FlexGrid::ColAlignment(int col) const
{
    return mModel->alignment(col);
}

void FlexGrid::setColAlignment(int col, int value)
{
    mModel->setAlignment(col, value);
}

int FlexGrid::CellForeColorAt(int row, int col) const
{
    return mModel->foreColor(row, col);
}

void FlexGrid::setCellForeColorAt(int row, int col, int colour)
{
    mModel->setForeColor(row, col, colour);
}

QString FlexGrid::CellToolTipAt(int row, int col) const
{
    return mModel->toolTip(row, col);
}

void FlexGrid::setCellToolTipAt(int row, int col, const QString& text)
{
    mModel->setToolTip(row, col, text);
}

bool FlexGrid::CellMarkAt(int row, int col) const
{
    return mModel->mark(row, col);
}

void FlexGrid::setCellMarkAt(int row, int col, bool on)
{
    mModel->setMark(row, col, on);
}

void FlexGrid::setShowMarks(bool on)
{
    if (on == mShowMarks)
        return;
    mShowMarks = on;
    viewport()->update();
}

int FlexGrid::TopRow() const
{
    const int top = rowAt(0);
    return (top < 0 ? 0 : top) + FixedRows();
}

void FlexGrid::setTopRow(int row)
{
    if (row < FixedRows() || row >= Rows())
        return;
    // The scroll range follows rows added or resized only later, when the
    // grid is laid out; a grid filled while hidden needs it now.
    updateGeometries();
    scrollTo(indexOf(row, std::max(mCol, 0)), QAbstractItemView::PositionAtTop);
}

void FlexGrid::setRedraw(bool on)
{
    mRedraw = on;
    // Drawing off also keeps Qt from working out row positions after every
    // change of a row height, which makes filling long grids quadratic.
    mModel->setQuiet(!on);
    // The cells and the row sizes are what a rebuild changes; the header row
    // keeps its drawing unless its own texts change.
    verticalHeader()->setUpdatesEnabled(on);
    viewport()->setUpdatesEnabled(on);
}

QString FlexGrid::Clip() const
{
    if (isFixed(mRow) || mRow >= Rows() || mCol >= Cols())
        return QString();
    const int top = std::max(std::min(mRow, mRowSel), FixedRows());
    const int bottom = std::min(std::max(mRow, mRowSel), Rows() - 1);
    const int left = std::min(mCol, mColSel);
    const int right = std::max(mCol, mColSel);
    QStringList rows;
    for (int r = top; r <= bottom; ++r) {
        QStringList cells;
        for (int c = left; c <= right; ++c)
            cells << TextMatrix(r, c);
        rows << cells.join(QLatin1Char('\t'));
    }
    return rows.join(QLatin1Char('\r'));
}

QRect FlexGrid::cellRect(int row, int col) const
{
    if (isFixed(row))
        return QRect(horizontalHeader()->sectionViewportPosition(col), 0, columnWidth(col),
                     horizontalHeader()->height());
    return visualRect(indexOf(row, col));
}

QPoint FlexGrid::cellAt(const QPoint& pos) const
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return QPoint(-1, -1);
    return QPoint(index.column(), index.row() + FixedRows());
}

void FlexGrid::mousePressEvent(QMouseEvent* event)
{
    const QPoint cell = cellAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && cell.x() >= 0) {
        if (event->modifiers() & Qt::ShiftModifier) {
            setSelectionEnd(cell.y(), cell.x());
        } else {
            mDragging = true;
            moveCurrent(cell.y(), cell.x());
        }
    }
    // A press outside the cells, or with another button, moves nothing.
    emitMouseDown(event);
}

void FlexGrid::emitMouseDown(QMouseEvent* event)
{
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
    event->accept();
    emit MouseDown(button, shift, PixelsToTwipsX(at.x()), PixelsToTwipsY(at.y()));
}

bool FlexGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == horizontalHeader()->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonDblClick)) {
        if (event->type() == QEvent::MouseButtonPress)
            emitMouseDown(static_cast<QMouseEvent*>(event));
        event->accept();
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void FlexGrid::mouseMoveEvent(QMouseEvent* event)
{
    if (!mDragging || !(event->buttons() & Qt::LeftButton)) {
        event->accept();
        return;
    }
    // Outside the cells the block reaches the nearest one.
    const QPoint pos = event->position().toPoint();
    int row = rowAt(pos.y());
    if (row < 0)
        row = pos.y() < 0 ? rowAt(0) : model()->rowCount() - 1;
    int col = columnAt(pos.x());
    if (col < 0)
        col = pos.x() < 0 ? columnAt(0) : model()->columnCount() - 1;
    if (row >= 0 && col >= 0)
        setSelectionEnd(row + FixedRows(), col);
    event->accept();
}

void FlexGrid::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mDragging = false;
    event->accept();
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    mDragging = false;
    event->accept();
    const QPoint cell = cellAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || cell.x() < 0)
        return;
    // The first click of the pair normally made its cell current already; a
    // double click that arrives alone counts as that click too.
    if (cell.y() != mRow || cell.x() != mCol)
        moveCurrent(cell.y(), cell.x());
    emit DblClick();
}

void FlexGrid::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::SelectAll)) {
        event->accept();
        return;
    }
    CursorAction action;
    switch (event->key()) {
    case Qt::Key_Up:
        action = MoveUp;
        break;
    case Qt::Key_Down:
        action = MoveDown;
        break;
    case Qt::Key_Left:
        action = MoveLeft;
        break;
    case Qt::Key_Right:
        action = MoveRight;
        break;
    case Qt::Key_Home:
        action = MoveHome;
        break;
    case Qt::Key_End:
        action = MoveEnd;
        break;
    case Qt::Key_PageUp:
        action = MovePageUp;
        break;
    case Qt::Key_PageDown:
        action = MovePageDown;
        break;
    default:
        // Nothing else changes the current cell or the block: no keyboard
        // search, no selection by Space. The key goes on to the window.
        event->ignore();
        return;
    }
    event->accept();
    if (event->modifiers() & Qt::ShiftModifier) {
        // The block grows or shrinks at its far corner; the current cell stays.
        const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)));
        int row = mRowSel;
        int col = mColSel;
        switch (action) {
        case MoveUp:
            row -= 1;
            break;
        case MoveDown:
            row += 1;
            break;
        case MoveLeft:
            col -= 1;
            break;
        case MoveRight:
            col += 1;
            break;
        case MoveHome:
            col = 0;
            break;
        case MoveEnd:
            col = Cols() - 1;
            break;
        case MovePageUp:
            row -= page;
            break;
        default:
            row += page;
            break;
        }
        setSelectionEnd(row, col);
        scrollTo(indexOf(mRowSel, mColSel));
        return;
    }
    const QModelIndex target =
        moveCursor(action, event->modifiers() & ~Qt::KeyboardModifiers(Qt::ShiftModifier));
    if (!target.isValid())
        return;
    moveCurrent(target.row() + FixedRows(), target.column());
    scrollTo(target);
}

void FlexGrid::keyboardSearch(const QString&)
{
    // Typing a character selects nothing: a day is not found by its digits.
}
