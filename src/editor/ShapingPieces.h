#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>
#include <optional>

class QFont;
class QTextBlock;

namespace dunmoss {

// Long lines that are shaped (not plain Latin, see PlainShaping.h) are shaped in pieces of a few
// hundred characters. Qt shapes a line in runs of up to 4096 characters and throws a line's
// shaping away on every edit, so a key typed into such a line shaped a whole run again to place
// the caret, however little of it shows. A piece ends only where no shaping reaches across: in
// text of Chinese, Japanese or Korean characters between any two of them, elsewhere after a
// space, never before a combining mark or anything else that joins the character before it.
//
// The pieces of each of those scripts are also named the family the font falls back to for it.
// Left to find it, Qt asks every fallback family before it whether it has the character, for
// each character at each shaping, which made shaping such text three times as slow. Named only
// when it draws a probe of the script with the same glyphs at the same places as the fallback.

// Lines shorter than this (in characters, without the line break) are left whole.
inline constexpr int kShapingPiecesMinimumLength = 10'000;
// Pieces are at most this long, except where text offers no place to end one.
inline constexpr int kShapingPieceLength = 512;

// The families (the font's own and the fallbacks, or the fallbacks alone) named for pieces of the
// character's script, when it is Han, Hiragana, Katakana, Hangul or Bopomofo and naming them
// draws it exactly as Qt's fallback does. Found once per font and script, from probes of a few
// hundred characters.
std::optional<QStringList> familiesNamedFor(const QFont& font, char32_t c);

// Whether the range is one of the pieces added here.
bool isShapingPiece(const QTextLayout::FormatRange& range);

// The formats a block is laid out with: the given ones without earlier pieces, and when the block
// is long and shaped, its pieces last (after its colours, so that a lookup of the colour at a
// position finds the colour's range first).
QList<QTextLayout::FormatRange> withShapingPieces(const QTextBlock& block,
                                                  QList<QTextLayout::FormatRange> formats);

// The pieces of a text laid out in `font` (see above); for tests and for withShapingPieces.
QList<QTextLayout::FormatRange> shapingPiecesOf(QStringView text, const QFont& font);

} // namespace dunmoss
