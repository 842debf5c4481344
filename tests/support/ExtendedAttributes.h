#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <cerrno>
#include <initializer_list>
#include <optional>
#include <sys/xattr.h>

namespace dunmoss::test {

// An ACL entry as the kernel keeps it: tag, permission bits and, for a named user or group, its
// id.
struct AclEntry {
    enum Tag : quint16 { Owner = 0x01, User = 0x02, OwningGroup = 0x04, Mask = 0x10, Other = 0x20 };
    Tag tag;
    quint16 permissions;
    quint32 id = 0xFFFFFFFF;
};

// The value of "system.posix_acl_access" (or "..._default") holding these entries, which must come
// in the kernel's order (by tag, then id).
inline QByteArray aclValue(std::initializer_list<AclEntry> entries) {
    QByteArray value(4, '\0');
    qToLittleEndian<quint32>(2, value.data());
    for (const AclEntry& entry : entries) {
        char raw[8];
        qToLittleEndian<quint16>(entry.tag, raw);
        qToLittleEndian<quint16>(entry.permissions, raw + 2);
        qToLittleEndian<quint32>(entry.id, raw + 4);
        value.append(raw, 8);
    }
    return value;
}

inline bool setAttribute(const QString& path, const char* name, const QByteArray& value) {
    return ::lsetxattr(QFile::encodeName(path).constData(), name, value.constData(),
                       size_t(value.size()), 0) == 0;
}

// The attribute's value; nothing when the file has none of that name.
inline std::optional<QByteArray> attributeOf(const QString& path, const char* name) {
    const QByteArray native = QFile::encodeName(path);
    char buffer[4096];
    const ssize_t size = ::lgetxattr(native.constData(), name, buffer, sizeof buffer);
    if (size < 0)
        return std::nullopt;
    return QByteArray(buffer, qsizetype(size));
}

// The ACL of a file shared for writing with user 1000 while its owning group may only read: the
// mask allows writing, so a mode set after it would let the group write.
inline QByteArray sharedWithOneUserAcl() {
    return aclValue({{AclEntry::Owner, 6},
                     {AclEntry::User, 6, 1000},
                     {AclEntry::OwningGroup, 4},
                     {AclEntry::Mask, 6},
                     {AclEntry::Other, 0}});
}

// Gives the file that ACL and a "user.origin" attribute; false where the file system keeps none.
inline bool shareWithOneUser(const QString& path) {
    return setAttribute(path, "user.origin", "kept") &&
           setAttribute(path, "system.posix_acl_access", sharedWithOneUserAcl());
}

} // namespace dunmoss::test
