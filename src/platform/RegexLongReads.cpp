#include "platform/RegexLongReads.h"

#include "platform/RegexAtoms.h"
#include "platform/RegexFreeSpacing.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

#include <QList>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <unicode/regex.h>
#include <vector>

namespace dunmoss {

using namespace regex_syntax;

namespace {
// A back-reference to a group that takes in at most this many units compares no more than that
// after each saved state: with 10,000 states a tick, about 2.5 million units between two of
// ICU's calls back, a millisecond or two.
constexpr int64_t kShortReferenceUnits = 256;
bool backReferencesShort(QStringView p);

// The letters of the pattern's inline flags that change how it reads: an "x" only where some
// group turns free spacing on ("(?-x)" alone leaves the pattern as written).
QString flagLettersInForce(QStringView p) {
    QString letters = inlineFlagLetters(p);
    if (!readFreeSpacing(p, false).turnedOn)
        letters.remove(u'x');
    return letters;
}
} // namespace

bool mayReadFarWithoutTicks(QStringView p) {
    // Spaces and comments may hide what follows.
    if (readFreeSpacing(p, false).turnedOn)
        return true;
    std::optional<bool> referencesShort;
    // For each open group, whether it is a look-around or inside one.
    std::vector<bool> lookingAround;
    const auto insideLookAround = [&] { return !lookingAround.empty() && lookingAround.back(); };
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p[i];
        if (c == u'\\') {
            const QChar kind = i + 1 < p.size() ? p[i + 1] : QChar();
            if ((kind >= u'1' && kind <= u'9') || kind == u'k') {
                if (!referencesShort)
                    referencesShort = backReferencesShort(p);
                if (!*referencesShort)
                    return true;
            }
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

QString withBoundariesReadInPlace(QStringView p, bool freeSpacing) {
    const std::vector<qsizetype> boundaries = readFreeSpacing(p, freeSpacing).boundaries;
    if (boundaries.empty())
        return p.toString();
    QString out;
    qsizetype copied = 0;
    for (const qsizetype at : boundaries) {
        out.append(p.sliced(copied, at - copied)).append(u"(?>(?<=[\\s\\S])|)");
        copied = at;
    }
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

// The most units one character item may take in, whatever it is: a code point written as a
// pair, or what case folding lets one character stand for ("ss" for "ß", three code points for
// "ΐ").
constexpr int64_t kUnitsPerCharacter = 8;
// Past any length the analysis needs to tell apart.
constexpr int64_t kUnboundedLength = int64_t(1) << 40;

int64_t lengthPlus(int64_t a, int64_t b) {
    return std::min(a + b, kUnboundedLength);
}
int64_t lengthTimes(int64_t length, int64_t times) {
    return times < 0 || (length > 0 && times >= kUnboundedLength / length) ? kUnboundedLength
                                                                           : length * times;
}

// Reads a pattern once, item by item, noting for each item whether it can take in a line feed
// and the most units it can take in, and checking every far read (see mayReadFarWithoutTicks)
// as it closes. Whatever it does not understand ends the reading with "no".
class LineBoundReader {
public:
    LineBoundReader(QStringView pattern, bool dotAll, bool folds)
        : m_p(pattern), m_dotAll(dotAll), m_folds(folds) {}

    // Whether every far read stays on its line.
    bool read() {
        const Result whole = sequence(0, false);
        m_understood = m_understood && whole.end == m_p.size();
        return m_understood && m_bound;
    }
    // After read(): whether every back-reference names a group of a short text.
    bool referencesShort() const { return m_understood && m_referencesShort; }

private:
    // What a sequence or an item read: where it ended, whether it can take in a line feed, and
    // whether a look-around stands in it.
    struct Result {
        qsizetype end = -1;
        bool takesFeed = false;
        bool looksAround = false;
        int64_t longest = 0;
    };
    enum class Group : uint8_t { Open, OnLine, TakesFeed };

    Result fail() {
        m_understood = m_bound = false;
        return {m_p.size(), true, true, kUnboundedLength};
    }

    // A far read whose item can take in a line feed reads on past a line.
    void farRead(bool takesFeed) {
        if (takesFeed)
            m_bound = false;
    }

    Result sequence(qsizetype k, bool lookingAround) {
        Result all{k, false, false};
        int64_t alternative = 0; // the longest of the alternative being read
        while (m_understood && k < m_p.size() && m_p[k] != u')') {
            if (m_p[k] == u'|') {
                all.longest = std::max(all.longest, alternative);
                alternative = 0;
                ++k;
                continue;
            }
            const Result item = quantified(k, lookingAround);
            all.takesFeed = all.takesFeed || item.takesFeed;
            all.looksAround = all.looksAround || item.looksAround;
            alternative = lengthPlus(alternative, item.longest);
            k = item.end;
        }
        all.longest = std::max(all.longest, alternative);
        all.end = k;
        return all;
    }

    // One item and its quantifier.
    Result quantified(qsizetype k, bool lookingAround) {
        Result item = atom(k, lookingAround);
        if (!m_understood)
            return item;
        qsizetype q = item.end;
        if (q >= m_p.size() || !isQuantifier(m_p[q]))
            return item;
        const QChar kind = m_p[q];
        int least = kind == u'+' ? 1 : 0;
        int most = kind == u'?' ? 1 : -1;
        bool large = false;
        if (kind == u'{') {
            const Count count = countAt(m_p, q);
            if (count.end < 0)
                return fail();
            least = count.least;
            most = count.most;
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
        item.longest = lengthTimes(item.longest, most);
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
            return {end, atomTakesLineFeed(m_p.sliced(k, end - k), m_folds), false,
                    kUnitsPerCharacter};
        }
        if (c == u'.')
            return {k + 1, m_dotAll, false, kUnitsPerCharacter};
        if (c == u'^' || c == u'$')
            return {k + 1, false, false};
        if (c == u'\\')
            return escape(k);
        if (isQuantifier(c) || c == u']' || c == u'}')
            return fail();
        if (c.isHighSurrogate())
            return k + 1 < m_p.size() && m_p[k + 1].isLowSurrogate()
                       ? Result{k + 2, false, false, kUnitsPerCharacter}
                       : fail();
        return {k + 1, c == u'\n', false, kUnitsPerCharacter};
    }

    Result escape(qsizetype k) {
        using Kind = EscapeItem::Kind;
        const EscapeItem item = escapeItemAt(m_p, k);
        switch (item.kind) {
        case Kind::Assertion:
            return {item.end, false, false};
        case Kind::Character:
            return {item.end, atomTakesLineFeed(m_p.sliced(k, item.end - k), m_folds), false,
                    kUnitsPerCharacter};
        case Kind::Literal:
            return {item.end, m_p[k + 1] == u'\n', false, kUnitsPerCharacter};
        case Kind::Quoted: {
            const qsizetype end = std::min(item.end, m_p.size());
            return {item.end, m_p.sliced(k, end - k).contains(u'\n'), false,
                    lengthTimes(kUnitsPerCharacter, end - k)};
        }
        case Kind::BackReference: {
            // Compared unit by unit, as far as what its group took; only a group closed
            // before it is known. One of a short text reads no further than an atom does.
            const Result read = reference(k, item.end);
            if (read.longest > kShortReferenceUnits) {
                m_referencesShort = false;
                farRead(read.takesFeed);
            }
            return read;
        }
        case Kind::Several:
            // "\R" takes in at most CR LF; a grapheme cluster has no bound.
            return {item.end, true, false,
                    m_p[k + 1] == u'R' ? kUnitsPerCharacter : kUnboundedLength};
        case Kind::Unknown:
            break;
        }
        return fail();
    }

    // What a back-reference may take in: what the group it names may. ICU may read "\12" as
    // group 12 or as group 1 and a "2": each reading must name a closed group, and the most
    // either takes in counts.
    Result reference(qsizetype k, qsizetype end) {
        Result read{end, false, false, 0};
        const auto add = [&](int number) {
            if (number < 1 || number > int(m_groups.size()) ||
                m_groups[size_t(number - 1)].state == Group::Open) {
                read.takesFeed = true;
                read.longest = kUnboundedLength;
                return;
            }
            const GroupRead& group = m_groups[size_t(number - 1)];
            read.takesFeed = read.takesFeed || group.state == Group::TakesFeed;
            read.longest = std::max(read.longest, group.longest);
        };
        if (m_p[k + 1] == u'k') {
            const auto named = m_names.find(m_p.sliced(k + 3, end - k - 4).toString());
            add(named == m_names.end() ? 0 : named->second);
            return read;
        }
        bool any = false;
        int number = 0;
        for (qsizetype d = k + 1; d < end && number <= 1000; ++d) {
            number = number * 10 + (m_p[d].unicode() - u'0');
            if (number > int(m_groups.size()))
                break;
            add(number);
            any = true;
        }
        if (!any)
            add(0);
        return read;
    }

    Result group(qsizetype k, bool lookingAround) {
        using Kind = GroupItem::Kind;
        const GroupItem opening = groupItemAt(m_p, k);
        switch (opening.kind) {
        case Kind::Comment:
        case Kind::Flags:
            return {opening.end, false, false, 0};
        case Kind::Unknown:
            return fail();
        case Kind::LookAround: {
            // Takes in nothing; its own loops are far reads.
            const qsizetype inside = m_p[k + 2] == u'<' ? k + 4 : k + 3;
            const Result read = sequence(inside, true);
            if (read.end >= m_p.size() || m_p[read.end] != u')')
                return fail();
            return {read.end + 1, false, true, 0};
        }
        case Kind::Group:
            break;
        }
        const GroupOpening capture = groupOpeningAt(m_p, k);
        size_t number = 0;
        if (capture.end >= 0 && capture.captures) {
            m_groups.push_back({Group::Open, kUnboundedLength});
            number = m_groups.size();
            if (k + 1 < m_p.size() && m_p[k + 1] == u'?')
                m_names.emplace(m_p.sliced(k + 3, capture.end - k - 4).toString(), int(number));
        }
        const Result read = sequence(opening.end, lookingAround);
        if (read.end >= m_p.size() || m_p[read.end] != u')')
            return fail();
        if (number > 0)
            m_groups[number - 1] = {read.takesFeed ? Group::TakesFeed : Group::OnLine,
                                    read.longest};
        // An atomic group keeps what it read, never given back.
        if (m_p.sliced(k).startsWith(u"(?>"))
            farRead(read.takesFeed);
        return {read.end + 1, read.takesFeed, read.looksAround, read.longest};
    }

    QStringView m_p;
    bool m_dotAll;
    bool m_folds;
    bool m_bound = true;
    bool m_understood = true;
    bool m_referencesShort = true;
    struct GroupRead {
        Group state;
        int64_t longest;
    };
    std::vector<GroupRead> m_groups;
    std::map<QString, int> m_names;
};

bool backReferencesShort(QStringView p) {
    // Free spacing changes how everything is written.
    const QString flags = flagLettersInForce(p);
    if (std::any_of(flags.cbegin(), flags.cend(),
                    [](QChar flag) { return !QStringView(u"ismw-").contains(flag); }))
        return false;
    LineBoundReader reader(p, true, true);
    reader.read();
    return reader.referencesShort();
}

} // namespace

bool farReadsStayOnLine(QStringView pattern, bool dotAll, bool folds) {
    // Flags that change only what a dot or a letter takes in are read; free spacing and any
    // other are not.
    for (const QChar flag : flagLettersInForce(pattern)) {
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
