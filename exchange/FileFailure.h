#pragma once

#include <QString>

class QFileDevice;

// Why a file of an export could not be written or read, in Japanese: the
// cause a user can act on (a full disk, a file too large for the disk, no
// permission or a read-only disk) followed by the system's own words in
// brackets, e.g. "ディスクの空き容量が足りません。（デバイスに空き容量があり
// ません）". An unknown cause gives the system's words alone.
QString FileFailureCause(const QFileDevice& file);

// `what` ("ファイルに書き込めませんでした。") followed by the cause.
QString FileFailureText(const QString& what, const QFileDevice& file);
