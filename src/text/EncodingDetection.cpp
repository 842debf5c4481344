#include "text/EncodingDetection.h"

#include "platform/FileError.h"
#include "platform/Utf8Decoding.h"
#include "text/LegacyEncodingGuess.h"
#include "text/ScalarScan.h"
#include "text/TextEncodingCharset.h"
#include "text/UnsupportedEncodings.h"

#include <cstring>

namespace dunmoss {

namespace {

bool startsWith(QByteArrayView bytes, const char* mark, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.data(), mark, size_t(length)) == 0;
}

bool hasUtf8Mark(QByteArrayView bytes) {
    return startsWith(bytes, "\xEF\xBB\xBF", 3);
}
bool hasLittleEndianMark(QByteArrayView bytes) {
    return startsWith(bytes, "\xFF\xFE", 2);
}
bool hasBigEndianMark(QByteArrayView bytes) {
    return startsWith(bytes, "\xFE\xFF", 2);
}

// The conversion that reads the bytes with a chosen encoding: generic UTF-16 follows its mark.
IcuCharset charsetFor(QByteArrayView bytes, TextFileEncoding encoding) {
    if (encoding == TextFileEncoding::Utf16 && hasLittleEndianMark(bytes))
        return IcuCharset::Utf16LittleEndian;
    return textCharset(encoding);
}

std::optional<QString> decodeComplete(QByteArrayView bytes, TextFileEncoding encoding) {
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

template <typename Decode>
auto decodeTail(QByteArrayView bytes, ByteTail tail, IcuCharset charset, Decode decode)
    -> decltype(decode(bytes)) {
    auto text = decode(bytes);
    if (text || tail == ByteTail::Complete)
        return text;
    // Only a character cut off at the very end is dropped: any other error, even in the last
    // bytes, means the bytes are not in this encoding.
    for (qsizetype drop = 1; drop <= 3 && drop <= bytes.size(); ++drop) {
        if (isCutOffCharacter(charset, bytes.last(drop)) && (text = decode(bytes.chopped(drop))))
            return text;
    }
    return {};
}

// UTF-8 read for detection, with its line breaks joined when the caller allows it.
struct Utf8Reading {
    QString text;
    QByteArrayView source; // the bytes that decoded (a cut character dropped)
    std::optional<LineBreakCounts> joinedBreaks;
};

std::optional<Utf8Reading> readUtf8(QByteArrayView bytes, ByteTail tail, LineBreaks breaks) {
    return decodeTail(bytes, tail, IcuCharset::Utf8,
                      [breaks](QByteArrayView part) -> std::optional<Utf8Reading> {
                          if (breaks == LineBreaks::AsInBytes) {
                              if (auto text = decodeUtf8Units(part))
                                  return Utf8Reading{std::move(*text), part, std::nullopt};
                          } else if (auto joined = decodeUtf8JoiningLineBreaks(part)) {
                              return Utf8Reading{std::move(joined->text), part, joined->breaks};
                          }
                          return std::nullopt;
                      });
}

// looksLikeText of the text as the bytes hold it. Joining CR LF pairs shortens the text, so
// its first scalars would reach further: they are read from the bytes again.
bool utf8LooksLikeText(const Utf8Reading& reading) {
    if (!reading.joinedBreaks || reading.joinedBreaks->pairs == 0)
        return looksLikeText(reading.text);
    // At most four bytes a scalar; the cut goes back to the start of a character.
    qsizetype cut = qMin(reading.source.size(), plausibilityScalarCount * 4 + 4);
    while (cut < reading.source.size() && (uchar(reading.source[cut]) & 0xC0) == 0x80)
        --cut;
    const std::optional<QString> head = decodeUtf8Units(reading.source.first(cut));
    return head && looksLikeText(*head);
}

DecodedTextData utf8Result(Utf8Reading reading, TextFileEncoding encoding, DetectionStep step) {
    DecodedTextData decoded{std::move(reading.text), encoding, false, step, std::nullopt};
    if (reading.joinedBreaks)
        decoded.joinedLineEnding = lineEndingFromCounts(*reading.joinedBreaks);
    return decoded;
}

std::optional<QString> decodeStrictly(QByteArrayView bytes, TextFileEncoding encoding,
                                      ByteTail tail) {
    return decodeTail(bytes, tail, charsetFor(bytes, encoding),
                      [encoding](QByteArrayView part) { return decodeComplete(part, encoding); });
}

} // namespace

std::optional<QString> decodeCharset(QByteArrayView bytes, IcuCharset charset, ByteTail tail) {
    return decodeTail(bytes, tail, charset,
                      [charset](QByteArrayView part) { return strictDecode(charset, part); });
}

QString decodeWithEncoding(QByteArrayView bytes, TextFileEncoding encoding, ByteTail tail) {
    std::optional<QString> text = decodeStrictly(bytes, encoding, tail);
    if (!text)
        throw FileError(FileErrorCode::FileReadInapplicableStringEncoding);
    return std::move(*text);
}

std::optional<DecodedTextData> decodeTextData(QByteArrayView bytes, ByteTail tail,
                                              LineBreaks breaks) {
    const auto result = [](QString text, TextFileEncoding encoding, DetectionStep step) {
        return DecodedTextData{std::move(text), encoding, step == DetectionStep::Latin1Fallback,
                               step, std::nullopt};
    };
    const auto latin1Fallback = [&]() -> std::optional<DecodedTextData> {
        if (auto text = strictDecode(IcuCharset::IsoLatin1, bytes))
            return result(std::move(*text), TextFileEncoding::IsoLatin1,
                          DetectionStep::Latin1Fallback);
        return std::nullopt;
    };
    // Never read as one of the nine what is recognisably another encoding.
    if (isMarkedUtf32(bytes))
        return latin1Fallback();
    if (hasUtf8Mark(bytes)) {
        if (auto reading = readUtf8(bytes.sliced(3), tail, breaks))
            return utf8Result(std::move(*reading), TextFileEncoding::Utf8WithBOM,
                              DetectionStep::Utf8ByteOrderMark);
    }
    if (hasLittleEndianMark(bytes)) {
        if (auto text = decodeCharset(bytes.sliced(2), IcuCharset::Utf16LittleEndian, tail))
            return result(std::move(*text), TextFileEncoding::Utf16LittleEndian,
                          DetectionStep::Utf16LittleEndianMark);
    }
    if (hasBigEndianMark(bytes)) {
        if (auto text = decodeCharset(bytes.sliced(2), IcuCharset::Utf16BigEndian, tail))
            return result(std::move(*text), TextFileEncoding::Utf16BigEndian,
                          DetectionStep::Utf16BigEndianMark);
    }
    if (const auto order = sniffBOMlessUTF16(bytes)) {
        auto text = decodeStrictly(bytes, *order, tail);
        if (text && looksLikeText(*text))
            return result(std::move(*text), *order, DetectionStep::SniffedUtf16);
    }
    // UTF-16 in the byte order its line breaks and spaces show, when its text is plausible.
    // Read once, when first needed: such bytes hold zero bytes, so their UTF-8 or legacy
    // reading is never plausible and loses to this one.
    std::optional<std::optional<QString>> evident;
    std::optional<TextFileEncoding> evidentOrder;
    const auto evidentUtf16 = [&]() -> std::optional<QString>& {
        if (!evident) {
            evident.emplace();
            evidentOrder = utf16ByteOrderFromEvidence(bytes);
            if (evidentOrder) {
                auto text = decodeStrictly(bytes, *evidentOrder, tail);
                if (text && looksLikeText(*text))
                    *evident = std::move(text);
            }
        }
        return *evident;
    };
    const auto evidentResult = [&] {
        return result(std::move(*evidentUtf16()), *evidentOrder, DetectionStep::GenericUtf16);
    };
    if (auto reading = readUtf8(bytes, tail, breaks)) {
        if (isIso2022(bytes))
            return latin1Fallback();
        // Implausible UTF-8 (terminal colour codes, say) still wins over nothing better.
        if (!utf8LooksLikeText(*reading) && evidentUtf16())
            return evidentResult();
        return utf8Result(std::move(*reading), TextFileEncoding::Utf8, DetectionStep::Utf8);
    }
    if (auto legacy = guessLegacyDecoding(bytes, tail)) {
        if (!looksLikeText(legacy->text) && evidentUtf16())
            return evidentResult();
        if (legacyDecodingIsPlausible(bytes, legacy->text) &&
            !isOtherLegacyCjk(bytes, legacy->encoding))
            return result(std::move(legacy->text), legacy->encoding, DetectionStep::LegacyGuess);
    }
    if (evidentUtf16())
        return evidentResult();
    return latin1Fallback();
}

bool detectsAsPlainUtf8(QByteArrayView bytes) {
    // Without a zero byte in their sample neither UTF-16 check takes the bytes, and nothing
    // else comes before the UTF-8 step.
    const qsizetype sample = qMin(bytes.size(), utf16SniffSampleByteCount);
    return !isMarkedUtf32(bytes) && !hasUtf8Mark(bytes) && !hasLittleEndianMark(bytes) &&
           !hasBigEndianMark(bytes) &&
           (sample == 0 || !std::memchr(bytes.data(), 0, size_t(sample))) && isStrictUtf8(bytes) &&
           !isIso2022(bytes);
}

std::optional<TextFileEncoding> utf16ByteOrderFromEvidence(QByteArrayView bytes) {
    const qsizetype sample = qMin(bytes.size(), utf16SniffSampleByteCount) & ~qsizetype(1);
    const char* data = bytes.data();
    // Text in an 8-bit encoding has no zero byte, and most files are such text.
    if (sample == 0 || !std::memchr(data, 0, size_t(sample)))
        return std::nullopt;
    const auto isSpace = [](char byte) {
        return byte == ' ' || byte == '\n' || byte == '\r' || byte == '\t';
    };
    qsizetype little = 0;
    qsizetype big = 0;
    for (qsizetype i = 0; i < sample; i += 2) {
        little += data[i + 1] == 0 && isSpace(data[i]);
        big += data[i] == 0 && isSpace(data[i + 1]);
    }
    const qsizetype found = qMax(little, big);
    // Text of any script breaks its lines; a few stray zero bytes are no such evidence.
    if (found == 0 || found < 4 * qMin(little, big) ||
        found * utf16UnitsPerSpaceEvidence < sample / 2)
        return std::nullopt;
    return little > big ? TextFileEncoding::Utf16LittleEndian : TextFileEncoding::Utf16BigEndian;
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
        if (scalar == 0xFFFD || isDeleteOrC1Control(scalar) ||
            (scalar < 0x20 && scalar != 0x09 && scalar != 0x0A && scalar != 0x0C && scalar != 0x0D))
            plausible = false;
    });
    return plausible;
}

} // namespace dunmoss
