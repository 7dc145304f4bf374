#pragma once

#include "search/DiaryIndex.h"
#include "search/Snippet.h"

#include <QAbstractTableModel>
#include <QFontMetricsF>
#include <QHash>

#include <limits>

// The rows of the search window: one per day found, in date order, with its
// date as the entry list writes it, its number of hits and the line of its
// first hit, cut to the width of its column so that the hit is in sight. The
// line is worked out only when a row is drawn, so that tens of thousands of
// days cost no more than the rows on screen.
class FoundDaysModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        DateColumn,
        HitsColumn,
        LineColumn,
        ColumnCount
    };

    explicit FoundDaysModel(QObject* parent = nullptr);

    void setResults(SearchResults results);
    const SearchResults& results() const { return mResults; }
    // The row of the first day on or after `key`; the last row when every
    // day lies before it, -1 without rows.
    int rowOnOrAfter(int key) const;
    int dayOf(int row) const;
    // The line shown in the row, with its hits.
    const Snippet& snippet(int row) const;
    // The room the line column gives its text and the font it is drawn in:
    // the lines are cut to fit it. Until it is told, a line is not cut.
    // Called as rows are drawn, so it announces no change of its own.
    void setLineSpace(double width, const QFont& font);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    SearchResults mResults;
    mutable QHash<int, Snippet> mSnippets;
    double mLineWidth = std::numeric_limits<double>::infinity();
    QFont mFont;
    QFontMetricsF mMetrics{mFont};
};
