// Detection and decoding of arbitrary bytes. Aborts when:
// - detection finds nothing (Latin-1 takes any bytes);
// - a decoded text holds U+FFFD that the bytes did not hold encoded in the detected encoding;
// - a text detected as UTF-8 (with or without mark) whose bytes use one kind of line break does
//   not re-encode through the save path to the same bytes;
// - a fast conversion path disagrees with ICU's own strict conversion;
// - a strict Unicode or Latin-1 decoding does not re-encode to the bytes it came from;
// - a preview decoding drops anything but one character cut off at the end;
// - the loader's preview in a multi-byte encoding other than UTF-8 differs from the bytes as
//   read with only their cut character dropped;
// - bytes without zero bytes or a leading mark read differently behind a long ASCII head;
// - the UTF-8 decoder, whole or in pieces cut anywhere, differs from ICU's, or its joined line
//   breaks from the text's own;
// - a document decoded with its line breaks joined on the way differs from one joined after.
#include "platform/FileError.h"
#include "platform/IcuConverter.h"
#include "platform/Utf8Decoding.h"
#include "text/EncodingDetection.h"
#include "text/TextEncoding.h"
#include "text/TextEncodingCharset.h"
#include "text/TextFileLoader.h"

#include "support/FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace dunmoss;
using fuzz::require;

namespace {

qsizetype occurrences(QByteArrayView haystack, QByteArrayView needle) {
    qsizetype count = 0;
    for (qsizetype at = haystack.indexOf(needle); at >= 0; at = haystack.indexOf(needle, at + 1))
        ++count;
    return count;
}

void checkReplacementCharacters(QByteArrayView bytes, const DecodedTextData& decoded) {
    const qsizetype found = decoded.text.count(QChar(0xFFFD));
    if (found == 0)
        return;
    QByteArray pattern;
    try {
        pattern = encodeText(QString(QChar(0xFFFD)), decoded.encoding);
    } catch (const FileError&) {
        require(false, "U+FFFD decoded from an encoding that cannot hold it");
    }
    pattern.remove(0, byteOrderMark(decoded.encoding).size());
    require(found <= occurrences(bytes, pattern), "U+FFFD not present in the bytes");
}

// True when the text uses at most one of CR LF, lone CR and lone LF.
bool singleKindOfLineBreak(const QString& text) {
    bool pair = false, loneCr = false, loneLf = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                pair = true;
                ++i;
            } else {
                loneCr = true;
            }
        } else if (text[i] == u'\n') {
            loneLf = true;
        }
    }
    return int(pair) + int(loneCr) + int(loneLf) <= 1;
}

void checkUtf8SaveRoundTrip(QByteArrayView bytes, const DecodedTextData& decoded) {
    if (decoded.encoding != TextFileEncoding::Utf8 &&
        decoded.encoding != TextFileEncoding::Utf8WithBOM)
        return;
    if (!singleKindOfLineBreak(decoded.text))
        return;
    const PlainTextDocument document =
        makePlainTextDocument(decoded.text, decoded.encoding, decoded.decodedViaFallback);
    require(!document.text.contains(u'\r'), "CR left after normalisation");
    require(fileDataForSaving(document) == bytes, "UTF-8 text does not save to its own bytes");
}

void checkFastPathsAgainstIcu(QByteArrayView bytes) {
    const IcuCharset charsets[] = {IcuCharset::Utf8,           IcuCharset::Utf16LittleEndian,
                                   IcuCharset::Utf16BigEndian, IcuCharset::Gb18030,
                                   IcuCharset::Big5,           IcuCharset::ShiftJIS,
                                   IcuCharset::IsoLatin1};
    for (IcuCharset charset : charsets) {
        const std::optional<QString> fast = strictDecode(charset, bytes);
        const std::optional<QString> reference = icuDecode(charset, bytes);
        require(fast.has_value() == reference.has_value(), "fast path accepts differently");
        if (!fast)
            continue;
        require(*fast == *reference, "fast path decodes differently");
        require(!fast->contains(QChar(0xFFFD)) || charset == IcuCharset::Utf8 ||
                    charset == IcuCharset::Utf16LittleEndian ||
                    charset == IcuCharset::Utf16BigEndian || charset == IcuCharset::Gb18030,
                "replacement character from a charset without one");
        // Unicode and Latin-1 map bytes one to one.
        if (charset == IcuCharset::Utf8 || charset == IcuCharset::Utf16LittleEndian ||
            charset == IcuCharset::Utf16BigEndian || charset == IcuCharset::IsoLatin1) {
            const std::optional<QByteArray> again = strictEncode(charset, *fast);
            require(again && *again == bytes, "decoded text does not encode back");
        }
    }
}

// A preview is read like the whole bytes unless their end is a character cut off; only that
// character may be missing from the text.
void checkPreviewDropsOnlyACutCharacter(const QByteArray& cut, const DecodedTextData& preview) {
    const auto decodeOrNothing = [&preview](QByteArrayView bytes) -> std::optional<QString> {
        try {
            return decodeWithEncoding(bytes, preview.encoding);
        } catch (const FileError&) {
            return std::nullopt;
        }
    };
    if (const std::optional<QString> whole = decodeOrNothing(cut)) {
        require(*whole == preview.text, "preview differs from the bytes it could read whole");
        return;
    }
    for (qsizetype drop = 1; drop <= 3 && drop <= cut.size(); ++drop) {
        if (isCutOffCharacter(textCharset(preview.encoding), QByteArrayView(cut).last(drop)) &&
            decodeOrNothing(QByteArrayView(cut).chopped(drop)) == preview.text)
            return;
    }
    require(false, "preview dropped bytes that are no cut character");
}

// The loader cuts a preview as UTF-8 first; in another multi-byte encoding that cut must not
// cost more than the character the end of the bytes really cuts.
void checkLoaderPreview(const QByteArray& bytes) {
    const PlainTextDocument preview = decodePreviewBytes(bytes);
    if (preview.encoding == TextFileEncoding::Utf8 ||
        preview.encoding == TextFileEncoding::Utf8WithBOM ||
        preview.encoding == TextFileEncoding::IsoLatin1)
        return;
    try {
        const QString uncut = decodeWithEncoding(bytes, preview.encoding, ByteTail::MayBeCut);
        require(normalizeLineEndings(uncut) == preview.text,
                "preview lost more than the cut character");
    } catch (const FileError&) {
        // Bytes whose end is no character of the encoding at all: the UTF-8 cut decides.
    }
}

// Every encoding detection weighs reads ASCII alike, so a head of ASCII lines (longer than every
// sample detection takes from the top) must change neither the encoding nor the warning. Zero
// bytes and marks are clues at the top of a file only, and are left out.
void checkAsciiHeadChangesNothing(QByteArrayView bytes, const DecodedTextData& decoded) {
    if (bytes.contains('\0') || bytes.startsWith("\xEF\xBB\xBF") || bytes.startsWith("\xFF\xFE") ||
        bytes.startsWith("\xFE\xFF"))
        return;
    static const QByteArray head = [] {
        QByteArray lines;
        while (lines.size() < 9000)
            lines += "<meta name=\"licence\" content=\"free software, see the notice\">\n";
        return lines;
    }();
    const std::optional<DecodedTextData> behind = decodeTextData(head + bytes.toByteArray());
    require(behind && behind->encoding == decoded.encoding &&
                behind->decodedViaFallback == decoded.decodedViaFallback,
            "an ASCII head changes the detected encoding");
    require(behind->text == QString::fromLatin1(head) + decoded.text,
            "an ASCII head changes the text after it");
}

void checkUtf8PiecesAgainstIcu(QByteArrayView bytes) {
    const std::optional<QString> reference = icuDecode(IcuCharset::Utf8, bytes);
    const qsizetype piece = bytes.isEmpty() ? 1 : 1 + uchar(bytes.back()) % 23;
    const std::optional<QString> units = decodeUtf8InPieces(bytes, piece);
    const std::optional<Utf8JoinedLines> joined = decodeUtf8JoiningLineBreaksInPieces(bytes, piece);
    const std::optional<Utf8JoinedLines> whole = decodeUtf8JoiningLineBreaks(bytes);
    require(units.has_value() == reference.has_value() &&
                joined.has_value() == reference.has_value() &&
                whole.has_value() == reference.has_value(),
            "UTF-8 pieces accept differently from ICU");
    if (!reference)
        return;
    require(*units == *reference, "UTF-8 pieces decode differently from ICU");
    const QString normalised = normalizeLineEndings(*reference);
    require(joined->text == normalised && whole->text == normalised,
            "joined UTF-8 differs from the normalised text");
    const TextLineEnding ending = detectLineEnding(*reference);
    require(lineEndingFromCounts(joined->breaks) == ending &&
                lineEndingFromCounts(whole->breaks) == ending,
            "joined UTF-8 chooses another line ending");
}

void checkJoinedDocument(QByteArrayView bytes, const DecodedTextData& decoded) {
    const PlainTextDocument joined = decodeDocumentData(bytes);
    const PlainTextDocument reference =
        makePlainTextDocument(decoded.text, decoded.encoding, decoded.decodedViaFallback);
    require(joined == reference, "a document joined while decoding differs");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const std::optional<DecodedTextData> decoded = decodeTextData(bytes);
    require(decoded.has_value(), "detection found nothing");
    require(decoded->decodedViaFallback == (decoded->encoding == TextFileEncoding::IsoLatin1),
            "fallback flag does not match Latin-1");
    checkReplacementCharacters(bytes, *decoded);
    checkUtf8SaveRoundTrip(bytes, *decoded);
    checkAsciiHeadChangesNothing(bytes, *decoded);
    checkJoinedDocument(bytes, *decoded);
    checkUtf8PiecesAgainstIcu(bytes);

    // As a preview cut from a longer file.
    const QByteArray cut = trimIncompleteUTF8Tail(bytes.toByteArray());
    require(bytes.startsWith(cut) && bytes.size() - cut.size() <= 3, "cut is not a short prefix");
    const std::optional<DecodedTextData> preview = decodeTextData(cut, ByteTail::MayBeCut);
    require(preview.has_value(), "preview detection found nothing");
    checkReplacementCharacters(cut, *preview);
    checkPreviewDropsOnlyACutCharacter(cut, *preview);
    checkLoaderPreview(bytes.toByteArray());

    checkFastPathsAgainstIcu(bytes);

    const TextLineEnding ending = detectLineEnding(decoded->text);
    const QString normalised = normalizeLineEndings(decoded->text);
    require(!normalised.contains(u'\r'), "CR left after normalisation");
    if (ending == TextLineEnding::LineFeed && !decoded->text.contains(u'\r'))
        require(normalised == decoded->text, "text without CR changed");
    return 0;
}
