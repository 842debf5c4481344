#include "window/OpenedFileIndex.h"

#include "text/EditorTab.h"

namespace dunmoss {

FileLocationKey FileLocationKey::of(const QUrl& url) {
    const QString path = url.toLocalFile();
    return FileLocationKey{canonicalFilePath(path), fileIdentity(path)};
}

QList<std::pair<QUuid, QUrl>> OpenedFileIndex::tabsWithoutKey(const QList<EditorTab>& tabs) const {
    QList<std::pair<QUuid, QUrl>> missing;
    for (const EditorTab& tab : tabs) {
        if (!tab.fileURL)
            continue;
        const auto it = m_entries.constFind(tab.id);
        if (it == m_entries.constEnd() || it->url != *tab.fileURL)
            missing.append({tab.id, *tab.fileURL});
    }
    return missing;
}

void OpenedFileIndex::insert(const QUuid& tabID, const QUrl& url, const FileLocationKey& key) {
    m_entries.insert(tabID, Entry{url, key});
    if (!key.canonicalPath.isEmpty() && !m_byPath.contains(key.canonicalPath))
        m_byPath.insert(key.canonicalPath, tabID);
    if (key.identity) {
        const IdentityKey identity{key.identity->device, key.identity->inode};
        if (!m_byIdentity.contains(identity))
            m_byIdentity.insert(identity, tabID);
    }
}

void OpenedFileIndex::sync(const QList<EditorTab>& tabs) {
    QHash<QUuid, Entry> known;
    known.swap(m_entries);
    m_byPath.clear();
    m_byIdentity.clear();
    for (const EditorTab& tab : tabs) {
        if (!tab.fileURL)
            continue;
        const auto it = known.constFind(tab.id);
        const FileLocationKey key = it != known.constEnd() && it->url == *tab.fileURL
                                        ? it->key
                                        : FileLocationKey::of(*tab.fileURL);
        insert(tab.id, *tab.fileURL, key);
    }
}

std::optional<QUuid> OpenedFileIndex::find(const FileLocationKey& key) const {
    if (!key.canonicalPath.isEmpty()) {
        const auto it = m_byPath.constFind(key.canonicalPath);
        if (it != m_byPath.constEnd())
            return *it;
    }
    if (key.identity) {
        const auto it = m_byIdentity.constFind({key.identity->device, key.identity->inode});
        if (it != m_byIdentity.constEnd())
            return *it;
    }
    return std::nullopt;
}

} // namespace dunmoss
