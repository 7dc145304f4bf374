#include "exchange/CsvReader.h"

#include "exchange/KeysSeen.h"
#include "exchange/Utf8Decoding.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

struct Field
{
    QString text;
    bool quoted = false;
};

struct Record
{
    int line = 0; // the line the record starts on
    QList<Field> fields;
};

// Splits the text into records; an error names its line.
class Splitter
{
public:
    explicit Splitter(const QString& text) : mText(text) {}

    // The next record into `out`; false at the end or on an error.
    bool next(Record& out)
    {
        // The fields' list keeps its room from record to record.
        out.fields.clear();
        out.line = 0;
        // Blank lines are no records.
        while (mPos < mText.size() && isBreak(mText[mPos]))
            lineBreak();
        if (mPos >= mText.size())
            return false;
        out.line = mLine;
        for (;;) {
            Field field;
            if (!readField(field))
                return false;
            out.fields.append(std::move(field));
            if (mPos >= mText.size())
                return true;
            if (mText[mPos] == QLatin1Char(',')) {
                ++mPos;
                continue;
            }
            lineBreak();
            return true;
        }
    }

    const QString& error() const { return mError; }

private:
    const QString& mText;
    qsizetype mPos = 0;
    int mLine = 1;
    QString mError;

    static bool isBreak(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

    // The line breaks in a run of text (CR LF, a lone CR, a lone LF; a CR
    // at its end counts), counted in a loop the compiler can vectorise.
    static int lineBreaks(QStringView run)
    {
        const char16_t* text = run.utf16();
        const qsizetype n = run.size();
        if (n == 0)
            return 0;
        qsizetype breaks = text[n - 1] == u'\r';
        for (qsizetype i = 0; i + 1 < n; ++i)
            breaks += (text[i] == u'\n') + (text[i] == u'\r' && text[i + 1] != u'\n');
        breaks += text[n - 1] == u'\n';
        return int(breaks);
    }

    void lineBreak()
    {
        if (mText[mPos] == QLatin1Char('\r') && mPos + 1 < mText.size() &&
            mText[mPos + 1] == QLatin1Char('\n'))
            ++mPos;
        ++mPos;
        ++mLine;
    }

    bool fail(int line, const QString& what)
    {
        mError = QStringLiteral("%1行目: %2。").arg(line).arg(what);
        return false;
    }

    bool readField(Field& field)
    {
        if (mPos < mText.size() && mText[mPos] == QLatin1Char('"')) {
            field.quoted = true;
            const int startLine = mLine;
            ++mPos;
            for (;;) {
                const qsizetype quote = mText.indexOf(QLatin1Char('"'), mPos);
                if (quote < 0)
                    return fail(startLine, QStringLiteral("「\"」で始まった欄が閉じていません"));
                const QStringView run = QStringView(mText).mid(mPos, quote - mPos);
                field.text += run;
                // Line breaks inside the field still count as lines.
                mLine += lineBreaks(run);
                mPos = quote + 1;
                if (mPos < mText.size() && mText[mPos] == QLatin1Char('"')) {
                    field.text += QLatin1Char('"');
                    ++mPos;
                    continue;
                }
                break;
            }
            if (mPos < mText.size() && mText[mPos] != QLatin1Char(',') && !isBreak(mText[mPos]))
                return fail(mLine, QStringLiteral("「\"」で閉じた欄の後ろに文字があります"));
            if (field.text.isNull())
                field.text = QStringLiteral("");
            return true;
        }
        const qsizetype start = mPos;
        while (mPos < mText.size() && mText[mPos] != QLatin1Char(',') && !isBreak(mText[mPos])) {
            if (mText[mPos] == QLatin1Char('"'))
                return fail(mLine, QStringLiteral("「\"」で囲まれていない欄に「\"」があります"));
            ++mPos;
        }
        field.text = mText.mid(start, mPos - start);
        return true;
    }
};

} // namespace

namespace {

// The line of the first byte that `encoding` cannot decode; 0 when every
// byte decodes.
int firstFaultyLine(const QByteArray& bytes, const char* encoding)
{
    QStringDecoder whole(encoding, QStringConverter::Flag::Stateless);
    const QString all = whole(bytes);
    if (!whole.hasError())
        return 0;
    // Both encodings keep line breaks as they are, in one byte each, and
    // never use their bytes inside a character.
    int line = 1;
    for (qsizetype start = 0; start <= bytes.size(); ++line) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        const QString decoded = decoder(QByteArrayView(bytes.constData() + start, end - start));
        if (decoder.hasError())
            return line;
        start = end + 1;
    }
    return line;
}

} // namespace

ReadResult CsvReader::read(const QByteArray& bytes) const
{
    // UTF-8 (with or without a byte-order mark) or, as spreadsheet programs
    // on a Japanese desktop write it, Shift_JIS in Windows' form (CP932).
    // Japanese text in CP932 is almost never valid UTF-8, while UTF-8 often
    // decodes as CP932 too: UTF-8 is tried first.
    QString text;
    QString encoding = QStringLiteral("UTF-8");
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        if (!DecodeUtf8(QByteArrayView(bytes).sliced(3), text))
            return ReadResult::failure(NotUtf8Text(bytes));
    } else {
        if (!DecodeUtf8(bytes, text)) {
            QStringDecoder cp932("CP932", QStringConverter::Flag::Stateless);
            text = cp932.isValid() ? cp932(bytes) : QString();
            if (!cp932.isValid() || cp932.hasError()) {
                // The line where the encoding that read further failed.
                const int line = std::max(firstFaultyLine(bytes, "UTF-8"),
                                          cp932.isValid() ? firstFaultyLine(bytes, "CP932") : 0);
                return ReadResult::failure(
                    QStringLiteral("%1行目: UTF-8 としても Shift_JIS（CP932）としても読めない"
                                   "文字があります。")
                        .arg(line));
            }
            encoding = QStringLiteral("Shift_JIS（CP932）");
        }
    }

    Splitter records(text);
    Record header;
    if (!records.next(header))
        return ReadResult::failure(records.error().isEmpty()
                                       ? QStringLiteral("1行目: 見出しの行がありません。")
                                       : records.error());
    auto column = [&header](const char16_t* name) {
        for (int i = 0; i < header.fields.size(); ++i)
            if (header.fields[i].text.trimmed() == QString::fromUtf16(name))
                return i;
        return -1;
    };
    const int keyColumn = column(u"日付");
    const int weekColumn = column(u"曜日");
    const int workdayColumn = column(u"平日");
    const int textColumn = column(u"内容");
    for (const auto& [index, name] : {std::pair{keyColumn, u"日付"}, {textColumn, u"内容"}})
        if (index < 0)
            return ReadResult::failure(QStringLiteral("%1行目: 「%2」の列がありません。")
                                           .arg(header.line)
                                           .arg(QString::fromUtf16(name)));

    ReadResult result;
    result.file.hasWorkdays = workdayColumn >= 0;
    result.file.encoding = encoding;
    KeysSeen seen;
    Record record;
    while (records.next(record)) {
        auto fault = [&record](const char16_t* column, const QString& reason) {
            return ReadResult::failure(QStringLiteral("%1行目「%2」: %3。")
                                           .arg(record.line)
                                           .arg(QString::fromUtf16(column), reason));
        };
        if (record.fields.size() != header.fields.size())
            return ReadResult::failure(QStringLiteral("%1行目: 欄の数が見出しと合いません（%2 欄の"
                                                      "はずが %3 欄）。")
                                           .arg(record.line)
                                           .arg(header.fields.size())
                                           .arg(record.fields.size()));
        DayRow day;
        const QString keyText = record.fields[keyColumn].text.trimmed();
        bool isNumber = keyText.size() == 8;
        const qint64 key = isNumber ? keyText.toLongLong(&isNumber) : 0;
        day.week = isNumber ? WeekOfKey(key) : -1;
        if (day.week < 0)
            return fault(u"日付", QStringLiteral("「%1」は日付ではありません（20261207 の形で書き"
                                                 "ます）")
                                      .arg(keyText));
        day.key = int(key);
        if (seen.repeated(day.key))
            return fault(u"日付", QStringLiteral("%1 の日が二度あります").arg(day.key));
        if (weekColumn >= 0) {
            const QString w = record.fields[weekColumn].text.trimmed();
            if (!w.isEmpty() && (w.size() != 1 || w[0] != QLatin1Char(char('0' + day.week))))
                return fault(
                    u"曜日",
                    QStringLiteral("「%1」が日付の曜日（%2）と合いません").arg(w).arg(day.week));
        }
        if (workdayColumn >= 0) {
            const QString w = record.fields[workdayColumn].text.trimmed();
            if (w == QLatin1String("1"))
                day.workday = true;
            else if (w == QLatin1String("0"))
                day.workday = false;
            else if (!w.isEmpty())
                return fault(u"平日",
                             QStringLiteral("「%1」は 1、0、空欄のどれでもありません").arg(w));
        }
        const Field& entry = record.fields[textColumn];
        if (entry.quoted || !entry.text.isEmpty())
            day.text = entry.text;
        result.file.days.append(std::move(day));
    }
    if (!records.error().isEmpty())
        return ReadResult::failure(records.error());
    if (!seen.rising())
        std::sort(result.file.days.begin(), result.file.days.end(),
                  [](const DayRow& a, const DayRow& b) { return a.key < b.key; });
    return result;
}
