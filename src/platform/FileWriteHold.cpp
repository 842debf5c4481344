#include "platform/FileWriteHold.h"

#include "platform/FileStat.h"

#include <QFile>
#include <QHash>
#include <sys/stat.h>

namespace dunmoss {

namespace {

// An existing file is its device and inode, so every name of it is one key; a missing one its
// canonical path (which begins with a slash, so never looks like an inode's key).
QString holdKey(const QString& path) {
    struct stat attributes {};
    if (::stat(QFile::encodeName(path).constData(), &attributes) == 0)
        return QStringLiteral("%1:%2")
            .arg(quint64(attributes.st_dev))
            .arg(quint64(attributes.st_ino));
    return canonicalFilePath(path);
}

std::shared_ptr<std::recursive_mutex> mutexFor(const QString& key) {
    // Never destroyed: the session writer's thread may still write while the process ends.
    static std::mutex& registryMutex = *new std::mutex;
    static auto& registry = *new QHash<QString, std::weak_ptr<std::recursive_mutex>>;
    std::lock_guard lock(registryMutex);
    std::shared_ptr<std::recursive_mutex> mutex = registry.value(key).lock();
    if (!mutex) {
        // Keys no longer held by anyone are dropped now and then.
        if (registry.size() > 64)
            registry.removeIf([](const auto& entry) { return entry.value().expired(); });
        mutex = std::make_shared<std::recursive_mutex>();
        registry.insert(key, mutex);
    }
    return mutex;
}

} // namespace

AtomicWriteHold::AtomicWriteHold(const QString& path) {
    // The name may come to stand for another file (a rename over it, or its creation) while
    // this waits: the hold counts only once the key still names what the path is. A few tries
    // settle it; a file replaced without end keeps the last.
    for (int attempt = 0;; ++attempt) {
        const QString key = holdKey(path);
        m_mutex = mutexFor(key);
        m_mutex->lock();
        if (attempt == 7 || holdKey(path) == key)
            return;
        m_mutex->unlock();
    }
}

AtomicWriteHold::~AtomicWriteHold() {
    m_mutex->unlock();
}

} // namespace dunmoss
