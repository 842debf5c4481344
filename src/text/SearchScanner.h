#pragma once

#include "platform/IcuRegex.h"
#include "platform/TextRange.h"

#include <QStringView>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace dunmoss {

struct TextSearchOptions;

// Walks the matches of a search query over a text in order. Case-sensitive literal queries,
// and literal queries ignoring case where query and text are all ASCII, are found by a
// vectorised scan and checked for word boundaries by hand; everything else runs through the
// ICU expression. Both give the same matches.
class SearchScanner {
public:
    // Throws RegexError for an invalid pattern.
    SearchScanner(const QString& query, QStringView text, const TextSearchOptions& options);
    ~SearchScanner();

    // Makes next() throw RegexError (Cancelled) soon after `stop` is set, from any thread. The
    // flag must outlive the scanner.
    void stopWhenSet(const std::atomic<bool>& stop);
    // The same with a check of the caller's, asked on the thread that runs the search.
    void stopWhen(std::function<bool()> stopRequested);

    // Throws RegexError when the run stops as runaway backtracking or is cancelled.
    bool next();
    TextRange range() const { return m_range; }

    // Prepares a replacement text: inserted as typed in literal mode, expanded per match in
    // regular-expression mode, where a "$" naming no group stays as typed and a group number
    // the pattern does not have inserts nothing.
    void setReplacement(const QString& replacement);
    void appendReplacement(QString& out) const;

    // True when the query is a literal string matched without the ICU engine.
    bool usesLiteralMatcher() const { return m_literal; }

private:
    bool nextLiteral();

    QStringView m_text;
    TextRange m_range;
    std::function<bool()> m_stop;
    unsigned m_nextsSinceStopCheck = 0;
    bool m_regexMode = false;
    bool m_wholeWord = false;
    // Literal path.
    bool m_literal = false;
    // Ignoring case over ASCII: the needle is in lower case.
    bool m_foldsAscii = false;
    QString m_needle;
    qsizetype m_needleLength = 0;
    char16_t m_singleUnit = 0;
    qsizetype m_from = 0;
    // Expression path.
    std::optional<IcuRegex> m_regex;
    std::unique_ptr<IcuRegexMatcher> m_matcher;
    RegexTemplate m_template;
    QString m_literalReplacement;
};

// Whether a code point counts as a word character for whole-word matching.
bool isSearchWordCharacter(char32_t codePoint);

} // namespace dunmoss
