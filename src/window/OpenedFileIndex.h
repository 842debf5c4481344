#pragma once

#include "platform/FileStat.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

namespace dunmoss {

struct EditorTab;

// Where a file is, as far as telling two names of one file apart goes: its path with links
// resolved, and its device and inode when it exists. Two keys name the same file when the
// paths are equal or both identities are (the rule of isSameFileLocation).
struct FileLocationKey {
    QString canonicalPath;
    std::optional<FileIdentity> identity;

    // Asks the file system (two calls); any thread.
    static FileLocationKey of(const QUrl& url);
};

// The files the window's tabs show, looked up by key in constant time, so that a batch of files
// compares each new file with the open tabs without asking the file system once per tab.
class OpenedFileIndex {
public:
    // The tabs with a file whose key is not known here (new, or showing another file since).
    QList<std::pair<QUuid, QUrl>> tabsWithoutKey(const QList<EditorTab>& tabs) const;
    void insert(const QUuid& tabID, const QUrl& url, const FileLocationKey& key);
    // Brings the index in line with the tabs, in tab order; a tab still without a key gets one
    // from the file system here.
    void sync(const QList<EditorTab>& tabs);
    // The first tab (in tab order at the last sync) that shows the file.
    std::optional<QUuid> find(const FileLocationKey& key) const;

private:
    struct Entry {
        QUrl url;
        FileLocationKey key;
    };
    using IdentityKey = std::pair<quint64, quint64>;
    QHash<QUuid, Entry> m_entries;
    QHash<QString, QUuid> m_byPath;
    QHash<IdentityKey, QUuid> m_byIdentity;
};

} // namespace dunmoss
