#include "editor/TextStorageRegistry.h"

namespace dunmoss {

std::shared_ptr<TextStorage> TextStorageRegistry::textStorage(const QUuid& documentID) {
    auto it = m_storages.find(documentID);
    if (it == m_storages.end()) {
        it = m_storages.insert(documentID, std::make_shared<TextStorage>());
        shareText(documentID, **it);
    }
    return it.value();
}

std::shared_ptr<TextStorage> TextStorageRegistry::textStorage(const QUuid& documentID,
                                                              const QString& fillText) {
    const bool existed = m_storages.contains(documentID);
    auto storage = textStorage(documentID);
    if (!existed && !fillText.isEmpty())
        storage->replaceAll(fillText);
    return storage;
}

bool TextStorageRegistry::adoptTextStorage(const QUuid& documentID,
                                           std::shared_ptr<TextStorage> storage) {
    if (m_storages.contains(documentID))
        return false;
    shareText(documentID, *storage);
    m_storages.insert(documentID, std::move(storage));
    return true;
}

void TextStorageRegistry::shareText(const QUuid& documentID, TextStorage& storage) const {
    if (!m_sharedTexts)
        return;
    storage.setSharedText([lookup = m_sharedTexts, documentID] { return lookup(documentID); });
}

void TextStorageRegistry::pruneTextStorages(const QSet<QUuid>& keep) {
    for (auto it = m_storages.begin(); it != m_storages.end();) {
        if (keep.contains(it.key()))
            ++it;
        else
            it = m_storages.erase(it);
    }
}

void TextStorageRegistry::removeTextStorage(const QUuid& documentID) {
    m_storages.remove(documentID);
}

std::optional<TextStorage::Look> TextStorageRegistry::shownLook() const {
    for (const std::shared_ptr<TextStorage>& storage : m_storages)
        if (storage->isPrimaryShown())
            return storage->look();
    return std::nullopt;
}

} // namespace dunmoss
