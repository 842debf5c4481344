#include "text/FolderFileSearch.h"

#include "platform/UnicodeFastCodecs.h"
#include "platform/Utf8Decoding.h"
#include "text/EncodingDetection.h"
#include "text/MatchPreview.h"
#include "text/PrefilterScan.h"
#include "text/ResultIdentifier.h"
#include "text/SearchScanner.h"
#include "text/SearchableText.h"
#include "text/Utf8LiteralScan.h"

namespace dunmoss {

namespace {

// Lines with a candidate closer than this many units share one run of the
// matcher, which costs about as much to set up as passing that many units.
constexpr qsizetype kJoinedLineGap = 64;
// Runs over no more than this many units go without the run skips: even an expression with
// four nested loops cannot pass its work bound over so few.
constexpr qsizetype kMostUnskippedUnits = 256;
// Line runs found by the automaton before their share of the text is weighed.
constexpr qsizetype kRunsBeforeDensityCheck = 2;

FolderFileMatches literalMatchesInUtf8(QByteArrayView bytes, const QString& query,
                                       const TextSearchOptions& options, const QUrl& url,
                                       qsizetype room, const CancellationCheck& cancelled) {
    FolderFileMatches matches;
    if (room <= 0)
        return matches;
    for (LocatedMatch& match : findLiteralInUtf8(bytes, query, options, room, cancelled))
        matches.found.append(FolderSearchResult{newResultIdentifier(), url, match.line,
                                                match.column, std::move(match.preview)});
    return matches;
}

// Whether SearchScanner takes the query over this text without the expression.
bool scansAsLiteral(const QString& query, const TextSearchOptions& options, QStringView text) {
    if (options.isRegex || query.isEmpty())
        return false;
    if (options.isCaseSensitive)
        return hasOnlyPairedSurrogates(query);
    return QtPrivate::isAscii(QStringView(query)) && QtPrivate::isAscii(text);
}

// Where a match on the line from `lineStart` can begin at the earliest, given
// its first candidate: a match holds an occurrence of the literal no earlier
// than that candidate, and what comes before the occurrence in the match is all
// characters the pattern may take in there. Under folding, a line with a
// character beyond ASCII may hold the literal folded.
qsizetype earliestStart(const QueryPrefilter& prefilter, QStringView text, qsizetype lineStart,
                        qsizetype candidate) {
    const std::optional<AsciiTable>& taken = prefilter.takenBeforeLiteral;
    if (!taken || text[candidate].unicode() >= 0x80)
        return lineStart;
    if (prefilter.folds) {
        const qsizetype feed = text.indexOf(u'\n', candidate);
        const qsizetype lineEnd = feed < 0 ? text.size() : feed;
        if (!QtPrivate::isAscii(text.sliced(lineStart, lineEnd - lineStart)))
            return lineStart;
    }
    for (qsizetype at = candidate; at > lineStart; --at) {
        const char16_t c = text[at - 1].unicode();
        if (c < 0x80 && !(*taken)[c])
            return at;
    }
    return lineStart;
}

// A listed match, its line and column counted from 1. The locator only moves forward.
FolderSearchResult resultAt(MatchLocator& locator, const QUrl& url, TextRange range) {
    locator.advanceTo(range.location);
    return FolderSearchResult{newResultIdentifier(), url, locator.lineIndex() + 1,
                              range.location - locator.lineStart() + 1, locator.preview(range)};
}

// What a search stopped by its expression lists: what it found when cancelled, nothing (the
// file named as too costly) when the expression ran away. Other errors go on up.
FolderFileMatches stoppedBy(const RegexError& error, FolderFileMatches found, const QUrl& url) {
    if (error.isCancelled())
        return found;
    if (!error.isTooCostly())
        throw;
    return {{}, url};
}

} // namespace

FolderFileMatches folderMatchesInText(const QString& query, const TextSearchOptions& options,
                                      QStringView text, const QUrl& url, qsizetype room,
                                      const CancellationCheck& cancelled) {
    FolderFileMatches matches;
    QList<FolderSearchResult>& found = matches.found;
    if (room <= 0)
        return matches;
    SearchScanner scanner(query, text, options);
    if (cancelled)
        scanner.stopWhen(cancelled);
    MatchLocator locator(text);
    try {
        while (found.size() < room && scanner.next()) {
            const TextRange range = scanner.range();
            if (range.length == 0)
                continue;
            found.append(resultAt(locator, url, range));
        }
    } catch (const RegexError& error) {
        return stoppedBy(error, std::move(matches), url);
    }
    return matches;
}

FolderFileMatches folderMatchesInFileBytes(const QString& query, const TextSearchOptions& options,
                                           QByteArray bytes, const QUrl& url, qsizetype room,
                                           const CancellationCheck& cancelled) {
    // Most files are plain UTF-8: a literal is found in their bytes, and only the
    // lines that hold a match are ever decoded.
    if (findsInUtf8Bytes(query, options, bytes))
        return literalMatchesInUtf8(bytes, query, options, url, room, cancelled);
    const SearchableFileContent content = screenSearchableBytes(std::move(bytes));
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return folderMatchesInText(query, options, content.text, url, room, cancelled);
}

FolderQuery::FolderQuery(const QString& query, const TextSearchOptions& options)
    : m_query(query), m_options(options) {
    if (query.isEmpty())
        return;
    try {
        m_regex.emplace(makeSearchRegex(query, options));
        m_prefilter = analyseQueryPrefilter(query, options);
        // The same expression for runs over a line or a few: setting up the run skips costs
        // more than they can save there.
        m_shortLineRegex.emplace(m_regex->pattern(), m_regex->options() | IcuRegex::WithoutRunSkips,
                                 m_regex->workBound());
        if (m_prefilter.staysOnLine)
            m_lines = LineAutomaton::of(m_regex->pattern(),
                                        m_regex->options().testFlag(IcuRegex::CaseInsensitive));
    } catch (...) {
        m_error = std::current_exception();
    }
}

FolderFileMatches FolderQuery::matchesInFileBytes(QByteArray bytes, const QUrl& url, qsizetype room,
                                                  const CancellationCheck& cancelled) const {
    if (findsInUtf8Bytes(m_query, m_options, bytes))
        return literalMatchesInUtf8(bytes, m_query, m_options, url, room, cancelled);
    // A plain UTF-8 file's text is what its bytes say: without the literal it
    // holds no match, and it is decoded without asking detection again. Any other
    // file is decoded first, since only its text tells.
    if (detectsAsPlainUtf8(bytes)) {
        if (!mayMatchUtf8(bytes))
            return {};
        if (const std::optional<QString> text = decodeUtf8Units(bytes))
            return matchesInText(*text, url, room, cancelled);
    }
    const SearchableFileContent content = screenSearchableBytes(std::move(bytes));
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return matchesInText(content.text, url, room, cancelled);
}

bool FolderQuery::mayMatchUtf8(QByteArrayView bytes) const {
    if (m_error)
        return true;
    // No match takes in a line feed, so the automaton can read the whole file at once.
    if (m_prefilter.literal.isEmpty())
        return !m_lines || m_lines->mayMatchUtf8(bytes);
    PrefilterScan scan(m_prefilter);
    if (!m_lines)
        return scan.mayMatchUtf8(bytes);
    // Only a line holding the literal can hold a match; the automaton reads each such line.
    for (qsizetype candidate = scan.nextCandidate(bytes, 0); candidate >= 0;) {
        const qsizetype lineStart =
            candidate == 0 ? 0 : bytes.first(candidate).lastIndexOf('\n') + 1;
        const qsizetype feed = bytes.indexOf('\n', candidate);
        const qsizetype lineEnd = feed < 0 ? bytes.size() : feed;
        if (m_lines->mayMatchUtf8(bytes.sliced(lineStart, lineEnd - lineStart)))
            return true;
        candidate = feed < 0 ? -1 : scan.nextCandidate(bytes, feed + 1);
    }
    return false;
}

FolderFileMatches FolderQuery::matchesInText(QStringView text, const QUrl& url, qsizetype room,
                                             const CancellationCheck& cancelled) const {
    if (room <= 0 || m_query.isEmpty())
        return {};
    if (scansAsLiteral(m_query, m_options, text))
        return folderMatchesInText(m_query, m_options, text, url, room, cancelled);
    if (m_error)
        std::rethrow_exception(m_error);
    return expressionMatches(text, url, room, cancelled);
}

FolderFileMatches FolderQuery::expressionMatches(QStringView text, const QUrl& url, qsizetype room,
                                                 const CancellationCheck& cancelled) const {
    FolderFileMatches matches;
    QList<FolderSearchResult>& found = matches.found;
    MatchLocator locator(text);
    // Lists the matcher's matches; false once there is no more room.
    const auto take = [&](IcuRegexMatcher& matcher) {
        if (cancelled)
            matcher.stopWhen(cancelled);
        while (found.size() < room && matcher.findNext()) {
            const TextRange range = matcher.range();
            if (range.length == 0)
                continue;
            found.append(resultAt(locator, url, range));
        }
        return found.size() < room;
    };
    // Each run covers whole lines, sees the text around them and leaves "^" and "$" to the
    // text's own ends, so it finds there what a run over the whole text finds.
    const auto takeLines = [&](qsizetype start, qsizetype end) {
        const IcuRegex& regex = end - start <= kMostUnskippedUnits ? *m_shortLineRegex : *m_regex;
        IcuRegexMatcher matcher(regex, text, TextRange{start, end - start}, true, false);
        return take(matcher);
    };
    try {
        std::optional<PrefilterScan> scan;
        qsizetype candidate = 0;
        if (!m_prefilter.literal.isEmpty()) {
            scan.emplace(m_prefilter);
            candidate = scan->nextCandidate(text, 0);
            if (candidate < 0)
                return matches;
        }
        if (!scan && m_lines) {
            // Without a literal, the lines to search are those where the automaton sees a
            // match end. Where most lines are such, one run over the rest costs less than a
            // run a line.
            qsizetype runs = 0;
            qsizetype searched = 0;
            for (qsizetype from = 0; from < text.size() && !isCancelled(cancelled);) {
                if (runs >= kRunsBeforeDensityCheck && runs * kJoinedLineGap + searched > from) {
                    takeLines(from, text.size());
                    break;
                }
                const qsizetype end = m_lines->matchEnd(text, from);
                if (end < 0)
                    break;
                const qsizetype lineStart = text.lastIndexOf(u'\n', end - 1) + 1;
                const qsizetype feed = text.indexOf(u'\n', end - 1);
                const qsizetype lineEnd = feed < 0 ? text.size() : feed;
                ++runs;
                searched += lineEnd - lineStart;
                if (!takeLines(lineStart, lineEnd))
                    break;
                from = lineEnd + 1;
            }
            return matches;
        }
        if (!scan || !m_prefilter.staysOnLine) {
            IcuRegexMatcher matcher(*m_regex, text);
            take(matcher);
            return matches;
        }
        // When every match ends with the literal, a line's run stops after its last one.
        const bool trims = m_prefilter.endsWithLiteral;
        const bool splits = trims && m_prefilter.takenBeforeLiteral.has_value();
        const qsizetype literalLength = m_prefilter.literal.size();
        while (candidate >= 0 && !isCancelled(cancelled)) {
            const qsizetype lineStart =
                candidate == 0 ? 0 : text.lastIndexOf(u'\n', candidate - 1) + 1;
            const qsizetype start = earliestStart(m_prefilter, text, lineStart, candidate);
            qsizetype end = start;
            qsizetype lineFrom = lineStart;
            bool split = false;
            for (;;) {
                const qsizetype feed = text.indexOf(u'\n', candidate);
                const qsizetype lineEnd = feed < 0 ? text.size() : feed;
                // A candidate beyond ASCII stands for a folded literal: the whole line.
                while (candidate >= 0 && candidate < lineEnd) {
                    if (!trims || text[candidate].unicode() >= 0x80) {
                        end = lineEnd;
                        break;
                    }
                    // A match holding this occurrence starts where the run so far ends or
                    // after: a run of its own spares the expression the text between.
                    split = end > start && splits &&
                            earliestStart(m_prefilter, text, lineFrom, candidate) >= end;
                    if (split)
                        break;
                    end = std::max(end, candidate + literalLength);
                    candidate = scan->nextCandidate(text, candidate + 1);
                }
                if (split)
                    break;
                if (end == lineEnd)
                    candidate = feed < 0 ? -1 : scan->nextCandidate(text, feed + 1);
                if (candidate < 0 || candidate - end > kJoinedLineGap)
                    break;
                lineFrom = feed + 1;
            }
            if (m_lines && !m_lines->mayMatch(text.sliced(start, end - start)))
                continue;
            if (!takeLines(start, end))
                break;
        }
    } catch (const RegexError& error) {
        return stoppedBy(error, std::move(matches), url);
    }
    return matches;
}

} // namespace dunmoss
