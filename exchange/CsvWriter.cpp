#include "exchange/CsvWriter.h"

void CsvWriter::begin(const ExportInfo&)
{
    mOut.append(QByteArray("\xEF\xBB\xBF"));
    mOut.append(QStringLiteral("日付,曜日,平日,内容\r\n"));
}

QByteArray CsvWriter::QuotedField(const QString& text)
{
    QByteArray field = text.toUtf8();
    field.replace('"', QByteArrayLiteral("\"\""));
    return '"' + field + '"';
}

bool CsvWriter::write(const DayRow& day)
{
    QByteArray record = QByteArray::number(day.key) + ',' + QByteArray::number(day.week) + ',';
    if (day.workday)
        record += *day.workday ? '1' : '0';
    record += ',';
    if (day.text)
        record += QuotedField(*day.text);
    record += "\r\n";
    mOut.append(record);
    return true;
}
