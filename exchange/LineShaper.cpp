#include "exchange/LineShaper.h"

#include <QFontMetricsF>
#include <QTextLayout>
#include <QVarLengthArray>

namespace {

// Beyond this many runs kept, the store starts again.
constexpr qsizetype kMostPieces = 20000;

QTextOption lineOption(QTextOption::WrapMode wrap)
{
    QTextOption option;
    option.setWrapMode(wrap);
    // As QPainter::drawText() sets a line: from its left end, in the
    // direction of its first letter.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    return option;
}

} // namespace

// Adds the glyphs of `run`, moved by `shift`, to `to`: onto the last ones
// when they have the same font.
void LineShaper::add(QList<Glyphs>& to, const QRawFont& font, QGlyphRun::GlyphRunFlags flags,
                     const QList<quint32>& indexes, const QList<QPointF>& positions,
                     const QPointF& shift, qsizetype room)
{
    if (to.isEmpty() || to.last().flags != flags || to.last().font != font) {
        to.append({font, flags, {}, {}});
        to.last().indexes.reserve(room);
        to.last().positions.reserve(room);
    }
    Glyphs& last = to.last();
    last.indexes.append(indexes);
    for (const QPointF& position : positions)
        last.positions.append(position + shift);
}

QList<QGlyphRun> LineShaper::runsOf(const QList<Glyphs>& glyphs)
{
    QList<QGlyphRun> runs;
    runs.reserve(glyphs.size());
    for (const Glyphs& each : glyphs) {
        QGlyphRun run;
        run.setRawFont(each.font);
        run.setFlags(each.flags);
        run.setGlyphIndexes(each.indexes);
        run.setPositions(each.positions);
        runs.append(run);
    }
    return runs;
}

QList<LineShaper::Glyphs> LineShaper::glyphsOf(const QList<QGlyphRun>& runs, const QPointF& origin)
{
    QList<Glyphs> glyphs;
    for (const QGlyphRun& run : runs)
        add(glyphs, run.rawFont(), run.flags(), run.glyphIndexes(), run.positions(), -origin,
            run.glyphIndexes().size());
    return glyphs;
}

ShapedLine LineShaper::shapedLine(const QTextLine& line)
{
    const QPointF origin(line.x(), line.y() + line.ascent());
    return {line.textStart(), line.textLength(), runsOf(glyphsOf(line.glyphRuns(), origin))};
}

namespace {

// True when QTextLayout may set `c` otherwise than on its own run's
// account: by the position on the line (tabs), the direction, or as a
// character of its own kind (separators, controls, format characters).
bool needsWholeLayout(char32_t c)
{
    if (c == U'\t')
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
    case QChar::Other_Surrogate:
        return true;
    default:
        break;
    }
    switch (QChar::direction(c)) {
    case QChar::DirR:
    case QChar::DirAL:
    case QChar::DirAN:
        return true;
    default:
        return false;
    }
}

bool strongScript(QChar::Script script)
{
    return script != QChar::Script_Common && script != QChar::Script_Inherited &&
           script != QChar::Script_Unknown;
}

} // namespace

LineShaper::LineShaper(const QFont& font) : mFont(font), mMargin(QFontMetricsF(font).height()) {}

QList<ShapedLine> LineShaper::wrap(const QString& paragraph, qreal width)
{
    // The runs QTextLayout shapes apart: a new one starts where a
    // character of another script follows; punctuation, digits and marks
    // go with the script before them.
    QVarLengthArray<std::pair<int, int>, 64> runs;
    bool simple = true;
    QChar::Script script = QChar::Script_Common;
    int start = 0;
    for (int i = 0; i < paragraph.size() && simple;) {
        const int at = i;
        char32_t c = paragraph[i++].unicode();
        if (QChar::isHighSurrogate(c) && i < paragraph.size() && paragraph[i].isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), paragraph[i++].unicode());
        simple = !needsWholeLayout(c);
        const QChar::Script next = QChar::script(c);
        if (!strongScript(next) || next == script)
            continue;
        if (strongScript(script)) {
            runs.append({start, at - start});
            start = at;
        }
        script = next;
    }
    runs.append({start, int(paragraph.size()) - start});

    // All on one line from the runs kept when it ends a safe way from the
    // line's end: how QTextLayout treats the last glyph's overhang is its
    // own.
    QVarLengthArray<std::pair<int, int>, 64> missing;
    if (simple) {
        QList<Glyphs> one;
        qreal x = 0;
        for (const auto& [from, length] : std::as_const(runs)) {
            // Looked up in place, without a copy.
            const auto found = mPieces.constFind(
                PieceKey{QString::fromRawData(paragraph.constData() + from, length)});
            if (found == mPieces.cend()) {
                missing.append({from, length});
                continue;
            }
            for (const Glyphs& glyphs : found->glyphs)
                add(one, glyphs.font, glyphs.flags, glyphs.indexes, glyphs.positions, QPointF(x, 0),
                    paragraph.size());
            x += found->advance;
        }
        if (missing.isEmpty() && x <= width - mMargin)
            return {ShapedLine{0, int(paragraph.size()), runsOf(one)}};
    }

    QList<ShapedLine> lines;
    QTextLayout layout(paragraph, mFont);
    // The glyphs of the lines are kept after endLayout(): taking them
    // would shape the text again.
    layout.setCacheEnabled(true);
    layout.setTextOption(lineOption(QTextOption::WrapAtWordBoundaryOrAnywhere));
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine())
        line.setLineWidth(width);
    layout.endLayout();
    for (int i = 0; i < layout.lineCount(); ++i)
        lines.append(shapedLine(layout.lineAt(i)));
    // The runs not kept yet, taken from a paragraph on one line.
    if (layout.lineCount() == 1 && !missing.isEmpty()) {
        if (mPieces.size() + missing.size() > kMostPieces)
            mPieces.clear();
        const QTextLine line = layout.lineAt(0);
        for (const auto& [from, length] : std::as_const(missing)) {
            Piece piece;
            const qreal x = line.cursorToX(from);
            piece.advance = line.cursorToX(from + length) - x;
            const QPointF origin(x, line.y() + line.ascent());
            piece.glyphs = glyphsOf(line.glyphRuns(from, length), origin);
            mPieces.insert(PieceKey{paragraph.mid(from, length)}, std::move(piece));
        }
    }
    return lines;
}

ShapedLine LineShaper::line(const QString& text) const
{
    QTextLayout layout(text, mFont);
    layout.setCacheEnabled(true);
    layout.setTextOption(lineOption(QTextOption::NoWrap));
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return line.isValid() ? shapedLine(line) : ShapedLine();
}
