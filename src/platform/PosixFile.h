#pragma once

#include <QByteArrayView>
#include <QString>
#include <sys/types.h>

namespace dunmoss {

// Owns an open file descriptor and closes it when it goes.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept;
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Closes now, ignoring the result: for descriptors whose close cannot lose a write.
    void reset();
    // Closes now and returns close()'s result, so that a delayed write error is seen.
    int close();

private:
    int m_fd;
};

// Writes every byte, going on after a short write or an interruption. Throws the FileError of
// a failed write naming `path`.
void writeAll(int fd, QByteArrayView bytes, const QString& path);

// Gives the open file this owner and group where the system allows it; where the owner cannot
// be given, at least the group (which its owner may set to any group they belong to). A
// refusal is not an error: the file keeps what it has, as stream editors' in-place files do.
// Changing the owner may clear set-id bits, so permissions are set after this.
void keepOwnerAndGroup(int fd, uid_t owner, gid_t group);
// A new file taking another's place: its owner and group where permitted, then its mode. The
// set-user-id bit stays only while the owner is kept, the set-group-id bit only while owner
// and group are, so a file never runs as someone it did not run as before. Answers 0 or the
// errno of the failed fchmod().
int keepOwnerGroupAndMode(int fd, uid_t owner, gid_t group, mode_t mode);

// Copies the rest of one open file into another, in the kernel where it can. Throws the
// FileError of a failed read or write naming `path`.
void copyFileContent(int from, int to, const QString& path);

} // namespace dunmoss
