#pragma once

#include "platform/IcuConverter.h"
#include "text/EncodingDetection.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace dunmoss {

struct LegacyDecoding {
    TextFileEncoding encoding = TextFileEncoding::Gb18030;
    QString text;
};

// The legacy guess, keeping the winner's text so that it is decoded only once.
std::optional<LegacyDecoding> guessLegacyDecoding(QByteArrayView bytes, ByteTail tail);

// False when a legacy decoding is more likely a misreading: of UTF-8 with a few damaged bytes
// (most of its non-ASCII bytes form well-made UTF-8 sequences), of Latin-1 text (most runs of
// non-ASCII characters are single characters inside Latin words: accented letters that took
// the byte after them into one character). Looks at bounded prefixes only.
bool legacyDecodingIsPlausible(QByteArrayView bytes, QStringView text);

// Strict decoding; for bytes that may be cut, tried again without one to three trailing bytes.
std::optional<QString> decodeCharset(QByteArrayView bytes, IcuCharset charset, ByteTail tail);

} // namespace dunmoss
