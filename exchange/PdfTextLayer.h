#pragma once

#include "store/DayRows.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QRawFont>
#include <QString>
#include <QStringList>

#include <optional>

class QFont;
class QPainter;
class QPDFObjectHandle;

// Puts into a PDF's text layer the characters that Qt's PDF writer draws but
// leaves out of it.
//
// The writer (Qt 6.4) embeds each font file as a subset whose glyphs are
// numbered in the order they are first drawn, glyph 0 first, and names each
// glyph in the font's ToUnicode map by the first character of the Basic
// Multilingual Plane that the font's character map leads to it. A glyph that
// only a character beyond that plane reaches (𠮷, 𩸽, 😀), or only a
// sequence the font draws as one glyph (セ゚), is drawn without a name:
// searching and copying lose it.
//
// The layer sets each such character and sequence of the entries alone to
// learn its glyph. Before anything else is painted, seed() draws those
// glyphs on a first page of their own, so that they take the first numbers
// of their fonts; complete() then removes that page and adds the names to
// the fonts' maps. A font is named only when its embedded copy agrees (the
// same font, the glyphs' outlines at the numbers given); what cannot be
// named is kept in untold().
class PdfTextLayer
{
public:
    // `days`: the entries the pages show, printed in `font`.
    PdfTextLayer(const QList<DayRow>& days, const QFont& font);

    // False when every glyph has its name: no page to seed, nothing to add.
    bool needed() const { return mNeeded; }

    // Draws the glyphs to name with `painter`, on a PDF writer's first page,
    // before anything else; the caller then turns the page.
    void seed(QPainter& painter) const;

    // `pdf`, painted after seed(), without its first page and with the
    // names added; `pdf` itself when not needed(); nothing when the file
    // cannot be read or written (the first page is then still in it).
    std::optional<QByteArray> complete(const QByteArray& pdf);

    // The characters of the entries (or sequences of them drawn as one
    // glyph) that are printed but not in the text layer, each once, in the
    // order the entries first hold them. Known after complete().
    const QStringList& untold() const { return mUntold; }

private:
    // A font file: its sizes and synthetic bold share one subset.
    struct Face
    {
        QRawFont font;                // one size of it
        QByteArray names;             // its "name" table, which the embedded subset keeps
        QList<bool> reachable;        // by glyph: some BMP character leads to it
        QMap<quint32, QString> texts; // glyph → its name; seeded in this order
    };

    int faceOf(const QRawFont& font);
    void learn(const QString& sequence, const QFont& font);
    // `part` of `sequence` is first held where the sequence is.
    void heldIn(const QString& part, const QString& sequence);
    void name(const QRawFont& font, quint32 glyph, const QString& text);
    // Adds the names of `face` to its subset `type0`, whose embedded font
    // file is `embedded`, when the two agree.
    static bool name(QPDFObjectHandle& type0, const QRawFont& embedded, const Face& face);
    void tell(const QStringList& texts);

    // A glyph no BMP character leads to, of a sequence drawn as several.
    struct Part
    {
        QString sequence;
        int face;
        quint32 glyph;
    };

    QList<Face> mFaces;
    QList<Part> mParts;
    QHash<QRawFont, int> mFaceOfFont;
    QHash<QString, int> mOrder; // text → where the entries first hold it
    QStringList mUnnamed;       // sequences with a glyph no text can name
    QStringList mUntold;
    bool mNeeded = false;
};
