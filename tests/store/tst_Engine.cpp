#include "store/Engine.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>

#include <optional>

class tst_Engine : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    QByteArray bytes(const QString& file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Runs `work` and returns the cause of the EngineError it throws.
    template <typename Work> static std::optional<EngineError> failureOf(Work work)
    {
        try {
            work();
        } catch (const EngineError& e) {
            return e;
        }
        return std::nullopt;
    }

private slots:
    void causesOfRealFailures()
    {
        using Cause = EngineError::Cause;
        auto causeOf = [](const std::optional<EngineError>& e) {
            return e ? int(e->cause()) : -1;
        };
        Database db;
        const QString missing = path(QStringLiteral("missing.vad"));
        QCOMPARE(causeOf(failureOf([&] { db.open(missing); })), int(Cause::Missing));

        const QString empty = path(QStringLiteral("empty.vad"));
        QFile(empty).open(QIODevice::WriteOnly);
        QCOMPARE(causeOf(failureOf([&] { db.open(empty); })), int(Cause::Damaged));

        // SQLite's header, then pages of nonsense.
        const QString broken = path(QStringLiteral("broken.vad"));
        {
            QFile f(broken);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("SQLite format 3\0", 16) + QByteArray(8192, 'x'));
        }
        QCOMPARE(causeOf(failureOf([&] {
                     db.open(broken);
                     db.exec(QStringLiteral("SELECT count(*) FROM Master"));
                 })),
                 int(Cause::Damaged));

        const QString other = path(QStringLiteral("other.vad"));
        Database::Create(other);
        db.open(other);
        db.exec(QStringLiteral("CREATE TABLE Something (x)"));
        QCOMPARE(causeOf(failureOf([&] { db.exec(QStringLiteral("SELECT 1 FROM Master")); })),
                 int(Cause::Damaged));
        // A mistake of the program's own names no cause.
        const std::optional<EngineError> syntax =
            failureOf([&] { db.exec(QStringLiteral("SELEC nonsense")); });
        QCOMPARE(causeOf(syntax), int(Cause::Unknown));
        QCOMPARE(syntax->causeText(), QString());

        // The file may not grow: SQLite's "database or disk is full".
        db.exec(QStringLiteral("PRAGMA max_page_count = 3"));
        const std::optional<EngineError> full = failureOf(
            [&] { db.exec(QStringLiteral("INSERT INTO Something VALUES (zeroblob(100000))")); });
        QCOMPARE(causeOf(full), int(Cause::DiskFull));
        QCOMPARE(full->causeText(), QStringLiteral("ディスクの空き容量が足りません。"));
        db.close();

        // Another connection holds the file.
        Database holder;
        holder.open(other);
        holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        db.open(other);
        const std::optional<EngineError> busy =
            failureOf([&] { db.exec(QStringLiteral("SELECT count(*) FROM Something")); });
        QCOMPARE(causeOf(busy), int(Cause::InUse));
        QCOMPARE(busy->causeText(), QStringLiteral("暦ファイルが他のプログラムで使用中です。"));
    }

    void openingNeverCreatesAFile()
    {
        Database db;
        const QString missing = path(QStringLiteral("フォルダ 名/#1?.vad"));
        try {
            db.open(missing);
            QFAIL("opened a missing file");
        } catch (const EngineError& e) {
            QCOMPARE(e.file(), missing);
            QVERIFY(!e.message().isEmpty());
            QVERIFY(e.text().contains(missing));
        }
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!db.isOpen());
    }

    void foreignFileFailsAndStaysUnchanged()
    {
        const QString file = path(QStringLiteral("foreign.vad"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("This is not a database at all, just some text.\n").repeated(100));
        f.close();
        const QByteArray before = bytes(file);
        Database db;
        QVERIFY_THROWS_EXCEPTION(EngineError, db.open(file));
        QCOMPARE(bytes(file), before);
    }

    void createRefusesAnExistingFile()
    {
        const QString file = path(QStringLiteral("exists.vad"));
        Database::Create(file);
        QVERIFY(QFile::exists(file));
        QVERIFY_THROWS_EXCEPTION(EngineError, Database::Create(file));
    }

    void valuesAreBoundNotSpliced()
    {
        const QString file = path(QStringLiteral("values.vad"));
        Database::Create(file);
        Database db;
        db.open(file);
        db.exec(QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)"));
        const QString tricky = QStringLiteral("it's '); DROP TABLE t; -- 𠮷\r\n改行");
        Query insert(db, QStringLiteral("INSERT INTO t VALUES (?, ?)"));
        insert.bind(1).bind(tricky).exec();
        insert.bind(2).bind(QStringLiteral("")).exec();
        Query select(db, QStringLiteral("SELECT v FROM t ORDER BY k"));
        select.exec();
        QVERIFY(select.next());
        QCOMPARE(select.value(0).toString(), tricky);
        QVERIFY(select.next());
        QVERIFY(!select.value(0).isNull());
        QVERIFY(!select.next());
    }

    void engineMessagesReachTheCaller()
    {
        const QString file = path(QStringLiteral("errors.vad"));
        Database::Create(file);
        Database db;
        db.open(file);
        try {
            db.exec(QStringLiteral("SELEC nonsense"));
            QFAIL("no error");
        } catch (const EngineError& e) {
            QVERIFY2(e.message().contains(QLatin1String("syntax error")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, Query(db, QStringLiteral("SELECT * FROM Master")));
        db.close();
        QVERIFY_THROWS_EXCEPTION(EngineError, db.exec(QStringLiteral("SELECT 1")));
    }

    void rollbackUndoes()
    {
        const QString file = path(QStringLiteral("tx.vad"));
        Database::Create(file);
        Database db;
        db.open(file);
        db.exec(QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY)"));
        db.beginTrans();
        db.exec(QStringLiteral("INSERT INTO t VALUES (1)"));
        db.rollback();
        QVERIFY(!db.inTransaction());
        db.rollback(); // nothing under way: no error
        Query count(db, QStringLiteral("SELECT count(*) FROM t"));
        count.exec();
        QVERIFY(count.next());
        QCOMPARE(count.value(0).toInt(), 0);
    }

    void exclusiveOpenLocksOthersOut()
    {
        const QString file = path(QStringLiteral("excl.vad"));
        Database::Create(file);
        {
            Database setup;
            setup.open(file);
            setup.exec(QStringLiteral("CREATE TABLE t (k INTEGER)"));
        }
        Database owner;
        owner.open(file, true);
        Database other;
        QVERIFY_THROWS_EXCEPTION(EngineError, {
            other.open(file);
            other.exec(QStringLiteral("INSERT INTO t VALUES (1)"));
        });
        owner.close();
        other.close();
        other.open(file);
        other.exec(QStringLiteral("INSERT INTO t VALUES (1)"));
    }

    void compactionWritesANewFileOnly()
    {
        const QString file = path(QStringLiteral("big.vad"));
        const QString copy = path(QStringLiteral("copy.vad"));
        Database::Create(file);
        Database db;
        db.open(file);
        db.exec(QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)"));
        db.compactInto(copy);
        QVERIFY(QFile::exists(copy));
        QVERIFY_THROWS_EXCEPTION(EngineError, db.compactInto(copy));
        Database check;
        check.open(copy);
        check.exec(QStringLiteral("SELECT k FROM t"));
    }
};

ZEDU_TEST_MAIN(tst_Engine)
#include "tst_Engine.moc"
