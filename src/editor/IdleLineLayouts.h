#pragma once

#include <QObject>
#include <QTimer>

class QTextDocument;

namespace dunmoss {

// Gives back the line layout objects of a document's blocks that hold nothing. Qt makes one for
// every block whenever a view gives the document a width (and some passes over every block do
// too): a few hundred bytes a block, which for a text of tens of thousands of lines outweighs
// the text itself. A layout with no lines, no formats, no kept shaping and no text being
// composed is what QTextBlock::layout() would make again when asked, so freeing it changes
// nothing a view shows. The release runs a while after the layouts were made, a slice of blocks
// per turn of the event loop, so that it never holds a key; the memory freed goes back to the
// system.
class IdleLineLayouts : public QObject {
    Q_OBJECT
public:
    // Documents of fewer blocks are left alone.
    static constexpr int kMinimumBlocks = 4096;
    // How long after the last mass making of layouts the release starts.
    static constexpr int kDelayMs = 800;
    // Blocks visited per turn of the event loop.
    static constexpr int kBlocksPerTurn = 8192;

    // A child of `parent`, which must live as long as the document.
    IdleLineLayouts(QTextDocument* document, QObject* parent);

    // Layouts were made for many blocks (a new width, a change across the document): a release
    // is due once things have been quiet for a while.
    void noteLayoutsMade();
    bool isReleaseDue() const { return m_delay.isActive() || m_slice.isActive(); }

    // Whether this build and the Qt it runs with can free a block's layout.
    static bool canRelease();
    // Frees the empty layouts of `count` blocks from the one numbered `first`; answers the number
    // of the block after the last one visited, or -1 past the end. For tests and the slices.
    static int releaseFrom(QTextDocument& document, int first, int count, int* released = nullptr);

private:
    void releaseSlice();

    QTextDocument* m_document;
    QTimer m_delay;
    QTimer m_slice;
    int m_next = 0;
    int m_released = 0;
};

} // namespace dunmoss
