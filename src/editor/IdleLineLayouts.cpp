#include "editor/IdleLineLayouts.h"

#include "editor/LaidOutLines.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/TextEnginePrivate.h"

#include <QCoreApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QThread>
#include <thread>
#include <utility>

#if DUNMOSS_TEXT_ENGINE
#include <QtGui/private/qtextdocument_p.h>
#endif
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace dunmoss {

namespace {

// Freed layouts are small pieces spread over pages of the arena the reading thread filled:
// freed alone they would stay counted against the program. Handing the pages back walks every
// arena for milliseconds, which a key must not wait behind: a thread of its own does it.
void giveFreedPagesBack() {
#ifdef __GLIBC__
    std::thread([] { malloc_trim(0); }).detach();
#endif
}

#if DUNMOSS_TEXT_ENGINE
// Nothing in the layout that QTextBlock::layout() would not make again: no lines, no formats
// (colours, shaping pieces), no kept shaping, no text being composed. A long block's layout
// takes part in the kept lines and shaping, so it is left as it is.
bool holdsNothing(const QTextBlock& block, const QTextLayout& layout) {
    return block.length() - 1 < LongLineDocumentLayout::kLongBlockLength &&
           layout.lineCount() == 0 && !layout.cacheEnabled() && layout.formats().isEmpty() &&
           layout.preeditAreaText().isEmpty();
}
#endif

} // namespace

IdleLineLayouts::IdleLineLayouts(QTextDocument* document, QObject* parent)
    : QObject(parent), m_document(document) {
    m_delay.setParent(this);
    m_delay.setSingleShot(true);
    m_delay.setInterval(kDelayMs);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        m_next = 0;
        m_released = 0;
        releaseSlice();
    });
    m_slice.setParent(this);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &IdleLineLayouts::releaseSlice);
}

bool IdleLineLayouts::canRelease() {
    return LaidOutLines::canKeep();
}

void IdleLineLayouts::noteLayoutsMade() {
    // A document filled on a pool thread is released once a view has shown it.
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application || thread() != application->thread() || QThread::currentThread() != thread())
        return;
    if (!canRelease() || m_document->blockCount() < kMinimumBlocks)
        return;
    // Begun again from the top: a new width makes every layout again.
    m_slice.stop();
    m_delay.start();
}

void IdleLineLayouts::releaseSlice() {
    int released = 0;
    m_next = releaseFrom(*m_document, m_next, kBlocksPerTurn, &released);
    m_released += released;
    if (m_next >= 0) {
        m_slice.start();
        return;
    }
    if (m_released > 0)
        giveFreedPagesBack();
}

int IdleLineLayouts::releaseFrom(QTextDocument& document, int first, int count, int* released) {
    int freed = 0;
    QTextBlock block;
#if DUNMOSS_TEXT_ENGINE
    if (canRelease()) {
        block = document.findBlockByNumber(first);
        auto* priv = QTextDocumentPrivate::get(&document);
        for (int visited = 0; block.isValid() && visited < count; ++visited) {
            QTextBlockData* data = priv->blockMap().fragment(block.fragmentIndex());
            if (data->layout && holdsNothing(block, *data->layout)) {
                delete std::exchange(data->layout, nullptr);
                ++freed;
            }
            block = block.next();
        }
    }
#else
    Q_UNUSED(document);
    Q_UNUSED(first);
    Q_UNUSED(count);
#endif
    if (released)
        *released = freed;
    return block.isValid() ? block.blockNumber() : -1;
}

} // namespace dunmoss
