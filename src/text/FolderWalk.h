#pragma once

#include "platform/FileStat.h"

#include <QSet>
#include <QString>
#include <QUrl>
#include <functional>

namespace dunmoss {

// Asked before each entry of a folder walk (and by the threads that read files for it, so it
// must be safe to call from any thread); true ends the walk. A background runner passes its
// cancel flag here (for example `[&flag] { return flag.load(); }`); empty means never.
using CancellationCheck = std::function<bool()>;

inline bool isCancelled(const CancellationCheck& check) {
    return check && check();
}

// Folders a walk lists but never enters (exact, case-sensitive names).
const QSet<QString>& folderSearchSkippedDirectoryNames();

// The local path of a folder URL without a trailing "/" (except for the root "/").
QString folderPathOfURL(const QUrl& folderURL);

// What a walk leaves out besides its fixed rules, and what it tells about them.
struct FolderWalkOptions {
    // Asked with the identity (device and inode) of every folder before it is entered, the root
    // and the root's own folders included: true keeps the walk out of it, by whatever path it
    // is reached. Asked again as each folder comes up, so a folder made during the walk counts.
    std::function<bool(const FileIdentity& folder)> excludesFolder;
    // A regular file whose path holds a name that is not valid UTF-8 has no text form that
    // names it, so it is never visited: this gets a readable form of its path instead (see
    // readableFileName).
    std::function<void(const QString& readablePath)> unnamedFile;
    // Runs a short task soon on another thread. Given, folders are listed there ahead of the
    // walk (which still visits in the same order), so that a walk feeding work on other
    // threads never holds it up on the disk.
    std::function<void(std::function<void()>)> runAhead;
};

// Walks the regular files below a folder, depth first: each folder's contents follow it, and
// entries within a folder come in the file system's order. Hidden entries (names beginning
// with ".") are neither visited nor entered, skipped folders are not entered, and symbolic
// links are never followed, to files or folders. Devices, sockets and FIFOs are left out.
// `visit` gets each file's path and returns false to end the walk; the cancellation check runs
// before every entry. A folder that cannot be listed contributes nothing.
void walkFolderFiles(const QString& folderPath, const CancellationCheck& cancelled,
                     const std::function<bool(const QString& filePath)>& visit,
                     const FolderWalkOptions& options = {});

} // namespace dunmoss
