// Feeds a pattern (the first line; its first byte picks the options) and a text (the rest) to the
// matcher, and checks every match against ICU's own find loop: skipping the runs a failed
// leading loop (after its one-character atoms) rules out, or a loop after a prefix of any shape
// ("(ab|c)\w+@", "\s*\w+@", folded "straße\w+"), the work bound and an unset stop flag
// must never change a match, only stop runaway runs; nor must jumping past units no match can
// start with. One bit stretches every character of the text into a run long enough to be
// skipped; another repeats the whole text into runs that hold a prefix again and again; another
// spreads the characters apart with spaces, long enough gaps to be jumped;
// another wraps the pattern in the boundaries of a whole-word search. A surrogate written as
// UTF-8 is that unit alone, so texts may hold halves of a pair. The pattern taken as a
// literal query is searched by the literal scanner too, which must find what the escaped expression
// finds. A pattern that reads its text in pieces is also run after a pad that puts piece edges
// inside the text; and a stop set after a match must keep any later one from being given.
#include "platform/IcuRegex.h"
#include "text/SearchScanner.h"
#include "text/TextSearch.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unicode/regex.h>
#include <vector>

using namespace dunmoss;

namespace {

constexpr int kTicks = 40;

// ICU's matches inside the region, or nothing when ICU gives up.
std::optional<std::vector<TextRange>> icuMatches(const QString& pattern, uint32_t flags,
                                                 const QString& text, TextRange region) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError{};
    std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
        icu::UnicodeString(reinterpret_cast<const UChar*>(pattern.utf16()),
                           int32_t(pattern.size())),
        flags, parseError, status));
    if (U_FAILURE(status))
        return std::nullopt;
    const icu::UnicodeString input(reinterpret_cast<const UChar*>(text.utf16()),
                                   int32_t(text.size()));
    std::unique_ptr<icu::RegexMatcher> matcher(compiled->matcher(input, status));
    matcher->region(region.location, region.end(), status);
    matcher->setTimeLimit(kTicks, status);
    std::vector<TextRange> found;
    while (matcher->find(status)) {
        const int32_t start = matcher->start(status);
        found.push_back(TextRange{start, matcher->end(status) - start});
    }
    if (U_FAILURE(status))
        return std::nullopt;
    return found;
}

// Ours, or nothing when the run stops; with a stop flag that is never set when asked.
std::optional<std::vector<TextRange>> ourMatches(const IcuRegex& regex, const QString& text,
                                                 TextRange region, bool withStopFlag = false) {
    static const std::atomic<bool> never = false;
    std::vector<TextRange> found;
    try {
        IcuRegexMatcher matcher(regex, text, region);
        if (withStopFlag)
            matcher.stopWhenSet(never);
        while (matcher.findNext())
            found.push_back(matcher.range());
    } catch (const RegexError&) {
        return std::nullopt;
    }
    return found;
}

// UTF-8, except that a surrogate written as UTF-8 (ED A0 80 to ED BF BF), which no decoder
// accepts, stands for that unit alone: texts with lone halves of a pair.
QString decodedWithLoneSurrogates(const char* bytes, qsizetype size) {
    QString out;
    qsizetype from = 0;
    for (qsizetype i = 0; i + 2 < size; ++i) {
        const auto b0 = uint8_t(bytes[i]), b1 = uint8_t(bytes[i + 1]), b2 = uint8_t(bytes[i + 2]);
        if (b0 != 0xED || b1 < 0xA0 || b1 > 0xBF || (b2 & 0xC0) != 0x80)
            continue;
        out.append(QString::fromUtf8(bytes + from, i - from));
        out.append(QChar(char16_t(0xD000 | ((b1 & 0x3F) << 6) | (b2 & 0x3F))));
        from = i + 3;
        i += 2;
    }
    out.append(QString::fromUtf8(bytes + from, size - from));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const QString input =
        decodedWithLoneSurrogates(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const qsizetype newline = input.indexOf(u'\n');
    if (newline < 0)
        return 0;
    QString pattern = input.first(newline);
    QString text = input.sliced(newline + 1);
    if (data[0] & 16) {
        QString stretched;
        for (qsizetype i = 0; i < text.size() && stretched.size() < 4096; ++i) {
            const qsizetype units =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()
                    ? 2
                    : 1;
            for (int copy = 0; copy < 17; ++copy)
                stretched.append(text.sliced(i, units));
            i += units - 1;
        }
        text = stretched;
    }
    if ((data[0] & 128) && !text.isEmpty()) {
        // Repeated whole: runs that hold the prefix again and again ("cabcab" for "(ab|c)\w+@").
        const QString piece = text;
        while (text.size() < 2048)
            text.append(piece);
    }
    if (data[0] & 64) {
        QString spread;
        for (qsizetype i = 0; i < text.size() && spread.size() < 4096; ++i) {
            spread.append(text[i]);
            if (!text[i].isHighSurrogate())
                spread.append(QString(12, u' '));
        }
        text = spread;
    }
    IcuRegex::Options options;
    uint32_t flags = 0;
    if (data[0] & 1)
        options |= IcuRegex::CaseInsensitive, flags |= UREGEX_CASE_INSENSITIVE;
    if (data[0] & 2)
        options |= IcuRegex::DotMatchesLineSeparators, flags |= UREGEX_DOTALL;
    if (data[0] & 4)
        options |= IcuRegex::AnchorsMatchLines, flags |= UREGEX_MULTILINE;
    if (data[0] & 8)
        options |= IcuRegex::UseUnixLineSeparators, flags |= UREGEX_UNIX_LINES;

    // The literal scanner finds what the escaped expression finds, with or without case.
    for (const bool caseSensitive : {true, false}) {
        for (const bool wholeWord : {false, true}) {
            const TextSearchOptions literal{false, caseSensitive, wholeWord};
            if (pattern.isEmpty())
                break;
            try {
                std::vector<TextRange> scanned;
                SearchScanner scanner(pattern, text, literal);
                while (scanner.next())
                    scanned.push_back(scanner.range());
                if (scanned != makeSearchRegex(pattern, literal).matchRanges(text))
                    std::abort();
            } catch (const RegexError&) {
            }
        }
    }

    if (data[0] & 32) {
        // As the find bar builds it, when the typed expression compiles on its own.
        try {
            const bool caseSensitive = !(options & IcuRegex::CaseInsensitive);
            pattern =
                makeSearchRegex(pattern, TextSearchOptions{true, caseSensitive, true}).pattern();
        } catch (const RegexError&) {
            return 0;
        }
    }
    std::optional<IcuRegex> regex;
    try {
        regex.emplace(pattern, options, RegexWorkBound{kTicks, 0});
    } catch (const RegexError&) {
        if (icuMatches(pattern, flags, text, TextRange{0, text.size()}))
            std::abort(); // ICU compiles what was refused
        return 0;
    }
    // A region inside the text, its edges moved off the middle of a surrogate pair (ICU reads
    // past a region that starts on a low half).
    qsizetype start = std::min<qsizetype>(1, text.size());
    if (start > 0 && start < text.size() && text[start].isLowSurrogate())
        ++start;
    qsizetype limit = std::max(text.size() - 1, start);
    if (limit > start && limit < text.size() && text[limit].isLowSurrogate())
        --limit;
    const TextRange regions[] = {TextRange{0, text.size()}, TextRange{start, limit - start}};
    for (const TextRange region : regions) {
        const auto ours = ourMatches(*regex, text, region);
        const auto icu = icuMatches(pattern, flags, text, region);
        if (ours && icu && *ours != *icu)
            std::abort();
        // A stop flag that is not set changes no match.
        const auto flagged = ourMatches(*regex, text, region, true);
        if (ours && flagged && *ours != *flagged)
            std::abort();
    }
    if (regex->readsInPieces()) {
        // Piece edges fall inside the text, between the halves of a pair too.
        const QString padded = QString(4093, u' ') + text;
        const TextRange whole{0, padded.size()};
        const auto ours = ourMatches(*regex, padded, whole);
        const auto icu = icuMatches(pattern, flags, padded, whole);
        if (ours && icu && *ours != *icu)
            std::abort();
    }
    // Once the stop is set, no match follows.
    std::atomic<bool> stop = false;
    try {
        IcuRegexMatcher matcher(*regex, text);
        matcher.stopWhenSet(stop);
        if (matcher.findNext()) {
            stop = true;
            if (matcher.findNext())
                std::abort();
        }
    } catch (const RegexError&) {
    }
    return 0;
}
