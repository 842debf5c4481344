#pragma once

#include "tools/MarkdownBlocks.h"
#include "tools/MarkdownPreviewDocument.h"

#include <QString>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>

class QTextDocument;

namespace dunmoss {

class EditorWindowModel;
class MainThreadMailbox;

// The preview's text area: read-only, selectable, and never loading anything (no images, no
// links, no style sheets): the document is built from plain blocks, never from markup.
class MarkdownPreviewText : public QTextEdit {
    Q_OBJECT
public:
    explicit MarkdownPreviewText(QWidget* parent = nullptr);

protected:
    QVariant loadResource(int type, const QUrl& name) override;
};

// The Markdown preview beside the editor: the active tab's text as headings, paragraphs,
// bullets and code blocks, one text block each. After an edit only the blocks that differ from
// the shown ones are rewritten; large texts wait for a pause in typing first, and are read on a
// pool thread. A preview built anew starts with its first blocks and takes the rest in turns of
// a few milliseconds each, so laying out a long text never holds the window up.
//
// Hidden, the panel keeps no document: a text view out of sight may be squeezed to no width and
// would lay a large document out again at that width, a character per line. Shown again, it
// builds the preview anew. A document let go is taken apart on a pool thread.
class MarkdownPreviewPanel : public QWidget {
    Q_OBJECT
public:
    // The width it starts at beside the editor, which may then be dragged wider or narrower.
    static constexpr int kWidth = 360;
    // Texts longer than this wait for a pause in typing and are read on a pool thread.
    static constexpr qsizetype kImmediateLimit = 100'000;
    static constexpr int kPauseMilliseconds = 150;
    // What a turn of filling a new preview may take, and how many characters it adds between
    // two looks at the clock.
    static constexpr int kFillMilliseconds = 8;
    static constexpr qsizetype kFillStepCharacters = 4'000;
    // A hidden preview's document and blocks are let go after this wait (see drop).
    static constexpr int kLetGoAfterHideMilliseconds = 500;

    explicit MarkdownPreviewPanel(EditorWindowModel& model, QWidget* parent = nullptr);
    ~MarkdownPreviewPanel() override;

    // Brings the preview up to the active tab's text: at once for a short text, else when the
    // pool thread's work comes back; a preview built anew is filled over several turns
    // (isBuilding until all of it shows).
    void refresh();

    MarkdownPreviewText* textView() const { return m_view; }
    const QList<MarkdownPreviewBlock>& shownBlocks() const { return m_blocks; }
    bool isBuilding() const { return m_building; }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void schedule();
    bool isOutOfSight() const;
    void drop();
    const MarkdownPreviewLooks& looks();
    void startBuilding(const QString& text);
    void receive(quint64 ticket, const QList<MarkdownPreviewBlock>& blocks,
                 const MarkdownBlockChange& change);
    void present(const QList<MarkdownPreviewBlock>& blocks, const MarkdownBlockChange& change);
    void fill();
    void stopFilling();
    // The document shown before is let go after the given wait, on a pool thread.
    void takeDocument(std::unique_ptr<QTextDocument> document, int letGoAfterMilliseconds = 1);

    EditorWindowModel& m_model;
    MarkdownPreviewText* m_view = nullptr;
    QTimer m_pause;
    QTimer m_fill;
    QString m_text;
    bool m_hasText = false;
    // Hidden after being shown: nothing is built until it shows again.
    bool m_dropped = false;
    bool m_building = false;
    // The blocks the view shows; while a new preview fills, the ones it will show in the end.
    QList<MarkdownPreviewBlock> m_blocks;
    QList<MarkdownPreviewBlock> m_filling;
    std::shared_ptr<const MarkdownPreviewLooks> m_looks;
    // The newest build asked for; an older one still running stops or is let go.
    quint64 m_ticket = 0;
    std::shared_ptr<std::atomic<quint64>> m_latest = std::make_shared<std::atomic<quint64>>(0);
    std::shared_ptr<MainThreadMailbox> m_mailbox;
};

} // namespace dunmoss
