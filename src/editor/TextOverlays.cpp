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

// Calls visit(block, rect) for the blocks from the first visible one down to the bottom of the
// viewport.
template <typename Visit> void forEachVisibleBlock(const ShortcutTextView& view, Visit visit) {
    const qreal bottom = view.viewport()->height();
    for (QTextBlock block = view.firstVisibleTextBlock(); block.isValid(); block = block.next()) {
        const QRectF rect = view.blockRect(block);
        if (rect.top() > bottom)
            break;
        if (block.isVisible() && block.layout())
            visit(block, rect);
    }
}

} // namespace

QList<QLineF> indentGuideSegments(const ShortcutTextView& view, const QRect& dirty) {
    QList<QLineF> segments;
    QString scratch;
    if (!containsSpaceOrTab(shownText(view, scratch)))
        return segments;
    const int width = std::max(view.tabWidth, 1);
    const qreal columnWidth = std::max(view.spaceWidth(), 1.0);
    forEachVisibleBlock(view, [&](const QTextBlock& block, const QRectF& rect) {
        const QString blockText = block.text();
        const QTextLayout* layout = block.layout();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (line.textLength() <= 0)
                continue;
            const int columns =
                leadingIndentColumns(QStringView(blockText).mid(line.textStart()), width);
            if (columns < width)
                continue;
            const qreal top = rect.top() + line.y();
            const qreal bottom = top + line.height();
            if (dirty.top() > bottom || top > dirty.bottom() + 1)
                continue;
            const qreal origin = rect.left() + line.x();
            for (int k = 1; k <= columns / width; ++k) {
                const qreal x = origin + columnWidth * k * width;
                segments.append(QLineF(x, top, x, bottom));
            }
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
    forEachVisibleBlock(view, [&](const QTextBlock& block, const QRectF& rect) {
        const QTextLayout* layout = block.layout();
        if (layout->lineCount() == 0)
            return;
        // The block's characters and, except for the last block, the break that ends it.
        const int count = block.next().isValid() ? block.length() : block.length() - 1;
        for (int i = 0; i < count; ++i) {
            const qsizetype position = block.position() + i;
            if (position >= text.size())
                break;
            const auto mark = invisibleCharacterMark(text[position]);
            if (!mark)
                continue;
            const bool isBreak = i == block.length() - 1;
            const QTextLine line =
                isBreak ? layout->lineAt(layout->lineCount() - 1) : layout->lineForTextPosition(i);
            if (!line.isValid())
                continue;
            const qreal x1 = line.cursorToX(i);
            const qreal x2 = isBreak ? x1 + breakWidth : line.cursorToX(i + 1);
            const QRectF glyph(rect.left() + x1, rect.top() + line.y(), std::abs(x2 - x1),
                               line.height());
            const QSizeF size(metrics.horizontalAdvance(*mark), metrics.height());
            const QPointF at(glyph.center().x() - size.width() / 2,
                             glyph.top() + std::max((glyph.height() - size.height()) / 2, 0.0));
            const QRectF markRect(at, size);
            if (markRect.intersects(area))
                marks.append(InvisibleMark{*mark, markRect, position});
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
