#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// UTF-8 of a text; an unpaired surrogate becomes U+FFFD. (Strict UTF-8 decoding is
// decodeUtf8Strict in platform/UnicodeFastCodecs.h.)
QByteArray utf8Bytes(QStringView text);

// Standard Base64 (RFC 4648 alphabet, "=" padding), one line.
QString base64Encode(QByteArrayView bytes);
// Strict: only the alphabet, a length that is a multiple of four, "=" only as the padding of
// the last group. No whitespace is skipped.
std::optional<QByteArray> base64DecodeStrict(QStringView text);

// Percent-encodes everything outside the URL-query set (letters, digits and
// !$&'()*+,-./:;=?_~@) as upper-case "%XX" of its UTF-8 bytes; nothing for a text holding an
// unpaired surrogate.
std::optional<QString> percentEncodeUrlQuery(QStringView text);
// "%XX" becomes the byte, the result must be valid UTF-8; nothing for a "%" without two
// hexadecimal digits or invalid UTF-8. "+" stays "+".
std::optional<QString> percentDecodeStrict(QStringView text);

} // namespace dunmoss
