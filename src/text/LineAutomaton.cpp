#include "text/LineAutomaton.h"

#include "platform/IcuRegex.h"
#include "platform/RegexAtoms.h"
#include "platform/RegexItems.h"
#include "platform/RegexSyntax.h"

#include <QHash>
#include <algorithm>
#include <bitset>
#include <map>

namespace dunmoss {

namespace {

using namespace regex_syntax;
using Symbols = std::bitset<LineAutomaton::kSymbols>;

// Bounds that keep building cheap beside the search it speeds up; a pattern past them simply
// has no automaton.
constexpr size_t kMostNfaStates = 4000;
constexpr size_t kMostDfaStates = 600;
constexpr int kMostCount = 200;

struct Fragment {
    int start = 0;
    int end = 0;
};

// Builds a nondeterministic automaton of the pattern, item by item, reading it as ICU does for
// what it models and giving up on everything else. A repeated item is read again for each
// copy, so every copy has states of its own.
class NfaBuilder {
public:
    struct State {
        int set = -1; // the symbols it consumes, or -1 for a state that only passes on
        int next = -1;
        std::vector<int> passes;
    };

    NfaBuilder(QStringView pattern, bool folds, bool dotAll)
        : m_p(pattern), m_folds(folds), m_dotAll(dotAll) {}

    // The whole pattern's fragment; none when it is not modelled.
    std::optional<Fragment> build() {
        qsizetype k = 0;
        const Fragment whole = alternatives(k);
        if (!m_ok || k != m_p.size() || m_states.size() > kMostNfaStates)
            return std::nullopt;
        return whole;
    }

    std::vector<State> m_states;
    std::vector<Symbols> m_sets;

private:
    void giveUp() { m_ok = false; }

    int add(int set = -1) {
        if (m_states.size() > kMostNfaStates)
            giveUp();
        m_states.push_back(State{set, -1, {}});
        return int(m_states.size() - 1);
    }
    void pass(int from, int to) { m_states[size_t(from)].passes.push_back(to); }
    Fragment empty() {
        const int state = add();
        return {state, state};
    }
    void join(Fragment& first, Fragment then) {
        pass(first.end, then.start);
        first.end = then.end;
    }
    Fragment consuming(int set) {
        const Fragment fragment{add(set), add()};
        m_states[size_t(fragment.start)].next = fragment.end;
        return fragment;
    }
    Fragment optional(Fragment inner) {
        const Fragment outer = empty();
        const int end = add();
        pass(outer.start, inner.start);
        pass(outer.start, end);
        pass(inner.end, end);
        return {outer.start, end};
    }
    Fragment loop(Fragment inner) {
        const Fragment outer = optional(inner);
        pass(inner.end, inner.start);
        return outer;
    }

    Fragment alternatives(qsizetype& k) {
        const Fragment first = sequence(k);
        if (k >= m_p.size() || m_p[k] != u'|')
            return first;
        const Fragment either{add(), add()};
        pass(either.start, first.start);
        pass(first.end, either.end);
        while (m_ok && k < m_p.size() && m_p[k] == u'|') {
            ++k;
            const Fragment other = sequence(k);
            pass(either.start, other.start);
            pass(other.end, either.end);
        }
        return either;
    }

    Fragment sequence(qsizetype& k) {
        Fragment whole = empty();
        while (m_ok && k < m_p.size() && m_p[k] != u'|' && m_p[k] != u')')
            join(whole, item(k));
        return whole;
    }

    // One item with its quantifier. Lazy and possessive loops are read as ordinary ones: the
    // texts they take in are among those.
    Fragment item(qsizetype& k) {
        const qsizetype at = k;
        bool zeroWidth = false;
        const Fragment first = atom(k, zeroWidth);
        int least = 1;
        int most = 1;
        if (m_ok && k < m_p.size() && isQuantifier(m_p[k])) {
            const QChar c = m_p[k];
            if (c == u'{') {
                const Count count = countAt(m_p, k);
                if (count.end < 0) {
                    giveUp();
                    return first;
                }
                least = count.least;
                most = count.most;
                k = count.end;
            } else {
                least = c == u'+' ? 1 : 0;
                most = c == u'?' ? 1 : -1;
                ++k;
            }
            if (k < m_p.size() && (m_p[k] == u'?' || m_p[k] == u'+'))
                ++k;
            if (k < m_p.size() && isQuantifier(m_p[k]))
                giveUp();
        }
        if (!m_ok || zeroWidth || (least == 1 && most == 1))
            return first;
        if (least > kMostCount || most > kMostCount || (most >= 0 && most < least)) {
            giveUp();
            return first;
        }
        int copies = 0;
        const auto copy = [&] {
            if (copies++ == 0)
                return first;
            qsizetype again = at;
            bool ignored = false;
            return atom(again, ignored);
        };
        Fragment whole = empty();
        for (int i = 0; m_ok && i < least; ++i)
            join(whole, copy());
        if (most < 0)
            join(whole, loop(copy()));
        for (int i = least; m_ok && i < most; ++i)
            join(whole, optional(copy()));
        return whole;
    }

    Fragment atom(qsizetype& k, bool& zeroWidth) {
        const QChar c = m_p[k];
        if (c == u'(')
            return group(k, zeroWidth);
        if (c == u'^' || c == u'$') {
            zeroWidth = true;
            ++k;
            return empty();
        }
        if (c == u'[') {
            const qsizetype end = afterSet(m_p, k);
            if (end < 0) {
                giveUp();
                return empty();
            }
            return setAtom(std::exchange(k, end), end);
        }
        if (c == u'.') {
            ++k;
            return setAtom(k - 1, k);
        }
        if (c == u'\\')
            return escape(k, zeroWidth);
        if (isQuantifier(c) || c == u']' || c == u'}') {
            giveUp();
            return empty();
        }
        if (c.isHighSurrogate() && k + 1 < m_p.size() && m_p[k + 1].isLowSurrogate())
            ++k;
        ++k;
        return literal(c);
    }

    // A character matched as itself, and under folding as its other case.
    Fragment literal(QChar c) {
        Symbols symbols;
        if (c.unicode() >= 0x80) {
            // Folded, one such character may stand for several ASCII ones ("ß" for "ss").
            if (m_folds)
                giveUp();
            symbols.set(LineAutomaton::kWide);
        } else {
            symbols.set(c.unicode());
            if (m_folds && isAsciiLetter(c))
                symbols.set(c.unicode() ^ 0x20);
        }
        m_sets.push_back(symbols);
        return consuming(int(m_sets.size() - 1));
    }

    // An atom of one character whose ASCII members ICU itself tells; it is taken to match
    // every character beyond ASCII. Under folding a class reaching beyond ASCII is not
    // modelled, as the run skips do not model it.
    Fragment setAtom(qsizetype at, qsizetype end) {
        const QString item = m_p.sliced(at, end - at).toString();
        if (const auto known = m_setOf.constFind(item); known != m_setOf.constEnd())
            return consuming(*known);
        if (m_folds && (!QtPrivate::isAscii(QStringView(item)) || item.contains(u"\\x") ||
                        item.contains(u"\\u") || item.contains(u"\\U") || item.contains(u"\\N") ||
                        item.contains(u"\\p") || item.contains(u"\\P"))) {
            giveUp();
            return empty();
        }
        Symbols symbols;
        try {
            const IcuRegex one(
                item, (m_folds ? IcuRegex::CaseInsensitive : IcuRegex::NoOptions) |
                          (m_dotAll ? IcuRegex::DotMatchesLineSeparators : IcuRegex::NoOptions));
            for (char16_t c = 0; c < 0x80; ++c)
                if (!one.matchRanges(QStringView(&c, 1)).empty())
                    symbols.set(c);
        } catch (const RegexError&) {
            giveUp();
            return empty();
        }
        symbols.set(LineAutomaton::kWide);
        m_sets.push_back(symbols);
        m_setOf.insert(item, int(m_sets.size() - 1));
        return consuming(int(m_sets.size() - 1));
    }

    // Back-references and what takes in several characters are not one step a character: the
    // prefilter reads them, the automaton gives up.
    Fragment escape(qsizetype& k, bool& zeroWidth) {
        using Kind = EscapeItem::Kind;
        const qsizetype at = k;
        const EscapeItem escape = escapeItemAt(m_p, k);
        switch (escape.kind) {
        case Kind::Assertion:
            zeroWidth = true;
            k = escape.end;
            return empty();
        case Kind::Quoted:
            return quoted(k);
        case Kind::Character:
            k = escape.end;
            return setAtom(at, escape.end);
        case Kind::Literal:
            k = escape.end;
            return literal(m_p[at + 1]);
        case Kind::BackReference:
        case Kind::Several:
        case Kind::Unknown:
            break;
        }
        giveUp();
        return empty();
    }

    // "\Q...\E": each character as itself.
    Fragment quoted(qsizetype& k) {
        const qsizetype end = afterEscape(m_p, k);
        if (end < 0 || (end < m_p.size() && isQuantifier(m_p[end]))) {
            giveUp();
            return empty();
        }
        const qsizetype close = m_p.sliced(k + 2).indexOf(u"\\E");
        const qsizetype stop = close < 0 ? end : k + 2 + close;
        Fragment whole = empty();
        for (qsizetype i = k + 2; m_ok && i < stop; ++i) {
            const QChar c = m_p[i];
            if (c.isHighSurrogate() && i + 1 < stop && m_p[i + 1].isLowSurrogate())
                ++i;
            join(whole, literal(c));
        }
        k = end;
        return whole;
    }

    Fragment group(qsizetype& k, bool& zeroWidth) {
        using Kind = GroupItem::Kind;
        const GroupItem opening = groupItemAt(m_p, k);
        switch (opening.kind) {
        case Kind::Comment:
        case Kind::LookAround:
        case Kind::Flags:
            // Comments, look-around and flag settings take in nothing; the flags were read
            // for the whole pattern.
            zeroWidth = true;
            k = opening.end;
            return empty();
        case Kind::Unknown:
            giveUp();
            k = m_p.size();
            return empty();
        case Kind::Group:
            break;
        }
        k = opening.end;
        const Fragment inside = alternatives(k);
        if (!m_ok || k >= m_p.size() || m_p[k] != u')') {
            giveUp();
            return inside;
        }
        ++k;
        return inside;
    }

    QStringView m_p;
    bool m_folds;
    bool m_dotAll;
    bool m_ok = true;
    QHash<QString, int> m_setOf;
};

// The states that consume or accept, reached from `from` through states that only pass on.
std::vector<int> closure(const NfaBuilder& nfa, std::vector<int> from, int accept) {
    std::vector<int> reached;
    std::vector<bool> seen(nfa.m_states.size());
    while (!from.empty()) {
        const int state = from.back();
        from.pop_back();
        if (seen[size_t(state)])
            continue;
        seen[size_t(state)] = true;
        const NfaBuilder::State& s = nfa.m_states[size_t(state)];
        if (s.set >= 0 || state == accept)
            reached.push_back(state);
        from.insert(from.end(), s.passes.begin(), s.passes.end());
    }
    std::sort(reached.begin(), reached.end());
    return reached;
}

} // namespace

std::optional<LineAutomaton> LineAutomaton::of(QStringView pattern, bool folds) {
    // Flags are read for the whole pattern: folding or a dot that takes in line feeds for a
    // part of it is taken for all of it, which only lets more through.
    const QString flags = inlineFlagLetters(pattern);
    if (!readsFlags(flags) || writesSurrogateHalf(pattern))
        return std::nullopt;
    folds = folds || flags.contains(u'i');
    NfaBuilder nfa(pattern, folds, flags.contains(u's'));
    const std::optional<Fragment> whole = nfa.build();
    if (!whole)
        return std::nullopt;
    const int accept = whole->end;

    LineAutomaton automaton;
    automaton.m_folds = folds;
    // Symbols that every set takes or leaves alike share a class.
    std::map<std::vector<bool>, uint8_t> classes;
    std::vector<int> representative;
    for (int symbol = 0; symbol < kSymbols; ++symbol) {
        std::vector<bool> signature;
        signature.reserve(nfa.m_sets.size());
        for (const Symbols& set : nfa.m_sets)
            signature.push_back(set.test(size_t(symbol)));
        const auto [it, added] = classes.emplace(std::move(signature), uint8_t(classes.size()));
        if (added)
            representative.push_back(symbol);
        automaton.m_classOf[size_t(symbol)] = it->second;
    }
    automaton.m_classCount = int(classes.size());

    // Subsets of the states, searched for anywhere: the start's states join every step.
    const std::vector<int> start = closure(nfa, {whole->start}, accept);
    std::map<std::vector<int>, int> ids;
    std::vector<std::vector<int>> subsets;
    const auto intern = [&](std::vector<int> subset) {
        const auto [it, added] = ids.emplace(subset, int(subsets.size()));
        if (added)
            subsets.push_back(std::move(subset));
        return it->second;
    };
    // An expression that matches the empty text may match anywhere: nothing to tell.
    if (std::binary_search(start.begin(), start.end(), accept))
        return std::nullopt;
    automaton.m_start = intern(start);
    for (size_t id = 0; id < subsets.size(); ++id) {
        if (subsets.size() > kMostDfaStates)
            return std::nullopt;
        const bool accepts = std::binary_search(subsets[id].begin(), subsets[id].end(), accept);
        automaton.m_accepts.push_back(accepts ? 1 : 0);
        for (int cls = 0; cls < automaton.m_classCount; ++cls) {
            if (accepts) {
                automaton.m_next.push_back(int32_t(id));
                continue;
            }
            std::vector<int> moved{whole->start};
            for (const int state : subsets[id]) {
                const NfaBuilder::State& s = nfa.m_states[size_t(state)];
                if (s.set >= 0 && nfa.m_sets[size_t(s.set)].test(size_t(representative[cls])))
                    moved.push_back(s.next);
            }
            automaton.m_next.push_back(int32_t(intern(closure(nfa, std::move(moved), accept))));
        }
    }
    return automaton;
}

qsizetype LineAutomaton::matchEnd(QStringView text, qsizetype from, const PieceRead& read) const {
    int state = m_start;
    const char16_t* units = text.utf16();
    const qsizetype size = text.size();
    for (qsizetype i = from; i < size;) {
        const qsizetype pieceStart = i;
        const qsizetype pieceEnd = std::min(size, i + kPieceUnits);
        for (; i < pieceEnd; ++i) {
            const char16_t c = units[i];
            int symbol = c;
            if (c >= 0x80) {
                if (m_folds)
                    return read ? (read(i + 1 - pieceStart), i + 1) : i + 1;
                // A pair of surrogates is one character.
                if (QChar::isHighSurrogate(c) && i + 1 < size &&
                    QChar::isLowSurrogate(units[i + 1]))
                    ++i;
                symbol = kWide;
            }
            if (step(state, symbol))
                return read ? (read(i + 1 - pieceStart), i + 1) : i + 1;
        }
        if (read && read(i - pieceStart))
            return -1;
    }
    return -1;
}

bool LineAutomaton::mayMatchUtf8(QByteArrayView stretch, const PieceRead& read) const {
    int state = m_start;
    const qsizetype size = stretch.size();
    for (qsizetype i = 0; i < size;) {
        const qsizetype pieceStart = i;
        const qsizetype pieceEnd = std::min(size, i + kPieceUnits);
        for (; i < pieceEnd; ++i) {
            const auto b = uchar(stretch[i]);
            int symbol = b;
            if (b >= 0x80) {
                if (m_folds)
                    return true;
                // A character's lead byte stands for it; the bytes that continue it are
                // skipped.
                if ((b & 0xC0) == 0x80)
                    continue;
                symbol = kWide;
            }
            if (step(state, symbol))
                return true;
        }
        if (read && read(i - pieceStart))
            return false;
    }
    return false;
}

} // namespace dunmoss
