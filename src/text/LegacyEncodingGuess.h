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

// Strict decoding; for bytes that may be cut, tried again without one to three trailing bytes.
std::optional<QString> decodeCharset(QByteArrayView bytes, IcuCharset charset, ByteTail tail);

} // namespace dunmoss
