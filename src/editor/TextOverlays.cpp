#include "editor/TextOverlays.h"

#include "editor/ShortcutTextView.h"
#include "text/WhitespaceMarks.h"

#include <QFontDatabase>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

namespace dunmoss {

namespace {

QStringView shownText(const ShortcutTextView& view, QString& scratch) {
    if (view.textSource)
        if (const QString* text = view.textSource())
            return *text;
    scratch = view.document()->toPlainText();
    return scratch;
}

QFont markFont(const ShortcutTextView& view) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const int size = view.font().pixelSize() > 0 ? view.font().pixelSize() : 14;
    font.setPixelSize(std::max(size - 2, 9));
    return font;
}

// Calls visit(block, rect, line) for the line fragments of the visible blocks that reach into
// the band from top to bottom (viewport coordinates). A long wrapped block has thousands of
// fragments: the first one in the band is found by bisection, never by walking all of them.
template <typename Visit>
void forEachLineInBand(const ShortcutTextView& view, qreal top, qreal bottom, Visit visit) {
    view.forEachVisibleBlock([&](const QTextBlock& block, const QRectF& rect) {
        if (rect.top() > bottom)
            return false;
        const QTextLayout* layout = block.layout();
        if (!block.isVisible() || !layout || rect.bottom() < top)
            return true;
        int low = 0;
        int high = layout->lineCount();
        while (low < high) {
            const int middle = (low + high) / 2;
            const QTextLine line = layout->lineAt(middle);
            if (rect.top() + line.y() + line.height() < top)
                low = middle + 1;
            else
                high = middle;
        }
        for (int i = low; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (rect.top() + line.y() > bottom)
                break;
            visit(block, rect, line);
        }
        return true;
    });
}

// Whether some character may be laid out right to left, which breaks the left-to-right order
// of positions along a line.
bool mayRunRightToLeft(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        switch (QChar::direction(c)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

QList<QLineF> indentGuideSegments(const ShortcutTextView& view, const QRect& dirty) {
    QList<QLineF> segments;
    QString scratch;
    const QStringView text = shownText(view, scratch);
    const int width = std::max(view.tabWidth, 1);
    const qreal step = std::max(view.spaceWidth(), 1.0) * width;
    forEachLineInBand(view, dirty.top(), dirty.bottom() + 1,
                      [&](const QTextBlock& block, const QRectF& rect, const QTextLine& line) {
                          if (line.textLength() <= 0)
                              return;
                          // Only this fragment's own characters count: a run of whitespace wrapped
                          // over many fragments gives each of them the guides of its own part.
                          const qsizetype start =
                              std::min<qsizetype>(block.position() + line.textStart(), text.size());
                          const int columns =
                              leadingIndentColumns(text.mid(start).left(line.textLength()), width);
                          if (columns < width)
                              return;
                          const qreal top = rect.top() + line.y();
                          const qreal bottom = top + line.height();
                          const qreal origin = rect.left() + line.x();
                          // Guides left or right of the dirty rectangle would be clipped anyway.
                          const int first = std::max(1, int((dirty.left() - 1 - origin) / step));
                          for (int k = first; k <= columns / width; ++k) {
                              const qreal x = origin + step * k;
                              if (x > dirty.right() + 1)
                                  break;
                              if (x >= dirty.left() - 1)
                                  segments.append(QLineF(x, top, x, bottom));
                          }
                      });
    return segments;
}

QList<InvisibleMark> invisibleMarks(const ShortcutTextView& view, const QRect& dirty) {
    QList<InvisibleMark> marks;
    if (!view.showsInvisibleCharacters)
        return marks;
    QString scratch;
    const QStringView text = shownText(view, scratch);
    if (text.isEmpty() || text.size() > kInvisibleMarksMaxLength)
        return marks;
    const QFontMetricsF metrics(markFont(view));
    const QRectF area = QRectF(dirty).adjusted(-12, -12, 12, 12);
    const qreal breakWidth = std::max(view.spaceWidth(), 1.0);
    // The mark of the character at index i of the block, whose glyph spans x1 to x2 on the
    // given line fragment.
    const auto addMark = [&](const QTextBlock& block, const QRectF& rect, const QTextLine& line,
                             int i, qreal x1, qreal x2) {
        const qsizetype position = block.position() + i;
        if (position >= text.size())
            return;
        const auto mark = invisibleCharacterMark(text[position]);
        if (!mark)
            return;
        const QRectF glyph(rect.left() + std::min(x1, x2), rect.top() + line.y(), std::abs(x2 - x1),
                           line.height());
        const QSizeF size(metrics.horizontalAdvance(*mark), metrics.height());
        const QPointF at(glyph.center().x() - size.width() / 2,
                         glyph.top() + std::max((glyph.height() - size.height()) / 2, 0.0));
        const QRectF markRect(at, size);
        if (markRect.intersects(area))
            marks.append(InvisibleMark{*mark, markRect, position});
    };
    forEachLineInBand(view, area.top(), area.bottom(),
                      [&](const QTextBlock& block, const QRectF& rect, const QTextLine& line) {
                          const int l = line.lineNumber();
                          const int lineCount = block.layout()->lineCount();
                          int from = line.textStart();
                          int to = from + line.textLength();
                          const QStringView fragment =
                              text.mid(std::min<qsizetype>(block.position() + from, text.size()))
                                  .left(line.textLength());
                          const bool leftToRight = !mayRunRightToLeft(fragment);
                          if (leftToRight && line.width() > area.width()) {
                              // Positions grow from left to right along the fragment: only the
                              // characters under the area can show, which keeps a very long
                              // unwrapped line cheap.
                              from = std::max(from, line.xToCursor(area.left() - rect.left()) - 1);
                              to = std::min(to, line.xToCursor(area.right() - rect.left()) + 1);
                          }
                          // Whitespace hanging past the end of a wrapped fragment is all put at its
                          // right edge, where none of it can be seen.
                          const qreal lineRight = line.x() + line.width();
                          qreal x1 = from < to ? line.cursorToX(from) : 0;
                          for (int i = from; i < to; ++i) {
                              if (leftToRight && x1 >= lineRight)
                                  break;
                              const qreal x2 = line.cursorToX(i + 1);
                              addMark(block, rect, line, i, x1, x2);
                              x1 = x2;
                          }
                          // The break that ends the block, after its last fragment (the last block
                          // has none).
                          if (l == lineCount - 1 && block.next().isValid()) {
                              const qreal end = line.cursorToX(block.length() - 1);
                              addMark(block, rect, line, block.length() - 1, end, end + breakWidth);
                          }
                      });
    return marks;
}

void drawIndentGuides(const ShortcutTextView& view, QPainter& painter, const QRect& dirty) {
    const QList<QLineF> segments = indentGuideSegments(view, dirty);
    if (segments.isEmpty())
        return;
    painter.save();
    // Width 0 is one device pixel at any scale.
    painter.setPen(QPen(view.indentGuideColor, 0));
    painter.drawLines(segments);
    painter.restore();
}

void drawInvisibleCharacters(const ShortcutTextView& view, QPainter& painter, const QRect& dirty) {
    const QList<InvisibleMark> marks = invisibleMarks(view, dirty);
    if (marks.isEmpty())
        return;
    painter.save();
    painter.setFont(markFont(view));
    painter.setPen(view.invisibleCharacterColor);
    for (const InvisibleMark& mark : marks)
        painter.drawText(mark.rect, Qt::AlignCenter, QString(mark.mark));
    painter.restore();
}

} // namespace dunmoss
