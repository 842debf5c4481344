#include "tools/MarkdownPreviewPanel.h"

#include "editor/IconTable.h"
#include "platform/MainThreadMailbox.h"
#include "tools/PanelChrome.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPointer>
#include <QShowEvent>
#include <QTextDocument>
#include <QThreadPool>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

// Above this many differing blocks a fresh document is built off screen and swapped in.
constexpr qsizetype kRebuildThreshold = 2000;

bool needsFreshDocument(const QList<MarkdownPreviewBlock>& before,
                        const QList<MarkdownPreviewBlock>& after,
                        const MarkdownBlockChange& change) {
    return before.isEmpty() || after.isEmpty() || change.span() > kRebuildThreshold;
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
        m_looks.reset();
        m_blocks.clear();
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
    m_latest->store(++m_ticket);
    m_building = false;
    m_dropped = true;
    m_hasText = false;
    m_text.clear();
    m_blocks.clear();
    takeDocument(makeMarkdownPreviewDocument({}, looks()));
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
    m_text = text;
    m_hasText = true;
    m_latest->store(++m_ticket);
    if (text.size() > kImmediateLimit) {
        startBuilding(text);
        return;
    }
    m_building = false;
    const QList<MarkdownPreviewBlock> blocks = parseMarkdownBlocks(text);
    const MarkdownBlockChange change = markdownBlockChange(m_blocks, blocks);
    present(blocks, change,
            needsFreshDocument(m_blocks, blocks, change)
                ? makeMarkdownPreviewDocument(blocks, looks())
                : nullptr);
}

void MarkdownPreviewPanel::startBuilding(const QString& text) {
    m_building = true;
    // Looks of its own: formats cache their hash when first used, so the pool thread shares none
    // with the ones this thread writes with.
    auto looks = std::make_shared<const MarkdownPreviewLooks>(m_view->font(), m_view->palette());
    QThreadPool::globalInstance()->start([this, mailbox = m_mailbox, latest = m_latest,
                                          ticket = m_ticket, text, before = m_blocks, looks] {
        if (latest->load() != ticket)
            return;
        QList<MarkdownPreviewBlock> blocks = parseMarkdownBlocks(text);
        const MarkdownBlockChange change = markdownBlockChange(before, blocks);
        auto document = std::make_shared<std::unique_ptr<QTextDocument>>();
        if (latest->load() != ticket)
            return;
        if (needsFreshDocument(before, blocks, change))
            *document = makeMarkdownPreviewDocument(blocks, *looks);
        if (latest->load() != ticket)
            return; // let go here, on the thread that made it
        QTextDocument* raw = document->get();
        mailbox->post([this, ticket, blocks = std::move(blocks), change,
                       document] { receive(ticket, blocks, change, std::move(*document)); },
                      [raw](QThread* thread) {
                          if (raw)
                              raw->moveToThread(thread);
                      });
    });
}

void MarkdownPreviewPanel::receive(quint64 ticket, const QList<MarkdownPreviewBlock>& blocks,
                                   const MarkdownBlockChange& change,
                                   std::unique_ptr<QTextDocument> document) {
    if (ticket != m_ticket)
        return; // a newer text, look or a hide came first
    m_building = false;
    present(blocks, change, std::move(document));
}

void MarkdownPreviewPanel::present(const QList<MarkdownPreviewBlock>& blocks,
                                   const MarkdownBlockChange& change,
                                   std::unique_ptr<QTextDocument> document) {
    if (document)
        takeDocument(std::move(document));
    else
        rewriteMarkdownPreviewDocument(m_view->document(), m_blocks, blocks, change, looks());
    m_blocks = blocks;
}

void MarkdownPreviewPanel::takeDocument(std::unique_ptr<QTextDocument> document) {
    document->setParent(m_view);
    // The view deletes its first document itself; the ones made here belong to the view.
    const QPointer<QTextDocument> old = m_view->document();
    m_view->setDocument(document.release());
    if (old && old->parent() == m_view)
        old->deleteLater();
}

} // namespace dunmoss
