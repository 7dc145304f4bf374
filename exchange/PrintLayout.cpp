#include "exchange/PrintLayout.h"

#include "exchange/DayTexts.h"
#include "exchange/HolidayNames.h"
#include "platform/DayKey.h"
#include "platform/Twips.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QSet>
#include <QTextLayout>

#include <cmath>

namespace {

const QColor kHolidayColor(255, 0, 0);
const QColor kGridColor(128, 128, 128);
const QColor kAbsentColor(176, 176, 176);

QFont printFont(double points, bool bold = false)
{
    QFont font = JapaneseProportionalFont(points);
    font.setBold(bold);
    return font;
}

// The lines `text` breaks into at `width` in `font`, as (start, length).
QList<std::pair<int, int>> wrapLines(const QString& text, const QFont& font, qreal width,
                                     const QPaintDevice* device)
{
    QList<std::pair<int, int>> lines;
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append({line.textStart(), line.textLength()});
    }
    layout.endLayout();
    return lines;
}

// A page being painted: the painter, the page's paint area and the device
// to turn pages on.
struct Sheet
{
    QPagedPaintDevice& device;
    QPainter& painter;
    QSizeF size;
    qreal mm; // device pixels per millimetre
};

// One month's page.
void paintMonth(Sheet& sheet, int yearMonth, const QHash<int, const DayRow*>& days,
                HolidayNames& holidays, double points)
{
    QPainter& p = sheet.painter;
    const QPaintDevice* device = &sheet.device;
    const qreal pad = 0.8 * sheet.mm;
    const QFont titleFont = printFont(16, true);
    const QFont headFont = printFont(points, true);
    const QFont numberFont = printFont(points + 1, true);
    const QFont nameFont = printFont(points * 0.75);
    const QFont textFont = printFont(points);
    const QFontMetricsF title(titleFont, device);
    const QFontMetricsF head(headFont, device);
    const QFontMetricsF number(numberFont, device);
    const QFontMetricsF name(nameFont, device);
    const QFontMetricsF text(textFont, device);

    const QDate first(yearMonth / 100, yearMonth % 100, 1);
    p.setPen(Qt::black);
    p.setFont(titleFont);
    p.drawText(QPointF(0, title.ascent()),
               QStringLiteral("%1年%2月").arg(first.year()).arg(first.month()));
    const qreal headTop = title.height() * 1.4;
    const qreal headHeight = head.height() * 1.5;
    const int leading = first.dayOfWeek() % 7;
    const int weeks = (leading + first.daysInMonth() + 6) / 7;
    const qreal cellW = sheet.size.width() / 7;
    const qreal gridTop = headTop + headHeight;
    const qreal cellH = (sheet.size.height() - gridTop) / weeks;

    p.setFont(headFont);
    for (int w = 0; w < 7; ++w) {
        p.setPen(w == 0 ? kHolidayColor : Qt::black);
        p.drawText(QRectF(w * cellW, headTop, cellW, headHeight), Qt::AlignCenter, WeekName(w));
    }
    p.setPen(QPen(kGridColor, 0.2 * sheet.mm));
    for (int r = 0; r <= weeks; ++r)
        p.drawLine(QPointF(0, gridTop + r * cellH),
                   QPointF(sheet.size.width(), gridTop + r * cellH));
    p.drawLine(QPointF(0, headTop), QPointF(sheet.size.width(), headTop));
    for (int c = 0; c <= 7; ++c)
        p.drawLine(QPointF(c * cellW, headTop), QPointF(c * cellW, sheet.size.height()));

    for (int d = 1; d <= first.daysInMonth(); ++d) {
        const int cell = leading + d - 1;
        const QRectF box(cell % 7 * cellW + pad, gridTop + cell / 7 * cellH + pad, cellW - 2 * pad,
                         cellH - 2 * pad);
        const int key = yearMonth * 100 + d;
        const DayRow* day = days.value(key);
        p.setFont(numberFont);
        p.setPen(!day ? kAbsentColor : day->holiday() ? kHolidayColor : Qt::black);
        const QString numberText = QString::number(d);
        p.drawText(QPointF(box.left(), box.top() + number.ascent()), numberText);
        const QString holiday = holidays.nameOf(key);
        if (!holiday.isEmpty()) {
            p.setFont(nameFont);
            p.setPen(kHolidayColor);
            const qreal x = box.left() + number.horizontalAdvance(numberText) + pad;
            p.drawText(QPointF(x, box.top() + number.ascent()),
                       name.elidedText(holiday, Qt::ElideRight, box.right() - x));
        }
        if (!day || !day->hasEntry())
            continue;

        // The entry's lines as far as they fit; when some are left over,
        // the last one shown ends with "…".
        p.setFont(textFont);
        p.setPen(Qt::black);
        const QStringList paragraphs = EntryLines(*day->text);
        qreal y = box.top() + number.height() + pad / 2;
        const int room = int(std::floor((box.bottom() - y) / text.lineSpacing()));
        QStringList shown;
        bool cut = false;
        for (int i = 0; i < paragraphs.size() && !cut; ++i) {
            const auto lines = wrapLines(paragraphs[i], textFont, box.width(), device);
            for (int l = 0; l < lines.size(); ++l) {
                if (shown.size() == room) {
                    cut = true;
                    break;
                }
                if (shown.size() == room - 1 &&
                    (l + 1 < lines.size() || i + 1 < paragraphs.size())) {
                    // The last line there is room for: all that is left,
                    // cut to the width.
                    QString rest = paragraphs[i].mid(lines[l].first);
                    for (int j = i + 1; j < paragraphs.size(); ++j)
                        rest += QLatin1Char(' ') + paragraphs[j];
                    shown << text.elidedText(rest, Qt::ElideRight, box.width());
                    cut = true;
                    break;
                }
                shown << paragraphs[i].mid(lines[l].first, lines[l].second);
            }
        }
        for (const QString& line : shown) {
            p.drawText(QPointF(box.left(), y + text.ascent()), line);
            y += text.lineSpacing();
        }
    }
}

// True when `text` (one character) is drawn by the fonts `font` falls back
// to with outlines: no glyph is missing (index 0) or a bitmap only.
bool printable(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.isEmpty())
        return false;
    for (const QGlyphRun& run : runs)
        for (const quint32 glyph : run.glyphIndexes())
            if (glyph == 0 || run.rawFont().pathForGlyph(glyph).isEmpty())
                return false;
    return true;
}

bool needsNoGlyph(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

QFont PrintLayout::entryFont() const
{
    return printFont(mOptions.pointSize);
}

QString PrintLayout::unprintable() const
{
    const QFont font = entryFont();
    QSet<char32_t> seen;
    QString missing;
    for (const DayRow& day : mDays) {
        if (!day.hasEntry())
            continue;
        for (const char32_t c : QStringView(*day.text).toUcs4()) {
            if (seen.contains(c) || needsNoGlyph(c))
                continue;
            seen.insert(c);
            const QString text = QString::fromUcs4(&c, 1);
            if (!printable(text, font))
                missing += text;
        }
    }
    return missing;
}

PrintLayout::PrintLayout(const PrintOptions& options, QList<DayRow> days, int firstYm, int lastYm)
    : mOptions(options), mDays(std::move(days)), mFirstYm(firstYm), mLastYm(lastYm)
{
    mOptions.pointSize =
        std::clamp(mOptions.pointSize, PrintOptions::kSmallest, PrintOptions::kLargest);
}

QPageLayout::Orientation PrintLayout::orientation() const
{
    return mOptions.layout == PageLayout::Monthly ? QPageLayout::Landscape : QPageLayout::Portrait;
}

int PrintLayout::paint(QPagedPaintDevice& device,
                       const std::function<bool(int, int)>& progress) const
{
    QPainter painter(&device);
    return paint(painter, device, progress);
}

int PrintLayout::paint(QPainter& painter, QPagedPaintDevice& device,
                       const std::function<bool(int, int)>& progress) const
{
    return mOptions.layout == PageLayout::Monthly ? paintMonthly(painter, device, progress)
                                                  : paintDaily(painter, device, progress);
}

int PrintLayout::paintMonthly(QPainter& painter, QPagedPaintDevice& device,
                              const std::function<bool(int, int)>& progress) const
{
    QHash<int, const DayRow*> byKey;
    byKey.reserve(mDays.size());
    for (const DayRow& day : mDays)
        byKey.insert(day.key, &day);
    QList<int> months;
    for (int ym = mFirstYm; ym > 0 && ym <= mLastYm; ym = ym % 100 == 12 ? ym + 89 : ym + 1)
        months << ym;

    const qreal dpi = device.logicalDpiX();
    Sheet sheet{device, painter, device.pageLayout().paintRectPixels(int(dpi)).size(), dpi / 25.4};
    HolidayNames holidays;
    int pages = 0;
    for (int i = 0; i < months.size(); ++i) {
        if (pages > 0)
            device.newPage();
        ++pages;
        paintMonth(sheet, months[i], byKey, holidays, mOptions.pointSize);
        if (progress && !progress(i + 1, int(months.size())))
            return -1;
    }
    return pages;
}

int PrintLayout::paintDaily(QPainter& p, QPagedPaintDevice& device,
                            const std::function<bool(int, int)>& progress) const
{
    const qreal dpi = device.logicalDpiX();
    const QSizeF size = device.pageLayout().paintRectPixels(int(dpi)).size();
    const qreal mm = dpi / 25.4;
    const QFont headFont = printFont(mOptions.pointSize + 2, true);
    const QFont nameFont = printFont(mOptions.pointSize * 0.85);
    const QFont textFont = printFont(mOptions.pointSize);
    const QFont footFont = printFont(std::max(PrintOptions::kSmallest, mOptions.pointSize * 0.8));
    const QFontMetricsF head(headFont, &device);
    const QFontMetricsF text(textFont, &device);
    const QFontMetricsF foot(footFont, &device);
    const qreal bodyHeight = size.height() - foot.height() * 2;
    const qreal headHeight = head.lineSpacing() + 1.2 * mm;
    const qreal lineHeight = text.lineSpacing();
    const qreal dayGap = lineHeight * 0.9;

    int page = 1;
    qreal y = 0;
    auto footer = [&] {
        p.save();
        p.setFont(footFont);
        p.setPen(Qt::black);
        p.drawText(QRectF(0, size.height() - foot.height(), size.width(), foot.height()),
                   Qt::AlignCenter, QStringLiteral("- %1 -").arg(page));
        p.restore();
    };
    auto newPage = [&] {
        footer();
        device.newPage();
        ++page;
        y = 0;
    };

    HolidayNames holidays;
    for (int i = 0; i < mDays.size(); ++i) {
        const DayRow& day = mDays[i];
        const QStringList paragraphs = day.hasEntry() ? EntryLines(*day.text) : QStringList();
        // The heading and the entry's first line stay together.
        const qreal need = headHeight + (paragraphs.isEmpty() ? 0 : lineHeight);
        if (y > 0 && y + need > bodyHeight)
            newPage();

        const QColor color = day.holiday() ? kHolidayColor : QColor(Qt::black);
        QString heading = LongDate(day.key);
        if (day.holiday())
            heading += QStringLiteral("（休日）");
        p.setPen(color);
        p.setFont(headFont);
        p.drawText(QPointF(0, y + head.ascent()), heading);
        const QString holiday = holidays.nameOf(day.key);
        if (!holiday.isEmpty()) {
            p.setFont(nameFont);
            p.setPen(kHolidayColor);
            p.drawText(QPointF(head.horizontalAdvance(heading) + 3 * mm, y + head.ascent()),
                       holiday);
        }
        p.setPen(QPen(kGridColor, 0.2 * mm));
        p.drawLine(QPointF(0, y + head.lineSpacing() + 0.4 * mm),
                   QPointF(size.width(), y + head.lineSpacing() + 0.4 * mm));
        y += headHeight;

        p.setFont(textFont);
        p.setPen(Qt::black);
        for (const QString& paragraph : paragraphs) {
            for (const auto& [start, length] :
                 wrapLines(paragraph, textFont, size.width(), &device)) {
                if (y + lineHeight > bodyHeight)
                    newPage();
                p.drawText(QPointF(0, y + text.ascent()), paragraph.mid(start, length));
                y += lineHeight;
            }
        }
        y += dayGap;
        if (progress && !progress(i + 1, int(mDays.size())))
            return -1;
    }
    footer();
    return page;
}
