#include "text/QueryPrefilter.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

#include <optional>
#include <vector>

namespace dunmoss {

namespace {

using namespace regex_syntax;

// A character the expression matches as itself (and, ignoring case, as its
// ASCII other case within ASCII): printable ASCII that is not a metacharacter,
// and the tab.
bool isPlainLiteral(QChar c) {
    return (c == u'\t' || (c >= u' ' && c < u'\x7F')) &&
           !QStringView(u"\\^$.|?*+()[]{}").contains(c);
}

// Reads a valid ICU pattern once, item by item: the runs of literal ASCII every
// match holds, and whether any consuming atom can take in a line feed. Whatever
// it does not understand ends the reading with nothing proved.
class PatternReader {
public:
    PatternReader(QStringView pattern, bool folds) : m_p(pattern), m_folds(folds) {}

    // False when the pattern holds something the reader does not understand.
    bool read(std::vector<QString>& runs) {
        const qsizetype end = sequence(0, runs);
        return m_understood && end == m_p.size();
    }
    bool staysOnLine() const { return m_staysOnLine; }
    // A possessive quantifier or an atomic group outside look-around: what it takes in, and so
    // whether the rest matches, depends on the text after it, past where a match may end.
    bool commits() const { return m_commits; }
    // Whether "\A" (or "^", when it matches only where the text starts) stands unrepeated
    // in the top-level sequence: nothing before it can take in a character then.
    bool startsAtTextStart(bool caretAtTextStart) const {
        return !m_topAlternated && (m_topTextStart || (caretAtTextStart && m_topCaret));
    }
    // The run that ends every match, when nothing but assertions follows it in
    // the pattern.
    QString tailRun() const { return m_topAlternated ? QString() : m_tailRun; }
    // What the items before the last top-level run equal to `run` may take in,
    // when known. The last one, so that when it ends every match, a match ending
    // with an occurrence starts after the last character before it outside this.
    std::optional<AsciiTable> takenBefore(const QString& run) const {
        for (auto top = m_topRuns.rbegin(); top != m_topRuns.rend(); ++top)
            if (top->run == run)
                return top->before;
        return std::nullopt;
    }

private:
    struct TopRun {
        QString run;
        std::optional<AsciiTable> before;
    };

    struct Quantity {
        int least = 1;
        qsizetype end = 0;
    };

    void giveUp() { m_understood = false; }

    // The quantifier at `at`, if any, with its lazy or possessive mark.
    Quantity quantityAt(qsizetype at) {
        if (at >= m_p.size() || !isQuantifier(m_p[at]))
            return {1, at};
        Quantity q;
        const QChar c = m_p[at];
        if (c == u'{') {
            const Count count = countAt(m_p, at);
            if (count.end < 0) {
                giveUp();
                return {1, m_p.size()};
            }
            q = {count.least, count.end};
        } else {
            q = {c == u'+' ? 1 : 0, at + 1};
        }
        if (q.end < m_p.size() && (m_p[q.end] == u'?' || m_p[q.end] == u'+')) {
            m_commits = m_commits || m_p[q.end] == u'+';
            ++q.end;
        }
        return q;
    }

    // Marks the ASCII characters the item [at, end) may take in. Only items of
    // one character each are known: ICU is asked about each ASCII character.
    // Under folding, a character beyond ASCII or a code point written as an
    // escape may stand for several ("ß" for "ss"), which a test of one character
    // would miss.
    void noteTaken(qsizetype at, qsizetype end, QChar literal) {
        if (!m_taken)
            return;
        AsciiTable& taken = *m_taken;
        if (!literal.isNull()) {
            taken[literal.toLower().unicode()] = true;
            taken[literal.toUpper().unicode()] = true;
            return;
        }
        const QStringView item = m_p.sliced(at, end - at);
        const bool wide = !QtPrivate::isAscii(item);
        const bool codePoint = item.contains(u"\\x") || item.contains(u"\\u") ||
                               item.contains(u"\\U") || item.contains(u"\\N") ||
                               item.contains(u"\\p") || item.contains(u"\\P");
        const bool several =
            item.size() >= 2 && item[0] == u'\\' && QStringView(u"123456789kQXR").contains(item[1]);
        if (several || (m_folds && (wide || codePoint))) {
            m_taken.reset();
            return;
        }
        if (wide && item[0] != u'[' && item[0] != u'\\')
            return; // one character beyond ASCII, matched as itself
        try {
            const IcuRegex atom(item.toString(),
                                m_folds ? IcuRegex::CaseInsensitive : IcuRegex::NoOptions);
            for (char16_t c = 1; c < 0x80; ++c)
                if (!taken[c] && !atom.matchRanges(QStringView(&c, 1)).empty())
                    taken[c] = true;
        } catch (const RegexError&) {
            m_taken.reset();
        }
    }

    // Whether the one-character atom could match a line feed, asked of ICU
    // itself.
    void checkAtom(qsizetype at, qsizetype end) {
        if (!m_staysOnLine)
            return;
        try {
            const IcuRegex atom(m_p.sliced(at, end - at).toString(),
                                m_folds ? IcuRegex::CaseInsensitive : IcuRegex::NoOptions);
            if (!atom.matchRanges(u"\n").empty())
                m_staysOnLine = false;
        } catch (const RegexError&) {
            m_staysOnLine = false;
        }
    }

    // The end of the escape at `at`, or -1 (given up). What a back-reference takes in is
    // checked where its group stands.
    qsizetype escapeEnd(qsizetype at, bool& literal, bool& zeroWidth) {
        using Kind = EscapeItem::Kind;
        literal = false;
        zeroWidth = false;
        const EscapeItem escape = escapeItemAt(m_p, at);
        switch (escape.kind) {
        case Kind::Assertion:
            zeroWidth = true;
            break;
        case Kind::Quoted:
            if (m_p.sliced(at + 2, std::min(escape.end, m_p.size()) - at - 2).contains(u'\n'))
                m_staysOnLine = false;
            break;
        case Kind::Character:
            checkAtom(at, escape.end);
            break;
        case Kind::Several:
            m_staysOnLine = false;
            break;
        case Kind::Literal: {
            const QChar kind = m_p[at + 1];
            literal = isPlainLiteral(kind) || kind == u'\\' ||
                      QStringView(u"^$.|?*+()[]{}#").contains(kind);
            break;
        }
        case Kind::BackReference:
        case Kind::Unknown:
            break;
        }
        return escape.end;
    }

    // Reads a sequence of alternatives up to a ")" or the end and returns where
    // it stopped. Appends the runs every match of the sequence holds (none when
    // it has alternatives).
    qsizetype sequence(qsizetype k, std::vector<QString>& runs) {
        std::vector<QString> own;
        QString current;
        bool alternated = false;
        const bool top = m_depth == 0;
        const auto flush = [&] {
            if (current.isEmpty())
                return;
            if (top) {
                m_tailRun = current;
                m_topRuns.push_back(TopRun{current, m_runStart});
            }
            own.push_back(std::exchange(current, QString()));
        };
        // Something that takes in text follows the last run.
        const auto consumed = [&] {
            flush();
            if (top)
                m_tailRun.clear();
        };
        while (m_understood && k < m_p.size()) {
            const QChar c = m_p[k];
            if (c == u')')
                break;
            if (c == u'|') {
                flush();
                alternated = true;
                m_topAlternated = m_topAlternated || top;
                ++k;
                continue;
            }
            if (c == u'(') {
                flush();
                k = group(k, own);
                // What a group takes in, its items took in: they were noted as read.
                if (!m_groupWasZeroWidth)
                    consumed();
                continue;
            }
            if (c == u'^' || c == u'$') {
                flush();
                const qsizetype after = quantityAt(k + 1).end;
                m_topCaret = m_topCaret || (top && c == u'^' && after == k + 1);
                k = after;
                continue;
            }
            qsizetype end = -1;
            QChar literal;
            if (c == u'[') {
                end = afterSet(m_p, k);
                if (end >= 0)
                    checkAtom(k, end);
            } else if (c == u'.') {
                end = k + 1;
            } else if (c == u'\\') {
                bool isLiteral = false;
                bool zeroWidth = false;
                end = escapeEnd(k, isLiteral, zeroWidth);
                if (end >= 0 && isLiteral)
                    literal = m_p[k + 1];
                if (end >= 0 && zeroWidth) {
                    flush();
                    const qsizetype after = quantityAt(end).end;
                    m_topTextStart = m_topTextStart || (top && m_p[k + 1] == u'A' && after == end);
                    k = after;
                    continue;
                }
            } else if (c.isHighSurrogate()) {
                end = k + 1 < m_p.size() && m_p[k + 1].isLowSurrogate() ? k + 2 : -1;
            } else if (isQuantifier(c) || c == u']' || c == u'}') {
                end = -1;
            } else {
                end = k + 1;
                if (c == u'\n')
                    m_staysOnLine = false;
                if (isPlainLiteral(c))
                    literal = c;
            }
            if (end < 0) {
                giveUp();
                break;
            }
            const Quantity q = quantityAt(end);
            if (!literal.isNull() && q.least > 0) {
                if (top && current.isEmpty())
                    m_runStart = m_taken;
                current.append(m_folds ? literal.toLower() : literal);
            }
            noteTaken(k, end, literal);
            if (literal.isNull() || q.end != end)
                consumed();
            k = q.end;
        }
        flush();
        if (!alternated)
            runs.insert(runs.end(), own.begin(), own.end());
        return k;
    }

    // Reads the group at `k` (with its quantifier) and returns where it ends.
    qsizetype group(qsizetype k, std::vector<QString>& runs) {
        using Kind = GroupItem::Kind;
        m_groupWasZeroWidth = true;
        const GroupItem opening = groupItemAt(m_p, k);
        switch (opening.kind) {
        case Kind::Comment:
        case Kind::Flags:
            return opening.end;
        case Kind::LookAround:
            // Look-around takes in nothing; it sees the text around a line all the same.
            return quantityAt(opening.end).end;
        case Kind::Unknown:
            giveUp();
            return m_p.size();
        case Kind::Group:
            break;
        }
        m_commits = m_commits || m_p.sliced(k).startsWith(u"(?>");
        std::vector<QString> inside;
        ++m_depth;
        const qsizetype close = sequence(opening.end, inside);
        --m_depth;
        m_groupWasZeroWidth = false;
        if (!m_understood || close >= m_p.size() || m_p[close] != u')') {
            giveUp();
            return m_p.size();
        }
        const Quantity q = quantityAt(close + 1);
        if (q.least > 0)
            runs.insert(runs.end(), inside.begin(), inside.end());
        return q.end;
    }

    QStringView m_p;
    bool m_folds;
    bool m_understood = true;
    bool m_staysOnLine = true;
    bool m_commits = false;
    int m_depth = 0;
    QString m_tailRun;
    // What the top-level items read so far may take in, and what they had when
    // the current run began; nothing once unknown.
    std::optional<AsciiTable> m_taken = AsciiTable{};
    std::optional<AsciiTable> m_runStart;
    std::vector<TopRun> m_topRuns;
    bool m_topAlternated = false;
    bool m_topTextStart = false; // "\A" unrepeated at the top level
    bool m_topCaret = false;     // "^" the same
    bool m_groupWasZeroWidth = false;
};

QString longest(const std::vector<QString>& runs) {
    QString best;
    for (const QString& run : runs)
        if (run.size() > best.size())
            best = run;
    return best;
}

} // namespace

QueryPrefilter analyseQueryPrefilter(const QString& query, const TextSearchOptions& options) {
    QueryPrefilter prefilter;
    prefilter.folds = !options.isCaseSensitive;
    if (!options.isRegex) {
        prefilter.understood = true;
        // An escaped literal: every character is itself, so any stretch of ASCII in
        // it is held by every match.
        std::vector<QString> runs;
        QString current;
        for (const QChar c : query) {
            if (c.unicode() > 0 && c.unicode() < 0x80 && c != u'\n') {
                current += prefilter.folds ? c.toLower() : c;
            } else if (!current.isEmpty()) {
                runs.push_back(std::exchange(current, QString()));
            }
        }
        runs.push_back(current);
        prefilter.literal = longest(runs);
        // The query is the match: when it ends with its longest run, so does every
        // match.
        prefilter.endsWithLiteral =
            !current.isEmpty() && current.size() == prefilter.literal.size();
        if (prefilter.endsWithLiteral)
            prefilter.literal = current;
        prefilter.staysOnLine = !query.contains(u'\n');
        return prefilter;
    }
    const QString flags = inlineFlagLetters(query);
    // Flags change how the rest is read; a flag that turns case folding on for part of the
    // pattern is taken as folding throughout.
    if (!readsFlags(flags))
        return prefilter;
    if (flags.contains(u'i'))
        prefilter.folds = true;
    PatternReader reader(query, prefilter.folds);
    std::vector<QString> runs;
    if (!reader.read(runs))
        return prefilter;
    prefilter.understood = true;
    prefilter.literal = longest(runs);
    // A run that ends every match is worth more than a longer one: it bounds
    // where each line's search can stop.
    const QString tail = reader.tailRun();
    if (!tail.isEmpty() && (tail.size() >= 2 || tail.size() == prefilter.literal.size())) {
        prefilter.literal = tail;
        // A possessive or atomic part run short of the line's end stops at the run's end and
        // may let the literal match where it would not.
        prefilter.endsWithLiteral = !reader.commits();
    }
    prefilter.takenBeforeLiteral = reader.takenBefore(prefilter.literal);
    // With "s" a dot takes in line feeds.
    prefilter.staysOnLine = reader.staysOnLine() && !flags.contains(u's');
    prefilter.startsAtTextStart = reader.startsAtTextStart(!flags.contains(u'm'));
    return prefilter;
}

} // namespace dunmoss
