#include "text/UnsupportedEncodings.h"

#include "platform/CharsetDetector.h"
#include "platform/IcuConverter.h"
#include "text/DetectionSample.h"
#include "text/IdeographLevels.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dunmoss {

namespace {

// The bytes decoded with the converter, but for one character cut off at their end (a sample,
// or a preview, may end inside one; no character of these encodings is longer than four bytes).
std::optional<QString> decodeAllowingCutEnd(const char* converterName, QByteArrayView bytes) {
    for (qsizetype drop = 0; drop <= 3 && drop < bytes.size(); ++drop) {
        if (std::optional<QString> text = strictDecodeNamed(converterName, bytes.chopped(drop)))
            return text;
    }
    return std::nullopt;
}

int confidenceOf(const QList<CharsetMatch>& matches, const QString& name) {
    for (const CharsetMatch& match : matches) {
        if (match.name == name)
            return match.confidence;
    }
    return 0;
}

QString detectorName(TextFileEncoding guessed) {
    switch (guessed) {
    case TextFileEncoding::Gb18030:
        return QStringLiteral("GB18030");
    case TextFileEncoding::Big5:
        return QStringLiteral("Big5");
    case TextFileEncoding::ShiftJIS:
        return QStringLiteral("Shift_JIS");
    default:
        return {};
    }
}

// Bytes read as `guessed` whose EUC-TW reading is more likely: the two-byte codes of EUC-TW are
// the common ideographs of its first plane, which GB 18030 and Big5 read as their rarer ones
// about half the time, while real text in them has but a few rare ones. A fifth of rare
// ideographs is far from either.
bool keepsToCommonIdeographsAsEucTw(QByteArrayView bytes, TextFileEncoding guessed) {
    if (guessed != TextFileEncoding::Gb18030 && guessed != TextFileEncoding::Big5)
        return false;
    const IdeographLevels asGuessed = ideographLevels(
        bytes, guessed == TextFileEncoding::Big5 ? IdeographTable::Big5 : IdeographTable::Gb18030);
    const IdeographLevels asEucTw = ideographLevels(bytes, IdeographTable::EucTw);
    const qsizetype guessedCount = asGuessed.common + asGuessed.rare;
    const qsizetype eucTwCount = asEucTw.common + asEucTw.rare;
    return asGuessed.rare > 0 && asGuessed.rare * 5 >= guessedCount &&
           asEucTw.rare * guessedCount < asGuessed.rare * eucTwCount;
}

// EUC-TW's reading judged as Traditional Chinese: the detector has no model of EUC-TW, but it
// knows Big5, which holds the same characters.
int eucTwConfidence(const QString& text) {
    const std::optional<QByteArray> asBig5 = strictEncode(IcuCharset::Big5, text);
    return asBig5 ? confidenceOf(detectCharsets(sampleForCharsetDetector(*asBig5, false)),
                                 QStringLiteral("Big5"))
                  : 0;
}

// Where the first escape sequence that switches to a double-byte set (ESC $) starts, in bytes
// that are all seven-bit; -1 when there is none or a byte is not seven-bit. One pass, 64 bytes
// at a time: every UTF-8 file comes through here.
qsizetype sevenBitDesignation(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype designation = -1;
    const auto designates = [&](qsizetype at) { return at + 1 < size && data[at + 1] == '$'; };
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i escape = _mm_set1_epi8(0x1B);
    const auto load = [data](qsizetype at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    };
    for (; i + 64 <= size; i += 64) {
        const __m128i a = load(i), b = load(i + 16), c = load(i + 32), d = load(i + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0)
            return -1;
        if (designation >= 0)
            continue;
        const __m128i escapes =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, escape), _mm_cmpeq_epi8(b, escape)),
                         _mm_or_si128(_mm_cmpeq_epi8(c, escape), _mm_cmpeq_epi8(d, escape)));
        if (_mm_movemask_epi8(escapes) == 0)
            continue;
        for (qsizetype at = i; at < i + 64 && designation < 0; ++at) {
            if (data[at] == 0x1B && designates(at))
                designation = at;
        }
    }
#endif
    for (; i < size; ++i) {
        if (data[i] >= 0x80)
            return -1;
        if (designation < 0 && data[i] == 0x1B && designates(i))
            designation = i;
    }
    return designation;
}

} // namespace

bool isMarkedUtf32(QByteArrayView bytes) {
    if (bytes.size() < 4)
        return false;
    if (std::memcmp(bytes.data(), "\xFF\xFE\0\0", 4) == 0)
        return decodeAllowingCutEnd("UTF-32LE", bytes.sliced(4)).has_value();
    if (std::memcmp(bytes.data(), "\0\0\xFE\xFF", 4) == 0)
        return decodeAllowingCutEnd("UTF-32BE", bytes.sliced(4)).has_value();
    return false;
}

bool isIso2022(QByteArrayView bytes) {
    const qsizetype designation = sevenBitDesignation(bytes);
    if (designation < 0)
        return false;
    const QByteArrayView rest = bytes.sliced(designation);
    const QByteArrayView sample = rest.first(qMin(rest.size(), detectorSampleByteCount));
    return detectCharsetAmong(sample, {QStringLiteral("ISO-2022-JP"), QStringLiteral("ISO-2022-KR"),
                                       QStringLiteral("ISO-2022-CN")})
        .has_value();
}

bool isOtherLegacyCjk(QByteArrayView bytes, TextFileEncoding guessed) {
    const QByteArrayView sample = sampleFromFirstNonAscii(bytes, detectorSampleByteCount);
    // Most Big5 and Shift JIS text is none of these, and needs no detector.
    const bool eucJp = decodeAllowingCutEnd("EUC-JP", sample).has_value();
    // Korean files are as often in UHC, which extends EUC-KR.
    const bool korean = decodeAllowingCutEnd("windows-949", sample).has_value();
    const std::optional<QString> eucTw = decodeAllowingCutEnd("EUC-TW", sample);
    if (!eucJp && !korean && !eucTw)
        return false;
    const bool cutEnd = sample.size() < bytes.size() - firstNonAsciiByte(bytes);
    const QList<CharsetMatch> matches = detectCharsets(sampleForCharsetDetector(sample, cutEnd));
    const int guessedConfidence = confidenceOf(matches, detectorName(guessed));
    const int eucConfidence =
        std::max(eucJp ? confidenceOf(matches, QStringLiteral("EUC-JP")) : 0,
                 korean ? confidenceOf(matches, QStringLiteral("EUC-KR")) : 0);
    if (eucConfidence > guessedConfidence)
        return true;
    return eucTw && (keepsToCommonIdeographsAsEucTw(sample, guessed) ||
                     eucTwConfidence(*eucTw) > guessedConfidence);
}

} // namespace dunmoss
