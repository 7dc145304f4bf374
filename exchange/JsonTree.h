#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

// A strict JSON reader (RFC 8259, UTF-8) that keeps the line of every value,
// so that a file can be faulted by line and field, and that reads the
// diary's large files quickly: a string without escapes is decoded in one
// piece.
struct JsonNode
{
    enum class Type
    {
        Null,
        Bool,
        Number,
        String,
        Array,
        Object
    };
    Type type = Type::Null;
    int line = 0;
    bool boolean = false;
    // A number without fraction or exponent that fits into 64 bits.
    bool whole = false;
    qint64 integer = 0;
    QString string;
    // A string decoded on the side: its index in JsonParse::deferred (its
    // `string` stays null).
    qsizetype deferred = -1;
    std::vector<JsonNode> items;
    std::vector<std::pair<QString, JsonNode>> members;

    // The member `name` of an object; nullptr when it has none.
    const JsonNode* member(const QString& name) const;
    // The number as a whole number; false when it is none (a fraction, an
    // exponent, too large).
    bool toWhole(qint64& value) const;
};

struct JsonParse
{
    JsonNode root;
    // Empty when the text was read; otherwise "12行目: ..." in Japanese.
    QString error;
    // The reading was stopped by the element handler.
    bool stopped = false;
    // The strings decoded on the side, by JsonNode::deferred.
    std::vector<QString> deferred;
};

// Takes the elements of an array that is a member of the outermost object
// one by one, as soon as each is read, instead of keeping them in the tree:
// the outermost object as read so far, the member's name, the element's
// index and the element. False stops the reading.
using JsonElementHandler = std::function<bool(const JsonNode& root, const QString& member,
                                              size_t index, const JsonNode& element)>;

// Strings of `deferFrom` bytes or more (0: none) are decoded on a second
// thread while the parse goes on (their nodes' `deferred`). A fault in one
// of them is still the first told, as it comes before any other fault met
// after it.
JsonParse ParseJson(const QByteArray& bytes, const JsonElementHandler& element = nullptr,
                    qsizetype deferFrom = 0);
