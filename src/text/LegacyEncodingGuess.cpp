// The guess among the legacy CJK encodings, declared in EncodingDetection.h.
#include "text/LegacyEncodingGuess.h"

#include "platform/CharsetDetector.h"
#include "text/DetectionSample.h"
#include "text/ScalarScan.h"
#include "text/TextEncodingCharset.h"

#include <algorithm>

namespace dunmoss {

namespace {

// The bytes searched for signs of UTF-8, from the first non-ASCII one on.
constexpr qsizetype kUtf8SignSampleBytes = 65536;

bool isAsciiLetter(char32_t scalar) {
    return (scalar >= u'a' && scalar <= u'z') || (scalar >= u'A' && scalar <= u'Z');
}

bool isAsciiSpace(char32_t scalar) {
    return scalar == u' ' || scalar == u'\n' || scalar == u'\r' || scalar == u'\t';
}

// Legacy CJK text forms UTF-8 sequences only by chance, far less often than it breaks them;
// UTF-8 with a stray byte of another encoding is the other way round.
bool looksLikeDamagedUtf8(QByteArrayView bytes) {
    const QByteArrayView sample = sampleFromFirstNonAscii(bytes, kUtf8SignSampleBytes);
    const auto* data = reinterpret_cast<const uint8_t*>(sample.data());
    const qsizetype size = sample.size();
    qsizetype wellFormed = 0;
    qsizetype stray = 0;
    for (qsizetype i = 0; i < size;) {
        const uint8_t byte = data[i];
        if (byte < 0x80) {
            ++i;
            continue;
        }
        const int length = byte >= 0xC2 && byte <= 0xDF   ? 2
                           : byte >= 0xE0 && byte <= 0xEF ? 3
                           : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                          : 0;
        int have = 1;
        while (have < length && i + have < size && (data[i + have] & 0xC0) == 0x80)
            ++have;
        if (length != 0 && have == length) {
            ++wellFormed;
            i += length;
        } else {
            ++stray;
            ++i;
        }
    }
    return wellFormed > 0 && wellFormed >= 8 * stray;
}

// Latin letters, accented ones included: a legacy decoding that yields them (GB 18030 holds
// them all) reads as Latin text, not as a misreading of it.
bool isLatinLetter(char32_t scalar) {
    return isAsciiLetter(scalar) ||
           (scalar >= 0xC0 && scalar <= 0x24F && scalar != 0xD7 && scalar != 0xF7);
}

// Latin-1 text read in a legacy encoding: each accented letter takes the byte after it into
// one character (or stands alone as half-width katakana), so nearly every run of such
// characters sits inside a Latin word. Chinese and Japanese text has long runs, and only some
// of them touch Latin letters.
bool looksLikeMisreadLatin(QStringView text) {
    int runs = 0;
    int inLatinWords = 0;
    int runLength = 0;
    char32_t beforeRun = u' ';
    char32_t previous = u'\n';
    const auto closeRun = [&](char32_t after) {
        const bool single =
            runLength == 1 && (isLatinLetter(beforeRun) || isAsciiSpace(beforeRun) ||
                               isLatinLetter(after) || isAsciiSpace(after));
        inLatinWords += single || (isLatinLetter(beforeRun) && isLatinLetter(after));
        runLength = 0;
    };
    // The character before the first non-ASCII one is what the first run follows.
    const QStringView sample = text.sliced(qMax<qsizetype>(firstNonAsciiUnit(text) - 1, 0));
    forEachScalar(sample, plausibilityScalarCount, [&](char32_t scalar) {
        if (scalar >= 0x80 && !isLatinLetter(scalar)) {
            if (runLength++ == 0) {
                ++runs;
                beforeRun = previous;
            }
        } else if (runLength > 0) {
            closeRun(scalar);
        }
        previous = scalar;
    });
    if (runLength > 0)
        closeRun(u'\n');
    return inLatinWords * 3 > runs * 2;
}

// Whether a half-width voiced mark (ﾞ) or semi-voiced mark (ﾟ) may follow the character: ﾞ
// follows ｳ, ｶ to ﾄ and ﾊ to ﾎ; ﾟ only ﾊ to ﾎ.
bool takesVoicedMark(char32_t kana, char32_t mark) {
    const bool haToHo = kana >= 0xFF8A && kana <= 0xFF8E;
    if (mark == 0xFF9F)
        return haToHo;
    return haToHo || kana == 0xFF73 || (kana >= 0xFF76 && kana <= 0xFF84);
}

// Enough bytes for the penalty's 4,000 scalars (at most four bytes each) from the first
// non-ASCII byte, even after a cut character of up to three bytes is dropped from the end.
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
// The penalty only needs the text from its first non-ASCII character on, and an error there is
// an error of the whole (these encodings have no state, and with only ASCII before it the first
// non-ASCII byte starts a character), so candidates are scored on that part first and only the
// best ones are decoded whole: a Shift JIS file is never decoded whole as GB 18030.
std::optional<LegacyDecoding> guessLegacyDecoding(QByteArrayView bytes, ByteTail tail) {
    const bool prefixOnly = bytes.size() > kPenaltyPrefixBytes;
    const QByteArrayView scoredPart = sampleFromFirstNonAscii(bytes, kPenaltyPrefixBytes);
    QList<ScoredCandidate> scored;
    for (TextFileEncoding candidate : legacyCandidateEncodings()) {
        // A whole valid input always leaves a valid part once a cut character is dropped.
        std::optional<QString> text =
            prefixOnly ? decodeCharset(scoredPart, textCharset(candidate), ByteTail::MayBeCut)
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

bool legacyDecodingIsPlausible(QByteArrayView bytes, QStringView text) {
    return !looksLikeDamagedUtf8(bytes) && !looksLikeMisreadLatin(text);
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
    const bool shiftJIS = candidate == TextFileEncoding::ShiftJIS;
    int implausible = 0;
    int kana = 0;
    int halfWidthKatakana = 0;
    int voicedMarks = 0;
    bool marksFollowTheirKana = true;
    char32_t previous = 0;
    // ASCII reads alike in every candidate: the scalars that tell them apart start after it.
    const QStringView sample = text.sliced(firstNonAsciiUnit(text));
    forEachScalar(sample, legacyPenaltyScalarCount, [&](char32_t scalar) {
        // Unlike the plausibility test, form feed counts against a candidate here.
        if (scalar >= 0xFF61 && scalar <= 0xFF9F) {
            ++halfWidthKatakana;
            if (scalar == 0xFF9E || scalar == 0xFF9F) {
                ++voicedMarks;
                marksFollowTheirKana = marksFollowTheirKana && takesVoicedMark(previous, scalar);
            }
        } else if (scalar == 0xFFFD || isDeleteOrC1Control(scalar) ||
                   (scalar < 0x20 && scalar != 0x09 && scalar != 0x0A && scalar != 0x0D)) {
            ++implausible;
        } else if (scalar >= 0x3040 && scalar <= 0x30FF) {
            ++kana;
        }
        previous = scalar;
    });
    // Chinese bytes read as Shift JIS come out as half-width katakana with no other kana and
    // with voiced marks after any character, so those count against it. Japanese text that
    // uses them has full-width kana beside them (hiragana at least), or spells its voiced
    // sounds right, and is not penalised for them.
    const bool japaneseHalfWidth = shiftJIS && ((kana > 0 && kana * 16 >= halfWidthKatakana) ||
                                                (voicedMarks > 0 && marksFollowTheirKana));
    if (!japaneseHalfWidth)
        implausible += halfWidthKatakana;
    return implausible * implausibleScalarPenalty + kana * (shiftJIS ? -1 : 5);
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
    const QByteArrayView sample = sampleFromFirstNonAscii(bytes, detectorSampleByteCount);
    const bool cutEnd = sample.size() < bytes.size() - firstNonAsciiByte(bytes);
    const auto index = detectCharsetAmong(sampleForCharsetDetector(sample, cutEnd), names);
    if (!index)
        return std::nullopt;
    return owners[*index];
}

} // namespace dunmoss
