// Reading a file in pieces from several threads must give the bytes one read in order gives,
// whatever the pieces and however the file's size changed since it was looked at.
#include "platform/FileReading.h"
#include "platform/FileError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

using namespace dunmoss;

namespace {

constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();

class OpenFile {
public:
    explicit OpenFile(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

QByteArray randomBytes(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(5);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

} // namespace

TEST(FileReading, PiecesGiveTheBytesOfOneReadWhateverTheSizeSaid) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bytes.bin"));
    const QByteArray content = randomBytes(1000);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    OpenFile opened(path);
    ASSERT_GE(opened.fd(), 0);
    for (const qint64 piece : {0, 1, 3, 64, 333, 999, 5000}) {
        // The size as it was looked at, smaller (the file grew since) and larger (it shrank).
        for (const qint64 expected : {1000, 0, 1, 400, 999, 1001, 4000}) {
            EXPECT_EQ(readFileBytesInPieces(opened.fd(), kNoLimit, expected, path, piece), content)
                << piece << " " << expected;
        }
        // A limit cuts the bytes however many were expected.
        for (const qint64 limit : {0, 1, 500, 1000}) {
            EXPECT_EQ(readFileBytesInPieces(opened.fd(), limit, 1000, path, piece),
                      content.first(limit))
                << piece << " " << limit;
            EXPECT_EQ(readFileBytesInPieces(opened.fd(), limit, limit, path, piece),
                      content.first(limit))
                << piece << " " << limit;
        }
    }
    // Large enough to be read in pieces by default.
    const QByteArray large = randomBytes(9'000'000);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(large);
    file.close();
    OpenFile reopened(path);
    EXPECT_EQ(readFileBytes(reopened.fd(), kNoLimit, large.size(), path), large);
    EXPECT_EQ(readFileBytes(reopened.fd(), kNoLimit, large.size() + 4096, path), large);
    EXPECT_EQ(readFileBytes(reopened.fd(), 5'000'000, 5'000'000, path), large.first(5'000'000));
}

TEST(FileReading, AFailedReadIsAnErrorNamingTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkpath(path));
    // Reading a folder fails with EISDIR, in pieces or not.
    OpenFile opened(path);
    ASSERT_GE(opened.fd(), 0);
    for (const qint64 piece : {0, 1, 10}) {
        try {
            readFileBytesInPieces(opened.fd(), kNoLimit, 100, path, piece);
            ADD_FAILURE() << "a folder was read";
        } catch (const FileError& error) {
            EXPECT_EQ(error.path(), path) << piece;
        }
    }
}
