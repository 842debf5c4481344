#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

namespace dunmoss {

// Every encoding detection weighs reads ASCII alike, so only the bytes from the first other one
// on can tell them apart: a sample taken from the top of a file with a long ASCII head (a
// licence, an HTML head, a log) would hold no clue at all, and the file would read differently
// with another head.

// The bytes the charset detector is shown: some thousands of characters, and a bound on its
// cost, which grows with its input (its multi-byte models read all they are given).
inline constexpr qsizetype detectorSampleByteCount = 8192;

// The charset detector judges multi-byte text by the share of its characters that are among each
// language's most frequent ones, but only once it holds more than ten of them: below that it
// gives every multi-byte charset the same low confidence, so that it could neither settle a tie
// of the legacy guess nor tell a short EUC-KR or EUC-JP text from what the guess read into it.
// So the detector is shown the non-ASCII
// characters without the ASCII between them, which it does not weigh (the first two bytes of
// each ASCII run stay: in Big5, Shift JIS and GB 18030 the byte after a lead byte may be an ASCII
// letter or digit that belongs to the character), and a short sample of them repeated, which
// keeps those shares. Fewer than three characters are evidence of nothing either way and are not
// repeated. `cutEnd` drops the character a sample taken from longer bytes may end inside: it
// would be a broken character in every repetition.
QByteArray sampleForCharsetDetector(QByteArrayView sample, bool cutEnd);

// Index of the first byte at or above 0x80; the size when there is none.
qsizetype firstNonAsciiByte(QByteArrayView bytes);

// Up to `length` bytes from the first non-ASCII byte on; empty when all are ASCII.
QByteArrayView sampleFromFirstNonAscii(QByteArrayView bytes, qsizetype length);

// Index of the first UTF-16 unit at or above 0x80; the size when there is none.
qsizetype firstNonAsciiUnit(QStringView text);

} // namespace dunmoss
