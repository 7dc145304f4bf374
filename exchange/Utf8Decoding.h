#pragma once

#include <QByteArrayView>
#include <QString>

#include <vector>

// Strict UTF-8 to text for the readers: bytes that are no UTF-8 are a
// failure, while a U+FFFD that the file holds itself is kept. Large input is
// shared out between two threads, the most of the reading of a large file.

// `bytes` as text into `out`; false when they are no UTF-8.
bool DecodeUtf8(QByteArrayView bytes, QString& out);

// Each piece as text into `out` (one text per piece, in order); the index
// of the first piece that is no UTF-8, or -1 when all are.
qsizetype DecodeUtf8Pieces(const std::vector<QByteArrayView>& pieces, std::vector<QString>& out);
