#pragma once

#include <QString>
#include <QStringView>

namespace dunmoss {

// Replaces text[position, position + length) with `replacement` without copying the whole text:
// an unshared string is edited where it lies, moving only the shorter side of the edit (the
// characters before it when the edit is nearer the start, so typing at the top of a long text
// moves a few characters, not all of them); a string another reader still holds is left to that
// reader and the edited text is built in one copy, with room on both sides for the edits that
// follow. The range must lie within the text.
void replaceInPlace(QString& text, qsizetype position, qsizetype length, QStringView replacement);

// `head` + `middle` + `tail` in a new string with about `room` characters free before it and as
// many after it, so that edits at either end need no new allocation for a while.
QString concatenatedWithRoom(QStringView head, QStringView middle, QStringView tail,
                             qsizetype room);

} // namespace dunmoss
