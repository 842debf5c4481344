#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// Hand-written strict conversions for the Unicode encodings and Latin-1. They accept and
// reject exactly what ICU's converters with stop callbacks do, only faster: whole files pass
// through here when they are opened and when folders are searched.

// UTF-8 without overlong forms, encoded surrogates, code points above U+10FFFF or cut-off
// sequences. A leading byte-order mark is kept as U+FEFF (callers strip it when they mean to).
std::optional<QString> decodeUtf8Strict(QByteArrayView bytes);
// Fails on an unpaired surrogate.
std::optional<QByteArray> encodeUtf8Strict(QStringView text);

// UTF-16 in one byte order; fails on an odd byte count or an unpaired surrogate.
std::optional<QString> decodeUtf16Strict(QByteArrayView bytes, bool bigEndian);
std::optional<QByteArray> encodeUtf16Strict(QStringView text, bool bigEndian);

// Every byte is a Latin-1 character, so decoding never fails.
QString decodeLatin1(QByteArrayView bytes);
// Fails on any character above U+00FF.
std::optional<QByteArray> encodeLatin1Strict(QStringView text);

// Gives back the room a decoder reserved for the worst case when much of it went unused (CJK
// text needs far fewer units than bytes). Documents live long, so the memory is worth the cheap
// shrinking reallocation.
void releaseUnusedCapacity(QString& text);

// True when every high surrogate is followed by a low one and no low surrogate stands alone.
bool hasOnlyPairedSurrogates(QStringView text);

} // namespace dunmoss
