#include "exchange/JsonReader.h"

#include "exchange/JsonTree.h"
#include "exchange/JsonWriter.h"

#include <QSet>

namespace {

QString fault(const JsonNode& at, const QString& field, const QString& reason)
{
    return QStringLiteral("%1行目（%2）: %3。").arg(at.line).arg(field, reason);
}

const QString kNotOurs = QStringLiteral("Zedu が書き出した JSON ではありません");

} // namespace

ReadResult JsonReader::read(const QByteArray& bytes) const
{
    const JsonParse parse = ParseJson(bytes);
    if (!parse.error.isEmpty())
        return ReadResult::failure(parse.error);
    const JsonNode& root = parse.root;
    if (root.type != JsonNode::Type::Object)
        return ReadResult::failure(fault(root, QStringLiteral("全体"),
                                         kNotOurs + QStringLiteral("（{ } で囲まれていません）")));
    const JsonNode* format = root.member(QStringLiteral("format"));
    if (!format || format->type != JsonNode::Type::String ||
        format->string != QLatin1String(JsonWriter::kFormatName))
        return ReadResult::failure(fault(format ? *format : root, QStringLiteral("format"),
                                         kNotOurs + QStringLiteral("（「format」が \"") +
                                             QLatin1String(JsonWriter::kFormatName) +
                                             QStringLiteral("\" ではありません）")));
    const JsonNode* version = root.member(QStringLiteral("version"));
    qint64 versionNumber = 0;
    if (!version || !version->toWhole(versionNumber) || versionNumber < 1)
        return ReadResult::failure(fault(version ? *version : root, QStringLiteral("version"),
                                         QStringLiteral("版の番号がありません")));
    if (versionNumber > JsonWriter::kVersion)
        return ReadResult::failure(fault(
            *version, QStringLiteral("version"),
            QStringLiteral("新しい版（%1）の Zedu が書き出したファイルです。この版では読めません")
                .arg(versionNumber)));
    const JsonNode* days = root.member(QStringLiteral("days"));
    if (!days || days->type != JsonNode::Type::Array)
        return ReadResult::failure(fault(days ? *days : root, QStringLiteral("days"),
                                         QStringLiteral("日の並び（[ ]）がありません")));

    ReadResult result;
    result.file.hasWorkdays = true;
    result.file.days.reserve(qsizetype(days->items.size()));
    QSet<int> seen;
    bool ordered = true;
    for (size_t i = 0; i < days->items.size(); ++i) {
        const JsonNode& item = days->items[i];
        const QString where = QStringLiteral("days[%1]").arg(i);
        if (item.type != JsonNode::Type::Object)
            return ReadResult::failure(
                fault(item, where, QStringLiteral("{ } で囲まれていません")));
        auto field = [&](const char* name) {
            return where + QLatin1Char('.') + QLatin1String(name);
        };
        auto required = [&](const char* name) -> const JsonNode* {
            return item.member(QLatin1String(name));
        };

        DayRow day;
        const JsonNode* key = required("key");
        qint64 keyValue = 0;
        if (!key)
            return ReadResult::failure(fault(item, where, QStringLiteral("「key」がありません")));
        const int week = key->toWhole(keyValue) ? WeekOfKey(keyValue) : -1;
        if (week < 0)
            return ReadResult::failure(
                fault(*key, field("key"),
                      QStringLiteral("日付ではありません（20261207 の形で書きます）")));
        day.key = int(keyValue);
        day.week = week;
        if (seen.contains(day.key))
            return ReadResult::failure(
                fault(*key, field("key"), QStringLiteral("%1 の日が二度あります").arg(day.key)));
        seen.insert(day.key);
        if (!result.file.days.isEmpty() && result.file.days.last().key > day.key)
            ordered = false;

        if (const JsonNode* weekday = required("weekday")) {
            qint64 w = -1;
            if (!weekday->toWhole(w) || w != week)
                return ReadResult::failure(
                    fault(*weekday, field("weekday"),
                          QStringLiteral("日付の曜日（%1）と合いません").arg(week)));
        }

        const JsonNode* workday = required("workday");
        if (!workday)
            return ReadResult::failure(
                fault(item, where, QStringLiteral("「workday」がありません")));
        if (workday->type == JsonNode::Type::Bool)
            day.workday = workday->boolean;
        else if (workday->type != JsonNode::Type::Null)
            return ReadResult::failure(
                fault(*workday, field("workday"),
                      QStringLiteral("true、false、null のどれでもありません")));

        const JsonNode* text = required("text");
        if (!text)
            return ReadResult::failure(fault(item, where, QStringLiteral("「text」がありません")));
        if (text->type == JsonNode::Type::String)
            day.text = text->string.isNull() ? QStringLiteral("") : text->string;
        else if (text->type != JsonNode::Type::Null)
            return ReadResult::failure(
                fault(*text, field("text"), QStringLiteral("文字列でも null でもありません")));
        result.file.days.append(std::move(day));
    }
    if (!ordered)
        std::sort(result.file.days.begin(), result.file.days.end(),
                  [](const DayRow& a, const DayRow& b) { return a.key < b.key; });
    return result;
}
