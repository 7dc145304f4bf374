#include "ui/FoundDaysModel.h"

#include "entries/clsList.h"

#include <algorithm>

FoundDaysModel::FoundDaysModel(QObject* parent) : QAbstractTableModel(parent) {}

void FoundDaysModel::setResults(SearchResults results)
{
    beginResetModel();
    mResults = std::move(results);
    mSnippets.clear();
    endResetModel();
}

int FoundDaysModel::rowOnOrAfter(int key) const
{
    const QList<FoundDay>& days = mResults.days;
    if (days.isEmpty())
        return -1;
    const auto at = std::lower_bound(days.begin(), days.end(), key,
                                     [](const FoundDay& day, int k) { return day.key < k; });
    return at == days.end() ? int(days.size()) - 1 : int(at - days.begin());
}

int FoundDaysModel::dayOf(int row) const
{
    return row >= 0 && row < mResults.days.size() ? mResults.days.at(row).key : 0;
}

const Snippet& FoundDaysModel::snippet(int row) const
{
    auto cached = mSnippets.find(row);
    if (cached == mSnippets.end()) {
        const FoundDay& day = mResults.days.at(row);
        cached = mSnippets.insert(
            row, MakeSnippet(day.text, mResults.hitsOf(day), mLineWidth, [this](QStringView text) {
                return mMetrics.horizontalAdvance(text.toString());
            }));
    }
    return *cached;
}

void FoundDaysModel::setLineSpace(double width, const QFont& font)
{
    if (width == mLineWidth && font == mFont)
        return;
    mLineWidth = width;
    mFont = font;
    mMetrics = QFontMetricsF(font);
    mSnippets.clear();
}

int FoundDaysModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(mResults.days.size());
}

int FoundDaysModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant FoundDaysModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= mResults.days.size())
        return QVariant();
    const FoundDay& day = mResults.days.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case DateColumn:
            return clsList::DateText(day.key, day.week);
        case HitsColumn:
            return day.hitCount;
        case LineColumn:
            return snippet(index.row()).text;
        default:
            break;
        }
    } else if (role == Qt::TextAlignmentRole && index.column() == HitsColumn) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QVariant();
}

QVariant FoundDaysModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case DateColumn:
        return QStringLiteral("日付");
    case HitsColumn:
        return QStringLiteral("件数");
    case LineColumn:
        return QStringLiteral("内容");
    default:
        return QVariant();
    }
}
