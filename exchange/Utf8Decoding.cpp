#include "exchange/Utf8Decoding.h"

#include <QStringDecoder>

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
    QString later;
    bool laterDecoded = false;
    std::thread second;
    try {
        second = std::thread([&] { laterDecoded = decodeHere(bytes.sliced(cut), later); });
    } catch (const std::system_error&) {
        // No thread to be had: all of it here.
        return decodeHere(bytes, out);
    }
    const bool decoded = decodeHere(bytes.first(cut), out);
    second.join();
    if (!decoded || !laterDecoded)
        return false;
    out.reserve(out.size() + later.size());
    out += later;
    return true;
}
