// A file with two names written in place and killed part-way is never left torn: the next start
// (or the next write of it) finds the copy of its old bytes and settles the file, old or new.
#include "platform/InPlaceWriteSettle.h"
#include "platform/AtomicFileWrite.h"

#include "support/KilledInPlaceWrite.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QByteArray lines(const char* line, int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += line + QByteArray::number(i) + '\n';
    return bytes;
}

QByteArray sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

class InPlaceSettle : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(a, oldBytes);
        ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Both names hold `bytes` and nothing of ours is left beside them.
    void expectWhole(const QByteArray& bytes) const {
        EXPECT_EQ(readAll(a), bytes);
        EXPECT_EQ(readAll(b), bytes);
        EXPECT_EQ(entries(), (QStringList{"a.txt", "b.txt"}));
    }

    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.txt"));
    const QString b = dir.filePath(QStringLiteral("b.txt"));
    const QByteArray oldBytes = lines("the old line ", 4000);
    const QByteArray newBytes = lines("new ", 3000);
};

} // namespace

TEST_F(InPlaceSettle, AKilledWriteGetsTheOldBytesBackUnlessTheFileHoldsTheNotedOnes) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    ASSERT_NE(readAll(a), oldBytes);
    ASSERT_NE(readAll(a), newBytes);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a, sha256(newBytes)),
              InPlaceWriteSettle::PutOldBytesBack);
    expectWhole(oldBytes);

    // Every byte written, not yet synced: the noted write stands; unnoted, it never confirmed.
    ASSERT_TRUE(writeKilledAt(KilledAt::AllWritten, a, newBytes));
    EXPECT_EQ(settleInterruptedInPlaceWrite(a, sha256(newBytes)),
              InPlaceWriteSettle::KeptWrittenBytes);
    expectWhole(newBytes);
    ASSERT_TRUE(writeKilledAt(KilledAt::AllWritten, a, "third\n"));
    EXPECT_EQ(settleInterruptedInPlaceWrite(a, std::nullopt), InPlaceWriteSettle::PutOldBytesBack);
    expectWhole(newBytes);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a, std::nullopt), InPlaceWriteSettle::Nothing);
}

// The next write of the file settles it first, even one that is then refused; a copy killed
// while it was being made is removed.
TEST_F(InPlaceSettle, TheNextWriteStartsFromTheOldBytes) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    EXPECT_FALSE(writeAtomically(
        a, [](QIODevice& device) { return device.write("refused\n") == 8; }, [] { return false; }));
    expectWhole(oldBytes);

    ASSERT_TRUE(writeKilledAt(KilledAt::MakingTheCopy, a, newBytes));
    EXPECT_EQ(readAll(a), oldBytes);
    writeBytesAtomically(newBytes, a);
    expectWhole(newBytes);
}

// The copy is the file's owner's, and a copy someone else put there under its name is not taken
// for ours.
TEST_F(InPlaceSettle, TheCopyCarriesTheOwnerAndOnlyOurCopyIsPutBack) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to other users needs root";
    ASSERT_EQ(::chown(QFile::encodeName(a).constData(), 1000, 1001), 0);
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    struct stat file {};
    ASSERT_EQ(::stat(QFile::encodeName(a).constData(), &file), 0);
    const QString kept = inPlaceKeptCopyPath(a, file.st_ino);
    struct stat copy {};
    ASSERT_EQ(::stat(QFile::encodeName(kept).constData(), &copy), 0);
    EXPECT_EQ(copy.st_uid, 1000u);
    EXPECT_EQ(copy.st_gid, 1001u);

    ASSERT_EQ(::chown(QFile::encodeName(kept).constData(), 1002, 1001), 0);
    const QByteArray torn = readAll(a);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a, std::nullopt), InPlaceWriteSettle::Nothing);
    EXPECT_EQ(readAll(a), torn);
}

// Two writers reaching one file through its two names take turns: their bytes never mix.
TEST_F(InPlaceSettle, TwoWritersThroughTwoNamesTakeTurns) {
    const QByteArray first(200'000, 'A');
    const QByteArray second(200'000, 'B');
    std::mutex mutex;
    std::condition_variable changed;
    bool secondDone = false;
    std::thread other;
    const auto writeFirst = [&](QIODevice& device) {
        device.write(first.left(100'000));
        static_cast<QFileDevice&>(device).flush();
        other = std::thread([&] {
            writeBytesAtomically(second, b);
            const std::lock_guard lock(mutex);
            secondDone = true;
            changed.notify_all();
        });
        // Gives the other writer every chance to come between the two halves.
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(1), [&] { return secondDone; });
        return device.write(first.mid(100'000)) == 100'000;
    };
    EXPECT_NO_THROW(writeAtomically(a, writeFirst));
    if (other.joinable())
        other.join();
    expectWhole(second);
}
