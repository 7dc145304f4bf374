#include "search/SearchQuery.h"

#include "search/FoldedText.h"

namespace {

bool isQuote(QChar c)
{
    switch (c.unicode()) {
    case u'"':
    case u'＂':
    case u'“':
    case u'”':
        return true;
    default:
        return false;
    }
}

// Only these two separate terms: any other space (a no-break space pasted
// with the text, say) belongs to its term and is folded with it.
bool isSeparator(QChar c)
{
    return c == u' ' || c == u'\u3000';
}

} // namespace

SearchQuery::SearchQuery(const QString& text, bool foldKana) : mText(text), mFoldKana(foldKana)
{
    QString term;
    bool quoted = false;
    auto endTerm = [&] {
        if (term.isEmpty())
            return;
        mTerms.append(term);
        const QString folded = FoldedText(term).text(foldKana);
        if (!mFolded.contains(folded))
            mFolded.append(folded);
        term.clear();
    };
    for (const QChar c : text) {
        if (isQuote(c))
            quoted = !quoted;
        else if (!quoted && isSeparator(c))
            endTerm();
        else
            term.append(c);
    }
    endTerm();
}
