// A file with two names written in place and killed part-way is never left torn: the next start
// (or the next write of it) finds the copy of its old bytes and settles the file, old or new.
#include "platform/InPlaceWriteSettle.h"
#include "platform/AtomicFileWrite.h"

#include "support/FailingSyncs.h"
#include "support/KilledInPlaceWrite.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <condition_variable>
#include <fcntl.h>
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

quint64 inodeOf(const QString& path) {
    struct stat attributes {};
    return ::stat(QFile::encodeName(path).constData(), &attributes) == 0 ? attributes.st_ino : 0;
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

TEST_F(InPlaceSettle, AKilledWriteGetsTheOldBytesBackButNeverLosesTheNewOnes) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    ASSERT_NE(readAll(a), oldBytes);
    ASSERT_NE(readAll(a), newBytes);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::PutOldBytesBack);
    expectWhole(oldBytes);

    // Every byte written, not yet synced (or a power cut that brought the copy back): the file
    // holds exactly what the write meant, and keeps it.
    ASSERT_TRUE(writeKilledAt(KilledAt::AllWritten, a, newBytes));
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::KeptWrittenBytes);
    expectWhole(newBytes);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::Nothing);
}

// A power cut after a confirmed write can bring its copy back beside the new bytes: they stay.
TEST_F(InPlaceSettle, ACopyBackAfterAPowerCutNeverRollsAConfirmedWriteBack) {
    const QString aside = dir.filePath("aside");
    QString hidden;
    ASSERT_TRUE(writeAtomically(
        a, [&](QIODevice& device) { return device.write(newBytes) == newBytes.size(); },
        [&] {
            hidden = dir.filePath(entries().filter(".dunmoss-kept-").value(0));
            return QFile::copy(hidden, aside);
        }));
    ASSERT_TRUE(QFile::rename(aside, hidden));
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::KeptWrittenBytes);
    expectWhole(newBytes);
}

// Bytes the write cannot have left are someone else's: they stay, and the copy of the old ones
// is shown beside the file once, whole.
TEST_F(InPlaceSettle, ALaterChangeInPlaceIsKeptAndTheCopyShown) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    QByteArray fix = oldBytes;
    fix.replace(0, 3, "THE");
    writeFile(b, fix); // in place: both names see it
    const InPlaceWriteSettlement settled = settleInterruptedInPlaceWrite(a);
    EXPECT_EQ(settled.outcome, InPlaceWriteSettle::CopyShown);
    EXPECT_TRUE(settled.strayCopies.isEmpty());
    EXPECT_EQ(readAll(a), fix);
    EXPECT_EQ(readAll(settled.copy), oldBytes);
    EXPECT_EQ(entries(), (QStringList{"a.txt", QFileInfo(settled.copy).fileName(), "b.txt"}));
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::Nothing);

    // Torn, then one byte of the old part changed: not the write's doing either.
    ASSERT_TRUE(QFile::remove(settled.copy));
    writeFile(a, oldBytes);
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    QByteArray torn = readAll(a);
    torn[torn.size() - 2] = 'X';
    writeFile(a, torn);
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::CopyShown);
    EXPECT_EQ(readAll(a), torn);
}

// A copy whose file was replaced by rename, or whose number a new file took, is never put into
// any file: it is shown under a name of its own and named once.
TEST_F(InPlaceSettle, ACopyOfAFileThatWentAwayIsNeverPutBack) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    const QByteArray torn = readAll(a);
    writeFile(dir.filePath("theirs.new"), "theirs\n");
    ASSERT_TRUE(QFile::remove(a));
    ASSERT_TRUE(QFile::rename(dir.filePath("theirs.new"), a));
    InPlaceWriteSettlement settled = settleInterruptedInPlaceWrite(a);
    EXPECT_EQ(settled.outcome, InPlaceWriteSettle::Nothing);
    ASSERT_EQ(settled.strayCopies.size(), 1);
    EXPECT_EQ(readAll(settled.strayCopies.first()), oldBytes);
    EXPECT_EQ(readAll(a), "theirs\n");
    EXPECT_TRUE(settleInterruptedInPlaceWrite(a).strayCopies.isEmpty());

    // The number reused: a new file at the name holding the very bytes a kill would have
    // left, and the copy named after its number.
    ASSERT_TRUE(QFile::remove(settled.strayCopies.first()));
    ASSERT_TRUE(QFile::remove(b));
    writeFile(a, oldBytes);
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(b).constData()), 0);
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    const QString hidden = inPlaceKeptCopyPath(a, inodeOf(a));
    ASSERT_TRUE(QFile::exists(hidden));
    ASSERT_TRUE(QFile::remove(a));
    writeFile(a, torn);
    ASSERT_TRUE(QFile::rename(hidden, inPlaceKeptCopyPath(a, inodeOf(a))));
    struct statx born {};
    if (::statx(AT_FDCWD, QFile::encodeName(a).constData(), 0, STATX_BTIME, &born) != 0 ||
        !(born.stx_mask & STATX_BTIME))
        GTEST_SKIP() << "this file system keeps no birth time";
    settled = settleInterruptedInPlaceWrite(a);
    EXPECT_EQ(settled.outcome, InPlaceWriteSettle::Nothing);
    EXPECT_EQ(settled.strayCopies.size(), 1);
    EXPECT_EQ(readAll(a), torn);
}

// `sed -i` replaces the file by rename, twice; then the file is written again.
TEST_F(InPlaceSettle, ACopyOutlivesStreamEditsWithoutTouchingTheirResult) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    ASSERT_EQ(::unlink(QFile::encodeName(b).constData()), 0);
    for (const char* edit : {"s/old/OLD/", "s/line/LINE/"})
        ASSERT_EQ(QProcess::execute(QStringLiteral("sed"), {"-i", edit, a}), 0);
    const QByteArray edited = readAll(a);
    ASSERT_TRUE(edited.contains("the OLD LINE"));
    writeBytesAtomically(edited + "more\n", a);
    EXPECT_EQ(readAll(a), edited + "more\n");
    const QStringList left = entries();
    ASSERT_EQ(left.size(), 2);
    EXPECT_EQ(readAll(dir.filePath(left.at(1))), oldBytes);
}

// Read through its other name, in another folder, the file is settled all the same.
TEST_F(InPlaceSettle, TheOtherNameFindsTheCopy) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("elsewhere"));
    const QString c = dir.filePath("elsewhere/c.txt");
    ASSERT_EQ(::link(QFile::encodeName(a).constData(), QFile::encodeName(c).constData()), 0);
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    EXPECT_EQ(settleInterruptedInPlaceWrite(c).outcome, InPlaceWriteSettle::PutOldBytesBack);
    EXPECT_EQ(readAll(c), oldBytes);
    ASSERT_TRUE(QFile::remove(c));
    expectWhole(oldBytes);
}

// A put-back the disk does not confirm keeps the copy, as a failed write's put-back does.
TEST_F(InPlaceSettle, APutBackTheDiskRefusesKeepsTheCopy) {
    ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, a, newBytes));
    {
        const FailingSyncs disk(AtomicWriteSync::FileData);
        const InPlaceWriteSettlement settled = settleInterruptedInPlaceWrite(a);
        EXPECT_EQ(settled.outcome, InPlaceWriteSettle::CopyLeft);
        EXPECT_TRUE(QFile::exists(settled.copy));
    }
    EXPECT_NE(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::CopyLeft);
    expectWhole(oldBytes);
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
    EXPECT_EQ(settleInterruptedInPlaceWrite(a).outcome, InPlaceWriteSettle::Nothing);
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
