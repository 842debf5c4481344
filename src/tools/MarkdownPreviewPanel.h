#pragma once

#include "tools/MarkdownBlocks.h"

#include <QString>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

class QTextBlock;
class QTextDocument;

namespace dunmoss {

class EditorWindowModel;

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
// the shown ones are rewritten; large texts wait for a pause in typing first.
class MarkdownPreviewPanel : public QWidget {
    Q_OBJECT
public:
    // The width it starts at beside the editor, which may then be dragged wider or narrower.
    static constexpr int kWidth = 360;
    // Texts longer than this wait for a pause in typing before the preview follows.
    static constexpr qsizetype kImmediateLimit = 100'000;
    static constexpr int kPauseMilliseconds = 150;

    explicit MarkdownPreviewPanel(EditorWindowModel& model, QWidget* parent = nullptr);

    // Brings the preview up to the active tab's text now.
    void refresh();

    MarkdownPreviewText* textView() const { return m_view; }
    const QList<MarkdownPreviewBlock>& shownBlocks() const { return m_blocks; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void schedule();
    void rebuild(const QList<MarkdownPreviewBlock>& blocks);
    void update(const QList<MarkdownPreviewBlock>& blocks);
    void writeBlock(QTextBlock block, const MarkdownPreviewBlock& content);

    EditorWindowModel& m_model;
    MarkdownPreviewText* m_view = nullptr;
    QTimer m_pause;
    QString m_text;
    bool m_hasText = false;
    QList<MarkdownPreviewBlock> m_blocks;
};

} // namespace dunmoss
