#pragma once

#include "tools/MarkdownBlocks.h"

#include <QFont>
#include <QList>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <memory>

class QPalette;
class QTextDocument;

namespace dunmoss {

// How each kind of preview block looks. Made on the panel's thread from its font and palette
// (fonts are looked up there), then only read, so documents can be filled with it on any thread.
class MarkdownPreviewLooks {
public:
    struct Look {
        QTextBlockFormat block;
        QTextCharFormat text;
        QTextCharFormat mark;
    };

    MarkdownPreviewLooks(const QFont& base, const QPalette& palette);

    const Look& of(const MarkdownPreviewBlock& content) const;
    const QFont& baseFont() const { return m_base; }

private:
    QFont m_base;
    Look m_title;
    Look m_heading;
    Look m_paragraph;
    Look m_bullet;
    Look m_code;
};

// A document showing the blocks, one text block each; made on any thread, with no layout yet
// (the view that takes it lays it out at its width).
std::unique_ptr<QTextDocument>
makeMarkdownPreviewDocument(const QList<MarkdownPreviewBlock>& blocks,
                            const MarkdownPreviewLooks& looks);

// Appends blocks `from` to `to` of `blocks` after the last block of a document that already
// shows at least one block; the document lays out only what was added.
void appendMarkdownPreviewBlocks(QTextDocument* document, const QList<MarkdownPreviewBlock>& blocks,
                                 qsizetype from, qsizetype to, const MarkdownPreviewLooks& looks);

// Rewrites a document showing `before` into one showing `after`, touching only the blocks
// `change` names.
void rewriteMarkdownPreviewDocument(QTextDocument* document,
                                    const QList<MarkdownPreviewBlock>& before,
                                    const QList<MarkdownPreviewBlock>& after,
                                    const MarkdownBlockChange& change,
                                    const MarkdownPreviewLooks& looks);

} // namespace dunmoss
