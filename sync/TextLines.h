#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

// An entry as the line merge sees it: its lines without their breaks, and
// whether a break ends it. Entries are stored with CR LF between lines; an
// imported one may use LF alone. A lone CR is no line break: it stays part of
// its line.
//
// A break at the very end is kept apart from the lines, so that a line typed
// after it is a line added, not a line changed: "A" and "A\r\n" both hold
// the one line "A", and "A\r\nB" adds "B" to either.
struct TextLines
{
    QStringList lines; // every break ends one: "" holds none, "\r\n" one empty line
    bool finalBreak = false;
    bool hasCrLf = false; // some break is CR LF
    bool hasLf = false;   // some break is LF alone

    static TextLines split(const QString& text);

    // The text again, `lineBreak` between the lines and after the last one
    // when finalBreak is set.
    QString join(const QString& lineBreak) const;

    // The same lines and the same final break, whichever breaks they use.
    bool sameLines(const TextLines& other) const
    {
        return lines == other.lines && finalBreak == other.finalBreak;
    }
};

// The line break of a text merged from `texts`: LF when every one of them
// that has a break uses LF alone, otherwise CR LF, the store's own (also for
// texts that mix both).
QString MergedLineBreak(std::initializer_list<const TextLines*> texts);
