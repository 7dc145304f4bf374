#pragma once

#include <QDialog>
#include <QPixmap>

class QPushButton;

// The version box, also shown without title and OK button as the splash
// screen while the program starts.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    QPushButton* cmdClose = nullptr;

    // The three lines the box shows, in order.
    static QStringList Lines();

public slots:
    void cmdClose_Click();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws the icon and the lines into the box's own image, which every
    // repaint then shows.
    void Form_Load();
    QPixmap mImage;
};

// The program's one About box, created on first use.
frmAbout* AboutBox();
// Closes and destroys the About box if it exists.
void UnloadAboutBox();
// True while the About box exists.
bool AboutBoxLoaded();
