#include "tools/MarkdownPreviewPanel.h"

#include "editor/IconTable.h"
#include "editor/TextStorage.h"
#include "tools/PanelChrome.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

using Kind = MarkdownPreviewBlock::Kind;

// Above this many differing blocks a fresh document is built off screen and swapped in.
constexpr qsizetype kRebuildThreshold = 2000;

struct BlockLook {
    QTextBlockFormat block;
    QTextCharFormat text;
    QTextCharFormat mark;
};

BlockLook blockLook(const MarkdownPreviewBlock& content, const QFont& base,
                    const QPalette& palette) {
    BlockLook look;
    look.block.setBottomMargin(10);
    QFont font = base;
    switch (content.kind) {
    case Kind::Heading:
        font = content.level == 1 ? headlineFont(base) : headlineFont(base);
        if (content.level == 1)
            font.setPointSizeF(base.pointSizeF() + 5);
        break;
    case Kind::Paragraph:
        look.block.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);
        break;
    case Kind::Bullet: {
        const int indent = QFontMetrics(base).horizontalAdvance(QStringLiteral("\u2022")) + 8;
        look.block.setLeftMargin(indent);
        look.block.setTextIndent(-indent);
        QFont bold = base;
        bold.setWeight(QFont::DemiBold);
        look.mark.setFont(bold);
        break;
    }
    case Kind::Code:
        font = monospacedCaptionFont(base);
        look.block.setBackground(palette.color(QPalette::AlternateBase));
        look.block.setLeftMargin(0);
        look.block.setTopMargin(0);
        look.block.setNonBreakableLines(false);
        break;
    }
    look.text.setFont(font);
    return look;
}

// One preview block is always one text block: code lines are joined by line separators, and
// the frame markers U+FDD0 and U+FDD1, which a text document would take as structure and
// split a block at, show as the editor shows them.
QString shownText(const MarkdownPreviewBlock& content) {
    if (content.kind != Kind::Code)
        return TextStorage::displayForm(content.text);
    if (content.text.isEmpty())
        return QStringLiteral(" ");
    QString text = TextStorage::displayForm(content.text);
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    return text;
}

void insertContent(QTextCursor& cursor, const MarkdownPreviewBlock& content,
                   const BlockLook& look) {
    if (content.kind == Kind::Bullet) {
        cursor.insertText(QStringLiteral("\u2022"), look.mark);
        cursor.insertText(QStringLiteral("\u2002") + shownText(content), look.text);
        return;
    }
    cursor.insertText(shownText(content), look.text);
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
    : QWidget(parent), m_model(model) {
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

void MarkdownPreviewPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Code backgrounds and fonts are part of the blocks: a new theme or font builds them again.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        m_blocks.clear();
        m_hasText = false;
        schedule();
    }
}

void MarkdownPreviewPanel::schedule() {
    if (!m_model.state().panels.showMarkdownPreview)
        return;
    const QString& text = activeTab(m_model.state()).document.text;
    if (m_hasText && text.isSharedWith(m_text))
        return;
    // Every change restarts the wait for a large text; a short one follows on the next turn.
    m_pause.start(text.size() > kImmediateLimit ? kPauseMilliseconds : 0);
}

void MarkdownPreviewPanel::refresh() {
    m_pause.stop();
    if (!m_model.state().panels.showMarkdownPreview)
        return;
    const QString& text = activeTab(m_model.state()).document.text;
    if (m_hasText && text == m_text)
        return;
    m_text = text;
    m_hasText = true;
    update(parseMarkdownBlocks(text));
}

void MarkdownPreviewPanel::rebuild(const QList<MarkdownPreviewBlock>& blocks) {
    auto* document = new QTextDocument(m_view);
    document->setDocumentMargin(14);
    document->setDefaultFont(m_view->font());
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const BlockLook look = blockLook(blocks.at(i), m_view->font(), m_view->palette());
        if (i == 0)
            cursor.setBlockFormat(look.block);
        else
            cursor.insertBlock(look.block, look.text);
        insertContent(cursor, blocks.at(i), look);
    }
    cursor.endEditBlock();
    // The view deletes its first document itself; the ones made here belong to the view.
    const QPointer<QTextDocument> old = m_view->document();
    m_view->setDocument(document);
    if (old && old->parent() == m_view)
        old->deleteLater();
    m_blocks = blocks;
}

void MarkdownPreviewPanel::writeBlock(QTextBlock block, const MarkdownPreviewBlock& content) {
    const BlockLook look = blockLook(content, m_view->font(), m_view->palette());
    QTextCursor cursor(block);
    cursor.setBlockFormat(look.block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    insertContent(cursor, content, look);
}

void MarkdownPreviewPanel::update(const QList<MarkdownPreviewBlock>& blocks) {
    const qsizetype oldCount = m_blocks.size();
    const qsizetype newCount = blocks.size();
    qsizetype prefix = 0;
    while (prefix < oldCount && prefix < newCount && m_blocks.at(prefix) == blocks.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < oldCount - prefix && suffix < newCount - prefix &&
           m_blocks.at(oldCount - 1 - suffix) == blocks.at(newCount - 1 - suffix))
        ++suffix;
    const qsizetype oldEnd = oldCount - suffix;
    const qsizetype newEnd = newCount - suffix;
    if (oldCount == 0 || newCount == 0 || std::max(oldEnd, newEnd) - prefix > kRebuildThreshold) {
        rebuild(blocks);
        return;
    }
    QTextDocument* document = m_view->document();
    QTextCursor edit(document);
    edit.beginEditBlock();
    const qsizetype inPlace = std::min(oldEnd, newEnd) - prefix;
    for (qsizetype i = prefix; i < prefix + inPlace; ++i)
        writeBlock(document->findBlockByNumber(int(i)), blocks.at(i));
    qsizetype at = prefix + inPlace;
    if (newEnd > oldEnd) {
        // New blocks go in after the block before them (there is one: the first block is
        // rewritten in place unless the list was empty, which rebuilds).
        if (at == 0) {
            QTextCursor first(document->firstBlock());
            first.insertBlock();
            writeBlock(document->firstBlock(), blocks.at(0));
            writeBlock(document->firstBlock().next(), m_blocks.at(0));
            ++at;
        }
        QTextCursor cursor(document->findBlockByNumber(int(at - 1)));
        cursor.movePosition(QTextCursor::EndOfBlock);
        for (qsizetype i = at; i < newEnd; ++i) {
            const BlockLook look = blockLook(blocks.at(i), m_view->font(), m_view->palette());
            cursor.insertBlock(look.block, look.text);
            insertContent(cursor, blocks.at(i), look);
        }
    } else if (oldEnd > newEnd) {
        QTextCursor cursor(document);
        if (oldEnd < oldCount) {
            cursor.setPosition(document->findBlockByNumber(int(at)).position());
            cursor.setPosition(document->findBlockByNumber(int(oldEnd)).position(),
                               QTextCursor::KeepAnchor);
        } else {
            const QTextBlock before = document->findBlockByNumber(int(at - 1));
            cursor.setPosition(before.position() + before.length() - 1);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    }
    edit.endEditBlock();
    m_blocks = blocks;
}

} // namespace dunmoss
