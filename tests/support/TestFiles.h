#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace dunmoss::test {

// Writes (or overwrites) a file with exactly the given bytes.
inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Another program puts new bytes in the file and its modification time back as it was, as a
// copy that keeps times does, or as a file system that keeps whole seconds shows a rewrite
// within the second: renamed into place from a new file, or rewritten in place once the
// kernel's clock has moved past the file's change time, so that time tells.
inline void rewriteKeepingDate(const QString& path, const QByteArray& bytes,
                               bool renamedIntoPlace) {
    const QByteArray native = QFile::encodeName(path);
    struct stat before {};
    ASSERT_EQ(::stat(native.constData(), &before), 0);
    const auto notAfterChange = [&before] {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        return now.tv_sec < before.st_ctim.tv_sec ||
               (now.tv_sec == before.st_ctim.tv_sec && now.tv_nsec <= before.st_ctim.tv_nsec);
    };
    while (notAfterChange()) {
    }
    if (renamedIntoPlace) {
        writeFile(path + QStringLiteral(".new"), bytes);
        ASSERT_EQ(std::rename((native + ".new").constData(), native.constData()), 0);
    } else {
        writeFile(path, bytes);
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.constData(), times, 0), 0);
}

} // namespace dunmoss::test
