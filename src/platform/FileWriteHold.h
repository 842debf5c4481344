#pragma once

#include <QString>
#include <memory>
#include <mutex>

namespace dunmoss {

// One writer per file at a time across the program: the document writer, autosave, the
// session writer and the folder replace each hold the file's path while they look at it and
// replace it, so nobody else's write comes between their check and their rename. An existing
// file's hold is keyed on its device and inode, so its symbolic links and its other names (hard
// links) are one file; a missing file's on its canonical path. Writes on the holding thread pass
// (a write inside another of the same thread).
class AtomicWriteHold {
public:
    explicit AtomicWriteHold(const QString& path);
    ~AtomicWriteHold();
    AtomicWriteHold(const AtomicWriteHold&) = delete;
    AtomicWriteHold& operator=(const AtomicWriteHold&) = delete;

private:
    std::shared_ptr<std::recursive_mutex> m_mutex;
};

} // namespace dunmoss
