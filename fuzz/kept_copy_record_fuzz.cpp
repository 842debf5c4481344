// A copy kept beside a file written in place opens with a record that a settle trusts to judge
// the file: a damaged or hostile one must be refused without crashing or reading past it, and
// one that is read must write back to the same record.
#include "platform/InPlaceKeptCopy.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int fileHolding(const char* data, size_t size) {
    const int fd = ::memfd_create("kept", MFD_CLOEXEC);
    if (fd < 0)
        std::abort();
    if (size > 0 && ::write(fd, data, size) != ssize_t(size))
        std::abort();
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = fileHolding(reinterpret_cast<const char*>(data), size);
    const auto read = dunmoss::readKeptCopyRecord(fd);
    ::close(fd);
    if (!read)
        return 0;
    const auto& [record, oldAt] = *read;
    if (oldAt < 0 || oldAt + record.oldSize != qint64(size))
        std::abort();
    // What was read writes back as a record that reads the same.
    QByteArray again = dunmoss::encodeKeptCopyRecord(record);
    again.append(QByteArray(record.oldSize, 'o'));
    const int copy = fileHolding(again.constData(), size_t(again.size()));
    const auto reread = dunmoss::readKeptCopyRecord(copy);
    ::close(copy);
    if (!reread || reread->second != again.size() - record.oldSize || reread->first.device != record.device ||
        reread->first.inode != record.inode || reread->first.born != record.born ||
        reread->first.newSize != record.newSize ||
        reread->first.newBlockDigests != record.newBlockDigests)
        std::abort();
    return 0;
}
