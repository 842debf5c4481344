#include "text/FolderFileSearch.h"

#include "platform/UnicodeFastCodecs.h"
#include "text/EncodingDetection.h"
#include "text/LiteralRuns.h"
#include "text/MatchPreview.h"
#include "text/PossibleStartDensity.h"
#include "text/PrefilterScan.h"
#include "text/ResultIdentifier.h"
#include "text/SearchScanner.h"
#include "text/SearchableText.h"
#include "text/Utf8LiteralScan.h"

#include <optional>

namespace dunmoss {

namespace {

// Runs over no more than this many units go without the run skips: even an expression with
// four nested loops cannot pass its work bound over so few.
constexpr qsizetype kMostUnskippedUnits = 256;
// Without its skips, a run of an expression that skips runs of a loop reads the rest of such a
// run again from each start in it (".*zzz" over a line): over no more than this many units,
// that costs less than setting the skips up.
constexpr qsizetype kMostUnskippedLoopUnits = 24;
// Line runs found by the automaton before their share of the text is weighed.
constexpr qsizetype kRunsBeforeDensityCheck = 2;
// The same for stretches around the literal, which a few close lines hold at the start of
// many a file.
constexpr qsizetype kStretchesBeforeDensityCheck = 16;
// What setting up a stretch's run costs, in units ICU reads, for an expression that jumps to
// its possible starts itself, where those are rare in what was passed: its run over the rest
// jumps there too, at about 0.5 ns a unit passed, where a stretch costs about 0.25 µs (a log
// where one short line in eight holds the literal: its stretches cost 2.4 times the one run).
// Where they are not, the run tries each, and a stretch weighs what it weighs for any other.
constexpr qsizetype kFilteredRunSetUpUnits = 512;

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
                                                  const CancellationCheck& cancelled,
                                                  FolderSearchWork* work) const {
    SearchWorkMeter meter(cancelled, work ? &work->unitsExamined : nullptr);
    if (findsInUtf8Bytes(m_query, m_options, bytes))
        return literalMatchesInUtf8(bytes, m_query, m_options, url, room, cancelled);
    // A plain UTF-8 file's text is what its bytes say: where they rule out every match, it
    // holds none, and is never decoded. Any other file, or one that may match, is decoded as
    // the plain path decodes it: the bytes are checked for plain UTF-8 only once they rule out
    // every match, since that check reads them all again.
    if (!mayMatchUtf8(bytes, meter) && detectsAsPlainUtf8(bytes))
        return {};
    const SearchableFileContent content = screenSearchableBytes(std::move(bytes));
    if (content.kind != SearchableFileContent::Kind::Text)
        return {};
    return matchesInText(content.text, url, room, cancelled, work);
}

bool FolderQuery::mayMatchUtf8(QByteArrayView bytes, SearchWorkMeter& meter) const {
    if (m_error)
        return true;
    // Only the first line can hold a match.
    if (m_prefilter.startsAtTextStart && m_prefilter.staysOnLine) {
        const qsizetype feed = bytes.indexOf('\n');
        bytes = bytes.first(feed < 0 ? bytes.size() : feed);
        if (meter.read(bytes.size() + 1))
            return false;
    }
    // No match takes in a line feed, so the automaton can read the whole file at once.
    if (m_prefilter.literal.isEmpty()) {
        if (!m_lines) {
            meter.read(bytes.size());
            return true;
        }
        return m_lines->mayMatchUtf8(bytes, meter.pieceReader());
    }
    PrefilterScan scan(m_prefilter);
    if (!m_lines) {
        meter.read(bytes.size());
        return scan.mayMatchUtf8(bytes);
    }
    // Only a line holding the literal can hold a match; the automaton reads each such line.
    // The line starts after the previous one's feed, so no byte is read back twice; its ends
    // are found at the speed of memchr, a fraction of a millisecond for the largest file.
    qsizetype lineFloor = 0;
    for (qsizetype candidate = scan.nextCandidate(bytes, 0); candidate >= 0;) {
        const qsizetype lineStart =
            lineFloor + bytes.sliced(lineFloor, candidate - lineFloor).lastIndexOf('\n') + 1;
        const qsizetype feed = bytes.indexOf('\n', candidate);
        const qsizetype lineEnd = feed < 0 ? bytes.size() : feed;
        // The scan up to the candidate and the line's ends.
        if (meter.read(candidate - lineFloor + lineEnd - lineStart))
            return false;
        if (m_lines->mayMatchUtf8(bytes.sliced(lineStart, lineEnd - lineStart),
                                  meter.pieceReader()))
            return true;
        if (meter.stopped())
            return false;
        lineFloor = lineEnd + 1;
        candidate = feed < 0 ? -1 : scan.nextCandidate(bytes, feed + 1);
    }
    return false;
}

FolderFileMatches FolderQuery::matchesInText(QStringView text, const QUrl& url, qsizetype room,
                                             const CancellationCheck& cancelled,
                                             FolderSearchWork* work) const {
    if (room <= 0 || m_query.isEmpty())
        return {};
    if (scansAsLiteral(m_query, m_options, text))
        return folderMatchesInText(m_query, m_options, text, url, room, cancelled);
    if (m_error)
        std::rethrow_exception(m_error);
    SearchWorkMeter meter(cancelled, work ? &work->unitsExamined : nullptr);
    return expressionMatches(text, url, room, cancelled, meter,
                             work ? &work->unitsRunOver : nullptr);
}

FolderFileMatches FolderQuery::expressionMatches(QStringView text, const QUrl& url, qsizetype room,
                                                 const CancellationCheck& cancelled,
                                                 SearchWorkMeter& meter,
                                                 qsizetype* unitsRunOver) const {
    FolderFileMatches matches;
    QList<FolderSearchResult>& found = matches.found;
    MatchLocator locator(text);
    // One bound for the whole file, however many stretches the expression runs over, and its
    // lines measured once for every matcher.
    RegexWorkTally tally;
    const RegexTextLines lines(text);
    // Lists the matcher's matches; false once there is no more room. What the expression reads
    // goes on the meter as it moves on. The matcher asks only now and then (a match found, a
    // tick of backtracking, thousands of positions or units read), so each time is a real ask.
    const auto take = [&](IcuRegexMatcher& matcher) {
        matcher.countWorkIn(tally);
        if (unitsRunOver)
            *unitsRunOver += matcher.region().length;
        qsizetype counted = matcher.region().location;
        if (cancelled) {
            matcher.stopWhen([&] {
                const qsizetype reached = std::max(matcher.reached(), counted);
                meter.read(reached - counted);
                counted = reached;
                return meter.ask();
            });
        }
        while (found.size() < room && matcher.findNext()) {
            const TextRange range = matcher.range();
            if (range.length == 0)
                continue;
            found.append(resultAt(locator, url, range));
        }
        meter.read(std::max<qsizetype>(matcher.region().end() - counted, 0));
        return found.size() < room && !meter.stopped();
    };
    // Each run covers whole lines, sees the text around them and leaves "^" and "$" to the
    // text's own ends, so it finds there what a run over the whole text finds.
    const bool skipsLoopRuns =
        m_regex->skipsLeadingLoopRuns() || m_regex->prefixedLoopReadings() > 0;
    const qsizetype mostUnskipped = skipsLoopRuns ? kMostUnskippedLoopUnits : kMostUnskippedUnits;
    // Whether `stretches` runs that searched `searched` units of the first `passed` cost more
    // than one run over the rest would have.
    std::optional<PossibleStartDensity> starts;
    if (const RegexStartFilter* filter = m_regex->startFilter())
        starts.emplace(*filter, text);
    const auto crowded = [&](qsizetype stretches, qsizetype searched, qsizetype passed) {
        if (stretches * LiteralRuns::kRunSetUpUnits + searched > passed)
            return true;
        return starts && stretches * kFilteredRunSetUpUnits + searched > passed &&
               starts->rareBefore(passed, meter);
    };
    // One matcher of each kind serves every stretch of the file: setting one up costs more
    // than searching a short line.
    std::optional<IcuRegexMatcher> shortLines;
    std::optional<IcuRegexMatcher> longLines;
    const auto takeLines = [&](qsizetype start, qsizetype end) {
        const bool isShort = end - start <= mostUnskipped;
        std::optional<IcuRegexMatcher>& matcher = isShort ? shortLines : longLines;
        const TextRange region{start, end - start};
        if (matcher)
            matcher->moveToRegion(region);
        else
            matcher.emplace(isShort ? *m_shortLineRegex : *m_regex, text, region, true, false,
                            &lines);
        return take(*matcher);
    };
    try {
        // ICU tries the text's start alone; the first line is all that can hold a match that
        // stays on its line.
        if (m_prefilter.startsAtTextStart) {
            if (m_prefilter.staysOnLine) {
                takeLines(0, meter.lineFeedFrom(text, 0));
            } else {
                IcuRegexMatcher matcher(*m_regex, text);
                take(matcher);
            }
            return matches;
        }
        if (m_prefilter.literal.isEmpty() && m_lines) {
            // Without a literal, the lines to search are those where the automaton sees a
            // match end. Where most lines are such, one run over the rest costs less than a
            // run a line.
            qsizetype runs = 0;
            qsizetype searched = 0;
            for (qsizetype from = 0; from < text.size() && !meter.stopped();) {
                if (runs >= kRunsBeforeDensityCheck && crowded(runs, searched, from)) {
                    takeLines(from, text.size());
                    break;
                }
                const qsizetype end = m_lines->matchEnd(text, from, meter.pieceReader());
                if (end < 0)
                    break;
                // The line starts no earlier than `from`, a line start.
                const qsizetype feedBefore = meter.lineFeedBefore(text, from, end);
                const qsizetype lineStart = feedBefore < 0 ? from : feedBefore + 1;
                const qsizetype lineEnd = meter.lineFeedFrom(text, end - 1);
                if (meter.stopped())
                    break;
                ++runs;
                searched += lineEnd - lineStart;
                if (!takeLines(lineStart, lineEnd))
                    break;
                from = lineEnd + 1;
            }
            return matches;
        }
        if (m_prefilter.literal.isEmpty() || !m_prefilter.staysOnLine) {
            if (!m_prefilter.literal.isEmpty()) {
                PrefilterScan scan(m_prefilter);
                const qsizetype first = scan.nextCandidate(text, 0);
                meter.read(first < 0 ? text.size() : first);
                if (first < 0)
                    return matches;
            }
            IcuRegexMatcher matcher(*m_regex, text);
            take(matcher);
            return matches;
        }
        // Where the stretches so far cover most of what was passed, one run over the rest costs
        // less than a run a stretch.
        LiteralRuns runs(m_prefilter, m_lines ? &*m_lines : nullptr, text, meter);
        qsizetype count = 0;
        qsizetype searched = 0;
        while (const std::optional<TextRange> run = runs.next()) {
            if (count >= kStretchesBeforeDensityCheck && crowded(count, searched, run->location)) {
                takeLines(run->location, text.size());
                break;
            }
            ++count;
            searched += run->length;
            if (!takeLines(run->location, run->end()))
                break;
        }
    } catch (const RegexError& error) {
        return stoppedBy(error, std::move(matches), url);
    }
    return matches;
}

} // namespace dunmoss
