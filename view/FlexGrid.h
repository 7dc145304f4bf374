#pragma once

#include <QTableWidget>

// The grid control of the month grid and the list: a QTableWidget that
// speaks in the terms its callers use. Row and column numbers include the
// fixed (header) rows and columns, which are ordinary rows of the table drawn
// like headers; Qt's own header sections are hidden. Sizes are in twips and
// colours are Windows colour values (0xBBGGRR: 255 is red, 16711680 blue).
class FlexGrid : public QTableWidget
{
    Q_OBJECT

public:
    explicit FlexGrid(QWidget* parent = nullptr);

    int Rows() const { return rowCount(); }
    // Lowering discards the removed rows with their texts and colours;
    // raising adds empty rows in the default colour.
    void setRows(int rows);
    int Cols() const { return columnCount(); }
    void setCols(int cols);
    int FixedRows() const { return mFixedRows; }
    void setFixedRows(int rows);
    int FixedCols() const { return mFixedCols; }
    void setFixedCols(int cols);

    // The current cell. Setting either moves it and raises RowColChange.
    int Row() const { return mRow; }
    void setRow(int row);
    int Col() const { return mCol; }
    void setCol(int col);

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
    int ColAlignment(int col) const { return mAlignments.value(col, 1); }
    void setColAlignment(int col, int value);

    // Text colour of the current cell; -1 is the grid's default colour.
    int CellForeColor() const { return CellForeColorAt(mRow, mCol); }
    void setCellForeColor(int colour) { setCellForeColorAt(mRow, mCol, colour); }
    int CellForeColorAt(int row, int col) const;
    void setCellForeColorAt(int row, int col, int colour);

    // The first visible non-fixed row; setting it scrolls.
    int TopRow() const;
    void setTopRow(int row);

    // Off suspends drawing until it is switched on again.
    bool Redraw() const { return mRedraw; }
    void setRedraw(bool on);

    // Text of the selected cells: cells of a row joined by tab, rows by CR.
    QString Clip() const;

    bool Visible() const { return !isHidden(); }

    static QColor ColourFromWindows(int colour);

signals:
    // Every change of the current cell, made by the user or by code.
    void RowColChange();
    void DblClick();
    // Button: 1 left, 2 right, 4 middle; Shift: 1 Shift, 2 Ctrl, 4 Alt;
    // X and Y in twips from the grid's top left corner.
    void MouseDown(int Button, int Shift, double X, double Y);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QTableWidgetItem* cell(int row, int col);
    void fitRowsToFont();
    void styleCell(int row, int col, QTableWidgetItem* item) const;
    void restyle();
    void syncCurrentCell();
    void onCurrentCellChanged(int row, int col, int previousRow, int previousCol);
    bool isFixed(int row, int col) const { return row < mFixedRows || col < mFixedCols; }

    int mFixedRows = 1;
    int mFixedCols = 1;
    int mRow = 0;
    int mCol = 0;
    bool mRedraw = true;
    bool mSyncing = false;
    QHash<int, int> mAlignments;
};
