// One file's part of a folder search, from arbitrary bytes and an arbitrary literal query.
// Aborts when:
// - the strict UTF-8 check without output disagrees with the decoder;
// - bytes taken as plain UTF-8 are not what detection decodes as UTF-8 without a mark;
// - the matches found in the bytes themselves differ from those found in the decoded text
//   (count, order, line, column, preview), whole word or not, ignoring case or not, with a limit
//   or without.
// Input: one byte of options, one byte giving the query's length, the query, then the file.
#include "platform/Utf8Decoding.h"
#include "text/EncodingDetection.h"
#include "text/FolderFileSearch.h"
#include "text/SearchableText.h"

#include "support/FuzzChecks.h"

using namespace dunmoss;
using fuzz::require;

namespace {

void compare(const QString& query, const TextSearchOptions& options, const QByteArray& bytes,
             qsizetype room) {
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/fuzz.txt"));
    const std::optional<QString> units = decodeUtf8Units(bytes);
    require(isStrictUtf8(bytes) == units.has_value(), "strict UTF-8 check differs from decoder");
    if (detectsAsPlainUtf8(bytes)) {
        const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
        require(decoded && decoded->step == DetectionStep::Utf8 &&
                    decoded->encoding == TextFileEncoding::Utf8 && units && decoded->text == *units,
                "plain UTF-8 not detected as such");
    }
    FolderFileMatches expected;
    const SearchableFileContent content = screenSearchableBytes(bytes);
    if (content.kind == SearchableFileContent::Kind::Text)
        expected = folderMatchesInText(query, options, content.text, url, room);
    const FolderFileMatches fromBytes = folderMatchesInFileBytes(query, options, bytes, url, room);
    require(fromBytes.costly == expected.costly && fuzz::sameResults(fromBytes, expected),
            "byte scan differs from the decoded text's matches");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<fuzz::QueryInput> input = fuzz::splitQueryInput(data, size, 16);
    if (!input)
        return 0;
    const uint8_t flags = input->flags;
    const QString& query = input->query;
    const QByteArray& bytes = input->bytes;
    const TextSearchOptions options{false, (flags & 4) == 0, (flags & 1) != 0};
    const qsizetype room = (flags & 2) ? 1 + (flags >> 3) % 8 : 1'000'000;
    compare(query, options, bytes, room);
    // Most byte strings are not UTF-8: the same characters as UTF-8 reach the byte scan.
    const QByteArray repaired = QString::fromUtf8(bytes).toUtf8();
    if (repaired != bytes)
        compare(query, options, repaired, room);
    return 0;
}
