#pragma once

#include "platform/TextRange.h"

#include <QFlags>
#include <QString>
#include <QStringView>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <unicode/uversion.h>
#include <vector>

U_NAMESPACE_BEGIN
class RegexPattern;
class RegexMatcher;
U_NAMESPACE_END

namespace dunmoss {

// A regular expression, a replacement template or a match run that failed: the pattern (or
// template) involved and ICU's own wording.
class RegexError : public std::exception {
public:
    enum class Kind {
        InvalidPattern,  // the pattern does not compile
        InvalidTemplate, // the replacement template refers to a group that does not exist
        TimedOut,        // matching backtracked past the pattern's work bound
        MatchFailed,     // any other failure while matching (backtracking stack exhausted, ...)
        Cancelled,       // the caller asked the run to stop; its results mean nothing
    };

    RegexError(Kind kind, QString pattern, QString icuMessage, qsizetype offset = -1);

    Kind kind() const { return m_kind; }
    bool isTimeout() const { return m_kind == Kind::TimedOut; }
    // The run needed more than it may spend over this text: its work bound or its
    // backtracking stack. Another text may well complete.
    bool isTooCostly() const { return m_kind == Kind::TimedOut || m_kind == Kind::MatchFailed; }
    bool isCancelled() const { return m_kind == Kind::Cancelled; }
    const QString& pattern() const { return m_pattern; }
    // ICU's name of the error, for example "U_REGEX_MISMATCHED_PAREN".
    const QString& icuMessage() const { return m_icuMessage; }
    // Offset in the pattern where compiling stopped, or -1 when not known.
    qsizetype offset() const { return m_offset; }

    QString localizedDescription() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Kind m_kind;
    QString m_pattern;
    QString m_icuMessage;
    qsizetype m_offset;
    std::string m_what;
};

class IcuRegex;
class RegexStartFilter;

// How much backtracking one run of a pattern over a text may do before it stops as runaway, in
// ICU's work units (ticks of 10,000 saved backtracking states, about 0.1 ms each on a current
// machine): a fixed allowance, plus one tick for every `unitsPerTick` units of text the run has
// moved past. So the bound follows the work per character, not the length of the text: a
// pattern that does a bounded amount of work per character never reaches it.
struct RegexWorkBound {
    int64_t fixedTicks = 0; // 0: no bound
    int64_t unitsPerTick = 0;

    bool isBounded() const { return fixedTicks > 0; }
    friend bool operator==(const RegexWorkBound&, const RegexWorkBound&) = default;
};

// The work of several runs of one pattern over the stretches of one text, counted against a
// single bound: each run adds its ticks and the units it moved past as it ends, and a run
// counting into a tally may spend only what the earlier ones left.
struct RegexWorkTally {
    int64_t ticks = 0;
    int64_t units = 0;
};

// A replacement template parsed once against the groups of one pattern: "$n" and "${name}"
// insert a group, "\" takes the next character literally ("\uhhhh" and "\Uhhhhhhhh" insert a
// code point; a surrogate that is not the high half of a written pair followed by its low half
// inserts U+FFFD), everything else is copied.
class RegexTemplate {
public:
    RegexTemplate() = default;

    bool isLiteral() const {
        return m_pieces.size() <= 1 && (m_pieces.empty() || m_pieces[0].group < 0);
    }
    // The fixed text when the template inserts no group.
    QString literalText() const { return m_pieces.empty() ? QString() : m_pieces[0].text; }

private:
    friend class IcuRegex;
    friend class IcuRegexMatcher;
    struct Piece {
        QString text; // used when group < 0
        int group = -1;
    };
    std::vector<Piece> m_pieces;
};

// A compiled ICU regular expression. Immutable and cheap to copy; one value may be shared by
// any number of threads, since every match run has its own matcher.
class IcuRegex {
public:
    enum Option : unsigned {
        NoOptions = 0,
        CaseInsensitive = 1u << 0,
        AllowCommentsAndWhitespace = 1u << 1,
        IgnoreMetacharacters = 1u << 2,
        DotMatchesLineSeparators = 1u << 3,
        AnchorsMatchLines = 1u << 4,
        UseUnixLineSeparators = 1u << 5,
        UseUnicodeWordBoundaries = 1u << 6,
        // Runs find as ICU alone does, without the run skips: over a short region, setting
        // them up costs more than they can save.
        WithoutRunSkips = 1u << 7,
    };
    Q_DECLARE_FLAGS(Options, Option)

    // The bound for patterns typed by the user: about three seconds of runaway backtracking,
    // plus fifty saved states per character passed (another three seconds over 5,000,000
    // characters; ordinary expressions measured at most about twelve). Past it the run fails
    // with a timeout instead of freezing the caller.
    static constexpr RegexWorkBound kUserPatternBound{30000, 200};

    // Compiles; throws RegexError (InvalidPattern).
    explicit IcuRegex(const QString& pattern, Options options = NoOptions,
                      RegexWorkBound bound = {});

    const QString& pattern() const { return m_source; }
    Options options() const { return m_options; }
    RegexWorkBound workBound() const { return m_bound; }
    // True when a failed match attempt lets a run skip the rest of a run of characters that
    // the pattern's leading loop repeats, after the atoms before it (see RegexLeadingLoop.h).
    bool skipsLeadingLoopRuns() const { return m_leadingLoop != nullptr; }
    // True when a run jumps past units that cannot start a match (see RegexFirstAtom.h).
    bool skipsToPossibleStarts() const { return m_startFilter != nullptr; }
    // What those jumps rule out, or null when there are none.
    const RegexStartFilter* startFilter() const { return m_startFilter.get(); }
    // How many readings of the pattern as a prefix, a loop and a rest let a failed attempt
    // rule out later starts in a run of the loop's class (see RegexPrefixedLoop.h).
    int prefixedLoopReadings() const;
    int captureGroupCount() const { return m_groupCount; }
    // True for a bounded pattern one attempt of which may read far without a tick of
    // backtracking (see RegexLongReads.h): a run then reads its text in pieces, each counted
    // against the bound and asking its stop check, unless the text is one it may read whole
    // (below).
    bool readsInPieces() const { return m_readsInPieces; }
    // True for such a pattern whose far reads never take in a line feed: a run over a text
    // whose lines are all short (kLongestLineReadWhole) reads all of it at once, on ICU's fast
    // path over one chunk, since what it reads between two of ICU's calls back is bounded there.
    bool farReadsStayOnLine() const { return m_farReadsStayOnLine; }

    // What a "$" that names no group of the pattern does in a template.
    enum class GroupReferences {
        Strict,  // as in ICU: the template is refused
        Lenient, // a "$" without a number or a known name stays as typed, and a number past
                 // the pattern's groups inserts nothing, so no template is ever refused
    };
    // Parses a template against this pattern's groups; throws RegexError (InvalidTemplate)
    // only when strict.
    RegexTemplate compileTemplate(QStringView templ,
                                  GroupReferences references = GroupReferences::Strict) const;

    // Backslash-escapes every character that is special in a pattern, so the result matches
    // the literal text.
    static QString escapedPattern(QStringView literal);
    // Escapes "\" and "$", so the result inserts the literal text as a template.
    static QString escapedTemplate(QStringView literal);

    // The ranges of every match (group 0 only) over the whole text; throws RegexError when
    // the run stops.
    std::vector<TextRange> matchRanges(QStringView text) const;

private:
    friend class IcuRegexMatcher;
    std::shared_ptr<const icu::RegexPattern> m_compiled;
    // The form a run in pieces uses: each boundary after a look-behind that reads up to it (see
    // withBoundariesReadInPlace), or the pattern as written.
    std::shared_ptr<const icu::RegexPattern> m_compiledInPieces;
    // One character of the class the leading loop repeats, when skipping is sound, one of each
    // required atom before it, how many optional ones lie among them, and the assertions before
    // them, if any.
    std::shared_ptr<const icu::RegexPattern> m_leadingLoop;
    std::vector<std::shared_ptr<const icu::RegexPattern>> m_leadingAtoms;
    std::shared_ptr<const icu::RegexPattern> m_leadingAssertion;
    int m_leadingOptionalAtoms = 0;
    // A bounded leading loop's most steps, and the pattern after it on its own.
    int m_leadingLoopMost = -1;
    std::shared_ptr<const icu::RegexPattern> m_leadingRest;
    struct PrefixedLoopPatterns;
    std::shared_ptr<const std::vector<PrefixedLoopPatterns>> m_prefixedLoops;
    std::shared_ptr<const RegexStartFilter> m_startFilter;
    QString m_source;
    Options m_options;
    RegexWorkBound m_bound;
    int m_groupCount = 0;
    bool m_readsInPieces = false;
    bool m_farReadsStayOnLine = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(IcuRegex::Options)

// Whether no line of a text is longer than a pattern whose far reads stay on their lines may
// read whole (see IcuRegex::farReadsStayOnLine), measured when first asked: the matchers of one
// text share one, so the text is measured once. Not shared between threads.
class RegexTextLines {
public:
    explicit RegexTextLines(QStringView text) : m_text(text) {}
    bool allShort() const;

private:
    QStringView m_text;
    mutable int m_allShort = -1;
};

// One run of a pattern over a text, which it reads in place (the text must outlive the
// matcher; the pattern need not). Not shared between threads: make one per run.
class IcuRegexMatcher {
public:
    IcuRegexMatcher(const IcuRegex& regex, QStringView text);
    // Matches inside [region.location, region.end()) only; an edge that splits a surrogate pair
    // leaves that character out. With transparent bounds, look-around sees the text outside
    // the region; with anchoring bounds, "^" and "$" match at its edges.
    // `lines`, when given, is what is known of the text's lines; it must outlive the matcher's
    // construction.
    IcuRegexMatcher(const IcuRegex& regex, QStringView text, TextRange region,
                    bool transparentBounds = false, bool anchoringBounds = true,
                    const RegexTextLines* lines = nullptr);
    ~IcuRegexMatcher();
    IcuRegexMatcher(const IcuRegexMatcher&) = delete;
    IcuRegexMatcher& operator=(const IcuRegexMatcher&) = delete;

    // Advances to the next match (an empty match never repeats at the same place); false when
    // there is none. Throws RegexError when the run passes its work bound (runaway
    // backtracking) or its backtracking stack, which grows with the text, runs out, and when
    // its stop is set, even with a match in hand: none is found after a stop.
    bool findNext();
    // One attempt at a match that starts exactly at the position, which becomes the region's
    // start (its end and bounds stay); true when there is one. No match starts between the
    // halves of a surrogate pair: false there. Throws as findNext does.
    bool lookingAt(qsizetype position);
    // Makes the run stop soon after `stop` is set, from any thread: the search under way then
    // throws RegexError (Cancelled) instead of going on. The flag must outlive the matcher.
    // Call before the first search.
    void stopWhenSet(const std::atomic<bool>& stop);
    // The same with a check of the caller's, asked on the thread that runs the search: with
    // every match found, every tick of backtracking (about 0.1 ms), every 4,096 positions
    // tried and, for a pattern that reads in pieces, every move of its reading to other pieces
    // (see PiecewiseText.h).
    void stopWhen(std::function<bool()> stopRequested);
    // Counts this run against the tally's bound, shared with the runs before it, and adds its
    // work there when it ends. The tally must outlive the matcher. Call before the first search.
    void countWorkIn(RegexWorkTally& tally);
    // Searches another region of the same text from here on, with the same bounds, stop check
    // and tally, as a matcher made for it would: one matcher serves the stretches of a text in
    // turn, its set-up paid once. What the run did so far goes into the tally first.
    void moveToRegion(TextRange region);
    // Whether the run reads its text in pieces (see IcuRegex::readsInPieces): false for a
    // pattern that reads far only on its lines over a text of short lines, read whole, and
    // once a find in pieces ran out of stack and was made again over the whole text.
    bool readsInPieces() const { return m_readsInPieces; }
    // The most bytes the run's backtracking stack may take: a few megabytes while it reads in
    // pieces (a find that needs more is made again over the whole text), and over the whole
    // text enough for a loop over all of it.
    int64_t stackLimit() const;
    // The region the matcher was made with, after its edges were kept off surrogate pairs.
    TextRange region() const { return {m_regionStart, m_regionLimit - m_regionStart}; }
    // The furthest position the run has moved past so far (attempts made, matches found), as
    // known to a run with a work bound, run skips or a stop check; the region's start before.
    qsizetype reached() const;

    TextRange range() const;
    // A group's range, or TextRange::notFound() when the group took no part in the match.
    TextRange group(int number) const;
    int groupCount() const { return m_groupCount; }
    QStringView matchedText() const;

    // The template's expansion for the current match.
    void appendReplacement(QString& out, const RegexTemplate& templ) const;
    QString replacement(const RegexTemplate& templ) const;

    struct Run;

private:
    void throwFor(int status) const;
    void readWholeTextFrom(qsizetype from);

    // Held so a matcher may outlive the IcuRegex value it was made from.
    std::shared_ptr<const icu::RegexPattern> m_compiled;
    std::shared_ptr<const icu::RegexPattern> m_compiledInPieces;
    std::unique_ptr<icu::RegexMatcher> m_matcher;
    std::unique_ptr<Run> m_run;
    QStringView m_text;
    QString m_pattern;
    int m_groupCount = 0;
    qsizetype m_regionStart = 0;
    qsizetype m_regionLimit = 0;
    bool m_transparentBounds = false;
    bool m_anchoringBounds = true;
    // Reading in pieces, until a find runs out of stack so (see readWholeTextFrom).
    bool m_readsInPieces = false;
    // Where the next find starts.
    qsizetype m_nextFrom = 0;
};

} // namespace dunmoss
