#pragma once

#include "store/DayRows.h"

#include <QList>
#include <QPageLayout>

#include <functional>

class QFont;
class QPagedPaintDevice;
class QPainter;

enum class PageLayout
{
    Monthly, // "月ごと": one month per landscape page, as a grid of its days
    Daily    // "日ごと": days one after another, each under its heading
};

struct PrintOptions
{
    PageLayout layout = PageLayout::Daily;
    // Size of the entries' text in points.
    double pointSize = 10;

    static constexpr double kSmallest = 6;
    static constexpr double kLargest = 24;
};

// The printed pages of the diary, painted onto a printer or a PDF file alike.
//
// Monthly: each month from firstYm to lastYm on a landscape page: the month
// as a caption, the days of the week, and a cell per day with its number (red
// for a holiday), the public holiday's name in small type and the first
// lines of its entry, the last one cut with "…" when the entry does not fit.
//
// Daily: every day given, one after another: a heading with the date (red
// for a holiday) and the public holiday's name, then the entry's lines,
// wrapped to the page's width and carried on to the next page where needed;
// a heading never ends a page without the first line of its entry. The page
// number stands at the foot of each page.
class PrintLayout
{
public:
    // `days` in key order: for the monthly layout the stored days of its
    // months (days not given are drawn grey, without an entry).
    PrintLayout(const PrintOptions& options, QList<DayRow> days, int firstYm, int lastYm);

    // The orientation the pages are laid out for.
    QPageLayout::Orientation orientation() const;
    // The days given, and the font their entries are printed in.
    const QList<DayRow>& days() const { return mDays; }
    QFont entryFont() const;

    // Paints every page onto `device`, whose page layout is already set
    // (see orientation()), starting on its current page. `progress` is told
    // the units done (days or months) and their total after each one; when
    // it returns false the painting stops. Returns the number of pages, or
    // -1 when stopped.
    int paint(QPagedPaintDevice& device,
              const std::function<bool(int, int)>& progress = nullptr) const;
    // The same with `painter`, active on `device`, which may have painted
    // before.
    int paint(QPainter& painter, QPagedPaintDevice& device,
              const std::function<bool(int, int)>& progress = nullptr) const;

    // The characters of the entries that no font on this system draws
    // (with outlines: a colour bitmap font does not print), each once, in
    // the order they first occur. Spaces, control characters and marks that
    // only change the character before them are not counted.
    QString unprintable() const;

private:
    int paintMonthly(QPainter& painter, QPagedPaintDevice& device,
                     const std::function<bool(int, int)>& progress) const;
    int paintDaily(QPainter& p, QPagedPaintDevice& device,
                   const std::function<bool(int, int)>& progress) const;

    PrintOptions mOptions;
    QList<DayRow> mDays;
    int mFirstYm;
    int mLastYm;
};
