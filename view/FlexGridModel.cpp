#include "view/FlexGridModel.h"

#include "view/ReadableColour.h"

#include <QBrush>
#include <QColor>

FlexGridModel::FlexGridModel(QObject* parent) : QAbstractTableModel(parent) {}

QColor FlexGridModel::ColourFromWindows(int colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Qt::Alignment FlexGridModel::AlignmentFromValue(int value)
{
    // 0..8: left / centre / right, each with top / centre / bottom.
    static const Qt::Alignment horizontal[3] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    static const Qt::Alignment vertical[3] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    if (value < 0 || value > 8)
        value = 1;
    return horizontal[value / 3] | vertical[value % 3];
}

bool FlexGridModel::contains(int row, int col) const
{
    return row >= 0 && col >= 0 && row < mRows && col < mCols;
}

void FlexGridModel::setRows(int rows)
{
    rows = std::max(rows, 0);
    if (rows == mRows)
        return;
    // Rows of the model are the rows below the fixed ones.
    const int before = std::max(mRows - mFixedRows, 0);
    const int after = std::max(rows - mFixedRows, 0);
    if (after < before)
        beginRemoveRows(QModelIndex(), after, before - 1);
    else if (after > before)
        beginInsertRows(QModelIndex(), before, after - 1);
    // Removed rows go with their texts and colours; added rows are empty.
    mCells.resize(size_t(rows) * mCols);
    const bool headerAppears = mRows < mFixedRows && rows >= mFixedRows;
    mRows = rows;
    if (after < before)
        endRemoveRows();
    else if (after > before)
        endInsertRows();
    if (headerAppears && mCols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, mCols - 1);
}

void FlexGridModel::setCols(int cols)
{
    cols = std::max(cols, 0);
    if (cols == mCols)
        return;
    beginResetModel();
    std::vector<Cell> cells(size_t(mRows) * cols);
    for (int r = 0; r < mRows; ++r)
        for (int c = 0; c < std::min(cols, mCols); ++c)
            cells[size_t(r) * cols + c] = std::move(cell(r, c));
    mCells = std::move(cells);
    mCols = cols;
    endResetModel();
}

void FlexGridModel::setFixedRows(int rows)
{
    rows = std::clamp(rows, 0, 1);
    if (rows == mFixedRows)
        return;
    beginResetModel();
    mFixedRows = rows;
    endResetModel();
}

QString FlexGridModel::text(int row, int col) const
{
    return contains(row, col) ? cell(row, col).text : QString();
}

void FlexGridModel::setText(int row, int col, const QString& text)
{
    if (!contains(row, col))
        return;
    cell(row, col).text = text;
    cellChanged(row, col);
}

int FlexGridModel::foreColor(int row, int col) const
{
    return contains(row, col) ? cell(row, col).fore : -1;
}

void FlexGridModel::setForeColor(int row, int col, int colour)
{
    if (!contains(row, col))
        return;
    cell(row, col).fore = colour < 0 ? -1 : colour;
    cellChanged(row, col);
}

QString FlexGridModel::toolTip(int row, int col) const
{
    return contains(row, col) ? cell(row, col).toolTip : QString();
}

void FlexGridModel::setToolTip(int row, int col, const QString& text)
{
    if (!contains(row, col))
        return;
    cell(row, col).toolTip = text;
    cellChanged(row, col);
}

bool FlexGridModel::mark(int row, int col) const
{
    return contains(row, col) && cell(row, col).mark;
}

void FlexGridModel::setMark(int row, int col, bool on)
{
    if (!contains(row, col) || cell(row, col).mark == on)
        return;
    cell(row, col).mark = on;
    cellChanged(row, col);
}

void FlexGridModel::setAlignment(int col, int value)
{
    mAlignments[col] = value;
    if (col < 0 || col >= mCols)
        return;
    if (mQuiet) {
        mChangedWhileQuiet = true;
        mHeaderChangedWhileQuiet = true;
        return;
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::TextAlignmentRole});
    if (mFixedRows > 0)
        emit headerDataChanged(Qt::Horizontal, col, col);
}

void FlexGridModel::cellChanged(int row, int col)
{
    if (mQuiet) {
        (row < mFixedRows ? mHeaderChangedWhileQuiet : mChangedWhileQuiet) = true;
        return;
    }
    if (row < mFixedRows)
        emit headerDataChanged(Qt::Horizontal, col, col);
    else
        emit dataChanged(index(row - mFixedRows, col), index(row - mFixedRows, col));
}

void FlexGridModel::setQuiet(bool quiet)
{
    mQuiet = quiet;
    if (quiet)
        return;
    if (mChangedWhileQuiet && rowCount() > 0 && mCols > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, mCols - 1));
    if (mHeaderChangedWhileQuiet && mFixedRows > 0 && mCols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, mCols - 1);
    mChangedWhileQuiet = false;
    mHeaderChangedWhileQuiet = false;
}

void FlexGridModel::setBackgrounds(const QList<QColor>& cells, const QList<QColor>& header)
{
    if (cells == mCellBackgrounds && header == mHeaderBackgrounds)
        return;
    mCellBackgrounds = cells;
    mHeaderBackgrounds = header;
    if (rowCount() > 0 && mCols > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, mCols - 1), {Qt::ForegroundRole});
    if (mFixedRows > 0 && mCols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, mCols - 1);
}

int FlexGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : std::max(mRows - mFixedRows, 0);
}

int FlexGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : mCols;
}

QVariant FlexGridModel::cellData(int row, int col, int role) const
{
    if (!contains(row, col))
        return QVariant();
    const Cell& c = cell(row, col);
    switch (role) {
    case Qt::DisplayRole: {
        // Entries keep CR LF between their lines; the painter breaks at LF.
        if (!c.text.contains(QLatin1Char('\r')))
            return c.text;
        QString shown = c.text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return shown;
    }
    case Qt::ForegroundRole:
        if (c.fore >= 0)
            return QBrush(ReadableOn(ColourFromWindows(c.fore),
                                     row < mFixedRows ? mHeaderBackgrounds : mCellBackgrounds));
        return QVariant();
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(AlignmentFromValue(alignment(col)));
    case Qt::ToolTipRole:
        return c.toolTip.isEmpty() ? QVariant() : QVariant(c.toolTip);
    case MarkRole:
        return c.mark;
    default:
        return QVariant();
    }
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    return cellData(index.row() + mFixedRows, index.column(), role);
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || mFixedRows == 0 || mRows == 0)
        return QVariant();
    return cellData(0, section, role);
}

Qt::ItemFlags FlexGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
