#include "platform/Globals.h"
#include "platform/HelpFile.h"
#include "platform/basMain.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

namespace {

void writeFile(const QString& path, const QByteArray& contents,
               QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), contents.size());
    file.close();
    QVERIFY(file.setPermissions(permissions));
}

const QString kCannotOpen = QStringLiteral("ヘルプが開けませんでした。");

} // namespace

class tst_HelpCommands : public MainWindowHarness
{
    Q_OBJECT

    // A stand-in for the desktop's opener that writes its arguments, one a
    // line, into "args" beside itself.
    QString fakeViewer(const QTemporaryDir& dir, bool executable = true)
    {
        const QString path = dir.filePath(QStringLiteral("xdg-open"));
        QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
        if (executable)
            permissions |= QFile::ExeOwner;
        writeFile(path,
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
                  "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"\n",
                  permissions);
        return dir.path() + QLatin1Char('/');
    }

private slots:
    void helpOpensTheManualInTheViewer()
    {
        // The app folder of the tests is the calendar's temporary folder.
        writeFile(folder->filePath(kHelpFile), "<html></html>");
        start();
        QTemporaryDir viewer;
        gWindowsFolder = fakeViewer(viewer);
        trigger("mnuHelpCategory");
        const QString args = viewer.filePath(QStringLiteral("args"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(args), 10000);
        QFile file(args);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, QStringList{folder->filePath(kHelpFile)});
        QVERIFY(QFile::exists(lines[0]));
        QCOMPARE(boxes->boxes.size(), 0);
    }

    void viewerThatCannotOpenTheManualWarns_data()
    {
        // The opener in the viewer folder: none, one that cannot be run, or
        // one that runs and finds nothing to show the manual with.
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("executable");
        QTest::newRow("no opener") << QByteArray() << false;
        QTest::newRow("opener not executable") << QByteArray("#!/bin/sh\nexit 0\n") << false;
        QTest::newRow("no program for the manual")
            << QByteArray("#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" "
                          ">&2\nexit 3\n")
            << true;
        QTest::newRow("opener killed") << QByteArray("#!/bin/sh\nkill -9 $$\n") << true;
    }
    void viewerThatCannotOpenTheManualWarns()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, executable);
        writeFile(folder->filePath(kHelpFile), "<html></html>");
        start();
        QTemporaryDir viewer;
        if (!script.isEmpty())
            writeFile(viewer.filePath(QStringLiteral("xdg-open")), script,
                      QFile::ReadOwner | QFile::WriteOwner |
                          (executable ? QFile::ExeOwner : QFile::Permissions()));
        gWindowsFolder = viewer.path() + QLatin1Char('/');
        boxes->ok();
        trigger("mnuHelpCategory");
        // An opener that ran says so only when it ends.
        QTRY_COMPARE_WITH_TIMEOUT(boxes->texts(), QStringList{kCannotOpen}, 10000);
        QCOMPARE(boxes->boxes[0].kind, Dialogs::Kind::Warning);
        QVERIFY(window()->isEnabled());
    }

    void missingManualIsNamed()
    {
        start();
        QTemporaryDir viewer;
        gWindowsFolder = fakeViewer(viewer);
        boxes->ok();
        trigger("mnuHelpCategory");
        QCOMPARE(
            boxes->texts(),
            QStringList{kCannotOpen +
                        QStringLiteral("\rヘルプのファイル（help/index.html）が見つかりません。")});
        QVERIFY(!QFile::exists(viewer.filePath(QStringLiteral("args"))));
    }

    void manualNamesWhatTheProgramKeepsAndBacksUp()
    {
        QFile file(QStringLiteral(ZEDU_APP_DIR "/") + kHelpFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString manual = QString::fromUtf8(file.readAll());
        const auto section = [&](const char* id) {
            const qsizetype at = manual.indexOf(QStringLiteral("id=\"%1\"").arg(QLatin1String(id)));
            return manual.mid(at, manual.indexOf(QStringLiteral("<h3"), at) - at)
                .normalized(QString::NormalizationForm_KC);
        };
        start();
        // Every command that makes a backup before it changes the calendar
        // is named where the manual says which do.
        const QString backups = section("file-auto-backup");
        for (const char* name :
             {"mnuDateRange", "mnuChangeAll", "mnuWeekDayAll", "mnuNotWeekDayAll", "mnuWeekAll",
              "mnuWeekNotAll", "mnuPlanAll", "mnuPublicHolidays", "mnuRestore", "mnuImport"}) {
            const QString caption = menuItem(name)->text().section(QLatin1Char('('), 0, 0);
            QVERIFY2(backups.contains(caption.normalized(QString::NormalizationForm_KC)),
                     qPrintable(caption));
        }
        // Every value the window stores is in the table of settings.
        trigger("mnuWordWrap");
        trigger("mnuMarkEntries");
        stop();
        const QString settings = section("support-settings");
        const QSettings stored(qEnvironmentVariable("XDG_CONFIG_HOME") +
                                   QStringLiteral("/voradu/zedu.conf"),
                               QSettings::IniFormat);
        QVERIFY(stored.allKeys().contains(QStringLiteral("MarkEntries")));
        for (const QString& key : stored.allKeys())
            QVERIFY2(settings.contains(
                         QStringLiteral("<code>%1</code>").arg(key.section(QLatin1Char('/'), -1))),
                     qPrintable(key));
    }

    void manualIsFoundBesideTheProgramOrInTheInstalledDataFolder()
    {
        // An installed tree: <prefix>/bin/zedu and <prefix>/share/zedu/help.
        QTemporaryDir prefix;
        const QString bin = prefix.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        const QString installed = prefix.filePath(QStringLiteral("share/zedu/") + kHelpFile);
        setAppFolderForTesting(bin);
        QCOMPARE(HelpFilePath(), QString());
        writeFile(installed, "installed");
        QCOMPARE(HelpFilePath(), installed);
        // A copy beside the program wins, as in the build tree.
        writeFile(bin + QLatin1Char('/') + kHelpFile, "beside");
        QCOMPARE(HelpFilePath(), bin + QLatin1Char('/') + kHelpFile);
        // Elsewhere, the per-user data folder (an install in ~/.local).
        QVERIFY(QFile::remove(bin + QLatin1Char('/') + kHelpFile));
        QVERIFY(QFile::remove(installed));
        const QString perUser =
            qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/zedu/") + kHelpFile;
        writeFile(perUser, "per user");
        QCOMPARE(HelpFilePath(), perUser);
        QVERIFY(QFile::remove(perUser));
        setAppFolderForTesting(folder->path());
    }

    void buildTreeHoldsTheWholeManual()
    {
        setAppFolderForTesting(QStringLiteral(ZEDU_APP_DIR));
        const QString manual = HelpFilePath();
        setAppFolderForTesting(folder->path());
        QCOMPARE(manual, QStringLiteral(ZEDU_APP_DIR "/") + kHelpFile);

        // Every page it links to, every picture and every anchor is there.
        QSet<QString> pages{manual};
        QStringList queue{manual};
        while (!queue.isEmpty()) {
            const QString page = queue.takeFirst();
            QFile file(page);
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains(QStringLiteral("<meta charset=\"utf-8\">")), qPrintable(page));
            // Each anchor once: a link to a repeated one lands on its first.
            QSet<QString> ids;
            static const QRegularExpression idPattern(QStringLiteral("\\bid=\"([^\"]+)\""));
            for (const auto& m : idPattern.globalMatch(html)) {
                QVERIFY2(!ids.contains(m.captured(1)), qPrintable(m.captured(1)));
                ids.insert(m.captured(1));
            }
            static const QRegularExpression linkPattern(
                QStringLiteral("\\b(?:href|src)=\"([^\"]+)\""));
            for (const auto& m : linkPattern.globalMatch(html)) {
                const QString link = m.captured(1);
                if (link.contains(QLatin1Char(':')))
                    continue; // mailto: and web addresses
                const QString target = link.section(QLatin1Char('#'), 0, 0);
                const QString anchor = link.section(QLatin1Char('#'), 1);
                const QString path =
                    target.isEmpty()
                        ? page
                        : QDir::cleanPath(QFileInfo(page).absolutePath() + QLatin1Char('/') +
                                          QUrl::fromPercentEncoding(target.toUtf8()));
                QVERIFY2(QFile::exists(path), qPrintable(page + QStringLiteral(": ") + link));
                if (target.isEmpty() && !anchor.isEmpty())
                    QVERIFY2(ids.contains(anchor), qPrintable(page + QStringLiteral(": ") + link));
                if (path.endsWith(QLatin1String(".html")) && !pages.contains(path)) {
                    pages.insert(path);
                    queue << path;
                }
            }
        }
    }
};

ZEDU_TEST_MAIN(tst_HelpCommands)
#include "tst_HelpCommands.moc"
