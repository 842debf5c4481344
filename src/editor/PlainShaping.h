#pragma once

#include <QList>
#include <QStringView>
#include <QTextLayout>

class QFont;
class QTextBlock;

namespace dunmoss {

// Long lines of plain Latin text are laid out without shaping. Shaping a line costs about as
// much as breaking it into lines twice over and is redone for the whole line on every edit and
// every new wrap width, while a monospaced font draws such text glyph for glyph from its
// character map anyway. A line qualifies only when every character is a tab or of Basic Latin or
// Latin-1 (no combining mark, no emoji, nothing right to left), and only under a font that draws
// all such text, each pair of those characters and the usual ligature sequences, exactly as its
// shaped form: a font with ligatures or kerning keeps being shaped.

// Lines shorter than this (in characters, without the line break) are always shaped.
inline constexpr int kPlainShapingMinimumLength = 10'000;

// Every character is a tab or between U+0020 and U+007E or between U+00A0 and U+00FF.
bool isPlainLatin(QStringView text);

// Whether the font (regular and bold) lays plain Latin text out unshaped with the same glyphs at
// the same positions as shaped; found once per font.
bool fontDrawsLatinUnshaped(const QFont& font);

// Whether the block's layout holds the range that turns its shaping off.
bool laidOutUnshaped(const QTextBlock& block);

// The formats a block is laid out with: the given ones without any earlier no-shaping range, and
// when the block qualifies, one more range over the whole block that turns shaping off (last, so
// that a lookup of the colour at a position finds the colour's range first).
QList<QTextLayout::FormatRange> withPlainShaping(const QTextBlock& block,
                                                 QList<QTextLayout::FormatRange> formats);

} // namespace dunmoss
