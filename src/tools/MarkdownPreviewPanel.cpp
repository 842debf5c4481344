#include "tools/MarkdownPreviewPanel.h"

#include "editor/DocumentDisposal.h"
#include "editor/IconTable.h"
#include "platform/MainThreadMailbox.h"
#include "tools/PanelChrome.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractEventDispatcher>
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPointer>
#include <QShowEvent>
#include <QTextDocument>
#include <QThreadPool>
#include <QVBoxLayout>
#include <utility>

namespace dunmoss {

namespace {

// Above this many differing blocks a fresh document is filled in and swapped in.
constexpr qsizetype kRebuildThreshold = 2000;

// The end of the blocks from `from` on that hold about `characters` characters, at least one.
qsizetype stepEnd(const QList<MarkdownPreviewBlock>& blocks, qsizetype from, qsizetype characters) {
    qsizetype end = from, taken = 0;
    while (end < blocks.size() && (end == from || taken < characters))
        taken += blocks.at(end++).text.size() + 1;
    return end;
}

bool needsFreshDocument(const QList<MarkdownPreviewBlock>& before,
                        const QList<MarkdownPreviewBlock>& after,
                        const MarkdownBlockChange& change) {
    return before.isEmpty() || after.isEmpty() || change.span() > kRebuildThreshold;
}

// Freeing the blocks and line layouts of a long preview is a wait of its own, left to a pool
// thread. A layout still timing its next step (only a new document's first blocks lay out that
// way) could not stop its timers from there: that one goes here, small as it is.
void letGo(QTextDocument* document) {
    if (QAbstractEventDispatcher::instance()
            ->registeredTimers(document->documentLayout())
            .isEmpty())
        disposeDocumentAside(document);
    else
        delete document;
}

// A long preview's blocks are many strings to free: a pool thread lets go of the list.
void releaseAside(QList<MarkdownPreviewBlock>& blocks) {
    if (!blocks.isEmpty())
        QThreadPool::globalInstance()->start([list = std::exchange(blocks, {})] {});
}

} // namespace

MarkdownPreviewText::MarkdownPreviewText(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setLineWrapMode(QTextEdit::WidgetWidth);
}

QVariant MarkdownPreviewText::loadResource(int, const QUrl&) {
    return {};
}

MarkdownPreviewPanel::MarkdownPreviewPanel(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_mailbox(MainThreadMailbox::make(this)) {
    setObjectName(QStringLiteral("markdownPreviewPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QHBoxLayout* headerRow = nullptr;
    column->addWidget(makePanelHeader(QStringLiteral("doc.richtext"),
                                      QStringLiteral("tools.markdown-preview"), 14, 10, this,
                                      &headerRow, subheadlineFont(font())));
    headerRow->addStretch(1);
    m_view = new MarkdownPreviewText(this);
    m_view->document()->setDocumentMargin(14);
    column->addWidget(m_view, 1);

    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, &MarkdownPreviewPanel::refresh);
    m_fill.setSingleShot(true);
    connect(&m_fill, &QTimer::timeout, this, &MarkdownPreviewPanel::fill);
    connect(&model, &EditorWindowModel::changed, this, &MarkdownPreviewPanel::schedule);
    refresh();
}

MarkdownPreviewPanel::~MarkdownPreviewPanel() {
    m_mailbox->close();
    m_latest->store(0);
}

void MarkdownPreviewPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Code backgrounds and fonts are part of the blocks: a new theme or font builds them again.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        stopFilling();
        m_looks.reset();
        releaseAside(m_blocks);
        m_hasText = false;
        schedule();
    }
}

void MarkdownPreviewPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_dropped = false;
    refresh();
}

void MarkdownPreviewPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Minimised with its window, it stays as it is.
    if (!event->spontaneous())
        drop();
}

bool MarkdownPreviewPanel::isOutOfSight() const {
    // A panel of its own (not in a window) is built for whoever asks.
    return m_dropped || (parentWidget() && !isVisible());
}

void MarkdownPreviewPanel::drop() {
    m_pause.stop();
    m_fill.stop();
    m_latest->store(++m_ticket);
    m_building = false;
    m_dropped = true;
    m_hasText = false;
    m_text.clear();
    // The editor beside takes the panel's room now and lays its lines out again at the new
    // width: what the preview lets go of is taken apart once that is done, so that freeing it
    // does not take a core from the window's thread meanwhile.
    QTimer::singleShot(
        kLetGoAfterHideMilliseconds, this,
        [blocks = std::exchange(m_blocks, {}), filling = std::exchange(m_filling, {})]() mutable {
            releaseAside(blocks);
            releaseAside(filling);
        });
    takeDocument(makeMarkdownPreviewDocument({}, looks()), kLetGoAfterHideMilliseconds);
}

const MarkdownPreviewLooks& MarkdownPreviewPanel::looks() {
    if (!m_looks)
        m_looks = std::make_shared<const MarkdownPreviewLooks>(m_view->font(), m_view->palette());
    return *m_looks;
}

void MarkdownPreviewPanel::schedule() {
    if (!m_model.state().panels.showMarkdownPreview || isOutOfSight())
        return;
    const QString& text = activeTab(m_model.state()).document.text;
    if (m_hasText && text.isSharedWith(m_text))
        return;
    // Every change restarts the wait for a large text; a short one follows on the next turn.
    m_pause.start(text.size() > kImmediateLimit ? kPauseMilliseconds : 0);
}

void MarkdownPreviewPanel::refresh() {
    m_pause.stop();
    if (!m_model.state().panels.showMarkdownPreview || isOutOfSight())
        return;
    const QString& text = activeTab(m_model.state()).document.text;
    if (m_hasText && (text.isSharedWith(m_text) || text == m_text))
        return;
    stopFilling();
    m_text = text;
    m_hasText = true;
    m_latest->store(++m_ticket);
    if (text.size() > kImmediateLimit) {
        startBuilding(text);
        return;
    }
    m_building = false;
    const QList<MarkdownPreviewBlock> blocks = parseMarkdownBlocks(text);
    present(blocks, markdownBlockChange(m_blocks, blocks));
}

void MarkdownPreviewPanel::startBuilding(const QString& text) {
    m_building = true;
    QThreadPool::globalInstance()->start(
        [mailbox = m_mailbox, latest = m_latest, ticket = m_ticket, text, before = m_blocks, this] {
            if (latest->load() != ticket)
                return;
            QList<MarkdownPreviewBlock> blocks = parseMarkdownBlocks(text);
            if (latest->load() != ticket)
                return;
            const MarkdownBlockChange change = markdownBlockChange(before, blocks);
            mailbox->post([this, ticket, blocks = std::move(blocks), change] {
                receive(ticket, blocks, change);
            });
        });
}

void MarkdownPreviewPanel::receive(quint64 ticket, const QList<MarkdownPreviewBlock>& blocks,
                                   const MarkdownBlockChange& change) {
    if (ticket != m_ticket)
        return; // a newer text, look or a hide came first
    m_building = false;
    present(blocks, change);
}

void MarkdownPreviewPanel::present(const QList<MarkdownPreviewBlock>& blocks,
                                   const MarkdownBlockChange& change) {
    if (!needsFreshDocument(m_blocks, blocks, change)) {
        rewriteMarkdownPreviewDocument(m_view->document(), m_blocks, blocks, change, looks());
        m_blocks = blocks;
        return;
    }
    // A new document with the first blocks now, the rest in the turns after.
    m_blocks = blocks.first(stepEnd(blocks, 0, kFillStepCharacters));
    takeDocument(makeMarkdownPreviewDocument(m_blocks, looks()));
    if (m_blocks.size() < blocks.size()) {
        m_filling = blocks;
        m_building = true;
        m_fill.start(0);
    }
}

void MarkdownPreviewPanel::fill() {
    QElapsedTimer clock;
    clock.start();
    while (m_blocks.size() < m_filling.size() && clock.elapsed() < kFillMilliseconds) {
        const qsizetype from = m_blocks.size();
        const qsizetype to = stepEnd(m_filling, from, kFillStepCharacters);
        appendMarkdownPreviewBlocks(m_view->document(), m_filling, from, to, looks());
        m_blocks.append(m_filling.sliced(from, to - from));
    }
    if (m_blocks.size() < m_filling.size()) {
        m_fill.start(0);
        return;
    }
    m_filling.clear();
    m_building = false;
}

void MarkdownPreviewPanel::stopFilling() {
    m_fill.stop();
    releaseAside(m_filling);
}

void MarkdownPreviewPanel::takeDocument(std::unique_ptr<QTextDocument> document,
                                        int letGoAfterMilliseconds) {
    document->setParent(m_view);
    // The view deletes its first document itself; the ones made here belong to the view.
    const QPointer<QTextDocument> old = m_view->document();
    m_view->setDocument(document.release());
    if (!old || old->parent() != m_view)
        return;
    // Kept by the panel until then, which takes it with it should it go first.
    old->setParent(this);
    QTimer::singleShot(letGoAfterMilliseconds, this, [old] {
        if (!old)
            return;
        old->setParent(nullptr);
        letGo(old);
    });
}

} // namespace dunmoss
