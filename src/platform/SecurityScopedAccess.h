#pragma once

#include <QString>
#include <QUrl>

namespace dunmoss {

// Brackets every read or write of a user's file or folder. There is no sandbox here, so it
// grants nothing and releases nothing; it stays at each call site so that the places that touch
// user files remain marked and a future sandboxed build has one spot to fill in.
class SecurityScopedAccess {
public:
    explicit SecurityScopedAccess(const QUrl& url) : m_started(url.isLocalFile()) {}
    explicit SecurityScopedAccess(const QString& path) : m_started(!path.isEmpty()) {}
    ~SecurityScopedAccess() = default;

    SecurityScopedAccess(const SecurityScopedAccess&) = delete;
    SecurityScopedAccess& operator=(const SecurityScopedAccess&) = delete;

    // Whether access is held on a local item (always so for a file path or file URL). Callers
    // must not refuse work when this is false: ordinary file permissions still apply.
    bool started() const { return m_started; }

private:
    bool m_started;
};

} // namespace dunmoss
