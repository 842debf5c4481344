#pragma once

#include <QString>
#include <sys/stat.h>

namespace dunmoss {

// Whether a new file could be made to stand for an existing one.
enum class AttributeCarry { Carried, Refused };

// Gives the open new file `to`, which is to take the place of the existing regular file at
// `from` (a link there is not followed) whose status is `original`, everything that says who may
// read or write it: its owner, group and mode, and its extended attributes, the access ACL among
// them. Attributes the new file has and the old one lacks (an ACL inherited from the folder) go.
// The ACL is set after the mode, whose group bits are its mask, so the group never gains access.
//
// Refused when the system will not let the new file be the same (another user's file, a group the
// writer is not in, a file system or policy that refuses an attribute): the caller then writes the
// file in place or leaves it, so that a write never changes who may use the file. Throws the
// FileError of any other failure, naming `path`.
AttributeCarry carryFileAttributes(const QString& from, const struct stat& original, int to,
                                   const QString& path);

} // namespace dunmoss
