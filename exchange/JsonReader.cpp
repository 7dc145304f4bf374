#include "exchange/JsonReader.h"

#include "exchange/JsonTree.h"
#include "exchange/JsonWriter.h"
#include "exchange/KeysSeen.h"

namespace {

QString fault(const JsonNode& at, const QString& field, const QString& reason)
{
    return QStringLiteral("%1行目（%2）: %3。").arg(at.line).arg(field, reason);
}

const QString kNotOurs = QStringLiteral("Zedu が書き出した JSON ではありません");

// Entries from this length on are decoded on a second thread as the file is
// parsed.
constexpr qsizetype kDeferFrom = 64;

} // namespace

namespace {

// The format's name and version in the outermost object; "" when they are
// this reader's.
QString headerFault(const JsonNode& root)
{
    const JsonNode* format = root.member(QStringLiteral("format"));
    if (!format || format->type != JsonNode::Type::String ||
        format->string != QLatin1String(JsonWriter::kFormatName))
        return fault(format ? *format : root, QStringLiteral("format"),
                     kNotOurs + QStringLiteral("（「format」が \"") +
                         QLatin1String(JsonWriter::kFormatName) +
                         QStringLiteral("\" ではありません）"));
    const JsonNode* version = root.member(QStringLiteral("version"));
    qint64 number = 0;
    if (!version || !version->toWhole(number) || number < 1)
        return fault(version ? *version : root, QStringLiteral("version"),
                     QStringLiteral("版の番号がありません"));
    if (number > JsonWriter::kVersion)
        return fault(
            *version, QStringLiteral("version"),
            QStringLiteral("新しい版（%1）の Zedu が書き出したファイルです。この版では読めません")
                .arg(number));
    return QString();
}

// An entry decoded on the side: the day's place in the list and the
// string's in JsonParse::deferred.
struct LateText
{
    qsizetype day;
    qsizetype string;
};

// One element of "days" as a day; "" or the fault.
QString takeDay(const JsonNode& item, size_t index, QList<DayRow>& days, KeysSeen& seen,
                std::vector<LateText>& late)
{
    // Named only when a fault is told: most days have none.
    const auto where = [index] {
        return QStringLiteral("days[%1]").arg(index);
    };
    if (item.type != JsonNode::Type::Object)
        return fault(item, where(), QStringLiteral("{ } で囲まれていません"));
    auto field = [&](const char* name) {
        return where() + QLatin1Char('.') + QLatin1String(name);
    };
    auto member = [&](const char* name) {
        return item.member(QLatin1String(name));
    };

    DayRow day;
    const JsonNode* key = member("key");
    if (!key)
        return fault(item, where(), QStringLiteral("「key」がありません"));
    qint64 keyValue = 0;
    const int week = key->toWhole(keyValue) ? WeekOfKey(keyValue) : -1;
    if (week < 0)
        return fault(*key, field("key"),
                     QStringLiteral("日付ではありません（20261207 の形で書きます）"));
    day.key = int(keyValue);
    day.week = week;
    if (seen.repeated(day.key))
        return fault(*key, field("key"), QStringLiteral("%1 の日が二度あります").arg(day.key));

    if (const JsonNode* weekday = member("weekday")) {
        qint64 w = -1;
        if (!weekday->toWhole(w) || w != week)
            return fault(*weekday, field("weekday"),
                         QStringLiteral("日付の曜日（%1）と合いません").arg(week));
    }
    const JsonNode* workday = member("workday");
    if (!workday)
        return fault(item, where(), QStringLiteral("「workday」がありません"));
    if (workday->type == JsonNode::Type::Bool)
        day.workday = workday->boolean;
    else if (workday->type != JsonNode::Type::Null)
        return fault(*workday, field("workday"),
                     QStringLiteral("true、false、null のどれでもありません"));
    const JsonNode* text = member("text");
    if (!text)
        return fault(item, where(), QStringLiteral("「text」がありません"));
    if (text->deferred >= 0)
        late.push_back({days.size(), text->deferred});
    else if (text->type == JsonNode::Type::String)
        day.text = text->string.isNull() ? QStringLiteral("") : text->string;
    else if (text->type != JsonNode::Type::Null)
        return fault(*text, field("text"), QStringLiteral("文字列でも null でもありません"));
    days.append(std::move(day));
    return QString();
}

} // namespace

ReadResult JsonReader::read(const QByteArray& bytes) const
{
    // The days are taken as they are read, so that a large file is never
    // held as a whole tree; the header before them is checked first.
    ReadResult result;
    result.file.hasWorkdays = true;
    KeysSeen seen;
    std::vector<LateText> late;
    QString error;
    bool headerChecked = false;
    JsonParse parse = ParseJson(
        bytes,
        [&](const JsonNode& root, const QString& member, size_t index, const JsonNode& element) {
            if (member != QLatin1String("days"))
                return true;
            if (!headerChecked && root.member(QStringLiteral("format"))) {
                headerChecked = true;
                error = headerFault(root);
            }
            if (error.isEmpty())
                error = takeDay(element, index, result.file.days, seen, late);
            return error.isEmpty();
        },
        kDeferFrom);
    if (parse.stopped)
        return ReadResult::failure(error);
    if (!parse.error.isEmpty())
        return ReadResult::failure(parse.error);
    const JsonNode& root = parse.root;
    if (root.type != JsonNode::Type::Object)
        return ReadResult::failure(fault(root, QStringLiteral("全体"),
                                         kNotOurs + QStringLiteral("（{ } で囲まれていません）")));
    if (const QString header = headerFault(root); !header.isEmpty())
        return ReadResult::failure(header);
    const JsonNode* days = root.member(QStringLiteral("days"));
    if (!days || days->type != JsonNode::Type::Array)
        return ReadResult::failure(fault(days ? *days : root, QStringLiteral("days"),
                                         QStringLiteral("日の並び（[ ]）がありません")));
    QList<DayRow>& list = result.file.days;
    for (const LateText& text : late)
        list[text.day].text = std::move(parse.deferred[size_t(text.string)]);
    if (!seen.rising())
        std::sort(list.begin(), list.end(),
                  [](const DayRow& a, const DayRow& b) { return a.key < b.key; });
    return result;
}
