#include "sync/ConflictCopyNames.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <optional>

using Program = ConflictCopyNames::Program;
Q_DECLARE_METATYPE(std::optional<Program>)

class tst_ConflictCopyNames : public QObject
{
    Q_OBJECT

private slots:
    // Every name is tried as a file beside Data.vad in a folder whose name
    // has Japanese and spaces; find() must give back exactly the copies.
    void names_data()
    {
        QTest::addColumn<QString>("calendar");
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<Program>>("program");
        const std::optional<Program> none;
        const QString data = QStringLiteral("Data.vad");
        const auto row = [](const char* title, const QString& calendar, const char* name,
                            std::optional<Program> program) {
            QTest::newRow(title) << calendar << QString::fromUtf8(name) << program;
        };
        row("Syncthing", data, "Data.sync-conflict-20261208-101530-ABCDEF7.vad",
            Program::Syncthing);
        row("Nextcloud, ownCloud", data, "Data (conflicted copy 2026-12-08 101530).vad",
            Program::Nextcloud);
        row("Dropbox", data, "Data (Hanako's conflicted copy 2026-12-08).vad", Program::Dropbox);
        row("Dropbox, Japanese user name", data, "Data (花子's conflicted copy 2026-12-08).vad",
            Program::Dropbox);
        row("Dropbox, a second one", data, "Data (Hanako's conflicted copy 2026-12-08 (1)).vad",
            Program::Dropbox);
        row("OneDrive", data, "Data-HANAKO-PC.vad", Program::OneDrive);
        row("OneDrive, lower case", data, "Data-laptop_2.vad", Program::OneDrive);
        row("another calendar's name", QStringLiteral("日記 2026.vad"),
            "日記 2026.sync-conflict-20261208-101530-ABCDEF7.vad", Program::Syncthing);
        row("another calendar's OneDrive copy", QStringLiteral("日記 2026.vad"),
            "日記 2026-HANAKO-PC.vad", Program::OneDrive);

        row("the calendar itself", data, "Data.vad", none);
        row("a backup", data, "Data-20261208-101530-000012.vad", none);
        row("a backup of an earlier version", data, "Data-20261208-101530.vad", none);
        row("a backup of an earlier version, second", data, "Data-20261208-101530-2.vad", none);
        row("a calendar set aside", data, "Data-20261208-101530-damaged.vad", none);
        row("the marker of a calendar in use", data, "Data.vad.inuse", none);
        row("an encrypted write under way", data, ".Data.vad.part", none);
        row("a range change's copy", data, "New.vad", none);
        row("a restore under way", data, "Restore.vad", none);
        row("the journal", data, "Data.vad-journal", none);
        row("a Syncthing copy of another file", data,
            "Other.sync-conflict-20261208-101530-ABCDEF7.vad", none);
        row("a Syncthing device id too short", data, "Data.sync-conflict-20261208-101530-ABC.vad",
            none);
        row("another ending", data, "Data (conflicted copy 2026-12-08 101530).txt", none);
        row("Syncthing's temporary file", data, "~syncthing~Data.vad.tmp", none);
        row("a OneDrive name with a space", data, "Data-HANAKO PC.vad", none);
        row("a calendar of another name than the copies'", QStringLiteral("日記 2026.vad"),
            "Data.sync-conflict-20261208-101530-ABCDEF7.vad", none);
    }
    void names()
    {
        QFETCH(QString, calendar);
        QFETCH(QString, name);
        QFETCH(std::optional<Program>, program);
        QCOMPARE(ConflictCopyNames::match(calendar, name), program);

        QTemporaryDir base;
        const QString folder = base.filePath(QStringLiteral("同期 フォルダ/私の 日記"));
        QVERIFY(QDir().mkpath(folder));
        for (const QString& file : {calendar, name}) {
            QFile made(folder + QLatin1Char('/') + file);
            QVERIFY(made.open(QIODevice::WriteOnly));
        }
        const QString calendarPath = folder + QLatin1Char('/') + calendar;
        QCOMPARE(ConflictCopyNames::find(calendarPath),
                 program ? QStringList{folder + QLatin1Char('/') + name} : QStringList());
    }
};

ZEDU_TEST_MAIN(tst_ConflictCopyNames)
#include "tst_ConflictCopyNames.moc"
