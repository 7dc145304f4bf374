#include "exchange/Utf8Decoding.h"

#include <QStringDecoder>

#include <algorithm>
#include <system_error>
#include <thread>

namespace {

// Below this many bytes a second thread costs more than it saves.
constexpr qsizetype kShared = 1 << 20;

bool decodeHere(QByteArrayView bytes, QString& out)
{
    // QString::fromUtf8 is the quicker decoder; what it cannot read it
    // turns into U+FFFD, and only then is the strict one asked whether the
    // bytes held that character themselves.
    out = QString::fromUtf8(bytes);
    if (!out.contains(QChar::ReplacementCharacter))
        return true;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    out = utf8(bytes);
    return !utf8.hasError();
}

// Pieces [from, to) decoded; the first that is no UTF-8, or -1.
qsizetype decodeRun(const std::vector<QByteArrayView>& pieces, std::vector<QString>& out,
                    size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (!decodeHere(pieces[i], out[i]))
            return qsizetype(i);
    return -1;
}

} // namespace

bool DecodeUtf8(QByteArrayView bytes, QString& out)
{
    if (bytes.size() < kShared)
        return decodeHere(bytes, out);
    // Cut at a byte below 0x80 near the middle: such a byte is never part
    // of a longer character, so the two halves decode as the whole would.
    qsizetype cut = bytes.size() / 2;
    while (cut < bytes.size() && static_cast<unsigned char>(bytes[cut]) >= 0x80)
        ++cut;
    std::vector<QString> halves;
    if (DecodeUtf8Pieces({bytes.first(cut), bytes.sliced(cut)}, halves) >= 0)
        return false;
    out = std::move(halves[0]);
    out.reserve(out.size() + halves[1].size());
    out += halves[1];
    return true;
}

qsizetype DecodeUtf8Pieces(const std::vector<QByteArrayView>& pieces, std::vector<QString>& out)
{
    out.assign(pieces.size(), QString());
    qsizetype total = 0;
    for (const QByteArrayView piece : pieces)
        total += piece.size();
    // The second thread takes the pieces after the middle byte.
    size_t split = pieces.size();
    if (total >= kShared && pieces.size() > 1) {
        qsizetype bytes = 0;
        for (split = 0; split < pieces.size() && bytes < total / 2; ++split)
            bytes += pieces[split].size();
    }
    if (split == pieces.size())
        return decodeRun(pieces, out, 0, pieces.size());
    qsizetype laterFailure = -1;
    std::thread later;
    try {
        later = std::thread([&] { laterFailure = decodeRun(pieces, out, split, pieces.size()); });
    } catch (const std::system_error&) {
        // No thread to be had: all of it here.
        return decodeRun(pieces, out, 0, pieces.size());
    }
    const qsizetype failure = decodeRun(pieces, out, 0, split);
    later.join();
    return failure >= 0 ? failure : laterFailure;
}
