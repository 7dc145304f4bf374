#include "exchange/JsonWriter.h"

void JsonWriter::begin(const ExportInfo& info)
{
    QByteArray head = QByteArrayLiteral("{\"format\":\"") + kFormatName +
                      QByteArrayLiteral("\",\"version\":") + QByteArray::number(kVersion) +
                      QByteArrayLiteral(",\"range\":");
    if (info.stored.isEmpty())
        head += "null";
    else
        head += QByteArrayLiteral("{\"first\":") + QByteArray::number(info.stored.firstYm) +
                QByteArrayLiteral(",\"last\":") + QByteArray::number(info.stored.lastYm) + '}';
    head += ",\n\"days\":[";
    mOut.append(head);
}

QByteArray JsonWriter::StringLiteral(const QString& text)
{
    // Escapes concern ASCII bytes only, which never occur inside a UTF-8
    // sequence: the text is escaped as bytes.
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 8 + 2);
    out += '"';
    static const char hex[] = "0123456789abcdef";
    const char* data = utf8.constData();
    const qsizetype n = utf8.size();
    qsizetype run = 0; // start of the bytes copied as they are
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(data + run, i - run);
        run = i + 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    out.append(data + run, n - run);
    out += '"';
    return out;
}

bool JsonWriter::write(const DayRow& day)
{
    QByteArray line = mFirst ? QByteArrayLiteral("\n{\"key\":") : QByteArrayLiteral(",\n{\"key\":");
    mFirst = false;
    line += QByteArray::number(day.key) + QByteArrayLiteral(",\"weekday\":") +
            QByteArray::number(day.week) + QByteArrayLiteral(",\"workday\":");
    line += day.workday ? (*day.workday ? "true" : "false") : "null";
    line += ",\"text\":";
    line += day.text ? StringLiteral(*day.text) : QByteArrayLiteral("null");
    line += '}';
    mOut.append(line);
    return true;
}

void JsonWriter::finish()
{
    mOut.append(QByteArrayLiteral("\n]}\n"));
    mOut.flush();
}
