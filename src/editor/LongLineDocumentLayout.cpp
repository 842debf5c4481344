#include "editor/LongLineDocumentLayout.h"

#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

namespace dunmoss {

namespace {

// QTextLayout frees a block's shaping at the end of a paint when caching is off; a paint that
// reaches none of its lines frees it without drawing anything.
void releaseShaping(QTextLayout* layout) {
    layout->setCacheEnabled(false);
    if (layout->lineCount() == 0)
        return;
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    const QRectF above(0, -4, 1, 1);
    layout->draw(&painter, QPointF(0, layout->boundingRect().height() + 16), {}, above);
}

} // namespace

LongLineDocumentLayout::LongLineDocumentLayout(QTextDocument* document)
    : QPlainTextDocumentLayout(document) {}

void LongLineDocumentLayout::documentChanged(int from, int charsRemoved, int charsAdded) {
    QTextDocument* doc = document();
    // Only blocks that are there now: a removed block's handle would name another one.
    std::erase_if(m_cached, [](const QTextBlock& block) { return !block.isValid(); });
    QTextBlock block = doc->findBlock(from);
    const QTextBlock last = doc->findBlock(std::max(0, from + charsAdded - 1));
    while (block.isValid()) {
        if (block.length() >= kLongBlockLength)
            keepShaping(block);
        if (block == last)
            break;
        block = block.next();
    }
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
}

void LongLineDocumentLayout::keepShaping(const QTextBlock& block) {
    const auto known = std::find(m_cached.begin(), m_cached.end(), block);
    if (known != m_cached.end())
        m_cached.erase(known);
    block.layout()->setCacheEnabled(true);
    m_cached.push_back(block);
    qsizetype total = 0;
    for (const QTextBlock& kept : m_cached)
        total += kept.length();
    while (m_cached.size() > 1 && total > kCachedCharacterBudget) {
        const QTextBlock oldest = m_cached.front();
        m_cached.pop_front();
        total -= oldest.length();
        if (oldest.isValid())
            releaseShaping(oldest.layout());
    }
}

} // namespace dunmoss
