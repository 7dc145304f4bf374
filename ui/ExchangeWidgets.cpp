#include "ui/ExchangeWidgets.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QComboBox* monthList(const char* name, const QList<int>& months, int selected, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    for (const int ym : months)
        box->addItem(MonthRangePicker::MonthText(ym), ym);
    const int index = box->findData(selected);
    box->setCurrentIndex(index >= 0 ? index : 0);
    return box;
}

} // namespace

QString MonthRangePicker::MonthText(int yearMonth)
{
    return QStringLiteral("%1/%2")
        .arg(yearMonth / 100, 4, 10, QLatin1Char('0'))
        .arg(yearMonth % 100, 2, 10, QLatin1Char('0'));
}

MonthRangePicker::MonthRangePicker(const QList<int>& months, int first, int last, QWidget* parent)
    : QWidget(parent)
{
    cboFrom = monthList("cboFrom", months, first, this);
    cboTo = monthList("cboTo", months, last, this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(cboFrom);
    row->addWidget(new QLabel(QStringLiteral("～"), this));
    row->addWidget(cboTo);
    row->addStretch();
    // The first month never lies after the last.
    connect(cboFrom, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (cboTo->currentIndex() < index)
            cboTo->setCurrentIndex(index);
    });
    connect(cboTo, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (cboFrom->currentIndex() > index)
            cboFrom->setCurrentIndex(index);
    });
}

int MonthRangePicker::firstMonth() const
{
    return cboFrom->currentData().toInt();
}

int MonthRangePicker::lastMonth() const
{
    return cboTo->currentData().toInt();
}

PrintOptionsBox::PrintOptionsBox(const PrintOptions& initial, QWidget* parent)
    : QGroupBox(QStringLiteral("ページ"), parent)
{
    setObjectName(QStringLiteral("fraPrintOptions"));
    optMonthly = new QRadioButton(QStringLiteral("月ごと(&M)"), this);
    optMonthly->setObjectName(QStringLiteral("optMonthly"));
    optDaily = new QRadioButton(QStringLiteral("日ごと(&D)"), this);
    optDaily->setObjectName(QStringLiteral("optDaily"));
    (initial.layout == PageLayout::Monthly ? optMonthly : optDaily)->setChecked(true);
    spnFontSize = new QSpinBox(this);
    spnFontSize->setObjectName(QStringLiteral("spnFontSize"));
    spnFontSize->setRange(int(PrintOptions::kSmallest), int(PrintOptions::kLargest));
    spnFontSize->setValue(int(initial.pointSize));
    spnFontSize->setSuffix(QStringLiteral(" ポイント"));
    auto* size = new QLabel(QStringLiteral("文字の大きさ(&S):"), this);
    size->setBuddy(spnFontSize);
    auto* row = new QHBoxLayout(this);
    row->addWidget(optMonthly);
    row->addWidget(optDaily);
    row->addSpacing(16);
    row->addWidget(size);
    row->addWidget(spnFontSize);
    row->addStretch();
    connect(optMonthly, &QRadioButton::toggled, this, &PrintOptionsBox::layoutChanged);
}

PrintOptions PrintOptionsBox::options() const
{
    return {optMonthly->isChecked() ? PageLayout::Monthly : PageLayout::Daily,
            double(spnFontSize->value())};
}

QPushButton* SetUpExchangeWindow(QDialog* window, const char* name, const QString& title,
                                 QLayout* form, const QString& action, const char* actionName)
{
    window->setObjectName(QLatin1String(name));
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    auto* buttons = new QDialogButtonBox(window);
    QPushButton* run = buttons->addButton(action, QDialogButtonBox::AcceptRole);
    run->setObjectName(QLatin1String(actionName));
    run->setDefault(true);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    QObject::connect(close, &QPushButton::clicked, window, &QDialog::reject);
    auto* all = new QVBoxLayout(window);
    all->addLayout(form);
    all->addWidget(buttons);
    return run;
}
