// Renders the month grid of one month offscreen and saves it as a PNG, so
// that a person can look at it:  zedu_gridshot <yyyymm> <out.png>
#include "platform/Globals.h"
#include "platform/Running.h"
#include "platform/Twips.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "view/FlexGrid.h"
#include "view/clsCalendar.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>

namespace {
class NoHost final : public RunningHost
{
public:
    void Running(const QString&) override {}
};
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: zedu_gridshot <yyyymm> <out.png>\n");
        return 2;
    }
    const int ym = args[1].toInt();
    QTemporaryDir dir;
    gDataPath = dir.filePath(QStringLiteral("Data.vad"));
    gOpenFlag = false;
    gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));
    if (!MakeCalendarFile(gDataPath, ym, ym))
        return 1;

    QWidget window;
    window.setFont(JapaneseFixedFont(9));
    window.resize(TwipsToPixelsX(3315), TwipsToPixelsY(2895));
    auto* caption = new QLineEdit(&window);
    caption->setReadOnly(true);
    caption->setAlignment(Qt::AlignCenter);
    caption->setGeometry(TwipsToPixelsX(60), TwipsToPixelsY(60), TwipsToPixelsX(1095),
                         TwipsToPixelsY(315));
    auto* grid = new FlexGrid(&window);
    grid->setRows(7);
    grid->setCols(7);
    grid->setFixedRows(1);
    grid->setFixedCols(0);
    grid->setGeometry(TwipsToPixelsX(60), TwipsToPixelsY(420), TwipsToPixelsX(3195),
                      TwipsToPixelsY(2415));
    NoHost host;
    clsCalendar calendar(grid, caption, &host);
    calendar.setCurDate(ym * 100 + 1);
    window.show();
    app.processEvents();
    const bool saved = window.grab().save(args[2]);
    gDatabase.close();
    return saved ? 0 : 1;
}
