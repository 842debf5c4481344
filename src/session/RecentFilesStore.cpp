#include "session/RecentFilesStore.h"

#include "platform/Bookmark.h"
#include "platform/Defaults.h"
#include "platform/FileStat.h"
#include "session/SessionStore.h"
#include "session/StrictJson.h"
#include "text/TextCodecs.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace dunmoss {

namespace {

// Paths that are not absolute name no file and are left out. Nothing when the data is not a list of
// records with a path and, optionally, a bookmark.
std::optional<QList<QUrl>> decodeRecords(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<QUrl> urls;
    try {
        for (const QJsonValue& value : document.array()) {
            const StrictJsonObject record =
                StrictJsonObject::fromValue(value, QStringLiteral("record"));
            const QString path = record.requiredString(QStringLiteral("path"));
            const std::optional<QByteArray> bookmark =
                record.optionalData(QStringLiteral("bookmark"));
            std::optional<ResolvedBookmark> resolved;
            if (bookmark)
                resolved = resolveBookmark(*bookmark);
            if (resolved && resolved->isStale)
                bookmarkCache().remove(resolved->path);
            if (resolved)
                urls.append(QUrl::fromLocalFile(resolved->path));
            else if (QDir::isAbsolutePath(path))
                urls.append(QUrl::fromLocalFile(path));
        }
    } catch (const JsonDecodeError&) {
        return std::nullopt;
    }
    return urls;
}

bool namesSameFile(const QUrl& a, const QUrl& b) {
    const QString pathA = a.toLocalFile();
    const QString pathB = b.toLocalFile();
    if (canonicalFilePath(pathA) == canonicalFilePath(pathB))
        return true;
    const std::optional<FileIdentity> identityA = fileIdentity(pathA);
    const std::optional<FileIdentity> identityB = fileIdentity(pathB);
    return identityA && identityB && *identityA == *identityB;
}

} // namespace

RecentFilesStore::RecentFilesStore(Defaults& defaults, QObject* parent)
    : QObject(parent), m_defaults(defaults) {
    loadRecentFiles();
}

void RecentFilesStore::loadRecentFiles() {
    std::optional<QList<QUrl>> urls;
    if (const std::optional<QByteArray> data =
            m_defaults.data(QString::fromLatin1(kRecentFilesKey))) {
        urls = decodeRecords(*data);
        m_storedAsShown = urls.has_value();
    }
    if (!urls) {
        urls.emplace();
        for (const QString& path : m_defaults.stringList(QString::fromLatin1(kLegacyRecentFilesKey))
                                       .value_or(QStringList()))
            if (QDir::isAbsolutePath(path))
                urls->append(QUrl::fromLocalFile(path));
    }
    m_urls = *urls;
    emit urlsChanged();
}

void RecentFilesStore::recordRecentFile(const QUrl& url) {
    recordRecentFiles({url});
}

void RecentFilesStore::recordRecentFiles(const QList<QUrl>& opened) {
    if (opened.isEmpty())
        return;
    // Newest first, each file once (its newest name), the older entries after them.
    QList<QUrl> urls;
    const auto taken = [&](const QUrl& url) {
        return std::any_of(urls.cbegin(), urls.cend(),
                           [&](const QUrl& kept) { return namesSameFile(kept, url); });
    };
    for (auto it = opened.crbegin(); it != opened.crend() && urls.size() < kLimit; ++it)
        if (!taken(*it))
            urls.append(*it);
    for (const QUrl& entry : m_urls)
        if (urls.size() < kLimit && !taken(entry))
            urls.append(entry);
    // The file already first again (every autosave of the tab being typed into) changes
    // nothing: no refresh of the window, no write of the settings.
    if (urls == m_urls && m_storedAsShown)
        return;
    m_urls = urls;
    emit urlsChanged();
    saveRecentFiles();
}

void RecentFilesStore::saveRecentFiles() {
    QJsonArray records;
    for (const QUrl& url : m_urls) {
        const QString path = url.toLocalFile();
        QJsonObject record{{QStringLiteral("path"), path}};
        const QByteArray bookmark = bookmarkForPath(path);
        if (!bookmark.isEmpty())
            record.insert(QStringLiteral("bookmark"), base64Encode(bookmark));
        records.append(record);
    }
    m_defaults.setValue(QString::fromLatin1(kRecentFilesKey),
                        QJsonDocument(records).toJson(QJsonDocument::Compact));
    m_defaults.remove(QString::fromLatin1(kLegacyRecentFilesKey));
    m_storedAsShown = true;
}

} // namespace dunmoss
