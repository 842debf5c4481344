#include "platform/FileAttributes.h"

#include "platform/FileError.h"
#include "platform/PosixFile.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <sys/xattr.h>
#include <unistd.h>

namespace dunmoss {

namespace {

// The system's own attributes hold access lists ("system.posix_acl_access", NFS's
// "system.nfs4_acl"), which a change of mode rewrites: the mode's group bits are an ACL's mask.
bool isAccessList(const QByteArray& name) {
    return name.startsWith("system.");
}

struct Attribute {
    QByteArray name;
    QByteArray value;
};

// The answers of a system that will not let the new file have something the old one has, as
// against a failing disk. (ENOTSUP is EOPNOTSUPP here.)
bool isRefusal(int error) {
    return error == EPERM || error == EACCES || error == EOPNOTSUPP || error == E2BIG ||
           error == ERANGE;
}

// Reads an answer of the size-then-fill attribute calls, asking again when it grew between the
// two. Answers 0 or the errno.
template <typename Call> int readSized(const Call& call, QByteArray& out) {
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0)
            return errno;
        out.resize(qsizetype(size));
        if (size == 0)
            return 0;
        const ssize_t got = call(out.data(), size_t(size));
        if (got >= 0) {
            out.resize(qsizetype(got));
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

// The names of an attribute list, NUL-ended one after another; none where the file system keeps
// no attributes.
template <typename List> QList<QByteArray> attributeNames(const List& list, const QString& path) {
    QByteArray names;
    if (const int error = readSized(list, names)) {
        if (error == EOPNOTSUPP)
            return {};
        throw FileError::fromErrno(error, path, true);
    }
    QList<QByteArray> split = names.split('\0');
    split.removeAll(QByteArray());
    return split;
}

// The old file's attributes, read through its path without following a link there.
QList<Attribute> attributesAt(const QByteArray& from, const QString& path) {
    QList<Attribute> attributes;
    const auto names = attributeNames(
        [&](char* buffer, size_t size) { return ::llistxattr(from.constData(), buffer, size); },
        path);
    for (const QByteArray& name : names) {
        Attribute attribute{name, {}};
        const int error = readSized(
            [&](void* buffer, size_t size) {
                return ::lgetxattr(from.constData(), name.constData(), buffer, size);
            },
            attribute.value);
        if (error == ENODATA)
            continue; // gone since it was listed
        if (error != 0)
            throw FileError::fromErrno(error, path, true);
        attributes.append(std::move(attribute));
    }
    return attributes;
}

// Gives the new file one attribute, unless it holds that value already (a security label the
// folder gave it). Answers 0 or the errno.
int setAttribute(int to, const Attribute& attribute) {
    QByteArray current;
    const int error = readSized(
        [&](void* buffer, size_t size) {
            return ::fgetxattr(to, attribute.name.constData(), buffer, size);
        },
        current);
    if (error == 0 && current == attribute.value)
        return 0;
    return ::fsetxattr(to, attribute.name.constData(), attribute.value.constData(),
                       size_t(attribute.value.size()), 0) == 0
               ? 0
               : errno;
}

} // namespace

AttributeCarry carryFileAttributes(const QString& from, const struct stat& original, int to,
                                   const QString& path) {
    const QByteArray source = QFile::encodeName(from);
    // Owner and group first: changing them clears set-id bits and file capabilities.
    keepOwnerAndGroup(to, original.st_uid, original.st_gid);
    struct stat now {};
    if (::fstat(to, &now) != 0)
        throw FileError::fromErrno(errno, path, true);
    if (now.st_uid != original.st_uid || now.st_gid != original.st_gid)
        return AttributeCarry::Refused;

    const QList<Attribute> attributes = attributesAt(source, path);
    // False for a refusal; any other failure is thrown.
    auto check = [&path](int error) {
        if (error != 0 && !isRefusal(error))
            throw FileError::fromErrno(error, path, true);
        return error == 0;
    };
    const auto inherited = attributeNames(
        [to](char* buffer, size_t size) { return ::flistxattr(to, buffer, size); }, path);
    for (const QByteArray& name : inherited) {
        const bool kept = std::any_of(attributes.begin(), attributes.end(),
                                      [&name](const Attribute& a) { return a.name == name; });
        if (!kept && ::fremovexattr(to, name.constData()) != 0 && errno != ENODATA && !check(errno))
            return AttributeCarry::Refused;
    }
    QList<const Attribute*> accessLists;
    for (const Attribute& attribute : attributes) {
        if (isAccessList(attribute.name))
            accessLists.append(&attribute);
        else if (!check(setAttribute(to, attribute)))
            return AttributeCarry::Refused;
    }
    if (!check(::fchmod(to, original.st_mode & 07777) == 0 ? 0 : errno))
        return AttributeCarry::Refused;
    // Last, as a change of mode would rewrite them.
    for (const Attribute* accessList : accessLists) {
        if (!check(setAttribute(to, *accessList)))
            return AttributeCarry::Refused;
    }

    // The system may drop a set-id bit without a word (a group the writer is not in).
    if (::fstat(to, &now) != 0)
        throw FileError::fromErrno(errno, path, true);
    if ((now.st_mode & 07777) != (original.st_mode & 07777) || now.st_uid != original.st_uid ||
        now.st_gid != original.st_gid)
        return AttributeCarry::Refused;
    return AttributeCarry::Carried;
}

} // namespace dunmoss
