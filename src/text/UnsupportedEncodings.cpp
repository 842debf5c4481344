#include "text/UnsupportedEncodings.h"

#include "platform/CharsetDetector.h"
#include "platform/IcuConverter.h"

#include <cstring>

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

// EUC-TW's reading judged as Traditional Chinese: the detector has no model of EUC-TW, but it
// knows Big5, which holds the same characters.
int eucTwConfidence(const QString& text) {
    const std::optional<QByteArray> asBig5 = strictEncode(IcuCharset::Big5, text);
    return asBig5 ? confidenceOf(detectCharsets(*asBig5), QStringLiteral("Big5")) : 0;
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
    const QByteArrayView sample =
        bytes.first(qMin(bytes.size(), unsupportedEncodingSampleByteCount));
    if (!sample.contains(QByteArrayView("\x1B$")))
        return false;
    for (const char byte : sample) {
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    }
    return detectCharsetAmong(sample, {QStringLiteral("ISO-2022-JP"), QStringLiteral("ISO-2022-KR"),
                                       QStringLiteral("ISO-2022-CN")})
        .has_value();
}

bool isOtherLegacyCjk(QByteArrayView bytes, TextFileEncoding guessed) {
    const QByteArrayView sample =
        bytes.first(qMin(bytes.size(), unsupportedEncodingSampleByteCount));
    // Most Big5 and Shift JIS text is none of these, and needs no detector.
    const bool eucJp = decodeAllowingCutEnd("EUC-JP", sample).has_value();
    // Korean files are as often in UHC, which extends EUC-KR.
    const bool korean = decodeAllowingCutEnd("windows-949", sample).has_value();
    const std::optional<QString> eucTw = decodeAllowingCutEnd("EUC-TW", sample);
    if (!eucJp && !korean && !eucTw)
        return false;
    const QList<CharsetMatch> matches = detectCharsets(sample);
    const int guessedConfidence = confidenceOf(matches, detectorName(guessed));
    if (!matches.isEmpty()) {
        const CharsetMatch& best = matches.first();
        const bool named = (eucJp && best.name == QStringLiteral("EUC-JP")) ||
                           (korean && best.name == QStringLiteral("EUC-KR"));
        if (named && best.confidence > guessedConfidence)
            return true;
    }
    return eucTw && eucTwConfidence(*eucTw) > guessedConfidence;
}

} // namespace dunmoss
