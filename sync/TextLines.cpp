#include "sync/TextLines.h"

TextLines TextLines::split(const QString& text)
{
    TextLines result;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\n'))
            continue;
        const bool crLf = i > start && text.at(i - 1) == QLatin1Char('\r');
        (crLf ? result.hasCrLf : result.hasLf) = true;
        result.lines << text.sliced(start, i - start - (crLf ? 1 : 0));
        start = i + 1;
    }
    if (start < text.size())
        result.lines << text.sliced(start);
    else
        result.finalBreak = start > 0;
    return result;
}

QString TextLines::join(const QString& lineBreak) const
{
    QString text = lines.join(lineBreak);
    if (finalBreak)
        text += lineBreak;
    return text;
}

QString MergedLineBreak(std::initializer_list<const TextLines*> texts)
{
    bool crLf = false;
    bool lf = false;
    for (const TextLines* text : texts) {
        crLf = crLf || text->hasCrLf;
        lf = lf || text->hasLf;
    }
    return lf && !crLf ? QStringLiteral("\n") : QStringLiteral("\r\n");
}
