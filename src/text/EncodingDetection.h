#pragma once

#include "platform/LineBreakCounts.h"
#include "text/TextEncoding.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

namespace dunmoss {

// The steps of encoding detection, tried in this order; the first that decodes wins.
enum class DetectionStep {
    Utf8ByteOrderMark = 1,
    Utf16LittleEndianMark,
    Utf16BigEndianMark,
    SniffedUtf16,
    Utf8,
    LegacyGuess,
    // Mark-less UTF-16 shown by its spaces and line breaks; answered in its byte order.
    GenericUtf16,
    Latin1Fallback,
};

// Text decoded by detection; line breaks are still those of the bytes unless joinedLineEnding
// is set.
struct DecodedTextData {
    QString text;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    // True only for the Latin-1 fallback.
    bool decodedViaFallback = false;
    DetectionStep step = DetectionStep::Utf8;
    // Set when the text came with every CR LF and lone CR already turned into LF: the line
    // ending the bytes had.
    std::optional<TextLineEnding> joinedLineEnding;
};

// Whether detection may hand back UTF-8 text with its line breaks already turned into LF
// (decoded and joined in one pass). Other encodings keep the breaks of the bytes either way.
enum class LineBreaks { AsInBytes, JoinedWhereCheap };

// Whether the bytes may end inside a character: a preview cut from a longer file may. A step
// that fails on such bytes because their last one to three bytes begin a character of its
// encoding that was cut off is tried again without them, so the cut character is dropped
// instead of spoiling the detection. Any other error still fails the step.
enum class ByteTail { Complete, MayBeCut };

inline constexpr qsizetype utf16SniffSampleByteCount = 65536;
inline constexpr qsizetype utf16SniffMinimumByteCount = 8;
inline constexpr qsizetype plausibilityScalarCount = 8000;
inline constexpr qsizetype legacyPenaltyScalarCount = 4000;
inline constexpr int implausibleScalarPenalty = 100;
// Mark-less UTF-16 without enough zero bytes for the sniff still needs one line break, tab or
// space unit per this many units of its first 64 KiB to be read as UTF-16.
inline constexpr qsizetype utf16UnitsPerSpaceEvidence = 1024;

// Strict decoding with one chosen encoding. The mark of utf8, utf8-bom, utf16-le and utf16-be is
// dropped when present; generic utf16 follows a leading mark (FF FE little-endian, FE FF
// big-endian, the mark not kept in the text) and reads big-endian without one.
// Throws FileError(FileReadInapplicableStringEncoding) when the bytes do not decode.
QString decodeWithEncoding(QByteArrayView bytes, TextFileEncoding encoding,
                           ByteTail tail = ByteTail::Complete);

// Detection and decoding: marks, mark-less UTF-16, strict UTF-8, the legacy CJK guess, UTF-16
// shown by its spaces and line breaks, and finally Latin-1, which accepts any bytes (so in
// practice there is always a result). A UTF-8 or legacy decoding that looksLikeText rejects
// yields to a plausible UTF-16 reading shown that way; a legacy decoding that reads like
// damaged UTF-8 or like Latin-1 text is not taken. UTF-16 found without a mark is answered in
// its byte order (utf16-le or utf16-be), never as generic utf16. Never throws. Thread-safe.
std::optional<DecodedTextData> decodeTextData(QByteArrayView bytes,
                                              ByteTail tail = ByteTail::Complete,
                                              LineBreaks breaks = LineBreaks::AsInBytes);

// True only when decodeTextData would read the bytes as UTF-8 without a mark, its text being
// exactly the units the bytes hold: strict UTF-8 with no mark, no zero byte among the bytes the
// UTF-16 checks look at, and no ISO-2022 escapes. Writes no text.
bool detectsAsPlainUtf8(QByteArrayView bytes);

// Mark-less UTF-16 recognised by its zero bytes in the first 64 KiB.
std::optional<TextFileEncoding> sniffBOMlessUTF16(QByteArrayView bytes);

// The byte order whose 16-bit units hold line breaks, tabs and spaces (one per
// utf16UnitsPerSpaceEvidence units at least, and four times as many as the other order has)
// in the first 64 KiB: UTF-16 text without the zero bytes the sniff needs, such as Chinese,
// or Cyrillic with a few spaces. Nothing when there are no such units.
std::optional<TextFileEncoding> utf16ByteOrderFromEvidence(QByteArrayView bytes);

// False when the first 8,000 scalars hold U+FFFD, C1 controls, DEL or C0 controls other than
// tab, LF, form feed and CR.
bool looksLikeText(QStringView text);

// gb18030, big5, shift-jis: the legacy encodings the guess chooses among, in order.
const QList<TextFileEncoding>& legacyCandidateEncodings();

// The legacy candidate that decodes the bytes with the lowest penalty; ties go to the charset
// detector and then to candidate order.
std::optional<TextFileEncoding> guessLegacyEncoding(QByteArrayView bytes);

// Penalty of a candidate's decoding over 4,000 scalars from its first non-ASCII one (lower is
// better; may be negative, since kana count in favour of Shift JIS).
int legacyDecodingPenalty(QStringView text, TextFileEncoding candidate);

// Asks the charset detector to choose among the tied candidates only, shown the bytes from the
// first non-ASCII one on; nothing when it names none of them.
std::optional<TextFileEncoding>
pickLegacyEncodingByFoundation(QByteArrayView bytes, const QList<TextFileEncoding>& tiedCandidates);

// The line ending that dominates the raw text: CR LF unless lone CR or lone LF outnumber the
// pairs, then CR when lone CR outnumber lone LF, else LF. One pass over the text.
TextLineEnding detectLineEnding(QStringView rawText);
// The same choice made from counts of the raw text's breaks.
TextLineEnding lineEndingFromCounts(const LineBreakCounts& counts);

// Every CR LF and then every remaining CR turned into LF. One pass; the text itself is returned
// (shared, not copied) when it holds no CR, and changed where it lies when nothing shares it.
QString normalizeLineEndings(QString rawText);
// Both of the above, in one pass over a text that holds no carriage return.
std::pair<TextLineEnding, QString> lineEndingAndNormalizedText(QString rawText);

} // namespace dunmoss
