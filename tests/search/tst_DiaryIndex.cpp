#include "platform/Globals.h"
#include "search/DiaryIndex.h"
#include "search/SearchQuery.h"
#include "store/Engine.h"
#include "store/FileSession.h"
#include "store/clsMaster.h"
#include "tests/search/CaseFoldingOracle.h"
#include "tests/support/CalendarFixture.h"
#include "tests/support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// The days found as "key:hits", in the order found.
QString found(DiaryIndex& index, const QString& text, bool kana = true,
              const std::optional<TypedEntry>& typed = std::nullopt)
{
    const SearchResults results = index.search(SearchQuery(text, kana), typed);
    QStringList days;
    int hits = 0;
    for (const FoundDay& day : results.days) {
        days << QStringLiteral("%1:%2").arg(day.key).arg(day.hitCount);
        if (day.firstHit != hits)
            return QStringLiteral("the hits of %1 are not after the day before's").arg(day.key);
        hits += day.hitCount;
    }
    if (hits != results.hitCount())
        return QStringLiteral("hit count %1 is not the sum %2").arg(results.hitCount()).arg(hits);
    return days.join(QLatin1Char(' '));
}

} // namespace

class tst_DiaryIndex : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        gDataPath = dir->filePath(QStringLiteral("Data.vad"));
        gOpenFlag = false;
        gWeekNames = QStringLiteral("日,月,火,水,木,金,土").split(QLatin1Char(','));
        QVERIFY(MakeCalendarFile(gDataPath, 202601, 202712));
        QVERIFY(
            WriteDayEntry(gDataPath, 20260105, QStringLiteral("東京でラーメン\r\n夜はラーメン")));
        QVERIFY(WriteDayEntry(gDataPath, 20261231, QStringLiteral("年越しﾗｰﾒﾝ")));
        QVERIFY(WriteDayEntry(gDataPath, 20270105, QStringLiteral("らーめんと東京")));
    }

    void cleanup()
    {
        gDatabase.close();
        dir.reset();
    }

    void searchesTheWholeDiaryAndLeavesTheFileAsItWas()
    {
        const QByteArray before = FileDigest(gDataPath);
        DiaryIndex index;
        QCOMPARE(found(index, QStringLiteral("ラーメン")),
                 QStringLiteral("20260105:2 20261231:1 20270105:1"));
        QCOMPARE(found(index, QStringLiteral("ラーメン"), false),
                 QStringLiteral("20260105:2 20261231:1"));
        QCOMPARE(found(index, QStringLiteral("東京 らーめん")),
                 QStringLiteral("20260105:3 20270105:2"));
        QCOMPARE(found(index, QStringLiteral("　")), QString());

        const SearchResults results = index.search(SearchQuery(QStringLiteral("東京"), true));
        QCOMPARE(results.dayKeys(), (QList<int>{20260105, 20270105}));
        QCOMPARE(results.days[0].week, 1); // a Monday
        QCOMPARE(results.days[0].text, QStringLiteral("東京でラーメン\r\n夜はラーメン"));

        // Searching only reads: the file is byte for byte the same, its
        // schema too, and nothing was written beside it.
        QCOMPARE(FileDigest(gDataPath), before);
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Data.vad")});
    }

    void followsEveryWriteOfTheStore()
    {
        DiaryIndex index;
        QSignalSpy changed(&index, &DiaryIndex::entriesChanged);
        QCOMPARE(found(index, QStringLiteral("東京")), QStringLiteral("20260105:1 20270105:1"));

        // A write behind the store's back is not announced, so not seen:
        // the index does not read the file again for every search.
        QVERIFY(WriteDayEntry(gDataPath, 20260301, QStringLiteral("東京出張")));
        QCOMPARE(found(index, QStringLiteral("東京")), QStringLiteral("20260105:1 20270105:1"));

        // A saved entry (the day change, the quiet save while typing) counts
        // at once, emptied ones go; so does the text found on disk when
        // another program changed the day first.
        QVERIFY(gMaster.PlanSave(20260210, QStringLiteral("東京タワー")));
        QCOMPARE(changed.count(), 1);
        QVERIFY(index.isCurrent());
        QString onDisk;
        QCOMPARE(gMaster.PlanSaveUnlessChanged(
                     20260105, QStringLiteral("東京でラーメン\r\n夜はラーメン"), QString(), onDisk),
                 clsMaster::SaveOutcome::Saved);
        QCOMPARE(
            gMaster.PlanSaveUnlessChanged(20260301, QString(), QStringLiteral("上書き"), onDisk),
            clsMaster::SaveOutcome::ChangedOnDisk);
        QCOMPARE(found(index, QStringLiteral("東京")),
                 QStringLiteral("20260210:1 20260301:1 20270105:1"));
        QVERIFY(index.isCurrent());
        QCOMPARE(changed.count(), 3);

        // The yearly event: the same day of every year is read again.
        gMaster.PlanInsert(3, 1, QStringLiteral("ひな祭りの準備"));
        QVERIFY(!index.isCurrent());
        QCOMPARE(found(index, QStringLiteral("ひな祭り")), QStringLiteral("20260301:1 20270301:1"));
        QCOMPARE(found(index, QStringLiteral("東京")),
                 QStringLiteral("20260210:1 20260301:1 20270105:1"));

        // The range change: every day read again, the days cut off gone.
        QVERIFY(gMaster.Update(202603, 202712));
        QCOMPARE(changed.count(), 5);
        QCOMPARE(found(index, QStringLiteral("東京")), QStringLiteral("20260301:1 20270105:1"));
    }

    void theEntryBeingTypedCounts()
    {
        DiaryIndex index;
        // Typed into an empty day, and over a stored entry that held a hit.
        QCOMPARE(found(index, QStringLiteral("東京"), true,
                       TypedEntry{20260210, QStringLiteral("東京へ\r\n東京から")}),
                 QStringLiteral("20260105:1 20260210:2 20270105:1"));
        QCOMPARE(found(index, QStringLiteral("東京"), true,
                       TypedEntry{20260105, QStringLiteral("大阪へ")}),
                 QStringLiteral("20270105:1"));
        // Nothing of it stays once it is no longer typed.
        QCOMPARE(found(index, QStringLiteral("東京")), QStringLiteral("20260105:1 20270105:1"));
    }

    void foundDaysAgreeWithAnIndependentFolding()
    {
        // Letters that only full case folding folds (into several, or into
        // others), and spaces inside words, a day each; then a day for every
        // character that the Unicode data file folds.
        const CaseFoldingOracle oracle;
        QVERIFY2(!oracle.mappings().isEmpty(), qPrintable(kCaseFoldingFile));
        QStringList entries =
            QStringLiteral("Straße|STRASSE|strasse|GRO\u1E9E|ＳＴＲＡＳＳＥ|"
                           "\u0130stanbul|i\u0307stanbul|ISTANBUL|\u0149|\u02BCn|"
                           "o\uFB03ce|OFFICE|\u0390|\u03B9\u0308\u0301|ΣΟΦΟΣ|"
                           "σοφος|\u13E3\u13B3\u13A9|\uABB3\uAB83\uAB79|東京 タワー|"
                           "東京タワー|東京\u3000タワー|東京\u00A0タワー|ｶﾞｯｺｳ|がっこう")
                .split(u'|');
        QStringList queries =
            QStringLiteral("ss|SS|ß|\u1E9E|straße|ｓｓ|\u0130stanbul|i\u0307|"
                           "istanbul|\u0149|\u02BCN|\uFB03|ffi|\u0390|"
                           "\u03AA\u0301|σοφοσ|\u03C2|\uABB3|\u13E3|東京 タワー|"
                           "東京\u00A0タワー|東京\u2003タワー|タワー\u3000東京|ガッコウ")
                .split(u'|');
        for (auto c = oracle.mappings().cbegin(); c != oracle.mappings().cend(); ++c) {
            const char32_t point = c.key();
            entries << QString::fromUcs4(&point, 1);
            queries << QString::fromUcs4(&point, 1) << c.value();
        }
        gDataPath = dir->filePath(u"Oracle.vad"_s);
        QVERIFY(MakeCalendarFile(gDataPath, 202601, 203112));
        QList<int> days;
        {
            SqlPeek sql(gDataPath);
            QVERIFY(sql.exec(u"BEGIN"_s));
            for (const QVariantList& row :
                 sql.rows(u"SELECT 日付 FROM Master ORDER BY 日付 LIMIT ?"_s, {entries.size()}))
                days << row[0].toInt();
            QCOMPARE(days.size(), entries.size());
            for (int i = 0; i < entries.size(); ++i)
                QVERIFY(sql.exec(u"UPDATE Master SET 内容 = ? WHERE 日付 = ?"_s,
                                 {entries[i], days[i]}));
            QVERIFY(sql.exec(u"COMMIT"_s));
        }

        // What the manual promises: the terms split at half- and full-width
        // spaces only, each folded; a day is found when it holds them all.
        QStringList folded;
        for (const QString& entry : std::as_const(entries))
            folded << oracle.fold(entry);
        DiaryIndex index;
        QStringList disagree;
        for (const QString& query : std::as_const(queries)) {
            QStringList terms = query.split(QRegularExpression(u"[ \u3000]"_s), Qt::SkipEmptyParts);
            for (QString& term : terms)
                term = oracle.fold(term);
            QList<int> expected;
            for (int i = 0; i < entries.size(); ++i)
                if (std::all_of(terms.cbegin(), terms.cend(),
                                [&](const QString& term) { return folded[i].contains(term); }))
                    expected << days[i];
            if (index.search(SearchQuery(query, false)).dayKeys() != expected)
                disagree << query;
        }
        QCOMPARE(disagree, QStringList());
    }

    void aFailedReadIsReadAgain()
    {
        DiaryIndex index;
        const QString aside = gDataPath + QStringLiteral(".aside");
        QVERIFY(QFile::rename(gDataPath, aside));
        QVERIFY_THROWS_EXCEPTION(EngineError,
                                 index.search(SearchQuery(QStringLiteral("東京"), true)));
        QVERIFY(QFile::rename(aside, gDataPath));
        QCOMPARE(found(index, QStringLiteral("東京")), QStringLiteral("20260105:1 20270105:1"));
    }
};

ZEDU_TEST_MAIN(tst_DiaryIndex)
#include "tst_DiaryIndex.moc"
