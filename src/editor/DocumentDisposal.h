#pragma once

class QTextDocument;

namespace dunmoss {

// Takes apart a document no view shows any more on a pool thread: freeing the blocks and
// line layouts of a long text is a wait of its own, which the main thread does not sit through.
// The document must have no parent and live on the calling thread; it is gone soon after (at
// once while the program ends). Timers of its objects must be their children: they are stopped.
void disposeDocumentAside(QTextDocument* document);

} // namespace dunmoss
