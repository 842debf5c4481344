#include "text/EncodingDetection.h"

#include "platform/CharsetDetector.h"
#include "platform/FileError.h"
#include "text/TextEncodingCharset.h"

#include <climits>
#include <cstring>

namespace dunmoss {

namespace {

bool startsWith(QByteArrayView bytes, const char* mark, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), mark, size_t(length)) == 0;
}

bool hasUtf8Mark(QByteArrayView bytes) { return startsWith(bytes, "\xEF\xBB\xBF", 3); }
bool hasLittleEndianMark(QByteArrayView bytes) { return startsWith(bytes, "\xFF\xFE", 2); }
bool hasBigEndianMark(QByteArrayView bytes) { return startsWith(bytes, "\xFE\xFF", 2); }

std::optional<QString> decodeStrictly(QByteArrayView bytes, TextFileEncoding encoding) {
    switch (encoding) {
    case TextFileEncoding::Utf8:
    case TextFileEncoding::Utf8WithBOM:
        return strictDecode(IcuCharset::Utf8, hasUtf8Mark(bytes) ? bytes.sliced(3) : bytes);
    case TextFileEncoding::Utf16LittleEndian:
        return strictDecode(IcuCharset::Utf16LittleEndian,
                            hasLittleEndianMark(bytes) ? bytes.sliced(2) : bytes);
    case TextFileEncoding::Utf16BigEndian:
        return strictDecode(IcuCharset::Utf16BigEndian,
                            hasBigEndianMark(bytes) ? bytes.sliced(2) : bytes);
    case TextFileEncoding::Utf16:
        // A mark decides the byte order and is not part of the text.
        if (hasLittleEndianMark(bytes))
            return strictDecode(IcuCharset::Utf16LittleEndian, bytes.sliced(2));
        if (hasBigEndianMark(bytes))
            return strictDecode(IcuCharset::Utf16BigEndian, bytes.sliced(2));
        return strictDecode(IcuCharset::Utf16BigEndian, bytes);
    default:
        return strictDecode(textCharset(encoding), bytes);
    }
}

// Calls `visit` with each of the first `limit` scalars; an unpaired surrogate counts as itself.
template <typename Visit> void forEachScalar(QStringView text, qsizetype limit, Visit visit) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    qsizetype seen = 0;
    for (qsizetype i = 0; i < size && seen < limit; ++seen) {
        char32_t scalar = s[i++];
        if ((scalar & 0xFC00) == 0xD800 && i < size && (s[i] & 0xFC00) == 0xDC00)
            scalar = 0x10000 + ((scalar - 0xD800) << 10) + (char32_t(s[i++]) - 0xDC00);
        visit(scalar);
    }
}

bool isC1OrDelete(char32_t scalar) { return scalar >= 0x7F && scalar <= 0x9F; }

struct LegacyDecoding {
    TextFileEncoding encoding;
    QString text;
};

// The guess, keeping the winner's decoded text so it is not decoded twice.
std::optional<LegacyDecoding> guessLegacyDecoding(QByteArrayView bytes) {
    int best = INT_MAX;
    QList<LegacyDecoding> tied;
    for (TextFileEncoding candidate : legacyCandidateEncodings()) {
        std::optional<QString> text = strictDecode(textCharset(candidate), bytes);
        if (!text)
            continue;
        const int penalty = legacyDecodingPenalty(*text, candidate);
        if (penalty < best) {
            best = penalty;
            tied.clear();
        }
        if (penalty == best)
            tied.append({candidate, std::move(*text)});
    }
    if (tied.isEmpty())
        return std::nullopt;
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

// The names the charset detector reports for a candidate. Shift JIS has two, as the
// Windows code page is the common form of it.
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

} // namespace

QString decodeWithEncoding(QByteArrayView bytes, TextFileEncoding encoding) {
    std::optional<QString> text = decodeStrictly(bytes, encoding);
    if (!text)
        throw FileError(FileErrorCode::FileReadInapplicableStringEncoding);
    return std::move(*text);
}

std::optional<DecodedTextData> decodeTextData(QByteArrayView bytes, DetectionStep lastStep) {
    const auto tried = [lastStep](DetectionStep step) { return step <= lastStep; };
    const auto result = [](QString text, TextFileEncoding encoding, DetectionStep step) {
        return DecodedTextData{std::move(text), encoding, step == DetectionStep::Latin1Fallback,
                               step};
    };
    if (tried(DetectionStep::Utf8ByteOrderMark) && hasUtf8Mark(bytes)) {
        if (auto text = strictDecode(IcuCharset::Utf8, bytes.sliced(3)))
            return result(std::move(*text), TextFileEncoding::Utf8WithBOM,
                          DetectionStep::Utf8ByteOrderMark);
    }
    if (tried(DetectionStep::Utf16LittleEndianMark) && hasLittleEndianMark(bytes)) {
        if (auto text = strictDecode(IcuCharset::Utf16LittleEndian, bytes.sliced(2)))
            return result(std::move(*text), TextFileEncoding::Utf16LittleEndian,
                          DetectionStep::Utf16LittleEndianMark);
    }
    if (tried(DetectionStep::Utf16BigEndianMark) && hasBigEndianMark(bytes)) {
        if (auto text = strictDecode(IcuCharset::Utf16BigEndian, bytes.sliced(2)))
            return result(std::move(*text), TextFileEncoding::Utf16BigEndian,
                          DetectionStep::Utf16BigEndianMark);
    }
    if (tried(DetectionStep::SniffedUtf16)) {
        if (const auto order = sniffBOMlessUTF16(bytes)) {
            auto text = decodeStrictly(bytes, *order);
            if (text && looksLikeText(*text))
                return result(std::move(*text), *order, DetectionStep::SniffedUtf16);
        }
    }
    if (tried(DetectionStep::Utf8)) {
        if (auto text = strictDecode(IcuCharset::Utf8, bytes))
            return result(std::move(*text), TextFileEncoding::Utf8, DetectionStep::Utf8);
    }
    if (tried(DetectionStep::LegacyGuess)) {
        if (auto legacy = guessLegacyDecoding(bytes))
            return result(std::move(legacy->text), legacy->encoding, DetectionStep::LegacyGuess);
    }
    if (tried(DetectionStep::GenericUtf16)) {
        if (auto text = decodeStrictly(bytes, TextFileEncoding::Utf16))
            return result(std::move(*text), TextFileEncoding::Utf16, DetectionStep::GenericUtf16);
    }
    if (tried(DetectionStep::Latin1Fallback)) {
        if (auto text = strictDecode(IcuCharset::IsoLatin1, bytes))
            return result(std::move(*text), TextFileEncoding::IsoLatin1,
                          DetectionStep::Latin1Fallback);
    }
    return std::nullopt;
}

std::optional<TextFileEncoding> sniffBOMlessUTF16(QByteArrayView bytes) {
    const qsizetype sample = qMin(bytes.size(), utf16SniffSampleByteCount);
    if (sample < utf16SniffMinimumByteCount)
        return std::nullopt;
    qsizetype evenZeros = 0;
    qsizetype oddZeros = 0;
    const char* data = bytes.data();
    for (qsizetype i = 0; i + 1 < sample; i += 2) {
        evenZeros += data[i] == 0;
        oddZeros += data[i + 1] == 0;
    }
    if (sample % 2 != 0)
        evenZeros += data[sample - 1] == 0;
    const qsizetype half = sample / 2;
    if (evenZeros == 0 && 4 * oddZeros >= half)
        return TextFileEncoding::Utf16LittleEndian;
    if (oddZeros == 0 && 4 * evenZeros >= half)
        return TextFileEncoding::Utf16BigEndian;
    return std::nullopt;
}

bool looksLikeText(QStringView text) {
    bool plausible = true;
    forEachScalar(text, plausibilityScalarCount, [&plausible](char32_t scalar) {
        if (scalar == 0xFFFD || isC1OrDelete(scalar) ||
            (scalar < 0x20 && scalar != 0x09 && scalar != 0x0A && scalar != 0x0C &&
             scalar != 0x0D))
            plausible = false;
    });
    return plausible;
}

const QList<TextFileEncoding>& legacyCandidateEncodings() {
    static const QList<TextFileEncoding> candidates = {
        TextFileEncoding::Gb18030, TextFileEncoding::Big5, TextFileEncoding::ShiftJIS};
    return candidates;
}

std::optional<TextFileEncoding> guessLegacyEncoding(QByteArrayView bytes) {
    if (auto decoding = guessLegacyDecoding(bytes))
        return decoding->encoding;
    return std::nullopt;
}

int legacyDecodingPenalty(QStringView text, TextFileEncoding candidate) {
    const int kanaPenalty = candidate == TextFileEncoding::ShiftJIS ? -1 : 5;
    int penalty = 0;
    forEachScalar(text, legacyPenaltyScalarCount, [&](char32_t scalar) {
        if (scalar == 0xFFFD || (scalar >= 0xFF61 && scalar <= 0xFF9F) || isC1OrDelete(scalar) ||
            (scalar < 0x20 && scalar != 0x09 && scalar != 0x0A && scalar != 0x0D))
            penalty += implausibleScalarPenalty;
        else if (scalar >= 0x3040 && scalar <= 0x30FF)
            penalty += kanaPenalty;
    });
    return penalty;
}

std::optional<TextFileEncoding> pickLegacyEncodingByFoundation(
    QByteArrayView bytes, const QList<TextFileEncoding>& tiedCandidates) {
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
    // The first tied candidate, in their order, that the answer belongs to.
    for (TextFileEncoding candidate : tiedCandidates) {
        if (candidate == owners[*index])
            return candidate;
    }
    return std::nullopt;
}

} // namespace dunmoss
