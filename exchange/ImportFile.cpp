#include "exchange/ImportFile.h"

#include "exchange/CsvReader.h"
#include "exchange/ICalendarReader.h"
#include "exchange/JsonReader.h"
#include "platform/DayKey.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

ImportFormat DetectImportFormat(const QString& fileName, const QByteArray& bytes)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("json"))
        return ImportFormat::Json;
    if (suffix == QLatin1String("csv"))
        return ImportFormat::Csv;
    if (suffix == QLatin1String("ics") || suffix == QLatin1String("ical"))
        return ImportFormat::ICalendar;
    QByteArray start = bytes.left(64);
    if (start.startsWith("\xEF\xBB\xBF"))
        start = start.mid(3);
    start = start.trimmed();
    if (start.startsWith('{'))
        return ImportFormat::Json;
    if (start.toUpper().startsWith("BEGIN:VCALENDAR"))
        return ImportFormat::ICalendar;
    return ImportFormat::Csv;
}

int WeekOfKey(qint64 key)
{
    if (key < 10000101 || key > 99991231)
        return -1;
    const QDate date = KeyToDate(int(key));
    return date.isValid() ? date.dayOfWeek() % 7 : -1;
}

QString NotUtf8Text(const QByteArray& bytes)
{
    int line = 1;
    for (qsizetype start = 0; start <= bytes.size(); ++line) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        const QString decoded = utf8(QByteArrayView(bytes.constData() + start, end - start));
        if (utf8.hasError())
            break;
        start = end + 1;
    }
    return QStringLiteral("%1行目: UTF-8 として読めない文字があります。").arg(line);
}

ReadResult ReadImportFile(const QString& path, const StoredRange& stored)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::failure(QStringLiteral("ファイルを開けませんでした。（") +
                                   file.errorString() + QStringLiteral("）"));
    // Read into memory rather than mapped: a file that another program cuts
    // short while it is being read must give an error, not a crash.
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return ReadResult::failure(QStringLiteral("ファイルを読めませんでした。（") +
                                   file.errorString() + QStringLiteral("）"));
    switch (DetectImportFormat(path, bytes)) {
    case ImportFormat::Json:
        return JsonReader().read(bytes);
    case ImportFormat::Csv:
        return CsvReader().read(bytes);
    case ImportFormat::ICalendar:
        break;
    }
    return ICalendarReader(QTimeZone::systemTimeZone(), stored).read(bytes);
}
