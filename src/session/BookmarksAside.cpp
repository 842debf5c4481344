#include "session/BookmarksAside.h"

#include "platform/Bookmark.h"
#include "platform/MainThreadMailbox.h"
#include "session/SessionStore.h"

#include <QThreadPool>

namespace dunmoss {

namespace {

struct Wanted {
    QString path;
    MissingBookmarkFile facts;
    QByteArray bookmark;
};

} // namespace

BookmarksAside::BookmarksAside() : m_mailbox(MainThreadMailbox::make(&m_receiver)) {}

BookmarksAside::~BookmarksAside() {
    m_mailbox->close();
}

void BookmarksAside::prepare(const QList<EditorTab>& tabs) {
    if (m_preparing)
        return;
    auto wanted = std::make_shared<QList<Wanted>>();
    for (const EditorTab& tab : tabs) {
        if (!tab.fileURL)
            continue;
        QString path = tab.fileURL->toLocalFile();
        if (isTabFileBookmarkKnown(path, tab))
            continue;
        wanted->append(Wanted{std::move(path), missingBookmarkFileFacts(tab), {}});
    }
    if (wanted->isEmpty())
        return;
    m_preparing = true;
    QThreadPool::globalInstance()->start([mailbox = m_mailbox, wanted, this] {
        for (Wanted& file : *wanted)
            file.bookmark = makeBookmark(file.path);
        mailbox->post([this, wanted] {
            m_preparing = false;
            QHash<QString, QByteArray>& made = bookmarkCache();
            MissingBookmarkFiles& missing = missingBookmarkFiles();
            for (const Wanted& file : std::as_const(*wanted)) {
                if (made.contains(file.path) || missing.contains(file.path))
                    continue;
                if (file.bookmark.isEmpty())
                    missing.insert(file.path, file.facts);
                else
                    made.insert(file.path, file.bookmark);
            }
        });
    });
}

} // namespace dunmoss
