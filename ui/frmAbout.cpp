#include "ui/frmAbout.h"

#include "Version.h"
#include "platform/Globals.h"
#include "platform/Twips.h"
#include "ui/AppIcon.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace {
frmAbout* theBox = nullptr;
}

frmAbout* AboutBox()
{
    if (!theBox)
        theBox = new frmAbout;
    return theBox;
}

void UnloadAboutBox()
{
    delete theBox;
    theBox = nullptr;
}

bool AboutBoxLoaded()
{
    return theBox != nullptr;
}

QStringList frmAbout::Lines()
{
    return {kAppTitle,
            QStringLiteral("Version %1.%2.%3")
                .arg(ZEDU_VERSION_MAJOR)
                .arg(ZEDU_VERSION_MINOR)
                .arg(ZEDU_VERSION_PATCH),
            QStringLiteral(ZEDU_COPYRIGHT_TEXT)};
}

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowIcon(AppIcon());
    setFont(JapaneseProportionalFont(11.25));
    setFixedSize(TwipsToPixelsX(4680), TwipsToPixelsY(2535));
    setModal(false);

    cmdClose = new QPushButton(QStringLiteral("OK"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setFont(JapaneseProportionalFont(9));
    cmdClose->setGeometry(TwipsToPixelsX(1860), TwipsToPixelsY(1920), TwipsToPixelsX(1155),
                          TwipsToPixelsY(375));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmAbout::cmdClose_Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Form_Load();
}

void frmAbout::Form_Load()
{
    mImage = QPixmap(size());
    mImage.fill(palette().color(QPalette::Window));
    QPainter painter(&mImage);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(palette().color(QPalette::WindowText));

    const QFont design = font();
    const int h = QFontMetrics(design).height();
    const int iconSize = TwipsToPixelsX(480);
    painter.drawPixmap(TwipsToPixelsX(10), TwipsToPixelsY(10),
                       AppIcon().pixmap(iconSize, iconSize));

    const QStringList lines = Lines();
    auto drawCentred = [&](const QString& text, const QFont& font, int top) {
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const int x = int(std::lround(double(width() - metrics.horizontalAdvance(text)))) / 2;
        painter.drawText(x, top + metrics.ascent(), text);
    };
    QFont title = design;
    title.setBold(true);
    title.setPointSizeF(20);
    drawCentred(lines[0], title, h);
    QFont normal = design;
    normal.setBold(false);
    normal.setPointSizeF(10);
    drawCentred(lines[1], normal, 4 * h);
    drawCentred(lines[2], normal, 5 * h);
}

void frmAbout::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, mImage);
}

void frmAbout::cmdClose_Click()
{
    // Unloading: the next use draws the box anew.
    if (theBox == this) {
        theBox = nullptr;
        deleteLater();
    }
    close();
}
