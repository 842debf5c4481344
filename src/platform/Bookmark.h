#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace dunmoss {

// A stored reference to a file or folder that survives relaunches: the absolute path with the
// item's identity at the time, behind a small versioned header so malformed data is recognised.
struct ResolvedBookmark {
    QString path;
    // The item at the path is no longer the one the bookmark was made for (replaced or
    // re-created); the caller should make a fresh bookmark.
    bool isStale = false;
};

// Empty when the item does not exist or the path cannot be made absolute.
QByteArray makeBookmark(const QString& path);

// Nothing when the data is malformed or the item is gone.
std::optional<ResolvedBookmark> resolveBookmark(const QByteArray& data);

} // namespace dunmoss
