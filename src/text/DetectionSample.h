#pragma once

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

// Index of the first byte at or above 0x80; the size when there is none.
qsizetype firstNonAsciiByte(QByteArrayView bytes);

// Up to `length` bytes from the first non-ASCII byte on; empty when all are ASCII.
QByteArrayView sampleFromFirstNonAscii(QByteArrayView bytes, qsizetype length);

// Index of the first UTF-16 unit at or above 0x80; the size when there is none.
qsizetype firstNonAsciiUnit(QStringView text);

} // namespace dunmoss
