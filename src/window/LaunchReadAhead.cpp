#include "window/LaunchReadAhead.h"

#include "platform/Defaults.h"

#include <QHash>
#include <QThread>
#include <QThreadPool>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace dunmoss {

namespace {

struct Entry {
    bool done = false;
    std::optional<TabFileRead> result;
};

struct Store {
    std::mutex mutex;
    std::condition_variable finished;
    std::condition_variable ready;
    bool applicationReady = true;
    QHash<QUrl, std::shared_ptr<Entry>> entries;
};

Store& store() {
    static Store instance;
    return instance;
}

// Reads one file for its entry; the entry is done once the read has failed, been dropped or
// been kept with its document.
void readInto(const QUrl& url, const std::shared_ptr<Entry>& entry) {
    Store& s = store();
    std::optional<TabFileRead> read = readFileForTab(url, {}, false);
    bool wanted = !read->failure;
    if (wanted) {
        std::unique_lock lock(s.mutex);
        s.ready.wait(lock, [&] { return s.applicationReady; });
        wanted = s.entries.value(url) == entry;
    }
    // Dropped while it was read (a launch that handed its files over): no document for it.
    if (wanted)
        prepareTabDocument(*read, {}, false);
    // Belonging to no thread, the document can be taken over by the one that opens it.
    if (read->document)
        read->document->moveToThread(nullptr);
    {
        const std::lock_guard lock(s.mutex);
        entry->done = true;
        const bool kept = s.entries.value(url) == entry;
        if (kept && !read->failure)
            entry->result = std::exchange(read, std::nullopt);
        else if (kept)
            s.entries.remove(url);
    }
    s.finished.notify_all();
    // A read nobody waits for any more is freed here, outside the lock.
}

} // namespace

void LaunchReadAhead::start(const QList<QUrl>& urls) {
    // A read that fails says why in the interface language, which the settings store tells:
    // made here, the store belongs to the window's thread, not to the reading one.
    if (!urls.isEmpty())
        Defaults::standard();
    Store& s = store();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        auto entry = std::make_shared<Entry>();
        {
            const std::lock_guard lock(s.mutex);
            if (s.entries.contains(url))
                continue;
            s.entries.insert(url, entry);
        }
        QThreadPool::globalInstance()->start([url, entry] { readInto(url, entry); });
    }
}

void LaunchReadAhead::startBeforeApplication(const QList<QUrl>& urls) {
    {
        Store& s = store();
        const std::lock_guard lock(s.mutex);
        s.applicationReady = false;
    }
    start(urls);
}

void LaunchReadAhead::applicationReady() {
    Store& s = store();
    {
        const std::lock_guard lock(s.mutex);
        s.applicationReady = true;
    }
    s.ready.notify_all();
}

std::optional<TabFileRead> LaunchReadAhead::take(const QUrl& url) {
    Store& s = store();
    std::optional<TabFileRead> result;
    {
        std::unique_lock lock(s.mutex);
        const std::shared_ptr<Entry> entry = s.entries.value(url);
        if (!entry)
            return std::nullopt;
        s.finished.wait(lock, [&] { return entry->done; });
        if (s.entries.value(url) == entry)
            s.entries.remove(url);
        result = std::exchange(entry->result, std::nullopt);
    }
    if (result && result->document)
        result->document->moveToThread(QThread::currentThread());
    return result;
}

void LaunchReadAhead::dropUntaken() {
    QHash<QUrl, std::shared_ptr<Entry>> dropped;
    Store& s = store();
    {
        const std::lock_guard lock(s.mutex);
        dropped.swap(s.entries);
    }
    // The finished reads are freed with `dropped`, outside the lock; a running one finds itself
    // no longer wanted and frees its result when it ends.
}

int LaunchReadAhead::pendingCount() {
    Store& s = store();
    const std::lock_guard lock(s.mutex);
    return int(s.entries.size());
}

} // namespace dunmoss
