#include "text/DelimitedSpanScan.h"

#include "platform/IcuCharacterClasses.h"

#include <algorithm>

namespace dunmoss {

namespace {

// What Runs' endFor returns for an opener that fails while a later one may match.
constexpr qsizetype kFailsHere = -2;

// The pattern's alternatives at the top level.
QStringList topLevelAlternatives(const QString& pattern) {
    QStringList parts;
    int depth = 0;
    bool inClass = false;
    qsizetype from = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'\\') {
            ++i;
        } else if (inClass) {
            inClass = c != u']';
        } else if (c == u'[') {
            inClass = true;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            --depth;
        } else if (c == u'|' && depth == 0) {
            parts.append(pattern.mid(from, i - from));
            from = i + 1;
        }
    }
    parts.append(pattern.mid(from));
    return parts;
}

// The text a pattern piece matches when it is a plain literal, else none.
std::optional<QString> literal(QStringView piece) {
    static const QString special = QStringLiteral(".^$*+?()[]{}|");
    QString text;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const QChar c = piece[i];
        if (c == u'\\') {
            if (i + 1 >= piece.size() || piece[i + 1].isLetterOrNumber() ||
                piece[i + 1].unicode() >= 0x80)
                return std::nullopt;
            text += piece[++i];
        } else if (special.contains(c)) {
            return std::nullopt;
        } else {
            text += c;
        }
    }
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

// The first line terminator at or after `from`, or the end.
qsizetype lineEnd(QStringView text, qsizetype from) {
    while (from < text.size() && !isIcuLineTerminator(text[from]))
        ++from;
    return from;
}

} // namespace

std::optional<DelimitedSpanScan> DelimitedSpanScan::fromPass(const HighlightPass& pass) {
    const bool anyCase = pass.options == IcuRegex::CaseInsensitive;
    if ((pass.options != IcuRegex::NoOptions && !anyCase) || pass.group != 0)
        return std::nullopt;
    DelimitedSpanScan scan;
    for (const QString& alternative : topLevelAlternatives(pass.pattern)) {
        std::optional<Part> part = partFrom(alternative);
        if (!part || (anyCase && !takesAnyCase(*part)))
            return std::nullopt;
        part->anyCase = anyCase;
        scan.m_parts.push_back(*part);
    }
    return scan;
}

bool DelimitedSpanScan::takesAnyCase(const Part& part) {
    // ICU folds case fully: a few other characters fold to "k" or "s", and some to texts that
    // begin with "f" or "s" ("ff", "st", ...) or with another letter and a combining mark, which
    // a pattern of ASCII never matches; "i" also stands apart in some foldings. Openers without
    // these letters match only their ASCII cases. The runs stop at, and their fixed texts
    // hold, no letter at all.
    const auto plain = [](QChar c, bool letters) {
        const char16_t u = c.unicode();
        const char16_t lower = u | 0x20;
        if (lower >= u'a' && lower <= u'z')
            return letters && lower != u'f' && lower != u'i' && lower != u'k' && lower != u's';
        return u < 0x80;
    };
    if (part.kind != Kind::Runs || !std::all_of(part.opener.begin(), part.opener.end(),
                                                [&](QChar c) { return plain(c, true); }))
        return false;
    return std::all_of(part.runs.begin(), part.runs.end(), [&](const Part::Run& run) {
        return plain(run.until, false) && std::all_of(run.then.begin(), run.then.end(),
                                                      [&](QChar c) { return plain(c, false); });
    });
}

std::optional<DelimitedSpanScan::Part> DelimitedSpanScan::partFrom(const QString& alternative) {
    for (const QChar quote : {QChar(u'"'), QChar(u'\''), QChar(u'`')}) {
        if (alternative == QStringLiteral(R"re(Q(?:\\.|[^Q\\])*Q)re").replace(u'Q', quote))
            return Part{Kind::Escaped, quote, {}};
        // Without escapes the string ends at the first quote, as a block does.
        if (alternative == QStringLiteral("Q[^Q]*Q").replace(u'Q', quote))
            return Part{Kind::Block, quote, quote};
        if (alternative == QStringLiteral("Q(?:QQ|[^Q])*Q").replace(u'Q', quote))
            return Part{Kind::Doubled, quote, {}};
    }
    static const QString lazyAny = QStringLiteral(R"re([\s\S]*?)re");
    if (const qsizetype at = alternative.indexOf(lazyAny); at > 0) {
        const auto opener = literal(QStringView(alternative).first(at));
        const auto closer = literal(QStringView(alternative).sliced(at + lazyAny.size()));
        if (opener && closer)
            return Part{Kind::Block, *opener, *closer};
        return std::nullopt;
    }
    if (alternative.endsWith(QStringLiteral(".*"))) {
        if (const auto opener = literal(QStringView(alternative).chopped(2)))
            return Part{Kind::Line, *opener, {}};
    }
    return runsFrom(alternative);
}

std::optional<DelimitedSpanScan::Part> DelimitedSpanScan::runsFrom(const QString& alternative) {
    // Opener, then pieces "[^X]*" or "[^X]+" each followed by a fixed text starting with X: the
    // run stops at the first X, and a shorter one could only end at an earlier X, so each
    // opener matches in exactly one way or not at all.
    Part part{Kind::Runs, {}, {}};
    qsizetype at = alternative.indexOf(QStringLiteral("[^"));
    if (at <= 0)
        return std::nullopt;
    const auto opener = literal(QStringView(alternative).first(at));
    if (!opener)
        return std::nullopt;
    part.opener = *opener;
    while (at < alternative.size()) {
        if (!QStringView(alternative).sliced(at).startsWith(u"[^"))
            return std::nullopt;
        at += 2;
        // One character, maybe escaped ("[" would open a nested set).
        if (at >= alternative.size())
            return std::nullopt;
        const qsizetype classEnd = at + (alternative[at] == u'\\' ? 2 : 1);
        if (classEnd + 1 >= alternative.size() || alternative[classEnd] != u']')
            return std::nullopt;
        const QChar until = alternative[classEnd - 1];
        if (until.isLetterOrNumber() || until.unicode() >= 0x80 ||
            (classEnd - at == 1 &&
             (until == u'\\' || until == u']' || until == u'^' || until == u'[')))
            return std::nullopt;
        const QChar quantifier = alternative[classEnd + 1];
        if (quantifier != u'*' && quantifier != u'+')
            return std::nullopt;
        at = classEnd + 2;
        qsizetype next = alternative.indexOf(QStringLiteral("[^"), at);
        if (next < 0)
            next = alternative.size();
        const auto then = literal(QStringView(alternative).sliced(at, next - at));
        if (!then || (*then)[0] != until)
            return std::nullopt;
        part.runs.push_back({until, quantifier == u'+' ? 1 : 0, *then});
        at = next;
    }
    return part;
}

qsizetype DelimitedSpanScan::limitOf(QStringView text, TextRange range) {
    // As in the matcher: an end between the halves of a surrogate pair leaves that pair out.
    qsizetype end = range.end();
    if (end > range.location && end < text.size() && text[end - 1].isHighSurrogate() &&
        text[end].isLowSurrogate())
        --end;
    return end;
}

bool DelimitedSpanScan::Finder::next(QStringView text, qsizetype from) {
    if (exhausted)
        return false;
    if (start >= from)
        return true;
    for (;;) {
        const qsizetype open = text.indexOf(
            part->opener, from, part->anyCase ? Qt::CaseInsensitive : Qt::CaseSensitive);
        if (open < 0) {
            exhausted = true;
            return false;
        }
        const qsizetype found = endFor(text, open);
        if (found >= 0) {
            start = open;
            end = found;
            return true;
        }
        if (part->kind == Kind::Runs && found == kFailsHere) {
            from = open + 1;
            continue;
        }
        if (part->kind != Kind::Escaped) {
            // No closer after this opener (for a doubled-quote string: no quote at all): none
            // after any later one either.
            exhausted = true;
            return false;
        }
        from = scanStop; // every quote inside the failed string fails the same way
    }
}

qsizetype DelimitedSpanScan::Finder::endFor(QStringView text, qsizetype open) {
    const qsizetype body = open + part->opener.size();
    if (part->kind == Kind::Doubled)
        return doubledEndFor(text, open);
    if (part->kind == Kind::Runs)
        return runsEndFor(text, open);
    if (part->kind == Kind::Escaped) {
        // Every quote inside the last scanned string is escaped: a scan from it goes on in step
        // with that one and ends at the same place.
        if (open >= scanStart && open < scanStop)
            return scanEnd;
        const QChar quote = part->opener[0];
        scanStart = open;
        qsizetype at = body;
        while (at < text.size()) {
            const QChar c = text[at];
            if (c == quote) {
                scanStop = at;
                scanEnd = at + 1;
                return scanEnd;
            }
            if (c == u'\\') {
                // "\\." takes any character but a line terminator.
                if (at + 1 >= text.size() || isIcuLineTerminator(text[at + 1])) {
                    scanStop = at + 1;
                    scanEnd = -1;
                    return -1;
                }
                at += 2;
                continue;
            }
            ++at;
        }
        scanStop = text.size();
        scanEnd = -1;
        return -1;
    }
    // A block or line ends at the first closer after its opener; the last search still tells
    // it when it started at or before this body and found its closer at or after it.
    if (!(scanStart >= 0 && scanStart <= body && body <= scanStop)) {
        scanStart = body;
        scanStop =
            part->kind == Kind::Line ? lineEnd(text, body) : text.indexOf(part->closer, body);
        if (scanStop < 0)
            return -1;
    }
    return part->kind == Kind::Line ? scanStop : scanStop + part->closer.size();
}

qsizetype DelimitedSpanScan::Finder::runsEndFor(QStringView text, qsizetype open) {
    // Each run's position only grows from one opener to the next, so a search for its `until`
    // still holds while the position has not passed what it found.
    searches.resize(part->runs.size(), {-1, -1});
    qsizetype at = open + part->opener.size();
    for (size_t k = 0; k < part->runs.size(); ++k) {
        const Part::Run& run = part->runs[k];
        auto& [from, found] = searches[k];
        if (!(from >= 0 && from <= at && at <= found)) {
            from = at;
            found = text.indexOf(run.until, at);
        }
        if (found < 0)
            return -1; // nor for any later opener
        if (found - at < run.least || !text.sliced(found).startsWith(run.then))
            return kFailsHere;
        at = found + run.then.size();
    }
    return at;
}

qsizetype DelimitedSpanScan::Finder::quoteRunEnd(QStringView text, qsizetype from) {
    if (from >= runStart && from < runEnd)
        return runEnd;
    runStart = from;
    runEnd = from;
    while (runEnd < text.size() && text[runEnd] == part->opener[0])
        ++runEnd;
    return runEnd;
}

qsizetype DelimitedSpanScan::Finder::doubledEndFor(QStringView text, qsizetype open) {
    // The body takes quotes two at a time, so in each run of quotes after the opener a run of odd
    // length ends the string. Without one the matcher backs off at the range's end to the last
    // pair, whose first quote then ends the string.
    const qsizetype tailEnd = quoteRunEnd(text, open + 1);
    const qsizetype tail = tailEnd - open - 1;
    if (tail % 2 == 1)
        return tailEnd;
    // Every run end after `tailEnd` up to the odd run goes on the same way.
    if (!(tailEnd >= scanStart && tailEnd < scanStop)) {
        scanStart = tailEnd;
        scanEnd = -1;
        lastPair = -1;
        qsizetype at = tailEnd;
        for (;;) {
            while (at < text.size() && text[at] != part->opener[0])
                ++at;
            if (at >= text.size()) {
                scanStop = text.size() + 1;
                break;
            }
            const qsizetype runFrom = at;
            at = quoteRunEnd(text, runFrom);
            if ((at - runFrom) % 2 == 1) {
                scanEnd = at;
                scanStop = runFrom;
                break;
            }
            lastPair = at - 2;
        }
    }
    if (scanEnd >= 0)
        return scanEnd;
    const qsizetype pair = lastPair >= tailEnd ? lastPair : (tail >= 2 ? tailEnd - 2 : -1);
    return pair >= 0 ? pair + 1 : -1;
}

} // namespace dunmoss
