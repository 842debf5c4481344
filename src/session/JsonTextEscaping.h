#pragma once

#include <QByteArray>
#include <QStringView>
#include <vector>

class QIODevice;

namespace dunmoss {

// A JSON string's content as the JSON writer escapes it: quote, backslash and control characters
// escaped, a lone surrogate as \uXXXX, everything else in UTF-8. A unit's bytes depend on no
// other unit but the low half following a high one, so the escaped form of a text is the
// escaped forms of its pieces put together, as long as no piece ends between the halves of a
// pair.

// Writes the escaped text into the device in pieces; false when the device refused a write.
bool writeEscapedText(QIODevice& device, QStringView text);

// A text's escaped bytes, with marks of where some of its units start in them, so that a piece
// of the bytes can be found again without escaping the text before it.
struct EscapedText {
    struct Mark {
        qsizetype unit = 0;
        qsizetype byte = 0;
    };
    QByteArray bytes;
    // Ascending; the first is always {0, 0}.
    std::vector<Mark> marks;
};

EscapedText escapeText(QStringView text);

// Where the unit at `unit` of `text` starts in its escaped bytes. `unit` must not fall between
// the halves of a pair.
qsizetype escapedOffset(const EscapedText& escaped, QStringView text, qsizetype unit);

// The escaped form of `text`, made from `base`, the escaped form of `baseText`, given that the
// two texts share their first `prefix` and last `suffix` units: only the units between are
// escaped. Bytes held by nobody else are changed in place.
EscapedText spliceEscaped(EscapedText base, QStringView baseText, QStringView text,
                          qsizetype prefix, qsizetype suffix);

// The number of units two texts share at their start, and then at their end without
// overlapping the first, both moved back so that neither ends between the halves of a pair.
struct SharedEnds {
    qsizetype prefix = 0;
    qsizetype suffix = 0;
};
SharedEnds sharedEnds(QStringView a, QStringView b);

} // namespace dunmoss
