#include "editor/LineNumberRulerView.h"

#include "editor/EditorColors.h"
#include "editor/ShortcutTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace dunmoss {

LineNumberRulerView::LineNumberRulerView(ShortcutTextView* view, EditorTheme theme, qreal fontSize,
                                         std::set<int> bookmarkedLines, QWidget* parent)
    : QWidget(parent), textView(view), m_theme(theme), m_fontSize(fontSize),
      m_bookmarkedLines(std::move(bookmarkedLines)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LineNumberRulerView::setTheme(EditorTheme theme) {
    if (m_theme == theme)
        return;
    m_theme = theme;
    update();
}

void LineNumberRulerView::setFontSize(qreal size) {
    if (m_fontSize == size)
        return;
    m_fontSize = size;
    m_labelMeasures.reset();
    updateThickness();
    update();
}

void LineNumberRulerView::setBookmarkedLines(std::set<int> lines) {
    if (m_bookmarkedLines == lines)
        return;
    m_bookmarkedLines = std::move(lines);
    update();
}

void LineNumberRulerView::noteTextChanged() {
    // The numbers that change are beside the lines the text view repaints, which repaints the
    // same band here (see CodeEditorCoordinator); only a new width repaints it all.
    updateThickness();
}

void LineNumberRulerView::updateThickness() {
    const int thickness = requiredThickness();
    if (thickness == m_ruleThickness)
        return;
    m_ruleThickness = thickness;
    if (textView)
        textView->setLeftMarginWidget(this, thickness);
}

const LineStartIndex* LineNumberRulerView::currentLines() const {
    const TextCounts* counts = countsSource ? countsSource() : nullptr;
    return counts ? &counts->lines() : nullptr;
}

int LineNumberRulerView::lineNumberDigitCount() {
    const LineStartIndex* lines = currentLines();
    if (!textView || !lines)
        return 2;
    return decimalDigitCount(lines->lineCount());
}

int LineNumberRulerView::thicknessForDigits(int digits, qreal digitWidth) {
    // A label spans from 14 to 8 before the trailing edge.
    const int fitted = int(std::ceil(digits * digitWidth)) + 22;
    return std::max({digits * 8 + 30, fitted, 56});
}

int LineNumberRulerView::requiredThickness() {
    return thicknessForDigits(lineNumberDigitCount(), labelMeasures().widestDigit);
}

const LineNumberRulerView::LabelMeasures& LineNumberRulerView::labelMeasures() const {
    if (!m_labelMeasures) {
        LabelMeasures measures;
        measures.font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        measures.font.setPixelSize(int(std::lround(std::max(m_fontSize - 2, 10.0))));
        const QFontMetricsF metrics(measures.font);
        for (char16_t digit = u'0'; digit <= u'9'; ++digit)
            measures.widestDigit =
                std::max(measures.widestDigit, metrics.horizontalAdvance(QChar(digit)));
        measures.lineHeight = std::ceil(metrics.ascent() + metrics.descent() + metrics.leading());
        m_labelMeasures = measures;
    }
    return *m_labelMeasures;
}

void LineNumberRulerView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ApplicationFontChange || event->type() == QEvent::FontChange) {
        m_labelMeasures.reset();
        updateThickness();
    }
    QWidget::changeEvent(event);
}

qsizetype LineNumberRulerView::lineNumberAt(qsizetype characterIndex) {
    const LineStartIndex* lines = currentLines();
    if (!lines)
        return 1;
    return lines->lineNumberOfCharacter(std::min(characterIndex, lines->textLength()));
}

LineNumberRulerView::Fragment LineNumberRulerView::firstVisibleFragment() const {
    if (!textView)
        return {};
    std::optional<Fragment> found;
    textView->forEachVisibleBlock([&](const QTextBlock& block, const QRectF& rect) {
        const QTextLayout* layout = block.layout();
        if (!block.isVisible() || !layout)
            return true;
        // A block may begin above the view when its line wraps; a fragment counts once more
        // than half of it shows.
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (rect.top() + line.y() + line.height() / 2 > 0) {
                found =
                    Fragment{block, i, rect.top() + line.y(), block.position() + line.textStart()};
                return false;
            }
        }
        return true;
    });
    if (found)
        return *found;
    const QTextBlock first = textView->firstVisibleTextBlock();
    return {first, 0, textView->blockRect(first).top(), first.position()};
}

qsizetype LineNumberRulerView::firstVisibleLineNumber() {
    if (!textView)
        return 1;
    return lineNumberAt(firstVisibleFragment().position);
}

QFont LineNumberRulerView::labelFont() const {
    return labelMeasures().font;
}

qreal LineNumberRulerView::labelLineHeight() const {
    return labelMeasures().lineHeight;
}

QColor LineNumberRulerView::backgroundColor() const {
    return editorColors(m_theme, QGuiApplication::palette()).rulerBackground;
}

QList<LineNumberRulerView::Label> LineNumberRulerView::labels(const QRect& dirty) {
    QList<Label> result;
    const LineStartIndex* lines = currentLines();
    if (!textView || !lines)
        return result;
    const qreal lineHeight = labelLineHeight();
    const auto add = [&](qsizetype number, qreal y, qreal x, qreal width) {
        result.append(Label{number, QRectF(x, y + 1, width, lineHeight),
                            m_bookmarkedLines.count(int(number)) > 0});
    };
    // An empty text shows a bare "1", without a bookmark mark.
    const QTextBlock first = textView->firstVisibleTextBlock();
    if (lines->textLength() == 0) {
        const QTextLayout* layout = first.layout();
        const qreal lineY = layout && layout->lineCount() > 0
                                ? layout->lineAt(0).y()
                                : textView->document()->documentMargin();
        add(1, textView->blockRect(first).top() + lineY, 4, m_ruleThickness - 12);
        result.back().bookmarked = false;
        return result;
    }
    const auto addIfDirty = [&](qsizetype number, qreal y) {
        if (y >= dirty.top() - lineHeight && y <= dirty.bottom() + lineHeight)
            add(number, y, 14, m_ruleThickness - 22);
    };
    // The topmost fragment is labelled with its line's number even when that line starts above
    // the view (a wrapped line scrolled into its middle, a block after a U+2029 of the file).
    const Fragment top = firstVisibleFragment();
    const qsizetype topNumber = lines->lineNumberOfCharacter(top.position);
    const bool topStartsLine = top.line == 0 && lines->lineNumberStartingAt(top.position) != 0;
    if (!topStartsLine)
        addIfDirty(topNumber, top.top);
    textView->forEachVisibleBlock([&](const QTextBlock& block, const QRectF& rect) {
        // Blocks below the repainted band have no label in it.
        if (rect.top() > dirty.bottom() + lineHeight)
            return false;
        // Nor do those above it, whose labels lie higher than their bottoms: a key in the last
        // line of the view asks for its band, and looking up the number of every line above it
        // cost more than drawing the one label.
        if (rect.bottom() < dirty.top() - lineHeight)
            return true;
        const qsizetype number = lines->lineNumberStartingAt(block.position());
        // The start of the top fragment's line, cut off at the top, has its number shown below.
        if (number == 0 || !block.isVisible() || (!topStartsLine && number == topNumber))
            return true;
        const QTextLayout* layout = block.layout();
        addIfDirty(number,
                   rect.top() + (layout && layout->lineCount() > 0 ? layout->lineAt(0).y() : 0.0));
        return true;
    });
    return result;
}

void LineNumberRulerView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor());
    if (!textView)
        return;
    const EditorColors colors = editorColors(m_theme, QGuiApplication::palette());
    painter.setFont(labelFont());
    const QList<Label> all = labels(event->rect());
    if (event->rect() == m_bandAsked) {
        m_bandPainted = m_bandAsked;
        m_bandLabels = all;
    } else if (event->rect().intersects(m_bandPainted)) {
        m_bandPainted = QRect();
        m_bandLabels.clear();
    }
    m_bandAsked = QRect();
    for (const Label& label : all) {
        if (label.bookmarked) {
            const qreal lineHeight = label.rect.height();
            const qreal y = label.rect.top() - 1 + std::max((lineHeight - 6) / 2, 2.0);
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(colors.accent);
            painter.drawEllipse(QRectF(5, y, 6, 6));
            painter.restore();
        }
        painter.setPen(colors.secondary);
        painter.drawText(label.rect, Qt::AlignRight | Qt::AlignTop, QString::number(label.number));
    }
}

LineNumberRulerView::BandState LineNumberRulerView::bandState() const {
    if (!textView)
        return {};
    // The labels' places follow from the text, the scroll and the lines each block takes.
    const QTextDocument* document = textView->document();
    return {document->revision(), textView->verticalScrollBar()->value(),
            document->documentLayout()->documentSize().height(), m_bandPainted};
}

void LineNumberRulerView::updateBand(const QRect& band) {
    // A key typed into a line repaints that line's band of the text; its numbers are the same
    // unless lines moved, and drawing them again is most of what a key costs here.
    if (m_bandPainted.contains(band)) {
        const BandState state = bandState();
        if (state == m_bandUnchangedAt || labels(m_bandPainted) == m_bandLabels) {
            m_bandUnchangedAt = state;
            return;
        }
    }
    // The caret's own repaint comes as a band too, within the line's or not quite (the last
    // line's band reaches to the bottom margin): what one key asks for is painted as one.
    m_bandAsked |= band;
    update(band);
}

} // namespace dunmoss
