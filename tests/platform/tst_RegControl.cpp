#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

class tst_RegControl : public QObject
{
    Q_OBJECT

    QString settingsFile() const
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/voradu/zedu.conf");
    }

    void writeRaw(const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

private slots:
    void init()
    {
        QFile::remove(settingsFile());
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QFile::remove(config + QStringLiteral("/voradu"));
        QDir(config + QStringLiteral("/voradu")).removeRecursively();
    }

    void settingsStayInTheTestHome()
    {
        QVERIFY(settingsFile().startsWith(qEnvironmentVariable("ZEDU_TEST_SCRATCH")));
    }

    void missingKeyGivesDefaults()
    {
        QVERIFY(!QFile::exists(settingsFile()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QStringLiteral("0")),
                 QStringLiteral("0"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Height"), QStringLiteral("3500")),
                 QStringLiteral("3500"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("-1")),
                 QStringLiteral("-1"));
        // Reading never creates the key.
        QVERIFY(!QFile::exists(settingsFile()));
    }

    void writeCreatesTheKeyAndReadsBack()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("Left"), QStringLiteral("1200")));
        QVERIFY(QFile::exists(settingsFile()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QStringLiteral("0")),
                 QStringLiteral("1200"));
        // Other values of the same key are still missing.
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Top"), QStringLiteral("0")), QStringLiteral("0"));
        QVERIFY(RegWrite(kRegKey, QStringLiteral("Left"), QStringLiteral("1234.5")));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QStringLiteral("0")),
                 QStringLiteral("1234.5"));
    }

    void numbersAreWrittenAsPlainDecimals()
    {
        QCOMPARE(RegNumberText(300000), QStringLiteral("300000"));
        QCOMPARE(RegNumberText(1200), QStringLiteral("1200"));
        QCOMPARE(RegNumberText(-5), QStringLiteral("-5"));
        QCOMPARE(RegNumberText(1200.5), QStringLiteral("1200.5"));
        QCOMPARE(RegNumberText(0.1 + 0.2).toDouble(), 0.1 + 0.2);
        QCOMPARE(RegNumberText(1e17), QStringLiteral("100000000000000000"));
        // Several values in one write, in their order.
        QVERIFY(RegWriteValues(kRegKey, {{QStringLiteral("WindowState"), QStringLiteral("0")},
                                         {QStringLiteral("Width"), RegNumberText(300000)}}));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Width"), QString()), QStringLiteral("300000"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("WindowState"), QString()), QStringLiteral("0"));
    }

    void valueNamesKeepTheirCase()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("-1")),
                 QStringLiteral("False"));
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("OpenFlag=False"));
    }

    void emptyTextIsNotTheDefault()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("Top"), QString()));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Top"), QStringLiteral("0")), QString());
    }

    void valueOfAnotherTypeGivesTheDefault()
    {
        writeRaw("[General]\nTop=@ByteArray(1200)\nLeft=1, "
                 "2\nWidth=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
                 "Height=4000\n");
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Top"), QStringLiteral("0")), QStringLiteral("0"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QStringLiteral("0")),
                 QStringLiteral("0"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Width"), QStringLiteral("6000")),
                 QStringLiteral("6000"));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Height"), QStringLiteral("3500")),
                 QStringLiteral("4000"));
    }

    void textsThatLookLikeListsSurviveAWrite()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("Note"), QStringLiteral("a, b")));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Note"), QString()), QStringLiteral("a, b"));
    }

    void unwritableStoreReportsFalse()
    {
        // A plain file where the key's folder should be: nothing can be written.
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir().mkpath(config);
        QFile blocker(config + QStringLiteral("/voradu"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!RegWrite(kRegKey, QStringLiteral("Left"), QStringLiteral("1")));
        QCOMPARE(RegRead(kRegKey, QStringLiteral("Left"), QStringLiteral("7")),
                 QStringLiteral("7"));
        QFile::remove(blocker.fileName());
    }

    void shellFoldersAreTheXdgFolders()
    {
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        QCOMPARE(ShellFolder(QStringLiteral("Startup")), config + QStringLiteral("/autostart"));
        QCOMPARE(ShellFolder(QStringLiteral("Programs")), data + QStringLiteral("/applications"));
        for (const QString& name :
             {QStringLiteral("Startup"), QStringLiteral("Desktop"), QStringLiteral("Programs")})
            QVERIFY(!ShellFolder(name).endsWith(QLatin1Char('/')));
        QCOMPARE(ShellFolder(QStringLiteral("Fonts")), QString());
        // Reading a folder never makes it.
        QVERIFY(!QFileInfo::exists(config + QStringLiteral("/autostart")));
    }

    void desktopIsTheFolderTheDesktopNames_data()
    {
        QTest::addColumn<QByteArray>("userDirs");
        QTest::addColumn<QString>("folder");
        const QString home = QDir::homePath();
        QTest::newRow("not set up") << QByteArray() << home + QStringLiteral("/Desktop");
        QTest::newRow("translated") << QByteArray("XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n")
                                    << home + QStringLiteral("/デスクトップ");
        QTest::newRow("elsewhere")
            << QByteArray("XDG_DESKTOP_DIR=\"/srv/desk top\"\n") << QStringLiteral("/srv/desk top");
        // The home folder itself is how a folder is switched off.
        QTest::newRow("home itself")
            << QByteArray("XDG_DESKTOP_DIR=\"$HOME/\"\n") << home + QStringLiteral("/Desktop");
    }
    void desktopIsTheFolderTheDesktopNames()
    {
        QFETCH(QByteArray, userDirs);
        QFETCH(QString, folder);
        const QString file =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/user-dirs.dirs");
        QFile::remove(file);
        if (!userDirs.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(userDirs);
        }
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdg-user-dir")).isEmpty(),
                 "xdg-user-dir (package xdg-user-dirs) is missing");
        QCOMPARE(ShellFolder(QStringLiteral("Desktop")), folder);
        // Without the tool, the usual folder.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        const QString withoutTool = ShellFolder(QStringLiteral("Desktop"));
        qputenv("PATH", path);
        QCOMPARE(withoutTool, QDir::homePath() + QStringLiteral("/Desktop"));
        QFile::remove(file);
    }

    void programsFoldersAreTheUsersThenTheSystems()
    {
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", "/opt/a/:/opt/b:/opt/a");
        const QStringList given = ProgramsFolders();
        qunsetenv("XDG_DATA_DIRS");
        const QStringList unset = ProgramsFolders();
        qputenv("XDG_DATA_DIRS", dirs);
        QCOMPARE(given, (QStringList{data + QStringLiteral("/applications"),
                                     QStringLiteral("/opt/a/applications"),
                                     QStringLiteral("/opt/b/applications")}));
        QCOMPARE(unset, (QStringList{data + QStringLiteral("/applications"),
                                     QStringLiteral("/usr/local/share/applications"),
                                     QStringLiteral("/usr/share/applications")}));
    }

    void findFileSearchesDepthFirst()
    {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        const QString base = root.path();
        auto touch = [](const QString& path) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        // Two folders deep, in a sub-folder listed before a matching file.
        touch(base + QStringLiteral("/a/b/ZEDU.desktop"));
        touch(base + QStringLiteral("/zedu.desktop"));
        touch(base + QStringLiteral("/c/zedu.desktop"));
        QCOMPARE(FindFile(base, QStringLiteral("zedu.desktop")),
                 base + QStringLiteral("/a/b/ZEDU.desktop"));
        QCOMPARE(FindFile(base + QLatin1Char('/'), QStringLiteral("Zedu.Desktop")),
                 base + QStringLiteral("/a/b/ZEDU.desktop"));
        QCOMPARE(FindFile(base + QStringLiteral("/c"), QStringLiteral("zedu.desktop")),
                 base + QStringLiteral("/c/zedu.desktop"));
        QCOMPARE(FindFile(base, QStringLiteral("other.desktop")), QString());
        QCOMPARE(FindFile(base + QStringLiteral("/missing"), QStringLiteral("zedu.desktop")),
                 QString());
        // A folder is never the match, only files are, and no dangling link.
        QCOMPARE(FindFile(base, QStringLiteral("b")), QString());
        QVERIFY(QDir().mkpath(base + QStringLiteral("/0")));
        QVERIFY(
            QFile::link(base + QStringLiteral("/gone"), base + QStringLiteral("/0/zedu.desktop")));
        QCOMPARE(FindFile(base, QStringLiteral("zedu.desktop")),
                 base + QStringLiteral("/a/b/ZEDU.desktop"));
    }

    void findFileSurvivesLinkLoops()
    {
        QTemporaryDir root;
        const QString base = root.path();
        QDir().mkpath(base + QStringLiteral("/x"));
        QVERIFY(QFile::link(base, base + QStringLiteral("/x/loop")));
        QCOMPARE(FindFile(base, QStringLiteral("nothing")), QString());
    }
};

ZEDU_TEST_MAIN(tst_RegControl)
#include "tst_RegControl.moc"
