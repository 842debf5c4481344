#pragma once

#include <QChar>
#include <QStringView>
#include <optional>

namespace dunmoss {

// Invisible-character marks are not drawn at all for texts longer than this.
inline constexpr qsizetype kInvisibleMarksMaxLength = 1'000'000;

// The visual width in columns of a line's leading spaces and tabs (a tab counts max(width, 1));
// the walk stops at the first other character, a line break included.
int leadingIndentColumns(QStringView line, int tabWidth);

// The mark drawn for a character when invisibles are shown: → for a tab, ↵ for a line feed or a
// carriage return, · for a space; nothing for anything else (other spaces included).
std::optional<QChar> invisibleCharacterMark(QChar character);

// Whether the text holds a space or a tab anywhere (stops at the first one).
bool containsSpaceOrTab(QStringView text);

} // namespace dunmoss
