#pragma once

#include <QTableView>

class FlexGridModel;

// The grid control of the month grid and the list, speaking in the terms its
// callers use. Row and column numbers include the fixed header row (a grid
// has at most one, and no fixed columns); the header row is drawn as the
// table's header and stays in place while the other rows scroll. Sizes are in
// twips and colours are Windows colour values (0xBBGGRR: 255 is red,
// 16711680 blue).
//
// The current cell (Row, Col) moves only by a click on a cell, by the arrow
// keys or by code, and every such move raises RowColChange. A block of cells
// is selected from the current cell by dragging with the left button, by
// Shift with a click or the arrow keys; the current cell stays where it was
// and no RowColChange is raised for the cells crossed. The right button
// moves nothing; typing a character does nothing.
class FlexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const;
    // Lowering discards the removed rows with their texts and colours;
    // raising adds empty rows in the default colour.
    void setRows(int rows);
    int Cols() const;
    void setCols(int cols);
    int FixedRows() const;
    // 0 or 1.
    void setFixedRows(int rows);
    int FixedCols() const { return 0; }
    // Only 0: the grid has no fixed columns.
    void setFixedCols(int cols);

    // The current cell. Setting either moves it, makes it the whole selection
    // and raises RowColChange when it changed.
    int Row() const { return mRow; }
    void setRow(int row);
    int Col() const { return mCol; }
    void setCol(int col);
    // The corner of the selected block opposite the current cell.
    int RowSel() const { return mRowSel; }
    int ColSel() const { return mColSel; }

    // Text of the current cell.
    QString Text() const { return TextMatrix(mRow, mCol); }
    void setText(const QString& text) { setTextMatrix(mRow, mCol, text); }
    // Text of any cell, without moving the current cell.
    QString TextMatrix(int row, int col) const;
    void setTextMatrix(int row, int col, const QString& text);

    double ColWidth(int col) const;
    void setColWidth(int col, double twips);
    double RowHeight(int row) const;
    void setRowHeight(int row, double twips);

    // 1 = left and vertically centred, 5 = centred at the bottom; the other
    // values follow the same scheme (0..8: left/centre/right x top/centre/bottom).
    int ColAlignment(int col) const;
    void setColAlignment(int col, int value);

    // Text colour of the current cell; -1 is the grid's default colour.
    int CellForeColor() const { return CellForeColorAt(mRow, mCol); }
    void setCellForeColor(int colour) { setCellForeColorAt(mRow, mCol, colour); }
    int CellForeColorAt(int row, int col) const;
    void setCellForeColorAt(int row, int col, int colour);

    // Text shown when the pointer rests on a cell; empty for none. Cleared
    // with the cell's text and colour when its row goes.
    QString CellToolTipAt(int row, int col) const;
    void setCellToolTipAt(int row, int col, const QString& text);

    // A small mark in the corner of a cell, drawn while ShowMarks is on,
    // over the cell's own drawing (its text, colour and highlight stay).
    // Cleared with the cell's text when its row goes.
    bool CellMarkAt(int row, int col) const;
    void setCellMarkAt(int row, int col, bool on);
    bool ShowMarks() const { return mShowMarks; }
    void setShowMarks(bool on);

    // The first visible non-fixed row; setting it scrolls.
    int TopRow() const;
    void setTopRow(int row);

    // Off suspends drawing until it is switched on again.
    bool Redraw() const { return mRedraw; }
    void setRedraw(bool on);

    // Text of the selected block: cells of a row joined by tab, rows by CR.
    // Empty while the current cell is the header.
    QString Clip() const;

    bool Visible() const { return !isHidden(); }

    // Where a cell is drawn, in viewport coordinates; the header row's cells
    // are in the header's coordinates.
    QRect cellRect(int row, int col) const;

    static QColor ColourFromWindows(int colour);

signals:
    // Every change of the current cell, made by the user or by code.
    void RowColChange();
    void DblClick();
    // Button: 1 left, 2 right, 4 middle; Shift: 1 Shift, 2 Ctrl, 4 Alt;
    // X and Y in twips from the grid's top left corner.
    void MouseDown(int Button, int Shift, double X, double Y);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void changeEvent(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void fitRowsToFont();
    // The model draws colours that read on the palette's backgrounds.
    void followPalette();
    // The colours the style draws the header row's sections with.
    QList<QColor> headerBackgrounds() const;
    // Raises MouseDown for a press on the cells or on the header row.
    void emitMouseDown(QMouseEvent* event);
    // Shows the current cell and the block as Qt's current index and selection.
    void syncSelection();
    // Moves the current cell to (row, col) at once, raising one RowColChange.
    void moveCurrent(int row, int col);
    void setSelectionEnd(int row, int col);
    // The cell under a viewport point, flex numbering; (-1, -1) outside.
    QPoint cellAt(const QPoint& pos) const;
    QModelIndex indexOf(int row, int col) const;
    bool isFixed(int row) const;

    FlexGridModel* mModel;
    int mRow = 0;
    int mCol = 0;
    int mRowSel = 0;
    int mColSel = 0;
    bool mRedraw = true;
    bool mShowMarks = false;
    bool mSyncing = false;
    bool mDragging = false;
};

// Drawing of a grid suspended for the life of the object: Redraw off when it
// begins; when it ends, also by an exception, Redraw as it was found, so that
// a suspension inside another one does not resume drawing early.
class RedrawOff
{
public:
    explicit RedrawOff(FlexGrid* grid) : mGrid(grid), mWasOn(grid->Redraw())
    {
        mGrid->setRedraw(false);
    }
    ~RedrawOff() { mGrid->setRedraw(mWasOn); }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    FlexGrid* mGrid;
    bool mWasOn;
};
