#include "ui/PlainFiles.h"

#include "platform/Dialogs.h"
#include "platform/basMain.h"
#include "store/EncryptedImage.h"

#include <QFile>
#include <QPaintEngine>
#include <QPrinter>

bool ConfirmPlainFile()
{
    // Every format and every printed page is plain text: the diary leaves
    // its encryption.
    return !HeldCalendarKeys() ||
           AskYesNo(QStringLiteral("暗号化されていないファイルに書き出します。よろしいですか？"),
                    Dialogs::No) == Dialogs::Yes;
}

bool PrintsToFile(const QPrinter& printer)
{
    // A preview draws into pictures (Qt's preview engine is a picture
    // engine), also once a file was chosen in the print dialog: only the
    // real engine writes the file.
    const QPaintEngine* engine = printer.paintEngine();
    return printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty() &&
           engine && engine->type() != QPaintEngine::Picture;
}

bool MakeOwnerOnlyFile(const QString& path)
{
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // The writer then opens it for writing, which keeps its permissions.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly))
        return true;
    return QFile::exists(path) && QFile::setPermissions(path, ownerOnly);
}
