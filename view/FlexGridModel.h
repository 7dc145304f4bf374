#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>

#include <vector>

// The cells of a FlexGrid: text, text colour, tooltip and column alignment, kept in
// one flat array so that a grid of tens of thousands of rows costs no more
// than its strings. Rows are numbered as the grid's callers number them: the
// fixed header row (at most one) is row 0 and is offered to Qt as the
// horizontal header, so that it stays in place while the rows scroll; the
// other rows are the model's rows, shifted by the number of fixed rows.
class FlexGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit FlexGridModel(QObject* parent = nullptr);

    int rows() const { return mRows; }
    int cols() const { return mCols; }
    int fixedRows() const { return mFixedRows; }
    void setRows(int rows);
    void setCols(int cols);
    // 0 or 1: a grid has at most one fixed row.
    void setFixedRows(int rows);

    QString text(int row, int col) const;
    void setText(int row, int col, const QString& text);
    // Windows colour value of the cell's text; -1 is the default colour.
    int foreColor(int row, int col) const;
    void setForeColor(int row, int col, int colour);
    // Text shown when the pointer rests on the cell; empty for none.
    QString toolTip(int row, int col) const;
    void setToolTip(int row, int col, const QString& text);
    // A mark in the cell's corner (the month grid's days with an entry),
    // offered to the delegate under MarkRole.
    bool mark(int row, int col) const;
    void setMark(int row, int col, bool on);
    static constexpr int MarkRole = Qt::UserRole + 1;
    int alignment(int col) const { return mAlignments.value(col, 1); }
    void setAlignment(int col, int value);

    // What the cells and the header row are drawn on, every colour a text
    // may land on: a text colour is drawn in a shade that reads on them
    // (view/ReadableColour.h).
    void setBackgrounds(const QList<QColor>& cells, const QList<QColor>& header);

    // While quiet, cell changes are not announced one by one; leaving the
    // quiet state announces them all at once.
    void setQuiet(bool quiet);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    static QColor ColourFromWindows(int colour);
    static Qt::Alignment AlignmentFromValue(int value);

private:
    struct Cell
    {
        QString text;
        int fore = -1;
        QString toolTip;
        bool mark = false;
    };
    bool contains(int row, int col) const;
    const Cell& cell(int row, int col) const { return mCells[size_t(row) * mCols + col]; }
    Cell& cell(int row, int col) { return mCells[size_t(row) * mCols + col]; }
    QVariant cellData(int row, int col, int role) const;
    void cellChanged(int row, int col);

    std::vector<Cell> mCells;
    int mRows = 0;
    int mCols = 0;
    int mFixedRows = 0;
    bool mQuiet = false;
    bool mChangedWhileQuiet = false;
    bool mHeaderChangedWhileQuiet = false;
    QHash<int, int> mAlignments;
    QList<QColor> mCellBackgrounds;
    QList<QColor> mHeaderBackgrounds;
};
