#pragma once

#include "platform/TextRange.h"

#include <QFlags>
#include <QString>
#include <QStringView>
#include <exception>
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
        TimedOut,        // matching ran past the pattern's time limit
        MatchFailed,     // any other failure while matching (backtracking stack exhausted, ...)
    };

    RegexError(Kind kind, QString pattern, QString icuMessage, qsizetype offset = -1);

    Kind kind() const { return m_kind; }
    bool isTimeout() const { return m_kind == Kind::TimedOut; }
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

// A replacement template parsed once against the groups of one pattern: "$n" and "${name}"
// insert a group, "\" takes the next character literally ("\uhhhh" and "\Uhhhhhhhh" insert a
// code point), everything else is copied.
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
    };
    Q_DECLARE_FLAGS(Options, Option)

    // Limit for patterns typed by the user, in ICU's work units (10,000 backtracking states,
    // roughly 0.15 ms each on a current machine), applied to each search for the next match.
    // Past it the run fails with a timeout instead of freezing the caller.
    static constexpr int kUserPatternTimeLimit = 2000;

    // Compiles; throws RegexError (InvalidPattern). A time limit of 0 means none.
    explicit IcuRegex(const QString& pattern, Options options = NoOptions, int timeLimit = 0);

    const QString& pattern() const { return m_source; }
    Options options() const { return m_options; }
    int timeLimit() const { return m_timeLimit; }
    int captureGroupCount() const { return m_groupCount; }

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

    // The ranges of every match (group 0 only) over the whole text; throws RegexError on a
    // timeout.
    std::vector<TextRange> matchRanges(QStringView text) const;

private:
    friend class IcuRegexMatcher;
    std::shared_ptr<const icu::RegexPattern> m_compiled;
    QString m_source;
    Options m_options;
    int m_timeLimit = 0;
    int m_groupCount = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(IcuRegex::Options)

// One run of a pattern over a text, which it reads in place (the text must outlive the
// matcher). Not shared between threads: make one per run.
class IcuRegexMatcher {
public:
    IcuRegexMatcher(const IcuRegex& regex, QStringView text);
    // Matches inside [region.location, region.end()) only. With transparent bounds, look-around
    // sees the text outside the region; with anchoring bounds, "^" and "$" match at its edges.
    IcuRegexMatcher(const IcuRegex& regex, QStringView text, TextRange region,
                    bool transparentBounds = false, bool anchoringBounds = true);
    ~IcuRegexMatcher();
    IcuRegexMatcher(const IcuRegexMatcher&) = delete;
    IcuRegexMatcher& operator=(const IcuRegexMatcher&) = delete;

    // Advances to the next match (an empty match never repeats at the same place); false when
    // there is none. Throws RegexError on a timeout or an exhausted backtracking stack.
    bool findNext();

    TextRange range() const;
    // A group's range, or TextRange::notFound() when the group took no part in the match.
    TextRange group(int number) const;
    int groupCount() const { return m_groupCount; }
    QStringView matchedText() const;

    // The template's expansion for the current match.
    void appendReplacement(QString& out, const RegexTemplate& templ) const;
    QString replacement(const RegexTemplate& templ) const;

private:
    void throwFor(int status) const;

    std::unique_ptr<icu::RegexMatcher> m_matcher;
    QStringView m_text;
    QString m_pattern;
    int m_groupCount = 0;
};

} // namespace dunmoss
