#include "ui/YearSquares.h"

#include "entries/clsList.h"
#include "platform/DayKey.h"
#include "view/ReadableColour.h"

#include <QDate>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace {

constexpr int kSquare = 12;
constexpr int kPitch = 15; // a square and the gap after it
constexpr int kWeekColumns = 54;
// The strip of the weekday names on the left and the month names on top.
constexpr int kLeft = 22;
constexpr int kTop = 18;
// The red of the month grid's holidays (a Windows colour value).
const QColor kRed(255, 0, 0);

QColor mix(const QColor& from, const QColor& to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

// Sunday = 0.
int weekdayOf(const QDate& date)
{
    return date.dayOfWeek() % 7;
}

} // namespace

YearSquares::YearSquares(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void YearSquares::setYear(int year, const QList<Day>& days)
{
    mYear = year;
    mDays = days;
    update();
}

QSize YearSquares::sizeHint() const
{
    return QSize(kLeft + kWeekColumns * kPitch + 2, kTop + 7 * kPitch + 2);
}

QRect YearSquares::cellOf(int key) const
{
    const QDate date = KeyToDate(key);
    if (!date.isValid() || date.year() != mYear)
        return QRect();
    const int column = (date.dayOfYear() - 1 + weekdayOf(QDate(mYear, 1, 1))) / 7;
    return QRect(kLeft + column * kPitch, kTop + weekdayOf(date) * kPitch, kSquare, kSquare);
}

const YearSquares::Day* YearSquares::dayOf(int key) const
{
    const auto at = std::lower_bound(mDays.begin(), mDays.end(), key,
                                     [](const Day& day, int k) { return day.key < k; });
    return at != mDays.end() && at->key == key ? &*at : nullptr;
}

QRect YearSquares::squareRect(int key) const
{
    return dayOf(key) ? cellOf(key) : QRect();
}

int YearSquares::dayAt(const QPoint& point) const
{
    if (point.x() < kLeft || point.y() < kTop || mYear == 0)
        return 0;
    const int column = (point.x() - kLeft) / kPitch;
    const int row = (point.y() - kTop) / kPitch;
    if (row > 6 || (point.x() - kLeft) % kPitch >= kSquare ||
        (point.y() - kTop) % kPitch >= kSquare)
        return 0;
    const QDate date = QDate(mYear, 1, 1).addDays(column * 7 + row - weekdayOf(QDate(mYear, 1, 1)));
    if (date.year() != mYear)
        return 0;
    const int key = DayKey(date);
    return dayOf(key) ? key : 0;
}

QColor YearSquares::shade(int step) const
{
    const QColor base = palette().color(QPalette::Base);
    if (step <= 0)
        return mix(base, palette().color(QPalette::Text), 0.1);
    // The palette's highlight, from a quarter of the way there to all of it:
    // the stronger against the background, the more was written.
    static constexpr double kStrength[] = {0.3, 0.52, 0.76, 1.0};
    return mix(base, palette().color(QPalette::Highlight), kStrength[std::min(step, 4) - 1]);
}

QColor YearSquares::holidayColour() const
{
    return ReadableOn(kRed, palette().color(QPalette::Base));
}

QString YearSquares::tipOf(int key) const
{
    const Day* day = dayOf(key);
    if (!day)
        return QString();
    QString tip = clsList::DateText(day->key, weekdayOf(KeyToDate(day->key)));
    if (!day->holidayName.isEmpty())
        tip += QStringLiteral("　") + day->holidayName;
    return tip + QLatin1Char('\n') +
           (day->step == 0 ? QStringLiteral("記録なし")
                           : QStringLiteral("%1文字").arg(
                                 QLocale(QLocale::Japanese).toString(day->characters)));
}

void YearSquares::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    QFont small = font();
    small.setPointSizeF(std::max(6.0, font().pointSizeF() * 0.85));
    painter.setFont(small);
    static const char16_t* const kWeekNames[] = {u"日", u"月", u"火", u"水", u"木", u"金", u"土"};
    for (int row = 0; row < 7; ++row)
        painter.drawText(QRect(0, kTop + row * kPitch - 2, kLeft - 4, kPitch),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromUtf16(kWeekNames[row]));
    if (mYear == 0)
        return;
    for (int month = 1; month <= 12; ++month) {
        const QRect first = cellOf(DayKey(mYear, month, 1));
        painter.drawText(QRect(first.left(), 0, 4 * kPitch, kTop - 2),
                         Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("%1月").arg(month));
    }
    const QColor red = holidayColour();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Day& day : mDays) {
        const QRect square = cellOf(day.key);
        if (square.isEmpty())
            continue;
        painter.fillRect(square, shade(day.step));
        if (day.holiday) {
            painter.setPen(QPen(red, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(square.adjusted(0, 0, -1, -1));
        }
    }
}

void YearSquares::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (const int key = dayAt(event->position().toPoint())) {
            emit dayClicked(key);
            return;
        }
    }
    QWidget::mouseReleaseEvent(event);
}

bool YearSquares::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const Day* day = dayOf(dayAt(help->pos()));
        if (!day) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const QString tip = tipOf(day->key);
        QToolTip::showText(help->globalPos(), tip, this, squareRect(day->key));
        return true;
    }
    return QWidget::event(event);
}
