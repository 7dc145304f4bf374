#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

// Writes `contents` to `path`, making its folder; fails the test when it
// cannot.
inline void writeFile(const QString& path, const QByteArray& contents)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
}

// The bytes of a file, or "(missing)" when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Files under `folder` (in subfolders too, hidden ones included) whose bytes
// hold `text` in UTF-8 or UTF-16.
inline QStringList FilesHolding(const QString& folder, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = readFile(path);
        if (bytes.contains(utf8) || bytes.contains(utf16))
            found << path;
    }
    return found;
}
