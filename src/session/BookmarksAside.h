#pragma once

#include "text/EditorTab.h"

#include <QList>
#include <QObject>
#include <memory>

namespace dunmoss {

class MainThreadMailbox;

// Makes the bookmarks of tabs' files on a pool thread before a session record asks for them,
// so the record, built on the main thread, finds each one made (or its file known missing)
// instead of asking the disk once per tab. What the pool thread found is kept only for a file
// the main thread has learnt nothing of meanwhile. Main thread only.
class BookmarksAside {
public:
    BookmarksAside();
    ~BookmarksAside();

    // Starts making the bookmarks of the tabs' files that bookmarkForTabFile would make on the
    // spot; nothing while a batch is still under way.
    void prepare(const QList<EditorTab>& tabs);
    bool isPreparing() const { return m_preparing; }

private:
    QObject m_receiver;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    bool m_preparing = false;
};

} // namespace dunmoss
