#pragma once

#include "platform/IcuRegex.h"
#include "platform/TextRange.h"
#include "text/TextEdit.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <atomic>
#include <optional>

namespace dunmoss {

struct TextSearchOptions {
    bool isRegex = false;
    bool isCaseSensitive = false;
    bool isWholeWord = false;

    friend bool operator==(const TextSearchOptions&, const TextSearchOptions&) = default;
};

// One listed match. Line and column are 1-based; the column counts UTF-16 units.
struct TextSearchResult {
    QUuid id;
    TextRange range;
    qsizetype line = 0;
    qsizetype column = 0;
    QString preview;

    friend bool operator==(const TextSearchResult&, const TextSearchResult&) = default;
};

struct TextSearchMatches {
    QList<TextSearchResult> results;
    // Every non-empty match, listed or not.
    qsizetype totalCount = 0;
};

struct TextReplaceAllResult {
    QString text;
    qsizetype count = 0;
};

struct LineAndColumn {
    qsizetype line = 1;
    qsizetype column = 1;

    friend bool operator==(const LineAndColumn&, const LineAndColumn&) = default;
};

// The expression a query stands for: literal text escaped, whole words bounded by letters,
// marks, digits and "_" (Han, kana and Hangul do not count as word characters). User-typed
// patterns carry the bound that stops only runaway backtracking. Throws RegexError.
IcuRegex makeSearchRegex(const QString& query, const TextSearchOptions& options);

// Lists the non-empty matches in text order, at most `maximum` of them, and counts all of
// them. Throws RegexError (invalid pattern, or a run stopped as runaway backtracking, or
// Cancelled soon after `stop` is set).
TextSearchMatches findAllMatches(const QString& query, QStringView text,
                                 const TextSearchOptions& options,
                                 std::optional<qsizetype> maximum = std::nullopt,
                                 const std::atomic<bool>* stop = nullptr);

// The same with a text of literal matches cut into pieces of about `pieceUnits` units at line
// feeds, searched on idle pool threads (0: one piece), so the seams can be tested on small texts.
TextSearchMatches findAllMatchesInPieces(const QString& query, QStringView text,
                                         const TextSearchOptions& options, qsizetype pieceUnits,
                                         std::optional<qsizetype> maximum = std::nullopt,
                                         const std::atomic<bool>* stop = nullptr);

// Replaces the match whose range is exactly the selection; nothing when the selection is not
// a non-empty match. Literal mode inserts the replacement as typed; regular-expression mode
// expands "$n" and "\" escapes. Throws RegexError for an invalid expression or runaway
// backtracking, never for the replacement.
std::optional<TextEdit> replaceCurrentMatch(const QString& query, const QString& replacement,
                                            const QString& text, TextRange selection,
                                            const TextSearchOptions& options);

// Replaces every non-empty match; each replacement is expanded against the original text.
// Throws RegexError (Cancelled soon after `stop` is set).
TextReplaceAllResult replaceAllMatches(const QString& query, const QString& replacement,
                                       const QString& text, const TextSearchOptions& options,
                                       const std::atomic<bool>* stop = nullptr);

// The trimmed entry first, without earlier copies of it, cut to `limit` entries.
QStringList updatedHistory(const QStringList& history, const QString& entry, int limit);

// 0, then the index after every line feed.
QList<qsizetype> lineStartOffsets(QStringView text);
LineAndColumn lineAndColumnForLocation(qsizetype location, const QList<qsizetype>& lineStarts);
// The match's line around it: at most 60 units before and 100 after, cut at line breaks and
// widened to whole characters, with "…" where the line goes on.
QString makeMatchPreview(TextRange match, QStringView text, const QList<qsizetype>& lineStarts,
                         qsizetype lineIndex);

} // namespace dunmoss
