#pragma once

#include "text/TextEncoding.h"

#include <QByteArrayView>

namespace dunmoss {

// Encodings outside the nine whose bytes detection would otherwise read as one of them: UTF-32
// as UTF-16, ISO-2022 as UTF-8, EUC-JP, Korean EUC-KR and UHC, and EUC-TW as a legacy CJK
// encoding. Each test answers true only where the bytes are recognisably that encoding, so that
// such a file opens through the Latin-1 fallback with its warning instead of as another
// encoding's text. They look at bounded samples that start at the first clue, so that the same
// text is recognised behind an ASCII head of any length.

// A UTF-32 mark (FF FE 00 00 or 00 00 FE FF) followed by UTF-32 in that byte order.
bool isMarkedUtf32(QByteArrayView bytes);

// Seven-bit bytes holding escape sequences that switch to a double-byte set (ESC $ ...) that
// the charset detector takes for ISO-2022-JP, -KR or -CN, judged from the first such sequence
// on. Terminal colour codes are not such sequences.
bool isIso2022(QByteArrayView bytes);

// Bytes that the legacy guess reads as `guessed` but that the charset detector takes for EUC-JP or
// EUC-KR (Korean UHC too) with more confidence, and that decode in that encoding (the detector
// is shown the non-ASCII characters without the ASCII between them, and a few of them, down to
// three, repeated); or that
// decode as EUC-TW into text the detector finds more convincing as Big5 than it finds the bytes
// as `guessed`, or whose EUC-TW reading keeps to common ideographs where the GB 18030 or Big5
// reading has many rare ones (short text, which the detector cannot judge). Judged from the
// first non-ASCII byte on.
bool isOtherLegacyCjk(QByteArrayView bytes, TextFileEncoding guessed);

} // namespace dunmoss
