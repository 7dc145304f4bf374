#include "platform/ShortcutFiles.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

class tst_ShortcutFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir root;
    QString path(const char* relative) const { return root.filePath(QLatin1String(relative)); }

private slots:
    void copyMakesTheFolderAndReplacesInOneStep()
    {
        writeFile(path("apps/zedu.desktop"), "new");
        QVERIFY(!CopyShortcut(path("apps/zedu.desktop"), path("a/b/zedu.desktop")));
        QCOMPARE(readFile(path("a/b/zedu.desktop")), QByteArray("new"));
        const QFile::Permissions p = QFile::permissions(path("a/b/zedu.desktop"));
        QVERIFY(p.testFlag(QFile::ExeOwner) && p.testFlag(QFile::ReadOther));
        QVERIFY(!p.testFlag(QFile::WriteOther));

        // An older copy is replaced; no scratch file is left behind.
        writeFile(path("a/b/zedu.desktop"), "an older and longer shortcut");
        QVERIFY(!CopyShortcut(path("apps/zedu.desktop"), path("a/b/zedu.desktop")));
        QCOMPARE(readFile(path("a/b/zedu.desktop")), QByteArray("new"));
        QCOMPARE(
            QDir(path("a/b")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("zedu.desktop")});

        // Onto itself, through a linked folder: left whole.
        QVERIFY(QFile::link(path("apps"), path("linked")));
        QVERIFY(!CopyShortcut(path("apps/zedu.desktop"), path("linked/zedu.desktop")));
        QCOMPARE(readFile(path("apps/zedu.desktop")), QByteArray("new"));
    }

    void copyFailuresNameTheStepAndThePath()
    {
        writeFile(path("src/zedu.desktop"), "x");
        writeFile(path("blocked"), "a file where a folder should be");
        auto problem = CopyShortcut(path("src/zedu.desktop"), path("blocked/sub/zedu.desktop"));
        QVERIFY(problem);
        QCOMPARE(problem->step, FileProblem::CreateFolder);
        QCOMPARE(problem->path, path("blocked/sub"));
        QCOMPARE(FileProblemText(*problem),
                 QStringLiteral("フォルダー「") + path("blocked/sub") +
                     QStringLiteral("」を作成できません。\rフォルダーの代わりに同じ名前のファイルが"
                                    "あります。"));

        problem = CopyShortcut(path("src/missing.desktop"), path("dst/zedu.desktop"));
        QVERIFY(problem);
        QCOMPARE(problem->step, FileProblem::Read);
        QCOMPARE(problem->path, path("src/missing.desktop"));
        QCOMPARE(problem->cause, QStringLiteral("ファイルまたはフォルダーが見つかりません。"));

        // A folder of that name is not replaced.
        writeFile(path("dst/zedu.desktop/keep"), "kept");
        problem = CopyShortcut(path("src/zedu.desktop"), path("dst/zedu.desktop"));
        QVERIFY(problem);
        QCOMPARE(problem->step, FileProblem::Write);
        QCOMPARE(problem->cause, QStringLiteral("同じ名前のフォルダーがあります。"));
        QCOMPARE(readFile(path("dst/zedu.desktop/keep")), QByteArray("kept"));
        QCOMPARE(
            QDir(path("dst")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("zedu.desktop")});
    }

    void deleteTakesOnlyFiles()
    {
        QVERIFY(!DeleteShortcut(path("none/zedu.desktop")));
        writeFile(path("del/zedu.desktop"), "x");
        QVERIFY(!DeleteShortcut(path("del/zedu.desktop")));
        QVERIFY(!QFileInfo::exists(path("del/zedu.desktop")));
        writeFile(path("del2/zedu.desktop/inside"), "x");
        QVERIFY(!DeleteShortcut(path("del2/zedu.desktop")));
        QVERIFY(QFileInfo::exists(path("del2/zedu.desktop/inside")));
    }
};

ZEDU_TEST_MAIN(tst_ShortcutFiles)
#include "tst_ShortcutFiles.moc"
