#include "store/CalendarCheck.h"
#include "store/DirectQuery.h"
#include "store/Engine.h"
#include "store/Utf8Ahead.h"
#include "tests/support/TestMain.h"

#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <functional>

using namespace Qt::StringLiterals;

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

    // The cause of the EngineError that `work` throws.
    template <typename Work> static QString causeOf(Work work)
    {
        try {
            work();
        } catch (const EngineError& e) {
            return e.causeText();
        }
        return QStringLiteral("no failure");
    }

private slots:
    void causesOfRealFailures()
    {
        const int wait = Database::busyWait();
        Database::setBusyWait(50);
        const auto restore = qScopeGuard([wait] { Database::setBusyWait(wait); });
        const QString empty = path(QStringLiteral("empty.vad"));
        QVERIFY(QFile(empty).open(QIODevice::WriteOnly));
        const QString other = path(QStringLiteral("other.vad"));
        Database::Create(other);
        Database db;
        db.open(other);
        db.exec(QStringLiteral("CREATE TABLE Something (x PRIMARY KEY)"));
        Database holder;
        holder.open(other);
        const struct
        {
            std::function<void()> fail;
            const char16_t* cause;
        } cases[] = {
            {[&] { Database().open(path(QStringLiteral("missing.vad"))); },
             u"暦ファイルが見つかりません。"},
            {[&] { Database().open(empty); }, u"暦ファイルが壊れています。"},
            // Another program's database: "the file holds no table Master".
            {[&] { CheckCalendar(db, CalendarCheck::Columns); },
             u"暦ファイルの中身が暦の形式ではありません。"},
            {[&] { db.exec(QStringLiteral("SELECT 1 FROM Master")); },
             u"暦ファイルの中身が暦の形式ではありません。"},
            {[&] {
                 Database reader;
                 reader.openForReading(other);
                 reader.exec(QStringLiteral("INSERT INTO Something VALUES (1)"));
             },
             u"暦ファイルに書き込む権限がないか、読み取り専用になっています。"},
            {[&] { db.exec(QStringLiteral("SELECT zeroblob(2e9)")); },
             u"データが大きすぎて扱えません。"},
            // A mistake of the program's own names no cause, but says so.
            {[&] { db.exec(QStringLiteral("SELEC 1")); }, u"原因は分かりません。"},
            // Statements run on SQLite directly fail as Qt's do, in
            // preparing and in running.
            {[&] { DirectQuery(db, QStringLiteral("SELECT 1 FROM Master")); },
             u"暦ファイルの中身が暦の形式ではありません。"},
            {[&] {
                 DirectQuery insert(db, QStringLiteral("INSERT INTO Something VALUES (?)"));
                 insert.bind(1).exec();
                 insert.bind(1).exec();
             },
             u"原因は分かりません。"},
            // SQLite's "database or disk is full", from a file that may not grow.
            {[&] {
                 db.exec(QStringLiteral("PRAGMA max_page_count = 3"));
                 db.exec(QStringLiteral("INSERT INTO Something VALUES (zeroblob(1e5))"));
             },
             u"ディスクの空き容量が足りません。"},
            {[&] {
                 holder.exec(QStringLiteral("BEGIN EXCLUSIVE"));
                 db.exec(QStringLiteral("SELECT count(*) FROM Something"));
             },
             u"暦ファイルが他のプログラムで使用中です。"},
            {[&] { DirectQuery(db, QStringLiteral("SELECT count(*) FROM Something")).exec(); },
             u"暦ファイルが他のプログラムで使用中です。"},
        };
        for (const auto& c : cases)
            QCOMPARE(causeOf(c.fail), QString::fromUtf16(c.cause));
        holder.exec(QStringLiteral("ROLLBACK"));
        // The failed runs left no lock behind: the file takes a write.
        DirectQuery(db, QStringLiteral("INSERT INTO Something VALUES (2)")).exec();
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

    void createWithSchemaIsAllOrNothing_data()
    {
        QTest::addColumn<QString>("schema");
        QTest::addColumn<bool>("made");
        QTest::newRow("no schema") << QString() << true;
        QTest::newRow("a table") << u"CREATE TABLE t (k INTEGER PRIMARY KEY)"_s << true;
        QTest::newRow("a faulty statement") << u"CREATE TABLE t (k"_s << false;
    }

    void createWithSchemaIsAllOrNothing()
    {
        QFETCH(QString, schema);
        QFETCH(bool, made);
        const QString file = path(QStringLiteral("schema.vad"));
        QFile::remove(file);
        if (!made) {
            QVERIFY_THROWS_EXCEPTION(EngineError, Database::Create(file, schema));
            QVERIFY(!QFile::exists(file));
            return;
        }
        Database::Create(file, schema);
        Database db;
        db.open(file);
        Query tables(db, u"SELECT count(*) FROM sqlite_master WHERE name = 't'"_s);
        tables.exec();
        QVERIFY(tables.next());
        QCOMPARE(tables.value(0).toInt(), schema.isEmpty() ? 0 : 1);
    }

    // A statement kept on the connection holds no lock between its uses,
    // keeps what it reads with until its rows are read, and goes with the
    // connection.
    void preparedStatementsAreKeptWithoutLocks()
    {
        const int wait = Database::busyWait();
        Database::setBusyWait(50);
        const auto restore = qScopeGuard([wait] { Database::setBusyWait(wait); });
        const QString file = path(QStringLiteral("prepared.vad"));
        QFile::remove(file);
        Database::Create(file, u"CREATE TABLE t (k INTEGER PRIMARY KEY, v TEXT)"_s);
        Database db;
        db.open(file);
        db.exec(u"INSERT INTO t VALUES (1, 'a'), (2, 'b'), (3, 'c'), (4, 'd')"_s);
        Database other;
        other.open(file);
        auto otherWrites = [&] {
            return causeOf([&] { other.exec(u"UPDATE t SET v = v WHERE k = 1"_s); });
        };
        // Compared as bytes: SQLite reads the bound value again for each row.
        const QString sql = u"SELECT k FROM t WHERE CAST(v AS BLOB) >= ? ORDER BY k"_s;
        DirectQuery& first = db.prepared(sql);
        QCOMPARE(&db.prepared(sql), &first);
        const char* const from[] = {"b", "d"};
        const QList<int> expected[] = {{2, 3, 4}, {4}};
        for (int run = 0; run < 2; ++run) {
            // The value is gone once bound: the statement keeps its own.
            first.bind(QByteArray(from[run])).exec();
            QList<int> keys;
            while (first.next()) {
                keys << first.intValue(0);
                if (run == 1)
                    // In the middle of its rows, the file is held.
                    QCOMPARE(otherWrites(), u"暦ファイルが他のプログラムで使用中です。"_s);
            }
            QCOMPARE(keys, expected[run]);
        }
        first.bind(QByteArray("a")).exec();
        QVERIFY(first.next());
        first.finish();
        QCOMPARE(otherWrites(), u"no failure"_s);
        db.close();
        QVERIFY_THROWS_EXCEPTION(EngineError, db.prepared(sql));
        db.open(file);
        DirectQuery& again = db.prepared(sql);
        again.bind(QByteArray("c")).exec();
        QVERIFY(again.next());
        QCOMPARE(again.intValue(0), 3);
        again.finish();
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

    void directQueryBindsAndReadsAsQueryDoes_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("null") << QVariant();
        QTest::newRow("null text") << QVariant(QString());
        QTest::newRow("null flag") << QVariant(QMetaType::fromType<bool>());
        QTest::newRow("empty text") << QVariant(QStringLiteral(""));
        QTest::newRow("text") << QVariant(QStringLiteral("it's 𠮷野家\r\n改行; --"));
        QTest::newRow("text with a NUL") << QVariant(QString::fromUtf16(u"a\0b", 3));
        const QChar lone[] = {QChar(u'a'), QChar(0xD842), QChar(u'b')};
        QTest::newRow("lone surrogate") << QVariant(QString(lone, 3));
        QTest::newRow("true") << QVariant(true);
        QTest::newRow("false") << QVariant(false);
        QTest::newRow("whole number") << QVariant(20261207);
        QTest::newRow("large number") << QVariant(qint64(1) << 40);
        QTest::newRow("fraction") << QVariant(2.5);
        QTest::newRow("bytes") << QVariant(QByteArray("\x00\x01zz", 4));
        QTest::newRow("null bytes") << QVariant(QByteArray());
    }

    // DirectQuery stands in for Query where a statement runs once per day:
    // what it stores and reads must be what Query stores and reads.
    void directQueryBindsAndReadsAsQueryDoes()
    {
        QFETCH(QVariant, value);
        const QString file = path(QStringLiteral("direct.vad"));
        QFile::remove(file);
        Database::Create(file);
        Database db;
        db.open(file);
        db.exec(QStringLiteral("CREATE TABLE t (k INTEGER PRIMARY KEY, v)"));
        Query(db, QStringLiteral("INSERT INTO t VALUES (?, ?)")).bind(1).bind(value).exec();
        DirectQuery insert(db, QStringLiteral("INSERT INTO t VALUES (?, ?)"));
        insert.bind(2).bind(value).exec();
        QCOMPARE(insert.numRowsAffected(), 1);
        // The import binds its entries in UTF-8 made ahead on a second
        // thread, leaving lone surrogates to SQLite.
        insert.bind(3);
        if (value.typeId() == QMetaType::QString) {
            Utf8Ahead utf8({value.toString()});
            if (const std::optional<QByteArray>& bytes = utf8.at(0))
                insert.bindUtf8(*bytes);
            else
                insert.bind(value);
        } else {
            insert.bind(value);
        }
        insert.exec();

        Query stored(db, QStringLiteral("SELECT typeof(v), quote(v), v FROM t ORDER BY k"));
        stored.exec();
        QVERIFY(stored.next());
        const QString type = stored.value(0).toString();
        const QString quoted = stored.value(1).toString();
        const QVariant read = stored.value(2);
        for (int row = 2; row <= 3; ++row) {
            QVERIFY(stored.next());
            QCOMPARE(stored.value(0).toString(), type);
            QCOMPARE(stored.value(1).toString(), quoted);
        }

        DirectQuery direct(db, QStringLiteral("SELECT v, k FROM t WHERE k = ?"));
        direct.bind(2).exec();
        QVERIFY(direct.next());
        const QVariant directRead = direct.value(0);
        QCOMPARE(direct.intValue(1), 2);
        QVERIFY(!direct.next());
        QCOMPARE(directRead.isNull(), read.isNull());
        if (!read.isNull()) {
            QCOMPARE(directRead.typeId(), read.typeId());
            QCOMPARE(directRead, read);
        }
    }
};

ZEDU_TEST_MAIN(tst_Engine)
#include "tst_Engine.moc"
