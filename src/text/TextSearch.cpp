#include "text/TextSearch.h"

#include "platform/IdleThreadWork.h"
#include "platform/LargeBuffers.h"
#include "text/MatchPreview.h"
#include "text/ResultIdentifier.h"
#include "text/SearchScanner.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace dunmoss {

namespace {

// Word characters for whole-word matching: letters, marks, digits and "_", except the
// scripts written without spaces between words.
const QString kWordClass =
    QStringLiteral("\\p{L}\\p{M}\\p{N}_&&[^\\p{Han}\\p{Hiragana}\\p{Katakana}\\p{Hangul}]");

// Below this many units one thread lists the matches about as fast as several.
constexpr qsizetype kParallelFromUnits = qsizetype(4) << 20;

struct PieceMatches {
    qsizetype begin = 0;
    qsizetype end = 0;
    TextSearchMatches found;
    qsizetype lineFeeds = 0;
    std::exception_ptr error;
};

// The matches of a whole text, or of a piece of one that starts at a line start, with lines
// counted from the piece's start; and, when asked, the line feeds the piece holds.
PieceMatches findAllInPiece(const QString& query, QStringView text,
                            const TextSearchOptions& options, qsizetype limit,
                            const std::atomic<bool>* stop, bool countsLineFeeds) {
    PieceMatches piece;
    TextSearchMatches& found = piece.found;
    SearchScanner scanner(query, text, options);
    if (stop)
        scanner.stopWhenSet(*stop);
    MatchLocator locator(text);
    while (scanner.next()) {
        const TextRange range = scanner.range();
        if (range.length == 0)
            continue;
        ++found.totalCount;
        if (limit >= 0 && found.results.size() >= limit)
            continue;
        locator.advanceTo(range.location);
        TextSearchResult result;
        result.id = newResultIdentifier();
        result.range = range;
        result.line = locator.lineIndex() + 1;
        result.column = range.location - locator.lineStart() + 1;
        result.preview = locator.preview(range);
        found.results.append(std::move(result));
    }
    if (countsLineFeeds) {
        locator.advanceTo(text.size());
        piece.lineFeeds = locator.lineIndex();
    }
    return piece;
}

qsizetype defaultPieceUnits(QStringView text, const TextSearchOptions& options) {
    if (options.isRegex || text.size() < kParallelFromUnits)
        return 0;
    const int width = idleThreadWorkWidth();
    if (width < 2)
        return 0;
    // A few pieces per thread even out threads that start late.
    return std::max(kParallelFromUnits / 4, text.size() / (qsizetype(width) * 3));
}

} // namespace

IcuRegex makeSearchRegex(const QString& query, const TextSearchOptions& options) {
    const IcuRegex::Options flags =
        options.isCaseSensitive ? IcuRegex::NoOptions : IcuRegex::CaseInsensitive;
    QString pattern = options.isRegex ? query : IcuRegex::escapedPattern(query);
    if (options.isWholeWord) {
        // A typed expression is compiled on its own first: a stray ")" in it would otherwise
        // close the boundaries' group early, turning an invalid expression into one that
        // matches with part of it outside the boundaries ("a)|(b").
        if (options.isRegex)
            IcuRegex{query, flags};
        pattern = QStringLiteral("(?<![") + kWordClass + QStringLiteral("])(?:") + pattern +
                  QStringLiteral(")(?![") + kWordClass + QStringLiteral("])");
    }
    // Escaped literals run in linear time; only typed expressions can backtrack badly.
    return IcuRegex(pattern, flags,
                    options.isRegex ? IcuRegex::kUserPatternBound : RegexWorkBound{});
}

TextSearchMatches findAllMatches(const QString& query, QStringView text,
                                 const TextSearchOptions& options, std::optional<qsizetype> maximum,
                                 const std::atomic<bool>* stop) {
    return findAllMatchesInPieces(query, text, options, defaultPieceUnits(text, options), maximum,
                                  stop);
}

TextSearchMatches findAllMatchesInPieces(const QString& query, QStringView text,
                                         const TextSearchOptions& options, qsizetype pieceUnits,
                                         std::optional<qsizetype> maximum,
                                         const std::atomic<bool>* stop) {
    const qsizetype limit = maximum ? std::max<qsizetype>(*maximum, 0) : -1;
    if (query.isEmpty())
        return TextSearchMatches{};
    // A literal without a line feed never spans one, and what stands next to a match inside
    // its line decides everything else: pieces that start after a line feed find the same
    // matches alone as in the whole text.
    if (pieceUnits <= 0 || options.isRegex || query.contains(u'\n') || text.size() <= pieceUnits)
        return findAllInPiece(query, text, options, limit, stop, false).found;
    std::vector<PieceMatches> pieces;
    for (qsizetype begin = 0; begin < text.size();) {
        qsizetype end = text.size();
        if (text.size() - begin > pieceUnits) {
            const qsizetype feed = text.indexOf(u'\n', begin + pieceUnits - 1);
            end = feed < 0 ? text.size() : feed + 1;
        }
        pieces.push_back(PieceMatches{begin, end, {}, 0, {}});
        begin = end;
    }
    runOnIdleThreads(int(pieces.size()), [&](int k) {
        PieceMatches& piece = pieces[size_t(k)];
        try {
            PieceMatches found =
                findAllInPiece(query, text.sliced(piece.begin, piece.end - piece.begin), options,
                               limit, stop, true);
            piece.found = std::move(found.found);
            piece.lineFeeds = found.lineFeeds;
        } catch (...) {
            piece.error = std::current_exception();
        }
    });
    TextSearchMatches found;
    qsizetype linesBefore = 0;
    for (PieceMatches& piece : pieces) {
        if (piece.error)
            std::rethrow_exception(piece.error);
        found.totalCount += piece.found.totalCount;
        for (TextSearchResult& result : piece.found.results) {
            if (limit >= 0 && found.results.size() >= limit)
                break;
            result.range.location += piece.begin;
            result.line += linesBefore;
            found.results.append(std::move(result));
        }
        linesBefore += piece.lineFeeds;
    }
    return found;
}

std::optional<TextEdit> replaceCurrentMatch(const QString& query, const QString& replacement,
                                            const QString& text, TextRange selection,
                                            const TextSearchOptions& options) {
    if (query.isEmpty())
        return std::nullopt;
    SearchScanner scanner(query, text, options);
    scanner.setReplacement(replacement);
    while (scanner.next()) {
        const TextRange range = scanner.range();
        // Matches come in increasing order, so none after this point can equal the selection.
        if (range.location > selection.location)
            break;
        if (range.length == 0 || range != selection)
            continue;
        QString inserted;
        scanner.appendReplacement(inserted);
        QString changed = text;
        changed.replace(range.location, range.length, inserted);
        return TextEdit{std::move(changed), TextRange{range.location, inserted.size()}};
    }
    return std::nullopt;
}

TextReplaceAllResult replaceAllMatches(const QString& query, const QString& replacement,
                                       const QString& text, const TextSearchOptions& options,
                                       const std::atomic<bool>* stop) {
    TextReplaceAllResult outcome{text, 0};
    if (query.isEmpty())
        return outcome;
    SearchScanner scanner(query, text, options);
    if (stop)
        scanner.stopWhenSet(*stop);
    scanner.setReplacement(replacement);
    // One forward pass into one buffer; every replacement is taken from the original text.
    QString built;
    qsizetype copied = 0;
    while (scanner.next()) {
        const TextRange range = scanner.range();
        if (range.length == 0)
            continue;
        if (outcome.count == 0) {
            // Room to grow: outgrowing the buffer near the end copies the whole text again,
            // while pages reserved and never written cost nothing.
            built.reserve(text.size() + text.size() / 8);
            adviseHugePages(built.data(), size_t(built.capacity()) * 2);
        }
        built.append(QStringView(text).sliced(copied, range.location - copied));
        scanner.appendReplacement(built);
        copied = range.end();
        ++outcome.count;
    }
    if (outcome.count > 0) {
        built.append(QStringView(text).sliced(copied));
        outcome.text = std::move(built);
    }
    return outcome;
}

QStringList updatedHistory(const QStringList& history, const QString& entry, int limit) {
    const QString trimmed = entry.trimmed();
    const qsizetype keep = std::max(limit, 0);
    if (trimmed.isEmpty() || limit < 1)
        return history.size() > keep ? history.first(keep) : history;
    QStringList updated{trimmed};
    for (const QString& item : history) {
        if (updated.size() >= keep)
            break;
        if (item != trimmed)
            updated.append(item);
    }
    return updated;
}

QList<qsizetype> lineStartOffsets(QStringView text) {
    QList<qsizetype> starts{0};
    for (qsizetype at = text.indexOf(u'\n'); at >= 0; at = text.indexOf(u'\n', at + 1))
        starts.append(at + 1);
    return starts;
}

LineAndColumn lineAndColumnForLocation(qsizetype location, const QList<qsizetype>& lineStarts) {
    if (lineStarts.isEmpty())
        return LineAndColumn{1, location + 1};
    // The last line starting at or before the location, by bisection; the first line when the
    // location lies before every start.
    const auto after = std::upper_bound(lineStarts.begin() + 1, lineStarts.end(), location);
    const qsizetype line = after - lineStarts.begin() - 1;
    return LineAndColumn{line + 1, location - lineStarts[line] + 1};
}

QString makeMatchPreview(TextRange match, QStringView text, const QList<qsizetype>& lineStarts,
                         qsizetype lineIndex) {
    const qsizetype index =
        std::clamp<qsizetype>(lineIndex, 0, std::max<qsizetype>(lineStarts.size() - 1, 0));
    const qsizetype start = lineStarts.isEmpty() ? 0 : lineStarts[index];
    const qsizetype next = index + 1 < lineStarts.size() ? lineStarts[index + 1] : text.size();
    GraphemeBoundaries graphemes(text);
    return matchPreviewOnLine(match, text, start, next, graphemes);
}

} // namespace dunmoss
