#include "exchange/TextWriters.h"

#include "exchange/DayTexts.h"
#include "exchange/ExchangeError.h"
#include "exchange/FileFailure.h"

#include <QFile>
#include <QRegularExpression>

namespace {

// The entry's lines joined by the system's line break, ending with one.
QString entryBlock(const DayRow& day)
{
    if (!day.hasEntry())
        return QString();
    const QString br = TextLineBreak();
    return EntryLines(*day.text).join(br) + br;
}

} // namespace

bool TextWriter::write(const DayRow& day)
{
    const QString br = TextLineBreak();
    QString block = mFirst ? QString() : br;
    mFirst = false;
    block += ListHeading(day) + br + entryBlock(day);
    mOut.append(block);
    return true;
}

QString MarkdownWriter::EscapeLine(const QString& line)
{
    // An empty line would end the paragraph.
    if (line.isEmpty())
        return QStringLiteral("&nbsp;");
    // Characters that start inline markup anywhere in a line (emphasis,
    // code, links, raw HTML, entities, tables, strikethrough) and the
    // backslash itself.
    static const QString inlineMarks = QStringLiteral("\\`*_[]<>&|~");
    QString out;
    out.reserve(line.size() + 8);
    qsizetype i = 0;
    // Leading blanks would be dropped or start a code block.
    for (; i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')); ++i)
        out += line[i] == QLatin1Char(' ') ? QStringLiteral("&nbsp;")
                                           : QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;");
    // Marks that count only at the start of a line: headings, lists, block
    // quotes (">" is escaped anyway), setext underlines, ordered lists.
    if (i < line.size() && QStringLiteral("#+-=").contains(line[i])) {
        out += QLatin1Char('\\');
        out += line[i++];
    }
    static const QRegularExpression ordered(QStringLiteral("^\\d{1,9}[.)]"));
    const QRegularExpressionMatch number = ordered.match(line.mid(i));
    const qsizetype numberMark = number.hasMatch() ? i + number.capturedLength() - 1 : -1;
    for (; i < line.size(); ++i) {
        const QChar c = line[i];
        if (i == numberMark || inlineMarks.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

bool MarkdownWriter::write(const DayRow& day)
{
    const QString br = TextLineBreak();
    QString block = mFirst ? QString() : br;
    mFirst = false;
    block += QStringLiteral("## ") + LongDate(day.key) +
             (day.holiday() ? QStringLiteral("（休日）") : QString()) + br;
    if (day.hasEntry()) {
        QStringList lines = EntryLines(*day.text);
        for (QString& line : lines)
            line = EscapeLine(line);
        // A backslash at the end of a line is Markdown's hard line break.
        block += br + lines.join(QLatin1Char('\\') + br) + br;
    }
    mOut.append(block);
    return true;
}

QString DayFilesWriter::FileName(int key)
{
    return QStringLiteral("%1-%2-%3.txt")
        .arg(key / 10000, 4, 10, QLatin1Char('0'))
        .arg(key / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(key % 100, 2, 10, QLatin1Char('0'));
}

bool DayFilesWriter::write(const DayRow& day)
{
    if (!day.hasEntry())
        return false;
    QFile file(mFolder + QLatin1Char('/') + FileName(day.key));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw ExchangeError(FileFailureText(QStringLiteral("ファイルを作れませんでした。"), file));
    OutputBuffer out(file);
    out.append(entryBlock(day));
    out.flush();
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw ExchangeError(
            FileFailureText(QStringLiteral("ファイルに書き込めませんでした。"), file));
    return true;
}
