// A folder search's expression over one file, from an arbitrary pattern and arbitrary bytes.
// Aborts when:
// - the prepared query (literal prefilter, lines, line automaton, bytes read before decoding)
//   lists other matches than the expression run over the whole decoded text;
// - the line automaton turns away a text in which ICU finds a match.
// Input: one byte of options, one byte giving the pattern's length, the pattern, then the file.
#include "platform/IcuRegex.h"
#include "text/FolderFileSearch.h"
#include "text/LineAutomaton.h"
#include "text/SearchableText.h"

#include "support/FuzzChecks.h"

using namespace dunmoss;
using fuzz::require;

namespace {

// Whether ICU finds a match that takes in something; nothing when it runs away.
std::optional<bool> icuMatches(const QString& pattern, bool folds, const QString& text) {
    try {
        const IcuRegex regex(pattern, folds ? IcuRegex::CaseInsensitive : IcuRegex::NoOptions,
                             RegexWorkBound{2000, 20});
        for (const TextRange& range : regex.matchRanges(text))
            if (range.length > 0)
                return true;
        return false;
    } catch (const RegexError&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<fuzz::QueryInput> input = fuzz::splitQueryInput(data, size, 32);
    if (!input)
        return 0;
    const uint8_t flags = input->flags;
    const QString& pattern = input->query;
    const QByteArray& bytes = input->bytes;
    const bool folds = (flags & 1) != 0;
    const TextSearchOptions options{true, !folds, (flags & 2) != 0};
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/fuzz.txt"));
    const SearchableFileContent content = screenSearchableBytes(bytes);
    const QString text =
        content.kind == SearchableFileContent::Kind::Text ? content.text : QString();

    if (const std::optional<LineAutomaton> automaton = LineAutomaton::of(pattern, folds)) {
        const std::optional<bool> matches = icuMatches(pattern, folds, text);
        require(!matches || !*matches || automaton->mayMatch(text),
                "the automaton turned away a text ICU matches");
    }

    FolderFileMatches expected;
    try {
        if (content.kind == SearchableFileContent::Kind::Text)
            expected = folderMatchesInText(pattern, options, text, url, 1'000'000);
    } catch (const RegexError&) {
        return 0; // an invalid expression
    }
    const FolderQuery prepared(pattern, options);
    const FolderFileMatches fromBytes = prepared.matchesInFileBytes(bytes, url, 1'000'000);
    // A runaway expression is stopped at a bound each path counts in its own way.
    if (expected.costly || fromBytes.costly)
        return 0;
    require(fuzz::sameResults(fromBytes, expected),
            "the prepared query differs from the plain run");
    return 0;
}
