#include "ui/frmStatistics.h"

#include "entries/clsList.h"
#include "insight/DiaryTally.h"
#include "insight/ShadeScale.h"
#include "platform/Clock.h"
#include "platform/DayKey.h"
#include "platform/Dialogs.h"
#include "platform/JapaneseHolidays.h"
#include "platform/Twips.h"
#include "platform/basMain.h"
#include "store/Engine.h"
#include "store/MasterReads.h"
#include "ui/AppIcon.h"
#include "ui/InsightFeed.h"
#include "ui/YearSquares.h"
#include "view/ReadableColour.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

QString number(qint64 n)
{
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(n);
}

QString dateText(int key)
{
    return clsList::DateText(key, KeyToDate(key).dayOfWeek() % 7);
}

QColor mix(const QColor& from, const QColor& to, double t)
{
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

// The line of the days written: an orange that reads on either theme.
const QColor kDaysColour(224, 112, 0);

} // namespace

frmStatistics::frmStatistics(QWidget* owner, InsightFeed* feed, std::function<QRect()> keepInSight)
    : QDialog(nullptr, Qt::Window), mOwner(owner), mFeed(feed),
      mPlacement(this, QStringLiteral("Statistics"), owner, std::move(keepInSight))
{
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowIcon(AppIcon());
    setWindowTitle(QStringLiteral("記録"));
    setModal(false);
    setSizeGripEnabled(true);

    cboYear = new QComboBox(this);
    cboYear->setObjectName(QStringLiteral("cboYear"));
    auto* yearLabel = new QLabel(QStringLiteral("年(&Y):"), this);
    yearLabel->setBuddy(cboYear);
    cmdSavePicture = new QPushButton(QStringLiteral("画像として保存(&S)"), this);
    cmdSavePicture->setObjectName(QStringLiteral("cmdSavePicture"));
    cmdSavePicture->setAutoDefault(false);
    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));

    grdSquares = new YearSquares(this);
    grdSquares->setObjectName(QStringLiteral("grdSquares"));

    mChart = new QChart;
    mChart->setObjectName(QStringLiteral("chtMonthsChart"));
    mChart->setBackgroundRoundness(0);
    mChart->legend()->setAlignment(Qt::AlignBottom);
    auto* bars = new QBarSeries(mChart);
    mCharacters = new QBarSet(QStringLiteral("文字数"), bars);
    bars->append(mCharacters);
    mDays = new QLineSeries(mChart);
    mDays->setName(QStringLiteral("記録した日数"));
    mDays->setPointsVisible(true);
    mChart->addSeries(bars);
    mChart->addSeries(mDays);
    auto* months = new QBarCategoryAxis(mChart);
    for (int m = 1; m <= 12; ++m)
        months->append(QStringLiteral("%1月").arg(m));
    mChart->addAxis(months, Qt::AlignBottom);
    bars->attachAxis(months);
    mDays->attachAxis(months);
    mCharactersAxis = new QValueAxis(mChart);
    mCharactersAxis->setLabelFormat(QStringLiteral("%d"));
    mCharactersAxis->setTitleText(QStringLiteral("文字数"));
    mChart->addAxis(mCharactersAxis, Qt::AlignLeft);
    bars->attachAxis(mCharactersAxis);
    mDaysAxis = new QValueAxis(mChart);
    mDaysAxis->setLabelFormat(QStringLiteral("%d"));
    mDaysAxis->setTitleText(QStringLiteral("日数"));
    // Whole days at every tick: 0, 8, 16, 24, 32.
    mDaysAxis->setRange(0, 32);
    mDaysAxis->setTickCount(5);
    mChart->addAxis(mDaysAxis, Qt::AlignRight);
    mDays->attachAxis(mDaysAxis);
    chtMonths = new QChartView(mChart, this);
    chtMonths->setObjectName(QStringLiteral("chtMonths"));
    chtMonths->setRenderHint(QPainter::Antialiasing);
    chtMonths->setMinimumHeight(TwipsToPixelsY(3600));

    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    lblDaysWritten = label("lblDaysWritten");
    lblCharacters = label("lblCharacters");
    lblAverage = label("lblAverage");
    lblLongestEntry = label("lblLongestEntry");
    lblLongestStreak = label("lblLongestStreak");
    lblCurrentStreak = label("lblCurrentStreak");
    // The figures in three columns of label and value, under the squares.
    auto* figures = new QGridLayout;
    const std::pair<const char16_t*, QLabel*> rows[] = {
        {u"記録した日:", lblDaysWritten},   {u"文字数:", lblCharacters},
        {u"1日の平均:", lblAverage},        {u"最も長い日:", lblLongestEntry},
        {u"最長の連続:", lblLongestStreak}, {u"現在の連続:", lblCurrentStreak}};
    for (int i = 0; i < 6; ++i) {
        figures->addWidget(new QLabel(QString::fromUtf16(rows[i].first), this), i / 3, i % 3 * 2,
                           Qt::AlignRight);
        figures->addWidget(rows[i].second, i / 3, i % 3 * 2 + 1);
    }
    for (int column : {1, 3, 5})
        figures->setColumnStretch(column, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(yearLabel);
    top->addWidget(cboYear);
    top->addWidget(lblProblem, 1);
    top->addWidget(cmdSavePicture);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grdSquares, 0, Qt::AlignLeft);
    layout->addLayout(figures);
    layout->addWidget(chtMonths, 1);
    applyColours();

    connect(cboYear, &QComboBox::currentIndexChanged, this, [this] {
        if (!mFilling)
            refresh();
    });
    connect(grdSquares, &YearSquares::dayClicked, this, &frmStatistics::dayChosen);
    connect(cmdSavePicture, &QPushButton::clicked, this, &frmStatistics::cmdSavePicture_Click);
    connect(mFeed, &InsightFeed::changed, this, [this] {
        if (isVisible())
            refresh();
    });
}

int frmStatistics::year() const
{
    return cboYear->currentData().toInt();
}

void frmStatistics::showInFront()
{
    if (!isVisible()) {
        mPlacement.restore();
        refresh();
        show();
    }
    raise();
    activateWindow();
    cboYear->setFocus(Qt::ShortcutFocusReason);
}

void frmStatistics::fillYears()
{
    const DiaryTally& tally = mFeed->tally();
    const int firstYear = tally.days().empty() ? 0 : tally.days().front().key / 10000;
    const int lastYear = tally.days().empty() ? 0 : tally.days().back().key / 10000;
    if (cboYear->count() > 0 && cboYear->itemData(0).toInt() == lastYear &&
        cboYear->itemData(cboYear->count() - 1).toInt() == firstYear)
        return;
    // The current year the first time, afterwards the one chosen.
    int wanted = cboYear->count() > 0 ? year() : Clock::Today().year();
    wanted = std::clamp(wanted, firstYear, lastYear);
    mFilling = true;
    cboYear->clear();
    for (int y = lastYear; y >= firstYear && y > 0; --y)
        cboYear->addItem(QStringLiteral("%1年").arg(y), y);
    cboYear->setCurrentIndex(std::max(0, cboYear->findData(wanted)));
    mFilling = false;
}

void frmStatistics::refresh()
{
    try {
        fillYears();
        const DiaryTally& tally = mFeed->tally();
        const QDate today = Clock::Today();
        const int y = year();
        mFigures = ComputeFigures(tally, y * 100 + 1, y * 100 + 12, today);
        mCurrentStreak = tally.days().empty()
                             ? 0
                             : ComputeFigures(tally, tally.days().front().key / 100,
                                              tally.days().back().key / 100, today)
                                   .currentStreak;
        showSquares();
        lblProblem->clear();
    } catch (const EngineError& e) {
        lblProblem->setText(QStringLiteral("暦ファイルを読めませんでした。") + e.causeText());
    }
    showFigures();
    showChart();
}

void frmStatistics::showSquares()
{
    const int y = year();
    const DiaryTally& tally = mFeed->tally();
    const auto [begin, end] = tally.between(y * 10000 + 101, y * 10000 + 1231);
    QList<int> written;
    for (const TalliedDay* day = begin; day != end; ++day)
        if (day->count.written)
            written << day->count.characters;
    const ShadeScale scale(written);

    // The day kinds as the month grid reads them, and the public holidays'
    // names as its tooltips give them.
    QHash<int, bool> holidays;
    for (int m = 1; m <= 12 && y > 0; ++m)
        for (const DayRecord& record : ReadMonthDays(y * 100 + m).days)
            holidays.insert(record.key, record.holiday);
    QHash<int, QString> names;
    for (const JapaneseHoliday& holiday : JapaneseHolidays(QDate(y, 1, 1), QDate(y, 12, 31)))
        names.insert(DayKey(holiday.date), holiday.name);

    QList<YearSquares::Day> days;
    days.reserve(end - begin);
    for (const TalliedDay* day = begin; day != end; ++day)
        days.append({day->key, scale.step(day->count), day->count.characters,
                     holidays.value(day->key), names.value(day->key)});
    grdSquares->setYear(y, days);
}

void frmStatistics::showFigures()
{
    const DiaryFigures& f = mFigures;
    const QString none = QStringLiteral("なし");
    lblDaysWritten->setText(
        QStringLiteral("%1日（%2日のうち）").arg(number(f.daysWritten), number(f.days)));
    lblCharacters->setText(number(f.characters) + QStringLiteral("文字"));
    lblAverage->setText(number(f.averageCharacters()) + QStringLiteral("文字"));
    lblLongestEntry->setText(
        f.longestEntry ? QStringLiteral("%1　%2文字")
                             .arg(dateText(f.longestEntry->key), number(f.longestEntry->characters))
                       : none);
    lblLongestStreak->setText(f.longestStreak ? QStringLiteral("%1日（%2～%3）")
                                                    .arg(number(f.longestStreak->days),
                                                         dateText(f.longestStreak->firstKey),
                                                         dateText(f.longestStreak->lastKey))
                                              : none);
    lblCurrentStreak->setText(number(mCurrentStreak) + QStringLiteral("日"));
}

void frmStatistics::showChart()
{
    QList<qreal> characters;
    QList<QPointF> days;
    qint64 most = 0;
    for (int i = 0; i < 12; ++i) {
        const MonthFigures m = i < mFigures.months.size() ? mFigures.months[i] : MonthFigures();
        characters << qreal(m.characters);
        days << QPointF(i, m.daysWritten);
        most = std::max(most, m.characters);
    }
    mCharacters->remove(0, mCharacters->count());
    mCharacters->append(characters);
    mDays->replace(days);
    mCharactersAxis->setRange(0, most > 0 ? qreal(most) : 10.0);
    mCharactersAxis->applyNiceNumbers();
}

void frmStatistics::applyColours()
{
    const QPalette p = palette();
    const QColor base = p.color(QPalette::Base);
    const QColor text = p.color(QPalette::Text);
    mChart->setBackgroundBrush(base);
    mChart->setPlotAreaBackgroundVisible(false);
    mChart->legend()->setLabelColor(text);
    for (QAbstractAxis* axis : mChart->axes()) {
        axis->setLabelsBrush(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(mix(base, text, 0.45));
        axis->setGridLineColor(mix(base, text, 0.15));
    }
    const QColor bars = grdSquares->shade(4);
    mCharacters->setColor(bars);
    mCharacters->setBorderColor(bars);
    QPen line(ReadableOn(kDaysColour, base), 2);
    mDays->setPen(line);
    mDays->setColor(line.color());
    chtMonths->setBackgroundBrush(base);
}

void frmStatistics::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
    // Day kinds are not announced when they change: read again when the
    // window comes back to the front.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        refresh();
}

void frmStatistics::cmdSavePicture_Click()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QFileDialog dialog(this, QStringLiteral("画像として保存"),
                       folder + QStringLiteral("/Zedu-記録-%1.png").arg(year()),
                       QStringLiteral("PNG 画像 (*.png)"));
    dialog.setObjectName(QStringLiteral("dlgSavePicture"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    // Replacing a file is asked below, through the program's own boxes.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().front();
    if (QFileInfo::exists(path) &&
        AskYesNo(QStringLiteral("「%1」は既にあります。\r置き換えますか？")
                     .arg(QDir::toNativeSeparators(path)),
                 Dialogs::No) == Dialogs::No)
        return;
    savePicture(path);
}

bool frmStatistics::savePicture(const QString& path)
{
    if (grab().save(path, "PNG"))
        return true;
    ShowWarning(
        QStringLiteral("画像を保存できませんでした。\r%1").arg(QDir::toNativeSeparators(path)));
    return false;
}

void frmStatistics::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    mPlacement.save();
}
