#pragma once

#include <QChar>
#include <QLineF>
#include <QList>
#include <QRect>
#include <QRectF>

class QPainter;

namespace dunmoss {

class ShortcutTextView;

// One invisible-character mark: the mark and the rectangle it is drawn in (viewport coordinates).
struct InvisibleMark {
    QChar mark;
    QRectF rect;
    qsizetype position = 0; // of the character it stands for
};

// The indent-guide segments of the visible lines that meet the dirty rectangle: one per tab stop
// inside each line fragment's leading whitespace.
QList<QLineF> indentGuideSegments(const ShortcutTextView& view, const QRect& dirty);
// The marks of the visible characters near the dirty rectangle; none when invisibles are off or
// the text is empty or longer than the limit.
QList<InvisibleMark> invisibleMarks(const ShortcutTextView& view, const QRect& dirty);

void drawIndentGuides(const ShortcutTextView& view, QPainter& painter, const QRect& dirty);
void drawInvisibleCharacters(const ShortcutTextView& view, QPainter& painter, const QRect& dirty);

} // namespace dunmoss
