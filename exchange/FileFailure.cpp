#include "exchange/FileFailure.h"

#include <QFileDevice>

#include <cerrno>

QString FileFailureCause(const QFileDevice& file)
{
    // Qt words a failed system call with qt_error_string(errno), so the
    // words tell the code apart without a second look at errno, which other
    // calls may have changed since.
    static const struct
    {
        int code;
        const char16_t* cause;
    } kCauses[] = {
        {ENOSPC, u"ディスクの空き容量が足りません。"},
        {EDQUOT, u"ディスクの空き容量が足りません。"},
        {EFBIG, u"ファイルが大きすぎて書き込めません。"},
        {EACCES, u"書き込む権限がないか、読み取り専用になっています。"},
        {EPERM, u"書き込む権限がないか、読み取り専用になっています。"},
        {EROFS, u"書き込む権限がないか、読み取り専用になっています。"},
    };
    const QString words = file.errorString();
    for (const auto& known : kCauses)
        if (words == qt_error_string(known.code))
            return QString::fromUtf16(known.cause) + QStringLiteral("（") + words +
                   QStringLiteral("）");
    return QStringLiteral("（") + words + QStringLiteral("）");
}

QString FileFailureText(const QString& what, const QFileDevice& file)
{
    return what + FileFailureCause(file);
}
