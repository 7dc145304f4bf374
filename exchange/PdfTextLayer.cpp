#include "exchange/PdfTextLayer.h"

#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QSet>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <climits>
#include <stdexcept>

namespace {

// True when `text` may hold a character beyond the BMP or a sequence of
// characters that a font may draw as one glyph.
bool mayJoin(QStringView text)
{
    for (const QChar c : text) {
        if (c.isSurrogate() || c == QChar(0x200D)) // zero width joiner
            return true;
        switch (c.category()) {
        case QChar::Mark_NonSpacing:
        case QChar::Mark_SpacingCombining:
        case QChar::Mark_Enclosing:
            return true;
        default:
            break;
        }
    }
    return false;
}

// The glyphs of `text` on one line, as QPainter::drawText() sets it.
QList<QGlyphRun> glyphRuns(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    return line.isValid() ? line.glyphRuns() : QList<QGlyphRun>();
}

QByteArray bytesOf(const std::shared_ptr<Buffer>& buffer)
{
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()),
                      qsizetype(buffer->getSize()));
}

// Four hexadecimal digits, as a ToUnicode map writes a code.
QByteArray hex4(uint code)
{
    return QByteArray::number(code, 16).toUpper().rightJustified(4, '0');
}

// ToUnicode entries naming glyphs by text (in UTF-16), at most 100 a block
// as the format wants.
QByteArray bfchar(const QList<std::pair<int, QString>>& names)
{
    QByteArray out;
    for (qsizetype i = 0; i < names.size(); i += 100) {
        const auto block = names.mid(i, 100);
        out += QByteArray::number(block.size()) + " beginbfchar\n";
        for (const auto& [number, text] : block) {
            out += '<' + hex4(uint(number)) + "> <";
            for (const QChar c : text)
                out += hex4(c.unicode());
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    return out;
}

} // namespace

PdfTextLayer::PdfTextLayer(const QList<DayRow>& days, const QFont& font)
{
    QStringList sequences;
    for (const DayRow& day : days) {
        if (!day.hasEntry() || !mayJoin(*day.text))
            continue;
        const QString& text = *day.text;
        QTextBoundaryFinder clusters(QTextBoundaryFinder::Grapheme, text);
        qsizetype start = 0;
        for (qsizetype end; (end = clusters.toNextBoundary()) != -1; start = end) {
            const QString sequence = text.mid(start, end - start);
            if (sequence.size() < 2 || sequence == QLatin1String("\r\n") ||
                mOrder.contains(sequence))
                continue;
            mOrder.insert(sequence, int(sequences.size()));
            sequences << sequence;
        }
    }
    // Shorter first: a glyph that a character alone and a longer sequence
    // both lead to (an emoji with and without its variation selector) is
    // named by the character.
    std::stable_sort(sequences.begin(), sequences.end(),
                     [](const QString& a, const QString& b) { return a.size() < b.size(); });
    for (const QString& sequence : sequences)
        learn(sequence, font);
    for (const Part& part : std::as_const(mParts))
        if (!mFaces[part.face].texts.contains(part.glyph) && !mUnnamed.contains(part.sequence))
            mUnnamed.append(part.sequence);
    mNeeded = std::any_of(mFaces.begin(), mFaces.end(),
                          [](const Face& face) { return !face.texts.isEmpty(); });
}

void PdfTextLayer::learn(const QString& sequence, const QFont& font)
{
    const QList<QGlyphRun> runs = glyphRuns(sequence, font);
    qsizetype glyphs = 0;
    for (const QGlyphRun& run : runs)
        glyphs += run.glyphIndexes().size();
    if (glyphs == 1) {
        for (const QGlyphRun& run : runs)
            for (const quint32 glyph : run.glyphIndexes())
                name(run.rawFont(), glyph, sequence);
        return;
    }
    // Several glyphs: a glyph that the font's character map gives a
    // character of the sequence stands for that character; a glyph that
    // none is given (セ゚ in セ゚́) stands for the characters left over, when it
    // is the only one.
    QStringList chars;
    for (const char32_t c : QStringView(sequence).toUcs4())
        chars << QString::fromUcs4(&c, 1);
    QList<bool> shown(chars.size(), false);
    QList<std::pair<QRawFont, quint32>> joined;
    for (const QGlyphRun& run : runs) {
        const QRawFont raw = run.rawFont();
        for (const quint32 glyph : run.glyphIndexes()) {
            bool own = false;
            for (qsizetype i = 0; i < chars.size() && !own; ++i) {
                if (raw.glyphIndexesForString(chars[i]) != QList<quint32>{glyph})
                    continue;
                own = shown[i] = true;
                heldIn(chars[i], sequence);
                name(raw, glyph, chars[i]);
            }
            if (!own && glyph != 0 && !mFaces[faceOf(raw)].reachable.value(glyph))
                joined.append({raw, glyph});
        }
    }
    if (joined.size() == 1) {
        QString rest;
        for (qsizetype i = 0; i < chars.size(); ++i)
            if (!shown[i])
                rest += chars[i];
        heldIn(rest, sequence);
        name(joined.first().first, joined.first().second, rest);
        return;
    }
    for (const auto& [raw, glyph] : joined)
        mParts.append({sequence, faceOf(raw), glyph});
}

void PdfTextLayer::heldIn(const QString& part, const QString& sequence)
{
    mOrder.insert(part, std::min(mOrder.value(part, INT_MAX), mOrder.value(sequence)));
}

void PdfTextLayer::name(const QRawFont& font, quint32 glyph, const QString& text)
{
    // Glyph 0 draws nothing: PrintLayout::unprintable() tells of it.
    if (glyph == 0)
        return;
    Face& face = mFaces[faceOf(font)];
    if (!face.reachable.value(glyph) && !face.texts.contains(glyph))
        face.texts.insert(glyph, text);
}

int PdfTextLayer::faceOf(const QRawFont& font)
{
    if (const auto known = mFaceOfFont.constFind(font); known != mFaceOfFont.cend())
        return *known;
    const QByteArray names = font.fontTable("name");
    for (int i = 0; i < mFaces.size(); ++i)
        if (mFaces[i].names == names) {
            mFaceOfFont.insert(font, i);
            return i;
        }
    Face face;
    face.font = font;
    face.names = names;
    // The glyphs the writer names itself, found as it finds them: every
    // character of the BMP through the font's character map.
    QList<QChar> plane;
    plane.reserve(0x10000);
    for (char16_t c = 1; c != 0; ++c)
        if (!QChar::isSurrogate(c))
            plane.append(QChar(c));
    QList<quint32> glyphs(plane.size());
    int count = int(glyphs.size());
    font.glyphIndexesForChars(plane.constData(), int(plane.size()), glyphs.data(), &count);
    for (const quint32 glyph : glyphs.first(count)) {
        if (glyph >= quint32(face.reachable.size()))
            face.reachable.resize(glyph + 1, false);
        face.reachable[glyph] = true;
    }
    mFaces.append(std::move(face));
    mFaceOfFont.insert(font, int(mFaces.size() - 1));
    return int(mFaces.size() - 1);
}

void PdfTextLayer::seed(QPainter& painter) const
{
    painter.save();
    painter.setPen(Qt::black);
    for (const Face& face : mFaces) {
        if (face.texts.isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(face.font);
        run.setGlyphIndexes(face.texts.keys());
        run.setPositions(QList<QPointF>(face.texts.size(), QPointF(0, 0)));
        painter.drawGlyphRun(QPointF(100, 100), run);
    }
    painter.restore();
}

void PdfTextLayer::tell(const QStringList& texts)
{
    for (const QString& text : texts)
        if (!mUntold.contains(text))
            mUntold.append(text);
    std::stable_sort(mUntold.begin(), mUntold.end(), [this](const QString& a, const QString& b) {
        return mOrder.value(a) < mOrder.value(b);
    });
}

std::optional<QByteArray> PdfTextLayer::complete(const QByteArray& pdf)
{
    mUntold.clear();
    tell(mUnnamed);
    if (!mNeeded)
        return pdf;
    QSet<int> named;
    std::optional<QByteArray> out;
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        doc.processMemoryFile("Zedu", pdf.constData(), size_t(pdf.size()));
        QPDFPageDocumentHelper pages(doc);
        const std::vector<QPDFPageObjectHelper> all = pages.getAllPages();
        if (all.size() < 2)
            throw std::runtime_error("no page after the seeded one");
        pages.removePage(all.front());
        // A face's subset is the Type0 font whose embedded font file keeps
        // the face's "name" table; a face that two fonts claim is left alone.
        QHash<int, QList<std::pair<QPDFObjectHandle, QRawFont>>> subsets;
        for (QPDFObjectHandle& object : doc.getAllObjects()) {
            if (!object.isDictionary() || !object.getKey("/Subtype").isNameAndEquals("/Type0"))
                continue;
            QPDFObjectHandle file = object.getKey("/DescendantFonts")
                                        .getArrayItem(0)
                                        .getKey("/FontDescriptor")
                                        .getKey("/FontFile2");
            if (!file.isStream())
                continue;
            const QRawFont embedded(bytesOf(file.getStreamData(qpdf_dl_generalized)), 100);
            const QByteArray names = embedded.fontTable("name");
            for (int i = 0; i < mFaces.size(); ++i)
                if (!mFaces[i].texts.isEmpty() && mFaces[i].names == names)
                    subsets[i].append({object, embedded});
        }
        for (auto it = subsets.begin(); it != subsets.end(); ++it)
            if (it->size() == 1 && name(it->first().first, it->first().second, mFaces[it.key()]))
                named.insert(it.key());
        QPDFWriter writer(doc);
        writer.setOutputMemory();
        writer.write();
        out = bytesOf(writer.getBufferSharedPointer());
    } catch (const std::exception&) {
        named.clear();
    }
    for (int i = 0; i < mFaces.size(); ++i)
        if (!named.contains(i))
            tell(mFaces[i].texts.values());
    return out;
}

bool PdfTextLayer::name(QPDFObjectHandle& type0, const QRawFont& embedded, const Face& face)
{
    QPDFObjectHandle map = type0.getKey("/ToUnicode");
    if (!map.isStream())
        return false;
    // Seeded first, the glyphs took the numbers from 1 on; each has its
    // outline there.
    QRawFont original = face.font;
    original.setPixelSize(embedded.pixelSize());
    const qreal slack = embedded.pixelSize() / 50;
    auto near = [slack](const QRectF& a, const QRectF& b) {
        return qAbs(a.left() - b.left()) <= slack && qAbs(a.top() - b.top()) <= slack &&
               qAbs(a.right() - b.right()) <= slack && qAbs(a.bottom() - b.bottom()) <= slack;
    };
    QList<std::pair<int, QString>> names;
    for (auto it = face.texts.cbegin(); it != face.texts.cend(); ++it) {
        const int number = int(names.size()) + 1;
        if (!near(original.pathForGlyph(it.key()).boundingRect(),
                  embedded.pathForGlyph(number).boundingRect()))
            return false;
        names.append({number, it.value()});
    }
    QByteArray cmap = bytesOf(map.getStreamData(qpdf_dl_generalized));
    const qsizetype end = cmap.lastIndexOf("endcmap");
    if (end < 0)
        return false;
    cmap.insert(end, bfchar(names));
    map.replaceStreamData(cmap.toStdString(), QPDFObjectHandle::newNull(),
                          QPDFObjectHandle::newNull());
    return true;
}
