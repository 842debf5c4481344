#pragma once

#include "platform/LineBreakCounts.h"

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace dunmoss {

// Strict UTF-8 decoding at memory speed: sixteen ASCII bytes at a time, and a large input in
// pieces on idle pool threads. Accepts and refuses exactly what ICU's converter with a stop
// callback does (no overlong forms, encoded surrogates, code points above U+10FFFF or cut-off
// sequences) and gives the same units.

// The text as the bytes hold it; a leading byte-order mark is kept as U+FEFF.
std::optional<QString> decodeUtf8Units(QByteArrayView bytes);

// Whether decodeUtf8Units accepts the bytes, found without writing any text.
bool isStrictUtf8(QByteArrayView bytes);

// The text with every CR LF and every lone CR written as one LF, and the breaks the bytes held,
// in the same single pass: a file opened as a document is read once.
struct Utf8JoinedLines {
    QString text;
    LineBreakCounts breaks;
};
std::optional<Utf8JoinedLines> decodeUtf8JoiningLineBreaks(QByteArrayView bytes);

// The same with pieces of about `pieceBytes` bytes whatever the input's size, so that the
// seams between pieces can be tested on small inputs.
std::optional<QString> decodeUtf8InPieces(QByteArrayView bytes, qsizetype pieceBytes);
std::optional<Utf8JoinedLines> decodeUtf8JoiningLineBreaksInPieces(QByteArrayView bytes,
                                                                   qsizetype pieceBytes);

} // namespace dunmoss
