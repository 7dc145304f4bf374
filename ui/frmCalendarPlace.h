#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// The window of ﾌｧｲﾙ → 暦ファイルの場所: where the calendar in use is, and,
// when it differs, which calendar a start opens; the user chooses to move
// the calendar into another folder (one that a sync program keeps, say) or
// to open a calendar that is there already. The window only asks: the
// command does the work.
class frmCalendarPlace : public QDialog
{
    Q_OBJECT

public:
    // What the window was closed with: QDialog::Rejected for 閉じる.
    enum Choice
    {
        Move = 2,
        Open = 3
    };

    // `current`: the calendar in use; `usual`: the one a start without
    // --calendar opens; `encrypted`: the calendar in use is.
    frmCalendarPlace(const QString& current, const QString& usual, bool encrypted,
                     QWidget* parent = nullptr);

    QLineEdit* txtPlace = nullptr;
    QLabel* lblNote = nullptr;
    QPushButton* cmdMove = nullptr;
    QPushButton* cmdOpen = nullptr;
    QPushButton* cmdClose = nullptr;

    // The note under the place.
    static QString NoteText(const QString& current, const QString& usual, bool encrypted);
};
