#include "platform/FileWriteHold.h"

#include "platform/FileStat.h"

#include <QHash>

namespace dunmoss {

AtomicWriteHold::AtomicWriteHold(const QString& path) {
    // Never destroyed: the session writer's thread may still write while the process ends.
    static std::mutex& registryMutex = *new std::mutex;
    static auto& registry = *new QHash<QString, std::weak_ptr<std::recursive_mutex>>;
    const QString key = canonicalFilePath(path);
    {
        std::lock_guard lock(registryMutex);
        m_mutex = registry.value(key).lock();
        if (!m_mutex) {
            // Paths no longer written by anyone are dropped now and then.
            if (registry.size() > 64)
                registry.removeIf([](const auto& entry) { return entry.value().expired(); });
            m_mutex = std::make_shared<std::recursive_mutex>();
            registry.insert(key, m_mutex);
        }
    }
    m_mutex->lock();
}

AtomicWriteHold::~AtomicWriteHold() {
    m_mutex->unlock();
}

} // namespace dunmoss
