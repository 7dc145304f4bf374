#include "exchange/JsonTree.h"

#include "exchange/DeferredStrings.h"
#include "exchange/Utf8Decoding.h"

#include <QtAlgorithms>
#include <QtEndian>

#include <charconv>
#include <cstring>
#include <optional>

namespace {

constexpr int kDeepest = 64;

class Parser
{
public:
    Parser(const QByteArray& bytes, const JsonElementHandler& element, qsizetype deferFrom)
        : begin(bytes.constData()), p(begin), end(begin + bytes.size()), handler(element),
          deferFrom(deferFrom)
    {
        // A byte-order mark is allowed before the text.
        if (bytes.startsWith("\xEF\xBB\xBF"))
            p += 3;
        if (deferFrom > 0) {
            // Each such string takes deferFrom bytes and its quotes in the
            // file. Escapes never make a string longer: room for the whole
            // file keeps the arena where it is while the strings in it wait.
            later.emplace(size_t(bytes.size() / (deferFrom + 2)) + 1);
            arena.reserve(bytes.size());
        }
    }

    bool stopped = false;

    QString run(JsonNode& root)
    {
        outermost = &root;
        skipBlanks();
        if (value(root, 0)) {
            skipBlanks();
            if (p != end)
                fail(QStringLiteral("データの終わりの後にまだ文字があります"));
        }
        return error;
    }

    // The deferred strings decoded into `out`; "" or the fault of the
    // first that is no UTF-8.
    QString decodeDeferred(std::vector<QString>& out)
    {
        const int faulty = later ? later->finish(out) : 0;
        return faulty == 0 ? QString() : message(faulty, kNotUtf8);
    }

private:
    const char* begin;
    const char* p;
    const char* end;
    const JsonElementHandler& handler;
    const qsizetype deferFrom;
    // The bytes of the strings decoded on the side that had escapes; then
    // those strings, declared after the arena so that their thread stops
    // before the arena goes.
    QByteArray arena;
    std::optional<DeferredStrings> later;
    const JsonNode* outermost = nullptr;
    std::vector<std::pair<QByteArray, QString>> names;
    // The bytes of a string with escapes, kept for the next such string.
    QByteArray unescaped;
    int line = 1;
    QString error;

    static inline const QString kNotUtf8 = QStringLiteral("UTF-8 として読めない文字があります");

    static QString message(int line, const QString& what)
    {
        return QStringLiteral("%1行目: %2。").arg(line).arg(what);
    }

    bool fail(const QString& what)
    {
        if (error.isEmpty())
            error = message(line, what);
        return false;
    }

    bool atEnd() { return p == end && !fail(QStringLiteral("ファイルが途中で終わっています")); }

    void skipBlanks()
    {
        for (; p != end; ++p) {
            if (*p == '\n')
                ++line;
            else if (*p != ' ' && *p != '\t' && *p != '\r')
                break;
        }
    }

    // The character at p as the user sees it, for a message.
    QString here() const
    {
        const char* e = p + 1;
        while (e != end && (static_cast<unsigned char>(*e) & 0xC0) == 0x80)
            ++e;
        return QString::fromUtf8(p, e - p);
    }

    bool hex4(char16_t& unit)
    {
        if (end - p < 4)
            return fail(QStringLiteral("「\\u」の後ろに 16 進数が 4 桁ありません"));
        unit = 0;
        for (int i = 0; i < 4; ++i, ++p) {
            const char c = *p;
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                return fail(QStringLiteral("「\\u」の後ろに 16 進数が 4 桁ありません"));
            unit = char16_t(unit * 16 + digit);
        }
        return true;
    }

    // Appends the character an escape stands for, as UTF-8; p is just
    // after the backslash.
    bool escape(QByteArray& out)
    {
        if (atEnd())
            return false;
        const char c = *p++;
        switch (c) {
        case '"':
        case '\\':
        case '/':
            out += c;
            return true;
        case 'b':
            out += '\b';
            return true;
        case 'f':
            out += '\f';
            return true;
        case 'n':
            out += '\n';
            return true;
        case 'r':
            out += '\r';
            return true;
        case 't':
            out += '\t';
            return true;
        case 'u': {
            char16_t unit = 0;
            if (!hex4(unit))
                return false;
            if (QChar::isLowSurrogate(unit))
                return fail(QStringLiteral("対になっていないサロゲートがあります"));
            char32_t point = unit;
            if (QChar::isHighSurrogate(unit)) {
                char16_t low = 0;
                if (end - p < 2 || p[0] != '\\' || p[1] != 'u')
                    return fail(QStringLiteral("対になっていないサロゲートがあります"));
                p += 2;
                if (!hex4(low))
                    return false;
                if (!QChar::isLowSurrogate(low))
                    return fail(QStringLiteral("対になっていないサロゲートがあります"));
                point = QChar::surrogateToUcs4(unit, low);
            }
            out += QString::fromUcs4(&point, 1).toUtf8();
            return true;
        }
        default:
            --p;
            return fail(QStringLiteral("「\\」の後ろの「%1」は使えません").arg(here()));
        }
    }

    // UTF-8 text that holds no quote, backslash or control character, as
    // text.
    bool decode(QByteArrayView bytes, QString& out)
    {
        return DecodeUtf8(bytes, out) || fail(kNotUtf8);
    }

    // The first quote, backslash or control character from `from` on, or
    // `to`. Looks at eight bytes at a time: the entries of a large file are
    // most of what is read.
    static const char* special(const char* from, const char* to)
    {
        constexpr quint64 ones = 0x0101010101010101ULL;
        constexpr quint64 highs = 0x8080808080808080ULL;
        for (; to - from >= 8; from += 8) {
            quint64 word;
            std::memcpy(&word, from, 8);
            word = qFromLittleEndian(word);
            const quint64 quote = word ^ (ones * '"');
            const quint64 backslash = word ^ (ones * '\\');
            // Each term marks the bytes equal to zero (or below 0x20): its
            // lowest mark is always right, which is the one taken.
            const quint64 found = (((quote - ones) & ~quote) | ((backslash - ones) & ~backslash) |
                                   ((word - ones * 0x20) & ~word)) &
                                  highs;
            if (found)
                return from + qCountTrailingZeroBits(found) / 8;
        }
        for (; from != to; ++from)
            if (*from == '"' || *from == '\\' || static_cast<unsigned char>(*from) < 0x20)
                return from;
        return to;
    }

    bool string(QString& out)
    {
        ++p; // the opening quote
        // Most strings have no escape: decoded in one piece from the file.
        const char* stop = special(p, end);
        if (stop != end && *stop == '"') {
            if (!decode(QByteArrayView(p, stop - p), out))
                return false;
            p = stop + 1;
            return true;
        }
        // Otherwise the escapes are turned into their bytes first, and the
        // whole decoded at once.
        unescaped.clear();
        return unescape(stop, unescaped) && decode(unescaped, out);
    }

    // The rest of a string, from p with `stop` its first quote, backslash
    // or control character, appended to `into` with its escapes turned
    // into their bytes; p ends after the closing quote.
    bool unescape(const char* stop, QByteArray& into)
    {
        for (;;) {
            into.append(p, stop - p);
            p = stop;
            if (atEnd())
                return false;
            if (*p == '"') {
                ++p;
                return true;
            }
            if (*p != '\\')
                return fail(QStringLiteral("文字列の中に改行などの制御文字がそのまま入っています"));
            ++p;
            if (!escape(into))
                return false;
            stop = special(p, end);
        }
    }

    // A string value: decoded now when it is short, else on the side.
    bool stringValue(JsonNode& out)
    {
        ++p; // the opening quote
        const char* start = p;
        const char* stop = special(p, end);
        if (stop != end && *stop == '"') {
            p = stop + 1;
            return keep(out, QByteArrayView(start, stop - start), false);
        }
        const qsizetype offset = arena.size();
        return unescape(stop, arena) && keep(out, QByteArrayView(arena).sliced(offset), true);
    }

    bool keep(JsonNode& out, QByteArrayView bytes, bool inArena)
    {
        if (bytes.size() >= deferFrom) {
            out.deferred = later->add(bytes, line);
            return true;
        }
        const bool decoded = decode(bytes, out.string);
        if (inArena)
            arena.truncate(arena.size() - bytes.size());
        return decoded;
    }

    // A member's name. The same few names come again and again (one object
    // per day): a name met before is shared instead of decoded again.
    bool name(QString& out)
    {
        const char* start = p + 1;
        const char* quote = static_cast<const char*>(std::memchr(start, '"', size_t(end - start)));
        if (quote && quote - start <= 32) {
            const QByteArrayView bytes(start, quote - start);
            for (const auto& [seen, text] : names)
                if (seen == bytes) {
                    out = text;
                    p = quote + 1;
                    return true;
                }
        }
        if (!string(out))
            return false;
        if (quote && p == quote + 1 && names.size() < 16)
            names.emplace_back(QByteArray(start, quote - start), out);
        return true;
    }

    bool digits()
    {
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9')
            ++p;
        return p != start;
    }

    bool number(JsonNode& out)
    {
        const char* start = p;
        if (*p == '-')
            ++p;
        const bool leadingZero = p != end && *p == '0';
        if (!digits() || (leadingZero && p - start > (*start == '-' ? 2 : 1)))
            return fail(QStringLiteral("数値の書き方が正しくありません"));
        if (p != end && *p == '.') {
            ++p;
            if (!digits())
                return fail(QStringLiteral("数値の書き方が正しくありません"));
        }
        if (p != end && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p != end && (*p == '+' || *p == '-'))
                ++p;
            if (!digits())
                return fail(QStringLiteral("数値の書き方が正しくありません"));
        }
        // Only whole numbers are ever read as values; others are kept as
        // "not whole".
        const auto [end_, error] = std::from_chars(start, p, out.integer);
        out.whole = error == std::errc() && end_ == p;
        return true;
    }

    bool word(const char* text, qsizetype length)
    {
        if (end - p < length || qstrncmp(p, text, length) != 0)
            return fail(QStringLiteral("値があるはずのところに「%1」があります").arg(here()));
        p += length;
        return true;
    }

    bool value(JsonNode& out, int depth)
    {
        if (atEnd())
            return false;
        if (depth > kDeepest)
            return fail(QStringLiteral("入れ子が深すぎます"));
        out.line = line;
        switch (*p) {
        case '{':
            out.type = JsonNode::Type::Object;
            return object(out, depth);
        case '[':
            out.type = JsonNode::Type::Array;
            return array(out, depth);
        case '"':
            out.type = JsonNode::Type::String;
            return deferFrom > 0 ? stringValue(out) : string(out.string);
        case 't':
            out.type = JsonNode::Type::Bool;
            out.boolean = true;
            return word("true", 4);
        case 'f':
            out.type = JsonNode::Type::Bool;
            return word("false", 5);
        case 'n':
            return word("null", 4);
        default:
            if (*p == '-' || (*p >= '0' && *p <= '9')) {
                out.type = JsonNode::Type::Number;
                return number(out);
            }
            return fail(QStringLiteral("値があるはずのところに「%1」があります").arg(here()));
        }
    }

    // After an element of an array or object: a comma (true, `more`) or
    // the closing bracket (true, not `more`).
    bool next(char close, bool& more)
    {
        skipBlanks();
        if (atEnd())
            return false;
        if (*p == ',' || *p == close) {
            more = *p++ == ',';
            return true;
        }
        return fail(QStringLiteral("「,」か「%1」があるはずのところに「%2」があります")
                        .arg(QLatin1Char(close))
                        .arg(here()));
    }

    // `member` names the array when it is a member of the outermost object
    // and its elements go to the handler.
    bool array(JsonNode& out, int depth, const QString* member = nullptr)
    {
        ++p;
        skipBlanks();
        if (p != end && *p == ']') {
            ++p;
            return true;
        }
        bool more = true;
        for (size_t index = 0; more; ++index) {
            skipBlanks();
            if (member) {
                JsonNode element;
                if (!value(element, depth + 1))
                    return false;
                if (!handler(*outermost, *member, index, element)) {
                    stopped = true;
                    return false;
                }
            } else {
                out.items.emplace_back();
                if (!value(out.items.back(), depth + 1))
                    return false;
            }
            if (!next(']', more))
                return false;
        }
        return true;
    }

    bool object(JsonNode& out, int depth)
    {
        ++p;
        skipBlanks();
        if (p != end && *p == '}') {
            ++p;
            return true;
        }
        // A day's object has four members: room for them at once.
        out.members.reserve(4);
        for (bool more = true; more;) {
            skipBlanks();
            if (atEnd())
                return false;
            if (*p != '"')
                return fail(
                    QStringLiteral("項目の名前（\"で囲んだ文字列）があるはずのところに「%1」が"
                                   "あります")
                        .arg(here()));
            out.members.emplace_back();
            if (!name(out.members.back().first))
                return false;
            skipBlanks();
            if (atEnd())
                return false;
            if (*p != ':')
                return fail(
                    QStringLiteral("「:」があるはずのところに「%1」があります").arg(here()));
            ++p;
            skipBlanks();
            auto& [name, member] = out.members.back();
            const bool handed = depth == 0 && handler && p != end && *p == '[';
            if (handed) {
                member.type = JsonNode::Type::Array;
                member.line = line;
                if (!array(member, depth + 1, &name))
                    return false;
            } else if (!value(member, depth + 1)) {
                return false;
            }
            if (!next('}', more))
                return false;
        }
        return true;
    }
};

} // namespace

const JsonNode* JsonNode::member(const QString& name) const
{
    for (const auto& [key, node] : members)
        if (key == name)
            return &node;
    return nullptr;
}

bool JsonNode::toWhole(qint64& value) const
{
    if (type != Type::Number || !whole)
        return false;
    value = integer;
    return true;
}

JsonParse ParseJson(const QByteArray& bytes, const JsonElementHandler& element, qsizetype deferFrom)
{
    JsonParse result;
    Parser parser(bytes, element, deferFrom);
    result.error = parser.run(result.root);
    result.stopped = parser.stopped;
    // Every deferred string came before whatever ended the parse.
    if (const QString fault = parser.decodeDeferred(result.deferred); !fault.isEmpty()) {
        result.error = fault;
        result.stopped = false;
    }
    return result;
}
