// The guess among the legacy CJK encodings, declared in EncodingDetection.h.
#include "text/LegacyEncodingGuess.h"

#include "platform/CharsetDetector.h"
#include "text/ScalarScan.h"
#include "text/TextEncodingCharset.h"

#include <algorithm>

namespace dunmoss {

namespace {

// Enough bytes for the penalty's 4,000 scalars (at most four bytes each) even after a cut
// character of up to three bytes is dropped from the end.
constexpr qsizetype kPenaltyPrefixBytes = 16384;

struct ScoredCandidate {
    TextFileEncoding encoding;
    int penalty;
    std::optional<QString> wholeText; // present when the prefix was the whole input
};

// The names the charset detector reports for a candidate. Shift JIS has two, as the Windows
// code page is the common form of it.
QStringList detectorNames(TextFileEncoding candidate) {
    switch (candidate) {
    case TextFileEncoding::Gb18030:
        return {QStringLiteral("GB18030")};
    case TextFileEncoding::Big5:
        return {QStringLiteral("Big5")};
    case TextFileEncoding::ShiftJIS:
        return {QStringLiteral("Shift_JIS"), QStringLiteral("windows-31j")};
    default:
        return {};
    }
}

LegacyDecoding settleTie(QByteArrayView bytes, QList<LegacyDecoding>& tied) {
    if (tied.size() > 1) {
        QList<TextFileEncoding> candidates;
        for (const LegacyDecoding& decoding : tied)
            candidates.append(decoding.encoding);
        if (const auto picked = pickLegacyEncodingByFoundation(bytes, candidates)) {
            for (LegacyDecoding& decoding : tied) {
                if (decoding.encoding == *picked)
                    return std::move(decoding);
            }
        }
    }
    return std::move(tied.first());
}

} // namespace

// The answer is the candidate with the lowest penalty among those that decode the whole input.
// The penalty only needs the start of the text, and an error in the start is an error of the
// whole (these encodings have no state), so candidates are scored on a prefix first and only
// the best ones are decoded whole: a Shift JIS file is never decoded whole as GB 18030.
std::optional<LegacyDecoding> guessLegacyDecoding(QByteArrayView bytes, ByteTail tail) {
    const bool prefixOnly = bytes.size() > kPenaltyPrefixBytes;
    QList<ScoredCandidate> scored;
    for (TextFileEncoding candidate : legacyCandidateEncodings()) {
        // A whole valid input always leaves a valid prefix once a cut character is dropped.
        std::optional<QString> text =
            prefixOnly ? decodeCharset(bytes.first(kPenaltyPrefixBytes), textCharset(candidate),
                                       ByteTail::MayBeCut)
                       : decodeCharset(bytes, textCharset(candidate), tail);
        if (!text)
            continue;
        const int penalty = legacyDecodingPenalty(*text, candidate);
        scored.append({candidate, penalty, prefixOnly ? std::nullopt : std::move(text)});
    }
    std::stable_sort(
        scored.begin(), scored.end(),
        [](const ScoredCandidate& a, const ScoredCandidate& b) { return a.penalty < b.penalty; });
    for (qsizetype first = 0; first < scored.size();) {
        qsizetype last = first;
        while (last < scored.size() && scored[last].penalty == scored[first].penalty)
            ++last;
        QList<LegacyDecoding> tied;
        for (qsizetype i = first; i < last; ++i) {
            ScoredCandidate& candidate = scored[i];
            if (!candidate.wholeText)
                candidate.wholeText = decodeCharset(bytes, textCharset(candidate.encoding), tail);
            if (candidate.wholeText)
                tied.append({candidate.encoding, std::move(*candidate.wholeText)});
        }
        if (!tied.isEmpty())
            return settleTie(bytes, tied);
        first = last;
    }
    return std::nullopt;
}

const QList<TextFileEncoding>& legacyCandidateEncodings() {
    static const QList<TextFileEncoding> candidates = {
        TextFileEncoding::Gb18030, TextFileEncoding::Big5, TextFileEncoding::ShiftJIS};
    return candidates;
}

std::optional<TextFileEncoding> guessLegacyEncoding(QByteArrayView bytes) {
    if (auto decoding = guessLegacyDecoding(bytes, ByteTail::Complete))
        return decoding->encoding;
    return std::nullopt;
}

int legacyDecodingPenalty(QStringView text, TextFileEncoding candidate) {
    const int kanaPenalty = candidate == TextFileEncoding::ShiftJIS ? -1 : 5;
    int penalty = 0;
    forEachScalar(text, legacyPenaltyScalarCount, [&](char32_t scalar) {
        // Unlike the plausibility test, form feed counts against a candidate here.
        if (scalar == 0xFFFD || (scalar >= 0xFF61 && scalar <= 0xFF9F) ||
            isDeleteOrC1Control(scalar) ||
            (scalar < 0x20 && scalar != 0x09 && scalar != 0x0A && scalar != 0x0D))
            penalty += implausibleScalarPenalty;
        else if (scalar >= 0x3040 && scalar <= 0x30FF)
            penalty += kanaPenalty;
    });
    return penalty;
}

std::optional<TextFileEncoding>
pickLegacyEncodingByFoundation(QByteArrayView bytes,
                               const QList<TextFileEncoding>& tiedCandidates) {
    QStringList names;
    QList<TextFileEncoding> owners;
    for (TextFileEncoding candidate : tiedCandidates) {
        for (const QString& name : detectorNames(candidate)) {
            names.append(name);
            owners.append(candidate);
        }
    }
    const auto index = detectCharsetAmong(bytes, names);
    if (!index)
        return std::nullopt;
    return owners[*index];
}

} // namespace dunmoss
