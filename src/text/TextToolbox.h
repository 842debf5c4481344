#pragma once

#include "platform/IcuRegex.h"
#include "platform/TextRange.h"
#include "text/TextEdit.h"

#include <QHashFunctions>
#include <QString>
#include <exception>
#include <optional>

namespace dunmoss {

class TextToolboxError : public std::exception {
public:
    enum class Kind { InvalidBase64 };

    explicit TextToolboxError(Kind kind = Kind::InvalidBase64) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    // A fixed English text; the toolbox shows its own localised alert for it.
    QString localizedDescription() const { return QStringLiteral("Invalid Base64 text"); }
    const char* what() const noexcept override { return "Invalid Base64 text"; }
    friend bool operator==(const TextToolboxError& a, const TextToolboxError& b) {
        return a.m_kind == b.m_kind;
    }
    friend size_t qHash(const TextToolboxError& error, size_t seed = 0) {
        return ::qHash(int(error.m_kind), seed);
    }

private:
    Kind m_kind;
};

// Patterns the toolbox extracts with.
inline const QString kUrlExtractionPattern = QStringLiteral("https?://[^\\s<>\"']+");
inline const QString kEmailExtractionPattern =
    QStringLiteral("[A-Z0-9._%+-]+@[A-Z0-9.-]+\\.[A-Z]{2,}");

// Line transforms work on the selection's whole lines, or on the whole text when nothing is
// selected; the rest on the selection itself or the whole text. Each replaces its range and
// selects the result.
TextEdit uniqueLines(const QString& text, TextRange selection);
TextEdit reverseLines(const QString& text, TextRange selection);

// Every match over the whole text, duplicates kept, each followed by a line feed; nothing
// when the pattern does not compile. Throws RegexError when matching stops as runaway
// backtracking, rather than report that nothing was found.
std::optional<QString> extractMatches(const QString& pattern, const QString& text,
                                      IcuRegex::Options options,
                                      RegexWorkBound bound = IcuRegex::kUserPatternBound);

TextEdit base64EncodeText(const QString& text, TextRange selection);
// Both decoders turn decoded CR LF and lone CR into LF: text in memory breaks lines with LF only.
// Throws TextToolboxError for anything but strict Base64 of UTF-8 text.
TextEdit base64DecodeText(const QString& text, TextRange selection);
TextEdit urlEncodeText(const QString& text, TextRange selection);
// Leaves the text unchanged when it is not well-formed percent-encoded UTF-8.
TextEdit urlDecodeText(const QString& text, TextRange selection);

// Throw JsonError. Pretty output ends with a line feed; minified output has none.
QString prettyPrintJSON(const QString& text);
QString minifyJSON(const QString& text);

} // namespace dunmoss
