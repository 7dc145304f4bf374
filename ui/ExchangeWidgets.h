#pragma once

#include "exchange/PrintLayout.h"

#include <QGroupBox>
#include <QList>
#include <QWidget>

class QComboBox;
class QDialog;
class QLayout;
class QPushButton;
class QRadioButton;
class QSpinBox;

// Pieces the export, import and print windows share.

// The first and last month of a range, chosen among the stored months
// ("2026/12"), in two lists cboFrom and cboTo.
class MonthRangePicker : public QWidget
{
    Q_OBJECT

public:
    // `months` in ascending order (yyyymm); the range first..last is chosen.
    MonthRangePicker(const QList<int>& months, int first, int last, QWidget* parent = nullptr);

    int firstMonth() const;
    int lastMonth() const;

    // "2026/12".
    static QString MonthText(int yearMonth);

private:
    QComboBox* cboFrom;
    QComboBox* cboTo;
};

// The layout of the printed pages, 月ごと (optMonthly) or 日ごと (optDaily),
// and the text's size in points (spnFontSize).
class PrintOptionsBox : public QGroupBox
{
    Q_OBJECT

public:
    PrintOptionsBox(const PrintOptions& initial, QWidget* parent = nullptr);
    PrintOptions options() const;

signals:
    void layoutChanged();

private:
    QRadioButton* optMonthly;
    QRadioButton* optDaily;
    QSpinBox* spnFontSize;
};

// Makes `window` one of the three windows: its name and title, modal to
// every window of the program (the search window included, so that nothing
// moves the calendar while it is read or written) and gone when closed,
// `form` above a row of the window's action button (the default one, named
// `actionName`) and 閉じる. Returns the action button.
QPushButton* SetUpExchangeWindow(QDialog* window, const char* name, const QString& title,
                                 QLayout* form, const QString& action, const char* actionName);
