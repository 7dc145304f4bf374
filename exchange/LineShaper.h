#pragma once

#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRawFont>
#include <QString>

#include <functional>
#include <string_view>

class QTextLine;

// One line of text shaped for a device: its glyphs with their positions
// from the line's start on its baseline, a run for each font in the order
// drawn (runs of one font side by side are joined: Qt gives a run for each
// script, a dozen in a Japanese line, and the PDF writer a text object for
// each run it is handed).
struct ShapedLine
{
    int start = 0; // the line's text in the paragraph
    int length = 0;
    QList<QGlyphRun> runs;
};

// Sets paragraphs in one font for one device as QTextLayout sets them
// (from the line's left end, broken at word boundaries or, for a word
// longer than the line, anywhere), shaped once for both measuring and
// drawing.
//
// QTextLayout shapes each run of one script apart (a kanji compound, the
// kana after it, a punctuation mark), and most of its time goes on
// starting each of them. Its glyphs for such a run depend on the run
// alone, so the runs of every paragraph it sets on one line are kept, and a
// later paragraph without tabs or right-to-left text that is made of kept
// runs only, and ends well within the width, is put together from them
// without QTextLayout: a diary repeats its particles, endings and words
// from day to day.
class LineShaper
{
public:
    // `font`: made for the device the lines are drawn on
    // (QFont(font, device)).
    explicit LineShaper(const QFont& font);

    // The lines `paragraph` breaks into at `width`.
    QList<ShapedLine> wrap(const QString& paragraph, qreal width);
    // `text` on one line, however long.
    ShapedLine line(const QString& text) const;

private:
    // Glyphs of one font side by side.
    struct Glyphs
    {
        QRawFont font;
        QGlyphRun::GlyphRunFlags flags;
        QList<quint32> indexes;
        QList<QPointF> positions;
    };
    // A run of one script: its glyphs placed from its start, and the
    // advance to the next run.
    struct Piece
    {
        QList<Glyphs> glyphs;
        qreal advance = 0;
    };

    static void add(QList<Glyphs>& to, const QRawFont& font, QGlyphRun::GlyphRunFlags flags,
                    const QList<quint32>& indexes, const QList<QPointF>& positions,
                    const QPointF& shift, qsizetype room);
    static QList<QGlyphRun> runsOf(const QList<Glyphs>& glyphs);
    // `runs` placed from `origin`.
    static QList<Glyphs> glyphsOf(const QList<QGlyphRun>& runs, const QPointF& origin);
    static ShapedLine shapedLine(const QTextLine& line);

    QFont mFont;
    qreal mMargin;
    // The text of a run, hashed with the standard library's string hash:
    // QHash's own string hash took most of the time of a line put
    // together from runs.
    struct PieceKey
    {
        QString text;
        bool operator==(const PieceKey& other) const { return text == other.text; }
        friend size_t qHash(const PieceKey& key, size_t seed)
        {
            return std::hash<std::u16string_view>()(std::u16string_view(
                       reinterpret_cast<const char16_t*>(key.text.constData()), key.text.size())) ^
                   seed;
        }
    };

    QHash<PieceKey, Piece> mPieces;
};
