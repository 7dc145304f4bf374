#pragma once

#include <QByteArrayView>
#include <QString>

// Strict UTF-8 to text for the readers: bytes that are no UTF-8 are a
// failure, while a U+FFFD that the file holds itself is kept. Large input
// (a whole CSV file) is decoded in two halves on two threads.
//
// `bytes` as text into `out`; false when they are no UTF-8.
bool DecodeUtf8(QByteArrayView bytes, QString& out);
