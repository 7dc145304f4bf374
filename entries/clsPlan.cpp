#include "entries/clsPlan.h"

#include "platform/Running.h"
#include "store/Engine.h"
#include "store/clsMaster.h"

#include <QPlainTextEdit>

clsPlan::clsPlan(QPlainTextEdit* text, RunningHost* host) : mText(text), mHost(host) {}

QString clsPlan::ToBoxText(const QString& stored)
{
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString clsPlan::ToStoredText(const QString& boxText)
{
    QString text = boxText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void clsPlan::Load(int DateIndex)
{
    mHost->Running(QStringLiteral("予定を読み込んでいます。"));
    QString text;
    bool found = false;
    try {
        found = gMaster.PlanLoad(DateIndex, text);
    } catch (...) {
        mText->setVisible(false);
        mText->setPlainText(QString());
        Dirty = false;
        mDateIndex = 0;
        mHost->Running(QString());
        throw;
    }
    mText->setVisible(found);
    mText->setPlainText(ToBoxText(text));
    // After setting the text: the load itself is not an edit.
    Dirty = false;
    mDateIndex = DateIndex;
    mHost->Running(QString());
}

void clsPlan::Save()
{
    if (!Dirty)
        return;
    mHost->Running(QStringLiteral("予定を書き込んでいます。"));
    try {
        gMaster.PlanSave(mDateIndex, ToStoredText(mText->toPlainText()));
    } catch (...) {
        mHost->Running(QString());
        throw;
    }
    Dirty = false;
    mHost->Running(QString());
}
