#include "tools/MarkdownPreviewDocument.h"

#include "editor/TextStorage.h"
#include "tools/PanelChrome.h"

#include <QFontMetrics>
#include <QPalette>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace dunmoss {

namespace {

using Kind = MarkdownPreviewBlock::Kind;
using Look = MarkdownPreviewLooks::Look;

Look withFont(Look look, const QFont& font) {
    look.block.setBottomMargin(10);
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

void insertContent(QTextCursor& cursor, const MarkdownPreviewBlock& content, const Look& look) {
    if (content.kind == Kind::Bullet) {
        cursor.insertText(QStringLiteral("\u2022"), look.mark);
        cursor.insertText(QStringLiteral("\u2002") + shownText(content), look.text);
        return;
    }
    cursor.insertText(shownText(content), look.text);
}

void writeBlock(QTextBlock block, const MarkdownPreviewBlock& content, const Look& look) {
    QTextCursor cursor(block);
    cursor.setBlockFormat(look.block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    insertContent(cursor, content, look);
}

} // namespace

MarkdownPreviewLooks::MarkdownPreviewLooks(const QFont& base, const QPalette& palette)
    : m_base(base) {
    QFont title = headlineFont(base);
    title.setPointSizeF(base.pointSizeF() + 5);
    m_title = withFont({}, title);
    m_heading = withFont({}, headlineFont(base));

    m_paragraph = withFont({}, base);
    m_paragraph.block.setLineHeight(3, QTextBlockFormat::LineDistanceHeight);

    m_bullet = withFont({}, base);
    const int indent = QFontMetrics(base).horizontalAdvance(QStringLiteral("\u2022")) + 8;
    m_bullet.block.setLeftMargin(indent);
    m_bullet.block.setTextIndent(-indent);
    QFont bold = base;
    bold.setWeight(QFont::DemiBold);
    m_bullet.mark.setFont(bold);

    m_code = withFont({}, monospacedCaptionFont(base));
    m_code.block.setBackground(palette.color(QPalette::AlternateBase));
    m_code.block.setLeftMargin(0);
    m_code.block.setTopMargin(0);
    m_code.block.setNonBreakableLines(false);
}

const Look& MarkdownPreviewLooks::of(const MarkdownPreviewBlock& content) const {
    switch (content.kind) {
    case Kind::Heading:
        return content.level == 1 ? m_title : m_heading;
    case Kind::Paragraph:
        return m_paragraph;
    case Kind::Bullet:
        return m_bullet;
    case Kind::Code:
        return m_code;
    }
    return m_paragraph;
}

std::unique_ptr<QTextDocument>
makeMarkdownPreviewDocument(const QList<MarkdownPreviewBlock>& blocks,
                            const MarkdownPreviewLooks& looks) {
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentMargin(14);
    document->setDefaultFont(looks.baseFont());
    document->setUndoRedoEnabled(false);
    QTextCursor cursor(document.get());
    cursor.beginEditBlock();
    for (qsizetype i = 0; i < blocks.size(); ++i) {
        const Look& look = looks.of(blocks.at(i));
        if (i == 0)
            cursor.setBlockFormat(look.block);
        else
            cursor.insertBlock(look.block, look.text);
        insertContent(cursor, blocks.at(i), look);
    }
    cursor.endEditBlock();
    return document;
}

void appendMarkdownPreviewBlocks(QTextDocument* document, const QList<MarkdownPreviewBlock>& blocks,
                                 qsizetype from, qsizetype to, const MarkdownPreviewLooks& looks) {
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (qsizetype i = from; i < to; ++i) {
        const Look& look = looks.of(blocks.at(i));
        cursor.insertBlock(look.block, look.text);
        insertContent(cursor, blocks.at(i), look);
    }
    cursor.endEditBlock();
}

void rewriteMarkdownPreviewDocument(QTextDocument* document,
                                    const QList<MarkdownPreviewBlock>& before,
                                    const QList<MarkdownPreviewBlock>& after,
                                    const MarkdownBlockChange& change,
                                    const MarkdownPreviewLooks& looks) {
    const auto write = [&](QTextBlock block, const MarkdownPreviewBlock& content) {
        writeBlock(block, content, looks.of(content));
    };
    const qsizetype oldCount = before.size();
    const auto [prefix, oldEnd, newEnd] = change;
    QTextCursor edit(document);
    edit.beginEditBlock();
    const qsizetype inPlace = std::min(oldEnd, newEnd) - prefix;
    for (qsizetype i = prefix; i < prefix + inPlace; ++i)
        write(document->findBlockByNumber(int(i)), after.at(i));
    qsizetype at = prefix + inPlace;
    if (newEnd > oldEnd) {
        // New blocks go in after the block before them (there is one: the first block is
        // rewritten in place unless the list was empty, which the caller builds afresh).
        if (at == 0) {
            QTextCursor first(document->firstBlock());
            first.insertBlock();
            write(document->firstBlock(), after.at(0));
            write(document->firstBlock().next(), before.at(0));
            ++at;
        }
        QTextCursor cursor(document->findBlockByNumber(int(at - 1)));
        cursor.movePosition(QTextCursor::EndOfBlock);
        for (qsizetype i = at; i < newEnd; ++i) {
            const Look& look = looks.of(after.at(i));
            cursor.insertBlock(look.block, look.text);
            insertContent(cursor, after.at(i), look);
        }
    } else if (oldEnd > newEnd) {
        QTextCursor cursor(document);
        if (oldEnd < oldCount) {
            cursor.setPosition(document->findBlockByNumber(int(at)).position());
            cursor.setPosition(document->findBlockByNumber(int(oldEnd)).position(),
                               QTextCursor::KeepAnchor);
        } else {
            const QTextBlock previous = document->findBlockByNumber(int(at - 1));
            cursor.setPosition(previous.position() + previous.length() - 1);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
    }
    edit.endEditBlock();
}

} // namespace dunmoss
