#include "platform/RegexLongReads.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

#include <QList>
#include <algorithm>
#include <map>
#include <memory>
#include <unicode/regex.h>
#include <vector>

namespace dunmoss {

using namespace regex_syntax;

bool mayReadFarWithoutTicks(QStringView p) {
    // For each open group, whether it is a look-around or inside one.
    std::vector<bool> lookingAround;
    const auto insideLookAround = [&] { return !lookingAround.empty() && lookingAround.back(); };
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p[i];
        if (c == u'\\') {
            const QChar kind = i + 1 < p.size() ? p[i + 1] : QChar();
            if ((kind >= u'1' && kind <= u'9') || kind == u'k')
                return true;
            i = afterEscape(p, i);
        } else if (c == u'[') {
            i = afterSet(p, i);
        } else if (c == u'(') {
            const QStringView rest = p.sliced(i);
            if (rest.startsWith(u"(?#")) {
                i = afterComment(p, i);
                continue;
            }
            if (rest.startsWith(u"(?>"))
                return true;
            const bool around = rest.startsWith(u"(?=") || rest.startsWith(u"(?!") ||
                                rest.startsWith(u"(?<=") || rest.startsWith(u"(?<!");
            if (rest.startsWith(u"(?") && !around) {
                // Inline flags: "x" lets spaces and comments hide what follows.
                qsizetype f = i + 2;
                while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-')) {
                    if (p[f] == u'x')
                        return true;
                    ++f;
                }
            }
            lookingAround.push_back(around || insideLookAround());
            ++i;
        } else if (c == u')') {
            if (!lookingAround.empty())
                lookingAround.pop_back();
            ++i;
        } else if (c == u'*' || c == u'+' || c == u'?' || c == u'{') {
            // Any loop but "?" may read far; a counted one as far as its count.
            if (c != u'?' && insideLookAround())
                return true;
            if (c == u'{') {
                const qsizetype close = p.indexOf(u'}', i);
                if (close < 0)
                    return true;
                // A count in the thousands repeats without a saved state until its least.
                for (const QStringView number : p.sliced(i + 1, close - i - 1).split(u','))
                    if (number.size() > 3)
                        return true;
                i = close + 1;
            } else {
                ++i;
            }
            if (i < p.size() && p[i] == u'+')
                return true; // possessive
        } else {
            ++i;
        }
        if (i < 0)
            return true;
    }
    return false;
}

QString withBoundariesReadInPlace(QStringView p, bool commentsAnywhere) {
    QString out;
    qsizetype copied = -1;
    for (qsizetype i = 0; i < p.size() && i >= 0;) {
        const QChar c = p[i];
        if (c == u'\\') {
            const QChar kind = i + 1 < p.size() ? p[i + 1] : QChar();
            if (kind == u'b' || kind == u'B') {
                const qsizetype from = std::max<qsizetype>(copied, 0);
                out.append(p.sliced(from, i - from)).append(u"(?>(?<=[\\s\\S])|)");
                copied = i;
            }
            i = afterEscape(p, i);
        } else if (c == u'[') {
            i = afterSet(p, i);
        } else if (c == u'(' && p.sliced(i).startsWith(u"(?#")) {
            i = afterComment(p, i);
        } else if (c == u'#' && commentsAnywhere) {
            while (i < p.size() && !QStringView(u"\n\r\u0085\u2028\u2029").contains(p[i]))
                ++i;
        } else {
            ++i;
        }
    }
    if (copied < 0)
        return p.toString();
    return out.append(p.sliced(copied));
}

namespace {

// Whether one character of the atom (a set, a class escape, a code point) can be a line feed,
// asked of ICU itself. What does not compile counts as one that can.
bool atomTakesLineFeed(QStringView atom, bool folds) {
    UParseError error{};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString source(reinterpret_cast<const UChar*>(atom.utf16()),
                                    int32_t(atom.size()));
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(source, folds ? UREGEX_CASE_INSENSITIVE : 0, error, status));
    if (U_FAILURE(status) || !compiled)
        return true;
    const icu::UnicodeString feed(u'\n');
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(feed, status));
    if (U_FAILURE(status) || !matcher)
        return true;
    const bool found = matcher->find(status);
    return found || U_FAILURE(status);
}

// Reads a pattern once, item by item, noting for each item whether it can take in a line feed
// and checking every far read (see mayReadFarWithoutTicks) as it closes. Whatever it does not
// understand ends the reading with "no".
class LineBoundReader {
public:
    LineBoundReader(QStringView pattern, bool dotAll, bool folds)
        : m_p(pattern), m_dotAll(dotAll), m_folds(folds) {}

    bool read() {
        const Result whole = sequence(0, false);
        return m_bound && whole.end == m_p.size();
    }

private:
    // What a sequence or an item read: where it ended, whether it can take in a line feed, and
    // whether a look-around stands in it.
    struct Result {
        qsizetype end = -1;
        bool takesFeed = false;
        bool looksAround = false;
    };
    enum class Group : uint8_t { Open, OnLine, TakesFeed };

    Result fail() {
        m_bound = false;
        return {m_p.size(), true, true};
    }

    // A far read whose item can take in a line feed reads on past a line.
    void farRead(bool takesFeed) {
        if (takesFeed)
            m_bound = false;
    }

    Result sequence(qsizetype k, bool lookingAround) {
        Result all{k, false, false};
        while (m_bound && k < m_p.size() && m_p[k] != u')') {
            if (m_p[k] == u'|') {
                ++k;
                continue;
            }
            const Result item = quantified(k, lookingAround);
            all.takesFeed = all.takesFeed || item.takesFeed;
            all.looksAround = all.looksAround || item.looksAround;
            k = item.end;
        }
        all.end = k;
        return all;
    }

    // One item and its quantifier.
    Result quantified(qsizetype k, bool lookingAround) {
        Result item = atom(k, lookingAround);
        if (!m_bound)
            return item;
        qsizetype q = item.end;
        if (q >= m_p.size() || !isQuantifier(m_p[q]))
            return item;
        const QChar kind = m_p[q];
        int least = kind == u'+' ? 1 : 0;
        bool large = false;
        if (kind == u'{') {
            const Count count = countAt(m_p, q);
            if (count.end < 0)
                return fail();
            least = count.least;
            // A count in the thousands repeats without a saved state until its least.
            for (const QStringView number : m_p.sliced(q + 1, count.end - q - 2).split(u','))
                large = large || number.trimmed().size() > 3;
            q = count.end;
        } else {
            ++q;
        }
        const bool possessive = q < m_p.size() && m_p[q] == u'+';
        if (q < m_p.size() && (m_p[q] == u'+' || m_p[q] == u'?'))
            ++q;
        if (possessive || large || (kind != u'?' && lookingAround))
            farRead(item.takesFeed);
        // Repeated without a saved state between, a look-around reads its line again and again.
        if (least >= 2 && item.looksAround)
            return fail();
        item.end = q;
        return item;
    }

    Result atom(qsizetype k, bool lookingAround) {
        const QChar c = m_p[k];
        if (c == u'(')
            return group(k, lookingAround);
        if (c == u'[') {
            const qsizetype end = afterSet(m_p, k);
            if (end < 0)
                return fail();
            return {end, atomTakesLineFeed(m_p.sliced(k, end - k), m_folds), false};
        }
        if (c == u'.')
            return {k + 1, m_dotAll, false};
        if (c == u'^' || c == u'$')
            return {k + 1, false, false};
        if (c == u'\\')
            return escape(k);
        if (isQuantifier(c) || c == u']' || c == u'}')
            return fail();
        if (c.isHighSurrogate())
            return k + 1 < m_p.size() && m_p[k + 1].isLowSurrogate() ? Result{k + 2, false, false}
                                                                     : fail();
        return {k + 1, c == u'\n', false};
    }

    Result escape(qsizetype k) {
        using Kind = EscapeItem::Kind;
        const EscapeItem item = escapeItemAt(m_p, k);
        switch (item.kind) {
        case Kind::Assertion:
            return {item.end, false, false};
        case Kind::Character:
            return {item.end, atomTakesLineFeed(m_p.sliced(k, item.end - k), m_folds), false};
        case Kind::Literal:
            return {item.end, m_p[k + 1] == u'\n', false};
        case Kind::Quoted: {
            const qsizetype end = std::min(item.end, m_p.size());
            return {item.end, m_p.sliced(k, end - k).contains(u'\n'), false};
        }
        case Kind::BackReference: {
            // Compared unit by unit, as far as what its group took; only a group closed
            // before it is known.
            const bool takesFeed = referenceTakesFeed(k, item.end);
            farRead(takesFeed);
            return {item.end, takesFeed, false};
        }
        case Kind::Several:
            return {item.end, true, false};
        case Kind::Unknown:
            break;
        }
        return fail();
    }

    // Whether the group a back-reference names can take in a line feed. ICU may read "\12" as
    // group 12 or as group 1 and a "2": each reading must name a closed group on its line.
    bool referenceTakesFeed(qsizetype k, qsizetype end) {
        if (m_p[k + 1] == u'k') {
            const auto named = m_names.find(m_p.sliced(k + 3, end - k - 4).toString());
            return named == m_names.end() || groupTakesFeed(named->second);
        }
        bool any = false;
        int number = 0;
        for (qsizetype d = k + 1; d < end && number <= 1000; ++d) {
            number = number * 10 + (m_p[d].unicode() - u'0');
            if (number > int(m_groups.size()))
                break;
            if (groupTakesFeed(number))
                return true;
            any = true;
        }
        return !any;
    }

    bool groupTakesFeed(int number) const {
        return number < 1 || number > int(m_groups.size()) ||
               m_groups[size_t(number - 1)] != Group::OnLine;
    }

    Result group(qsizetype k, bool lookingAround) {
        using Kind = GroupItem::Kind;
        const GroupItem opening = groupItemAt(m_p, k);
        switch (opening.kind) {
        case Kind::Comment:
        case Kind::Flags:
            return {opening.end, false, false};
        case Kind::Unknown:
            return fail();
        case Kind::LookAround: {
            // Takes in nothing; its own loops are far reads.
            const qsizetype inside = m_p[k + 2] == u'<' ? k + 4 : k + 3;
            const Result read = sequence(inside, true);
            if (read.end >= m_p.size() || m_p[read.end] != u')')
                return fail();
            return {read.end + 1, false, true};
        }
        case Kind::Group:
            break;
        }
        const GroupOpening capture = groupOpeningAt(m_p, k);
        size_t number = 0;
        if (capture.end >= 0 && capture.captures) {
            m_groups.push_back(Group::Open);
            number = m_groups.size();
            if (m_p[k + 1] == u'?')
                m_names.emplace(m_p.sliced(k + 3, capture.end - k - 4).toString(), int(number));
        }
        const Result read = sequence(opening.end, lookingAround);
        if (read.end >= m_p.size() || m_p[read.end] != u')')
            return fail();
        if (number > 0)
            m_groups[number - 1] = read.takesFeed ? Group::TakesFeed : Group::OnLine;
        // An atomic group keeps what it read, never given back.
        if (m_p.sliced(k).startsWith(u"(?>"))
            farRead(read.takesFeed);
        return {read.end + 1, read.takesFeed, read.looksAround};
    }

    QStringView m_p;
    bool m_dotAll;
    bool m_folds;
    bool m_bound = true;
    std::vector<Group> m_groups;
    std::map<QString, int> m_names;
};

} // namespace

bool farReadsStayOnLine(QStringView pattern, bool dotAll, bool folds) {
    // Flags that change only what a dot or a letter takes in are read; free spacing and any
    // other are not.
    for (const QChar flag : inlineFlagLetters(pattern)) {
        if (flag == u's')
            dotAll = true;
        else if (flag == u'i')
            folds = true;
        else if (flag != u'm' && flag != u'w' && flag != u'-')
            return false;
    }
    return LineBoundReader(pattern, dotAll, folds).read();
}

bool linesAtMost(QStringView text, qsizetype units) {
    const char16_t* data = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    // Each line of a window `units` long from a line start ends inside it: the last feed there is
    // found reading back from its end, and only the units after it are read again, so over short
    // lines few units are read at all.
    qsizetype lineStart = 0;
    qsizetype checked = 0; // no feed in [lineStart, checked)
    while (size - lineStart > units) {
        qsizetype k = lineStart + units;
        while (k >= checked && data[k] != u'\n')
            --k;
        if (k < checked)
            return false;
        checked = lineStart + units + 1;
        lineStart = k + 1;
    }
    return true;
}

} // namespace dunmoss
