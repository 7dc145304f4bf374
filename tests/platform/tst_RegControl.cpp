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
        const QString desktop = ShellFolder(QStringLiteral("Desktop"));
        QVERIFY(desktop.startsWith(qEnvironmentVariable("HOME")));
        for (const QString& name :
             {QStringLiteral("Startup"), QStringLiteral("Desktop"), QStringLiteral("Programs")})
            QVERIFY(!ShellFolder(name).endsWith(QLatin1Char('/')));
        QCOMPARE(ShellFolder(QStringLiteral("Fonts")), QString());
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
        // A folder is never the match, only files are.
        QCOMPARE(FindFile(base, QStringLiteral("b")), QString());
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
