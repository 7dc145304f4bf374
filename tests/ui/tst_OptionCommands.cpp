#include "platform/Globals.h"
#include "platform/RegControl.h"
#include "store/FileSession.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"
#include "tests/ui/MainWindowHarness.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

const QByteArray kEntry = "[Desktop Entry]\nType=Application\nName=Zedu\nExec=/opt/zedu/bin/zedu\n";

const QString kAskStartupOff = QStringLiteral(
    "現在「Windows 起動時に Zedu も起動」せずに、手動で Zedu を起動する様に設定されて"
    "います。\r「Windows 起動時に Zedu も起動」する様に設定しますか？");
const QString kAskStartupOn =
    QStringLiteral("現在「Windows 起動時に Zedu も起動」する様に設定されています。\r「Windows "
                   "起動時に Zedu も起動」せずに、手動で Zedu を起動する様にしますか？");
const QString kStartupOn =
    QStringLiteral("「Windows 起動時に Zedu も起動」する様に設定されました。");
const QString kStartupOff = QStringLiteral(
    "「Windows 起動時に Zedu も起動」せずに、手動で Zedu を起動する様に設定されました。");
const QString kAskDesktopOn =
    QStringLiteral("現在 Zedu はデスクトップに登録されています。\r削除しますか？");
const QString kAskDesktopOff =
    QStringLiteral("現在 Zedu はデスクトップに登録されていません。\r登録しますか？");
const QString kAskSpeedOn = QStringLiteral(
    "現在「速度優先」に設定されています。\r「速度優先」を外すと、メモリの消費量が減り"
    "ますが、動作速度は遅くなります。\r変更しますか？");
const QString kAskSpeedOff =
    QStringLiteral("現在「速度優先」に設定されていません。\r「速度優先」にすると、メモリの消費量が"
                   "増えますが、動作速度は速くなります。\r変更しますか？");

void removeAny(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile())
        QFile::remove(path);
    else if (info.isDir())
        QDir(path).removeRecursively();
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString setting()
{
    return RegRead(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("(none)"));
}

} // namespace

class tst_OptionCommands : public MainWindowHarness
{
    Q_OBJECT

    QString autostart() const
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart");
    }
    QString applications() const
    {
        return qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications");
    }
    QString desktop() const { return QDir::homePath() + QStringLiteral("/デスクトップ"); }
    QString userDirs() const
    {
        return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/user-dirs.dirs");
    }

    // The folders of the shortcut options as a fresh account has them, with
    // the desktop folder set up under a Japanese name.
    void freshFolders()
    {
        for (const QString& path : {autostart(), applications(), desktop(), userDirs()})
            removeAny(path);
        writeFile(userDirs(), "XDG_DESKTOP_DIR=\"$HOME/デスクトップ\"\n");
        QCOMPARE(ShellFolder(QStringLiteral("Desktop")), desktop());
    }

    QStringList answerAndRun(const char* item, bool yes, int boxesAfter)
    {
        boxes->clear();
        yes ? boxes->yes() : boxes->no();
        for (int i = 0; i < boxesAfter; ++i)
            boxes->ok();
        trigger(item);
        return boxes->texts();
    }

private slots:
    void startWithTheSessionCopiesAndDeletesTheShortcut()
    {
        freshFolders();
        // Two folders deep, its name in other letter case.
        const QString installed = applications() + QStringLiteral("/x/y/Zedu.desktop");
        writeFile(installed, kEntry);
        QVERIFY(!QFileInfo::exists(autostart()));
        start();
        QAction* mark = menuItem("mnuStartupCopy");
        QVERIFY(!mark->isChecked());

        QCOMPARE(answerAndRun("mnuStartupCopy", false, 0), QStringList{kAskStartupOff});
        QVERIFY(!mark->isChecked());
        QVERIFY(!QFileInfo::exists(autostart()));

        // The autostart folder is made when missing; the copy is whole and
        // executable, and nothing else is left there.
        QCOMPARE(answerAndRun("mnuStartupCopy", true, 1),
                 (QStringList{kAskStartupOff, kStartupOn}));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Information);
        QVERIFY(mark->isChecked());
        const QString copy = autostart() + QStringLiteral("/zedu.desktop");
        QCOMPARE(readFile(copy), kEntry);
        QVERIFY(QFileInfo(copy).isExecutable());
        QCOMPARE(entriesOf(autostart()), QStringList{QStringLiteral("zedu.desktop")});

        QCOMPARE(answerAndRun("mnuStartupCopy", false, 0), QStringList{kAskStartupOn});
        QVERIFY(mark->isChecked());
        QVERIFY(QFileInfo::exists(copy));

        QCOMPARE(answerAndRun("mnuStartupCopy", true, 1),
                 (QStringList{kAskStartupOn, kStartupOff}));
        QVERIFY(!mark->isChecked());
        QVERIFY(!QFileInfo::exists(copy));
        QCOMPARE(readFile(installed), kEntry);
    }

    void noShortcutAnywhereWarnsAndKeepsTheMarks()
    {
        freshFolders();
        writeFile(applications() + QStringLiteral("/zedu-other.desktop"), kEntry);
        start();
        QCOMPARE(answerAndRun("mnuStartupCopy", true, 1),
                 (QStringList{kAskStartupOff,
                              QStringLiteral("あなたのｺﾝﾋﾟｭｰﾀｰの環境では「Windows 起動時に Zedu "
                                             "も起動」する様に設定できません。")}));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Warning);
        QVERIFY(!menuItem("mnuStartupCopy")->isChecked());
        QVERIFY(!QFileInfo::exists(autostart()));

        QCOMPARE(answerAndRun("mnuDisktopCopy", true, 1),
                 (QStringList{kAskDesktopOff, QStringLiteral("あなたのｺﾝﾋﾟｭｰﾀｰの環境では、デスク"
                                                             "トップに登録できません。")}));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Warning);
        QVERIFY(!menuItem("mnuDisktopCopy")->isChecked());
        QVERIFY(!QFileInfo::exists(desktop()));
    }

    void theUsersFolderIsSearchedBeforeTheSystemFolders()
    {
        freshFolders();
        QTemporaryDir first, second;
        const QByteArray before = qgetenv("XDG_DATA_DIRS");
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_DIRS", before); });
        qputenv("XDG_DATA_DIRS", (first.path() + QLatin1Char(':') + second.path()).toUtf8());
        writeFile(second.filePath(QStringLiteral("applications/zedu.desktop")), "second");
        writeFile(first.filePath(QStringLiteral("applications/sub/ZEDU.DESKTOP")), "first");
        start();
        const QString copy = autostart() + QStringLiteral("/zedu.desktop");
        answerAndRun("mnuStartupCopy", true, 1);
        QCOMPARE(readFile(copy), QByteArray("first"));
        answerAndRun("mnuStartupCopy", true, 1);
        writeFile(applications() + QStringLiteral("/zedu.desktop"), "mine");
        answerAndRun("mnuStartupCopy", true, 1);
        QCOMPARE(readFile(copy), QByteArray("mine"));
    }

    void desktopShortcutDeletedByHand()
    {
        freshFolders();
        writeFile(applications() + QStringLiteral("/zedu.desktop"), kEntry);
        writeFile(desktop() + QStringLiteral("/zedu.desktop"), kEntry);
        writeFile(desktop() + QStringLiteral("/memo.txt"), "memo");
        start();
        QAction* mark = menuItem("mnuDisktopCopy");
        QVERIFY(mark->isChecked());
        QVERIFY(QFile::remove(desktop() + QStringLiteral("/zedu.desktop")));

        QCOMPARE(answerAndRun("mnuDisktopCopy", true, 1),
                 (QStringList{kAskDesktopOn, QStringLiteral("デスクトップから削除されました。")}));
        QVERIFY(!mark->isChecked());
        QCOMPARE(entriesOf(desktop()), QStringList{QStringLiteral("memo.txt")});

        // Registered again: a launcher the desktop will start.
        QCOMPARE(answerAndRun("mnuDisktopCopy", true, 1),
                 (QStringList{kAskDesktopOff, QStringLiteral("デスクトップに登録されました。")}));
        QVERIFY(mark->isChecked());
        QCOMPARE(readFile(desktop() + QStringLiteral("/zedu.desktop")), kEntry);
        QVERIFY(QFileInfo(desktop() + QStringLiteral("/zedu.desktop")).isExecutable());
    }

    void readOnlyAutostartFolderWarnsAndKeepsTheMark()
    {
        // Root writes anywhere, so the program runs as an unprivileged user
        // in a child process, with a home of its own.
        const bool root = ::geteuid() == 0;
        QTemporaryDir base;
        QVERIFY(base.isValid());
        const QString t = base.path();
        const QString startup = t + QStringLiteral("/config/autostart");
        for (const char* sub :
             {"home", "config/autostart", "data", "cache", "runtime", "tmp", "app"})
            QVERIFY(QDir().mkpath(t + QLatin1Char('/') + QLatin1String(sub)));
        writeFile(t + QStringLiteral("/data/applications/a/b/zedu.desktop"), kEntry);
        QVERIFY(MakeCalendarFile(t + QStringLiteral("/app/Data.vad"), 202612, 202712));
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                          QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        const auto readOnly = open & ~QFileDevice::Permissions(QFile::WriteOwner);
        QVERIFY(QFile::setPermissions(t, open));
        QVERIFY(QFile::setPermissions(t + QStringLiteral("/runtime"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (root) {
            const passwd* nobody = ::getpwnam("nobody");
            const group* nogroup = ::getgrnam("nogroup");
            QVERIFY(nobody && nogroup);
            // Everything is the child's but the autostart folder.
            QVERIFY(::chown(QFile::encodeName(t).constData(), nobody->pw_uid, nogroup->gr_gid) ==
                    0);
            QDirIterator it(t, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (path != startup)
                    QVERIFY(::chown(QFile::encodeName(path).constData(), nobody->pw_uid,
                                    nogroup->gr_gid) == 0);
            }
        }

        auto run = [&] {
            QProcess host;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            const struct
            {
                const char* name;
                const char* sub;
            } vars[] = {{"HOME", "home"},
                        {"XDG_CONFIG_HOME", "config"},
                        {"XDG_DATA_HOME", "data"},
                        {"XDG_CACHE_HOME", "cache"},
                        {"XDG_RUNTIME_DIR", "runtime"},
                        {"TMPDIR", "tmp"},
                        {"XDG_DATA_DIRS", "data-dirs"},
                        {"XDG_CONFIG_DIRS", "config-dirs"}};
            for (const auto& v : vars)
                env.insert(QLatin1String(v.name), t + QLatin1Char('/') + QLatin1String(v.sub));
            host.setProcessEnvironment(env);
            QStringList args{QStringLiteral(ZEDU_UIHOST), t + QStringLiteral("/app"),
                             QStringLiteral("mnuStartupCopy")};
            if (root)
                args =
                    QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                QStringLiteral("--clear-groups")} +
                    args;
            host.start(root ? QStringLiteral("setpriv") : args.takeFirst(), args);
            if (!host.waitForFinished(120000))
                host.kill();
            const QString err = QString::fromUtf8(host.readAllStandardError());
            if (host.exitCode() != 0)
                qWarning("%s", qPrintable(err));
            return QString::fromUtf8(host.readAllStandardOutput())
                .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        const QString shortcut = startup + QStringLiteral("/zedu.desktop");
        const QString warning = QStringLiteral("box %1|").arg(int(Dialogs::Kind::Warning));
        const QString question = QStringLiteral("box %1|").arg(int(Dialogs::Kind::Question));

        // Off: the copy cannot be written.
        QVERIFY(QFile::setPermissions(startup, readOnly));
        QCOMPARE(run(),
                 (QStringList{question + kAskStartupOff,
                              warning +
                                  QStringLiteral("「Windows 起動時に Zedu も起動」する様に"
                                                 "設定できませんでした。\r「") +
                                  shortcut +
                                  QStringLiteral("」を作成できません。\rアクセスする権限が"
                                                 "ありません。"),
                              QStringLiteral("mark mnuStartupCopy 0"), QStringLiteral("done")}));
        QCOMPARE(entriesOf(startup), QStringList());

        // On (a shortcut put there for the user): it cannot be deleted.
        QVERIFY(QFile::setPermissions(startup, open));
        writeFile(shortcut, kEntry);
        QVERIFY(QFile::setPermissions(startup, readOnly));
        QCOMPARE(run(),
                 (QStringList{question + kAskStartupOn,
                              warning +
                                  QStringLiteral("「Windows 起動時に Zedu も起動」しない様"
                                                 "に設定できませんでした。\r「") +
                                  shortcut +
                                  QStringLiteral("」を削除できません。\rアクセスする権限が"
                                                 "ありません。"),
                              QStringLiteral("mark mnuStartupCopy 1"), QStringLiteral("done")}));
        QCOMPARE(readFile(shortcut), kEntry);
        QVERIFY(QFile::setPermissions(startup, open));
    }

    void speedPriorityOffAndOnInOneRun()
    {
        start();
        QAction* mark = menuItem("mnuSpeed");
        QVERIFY(gOpenFlag && mark->isChecked() && gDatabase.isOpen());

        QCOMPARE(answerAndRun("mnuSpeed", false, 0), QStringList{kAskSpeedOn});
        QVERIFY(gOpenFlag && mark->isChecked() && gDatabase.isOpen());
        QCOMPARE(setting(), QStringLiteral("(none)"));

        QCOMPARE(answerAndRun("mnuSpeed", true, 1),
                 (QStringList{kAskSpeedOn, QStringLiteral("「速度優先」ではなくなりました。")}));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Information);
        QVERIFY(!gOpenFlag && !mark->isChecked() && !gDatabase.isOpen());
        QCOMPARE(setting(), QStringLiteral("False"));
        // Every operation now lets the file go again.
        typeEntry(QStringLiteral("abc"));
        clickDay(8);
        {
            SqlPeek other(dataPath());
            QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QVERIFY(other.exec(QStringLiteral("COMMIT")));
        }
        QCOMPARE(ReadDayField(dataPath(), 20261207, QStringLiteral("内容")).toString(),
                 QStringLiteral("abc"));

        QCOMPARE(answerAndRun("mnuSpeed", true, 1),
                 (QStringList{kAskSpeedOff, QStringLiteral("「速度優先」に設定されました。")}));
        QVERIFY(gOpenFlag && mark->isChecked() && gDatabase.isOpen());
        QCOMPARE(setting(), QStringLiteral("True"));
        answerAndRun("mnuSpeed", true, 1);
        QCOMPARE(setting(), QStringLiteral("False"));
    }

    void speedSettingThatCannotBeWrittenStillHoldsForTheRun()
    {
        start();
        const QString settings =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/voradu");
        QVERIFY(QDir(settings).removeRecursively());
        writeFile(settings, "in the way");
        QCOMPARE(answerAndRun("mnuSpeed", true, 2),
                 (QStringList{kAskSpeedOn, QStringLiteral("設定変更に失敗しました。"),
                              QStringLiteral("「速度優先」ではなくなりました。")}));
        QCOMPARE(boxes->boxes[1].kind, Dialogs::Kind::Warning);
        QVERIFY(!gOpenFlag && !menuItem("mnuSpeed")->isChecked() && !gDatabase.isOpen());
        QVERIFY(QFile::remove(settings));
    }

    void speedPriorityOnWithTheCalendarGoneChangesNothing()
    {
        QVERIFY(RegWrite(kRegKey, QStringLiteral("OpenFlag"), QStringLiteral("False")));
        start();
        QVERIFY(QFile::rename(dataPath(), dataPath() + QStringLiteral(".away")));
        const QStringList texts = answerAndRun("mnuSpeed", true, 1);
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts[0], kAskSpeedOff);
        QVERIFY(texts[1].startsWith(QStringLiteral("暦ファイルの読み書きに失敗しました。\r")));
        QVERIFY(!gOpenFlag && !menuItem("mnuSpeed")->isChecked() && !gDatabase.isOpen());
        QCOMPARE(setting(), QStringLiteral("False"));
        QVERIFY(QFile::rename(dataPath() + QStringLiteral(".away"), dataPath()));
    }
};

ZEDU_TEST_MAIN(tst_OptionCommands)
#include "tst_OptionCommands.moc"
