#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>

namespace dunmoss {

// The byte encodings the strict conversion layer handles. Generic UTF-16 and byte-order marks
// are decided a level up (TextEncoding), so only fixed byte orders appear here.
enum class IcuCharset {
    Utf8,
    Utf16LittleEndian,
    Utf16BigEndian,
    Gb18030,
    Big5,
    ShiftJIS,
    IsoLatin1,
};

// The ICU converter name behind each charset.
//
// Shift JIS uses "ibm-943_P15A-2003", which is what ICU itself means by "Shift_JIS" and
// "windows-31j": JIS X 0208 plus the NEC and IBM extension rows and single-byte half-width
// katakana, with 5C and 7E as backslash and tilde. That is the form Japanese text files are
// written in in practice; the older IBM table (ibm-943_P130-1999) maps 5C to the yen sign and
// would turn every backslash of a source file into another character.
// Big5 uses "windows-950-2000" (ICU's "Big5") and GB 18030 ICU's "gb18030".
const char* icuConverterName(IcuCharset charset);

// Strict decoding: nothing when any byte sequence is invalid, unassigned or cut off at the end;
// never substitutes. Unpaired surrogates in UTF-16 input are invalid. Thread-safe.
// UTF-8, UTF-16 and Latin-1 take hand-written paths; the three CJK charsets take table-driven
// paths derived from ICU's own converters (falling back to ICU for rare sequences), so the
// result is always what ICU's strict conversion gives.
std::optional<QString> strictDecode(IcuCharset charset, QByteArrayView bytes);

// Strict decoding with any ICU converter, named as ICU names it ("EUC-JP", "UTF-32LE", ...),
// for the charsets that are only recognised, never read: nothing when the name is unknown or
// any byte sequence is invalid, unassigned or cut off. Opens a converter per call.
std::optional<QString> strictDecodeNamed(const char* converterName, QByteArrayView bytes);

// Strict encoding: nothing when any character cannot be represented, including unpaired
// surrogates; never substitutes or drops a character: the bytes always decode back to the
// text. Thread-safe.
std::optional<QByteArray> strictEncode(IcuCharset charset, QStringView text);

// True when the bytes are the beginning of one character of the charset, cut off before its
// end (nothing else before it). Such bytes are what cutting a file short can leave at its end.
bool isCutOffCharacter(IcuCharset charset, QByteArrayView bytes);

// The same conversions through ICU's converters alone, without any fast path or check. Used to
// check the fast paths against the reference. icuEncode is ICU's raw answer, which may leave out
// characters (see strictEncode).
std::optional<QString> icuDecode(IcuCharset charset, QByteArrayView bytes);
std::optional<QByteArray> icuEncode(IcuCharset charset, QStringView text);

} // namespace dunmoss
