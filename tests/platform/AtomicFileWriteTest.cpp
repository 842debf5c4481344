// A file replaced by a save stays the file it was besides its bytes: its owner, group, mode, ACL
// and extended attributes, and the other names it has.
#include "platform/AtomicFileWrite.h"
#include "platform/InPlaceWriteSettle.h"

#include "support/ExtendedAttributes.h"
#include "support/FailingSyncs.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::writeFile;

namespace {

struct Attributes {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    friend bool operator==(const Attributes&, const Attributes&) = default;
};

void PrintTo(const Attributes& a, std::ostream* out) {
    *out << a.owner << ':' << a.group << ' ' << std::oct << a.mode;
}

struct stat statOf(const QString& path) {
    struct stat attributes {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &attributes), 0) << qPrintable(path);
    return attributes;
}

Attributes attributesOf(const QString& path) {
    const struct stat attributes = statOf(path);
    return {attributes.st_uid, attributes.st_gid, attributes.st_mode & 07777};
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class FileKeepingWrites : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    // Two names of one file holding "old bytes\n".
    void writeTwoNames() const {
        writeFile(path("a.txt"), "old bytes\n");
        ASSERT_EQ(::link(QFile::encodeName(path("a.txt")).constData(),
                         QFile::encodeName(path("b.txt")).constData()),
                  0);
    }
    QTemporaryDir dir;
};

} // namespace

// Root writing another user's file (directly and through a link to it) gives the new file the
// old one's owner, group and every mode bit, set-id bits included.
TEST_F(FileKeepingWrites, AnotherUsersFileKeepsOwnerGroupAndSetIdBits) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    const QString file = path("tool.sh");
    writeFile(file, "old\n");
    const QByteArray native = QFile::encodeName(file);
    ASSERT_EQ(::chown(native.constData(), 1000, 1001), 0);
    ASSERT_EQ(::chmod(native.constData(), 06775), 0);
    ASSERT_EQ(::symlink(native.constData(), QFile::encodeName(path("link")).constData()), 0);

    writeBytesAtomically("new\n", file);
    EXPECT_EQ(readAll(file), "new\n");
    EXPECT_EQ(attributesOf(file), (Attributes{1000, 1001, 06775}));

    writeBytesAtomically("newer\n", path("link"));
    EXPECT_TRUE(QFileInfo(path("link")).isSymLink());
    EXPECT_EQ(readAll(file), "newer\n");
    EXPECT_EQ(attributesOf(file), (Attributes{1000, 1001, 06775}));
}

// A member of a shared file's group may write it but cannot give a new file its owner: the file
// is written in place, so its owner, group and set-group-id bit stay.
TEST_F(FileKeepingWrites, AGroupMemberSavingAnotherUsersFileWritesItInPlace) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two users needs root to set them up";
    // Outside the test's own temporary folder, which only root may enter.
    QTemporaryDir shared(QStringLiteral("/tmp/dunmoss-shared-XXXXXX"));
    ::chmod(QFile::encodeName(shared.path()).constData(), 0777);
    const QString file = shared.filePath(QStringLiteral("notes.txt"));
    writeFile(file, "old\n");
    const QByteArray native = QFile::encodeName(file);
    ASSERT_EQ(::chown(native.constData(), 1002, 1001), 0);
    ASSERT_EQ(::chmod(native.constData(), 02666), 0);
    const ino_t inode = statOf(file).st_ino;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const gid_t groups[] = {1001};
        if (::setgroups(1, groups) != 0 || ::setgid(1000) != 0 || ::setuid(1000) != 0)
            ::_exit(3);
        try {
            writeBytesAtomically("new\n", file);
            ::_exit(0);
        } catch (...) {
            ::_exit(4);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readAll(file), "new\n");
    EXPECT_EQ(attributesOf(file), (Attributes{1002, 1001, 02666}));
    EXPECT_EQ(statOf(file).st_ino, inode);
    EXPECT_EQ(QDir(shared.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"notes.txt"});
}

// A saved file keeps its ACL and extended attributes, and its group, limited to reading by the
// ACL, gains nothing from the mode's group bits (the ACL's mask). An ACL the folder would hand a
// new file does not appear on a file that had none.
TEST_F(FileKeepingWrites, ASavedFileKeepsItsAclAndAttributesAndGainsNone) {
    const QString file = path("shared.txt");
    writeFile(file, "old\n");
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    const QByteArray acl = dunmoss::test::sharedWithOneUserAcl();
    if (!dunmoss::test::shareWithOneUser(file))
        GTEST_SKIP() << "this file system keeps no ACL or extended attribute";

    writeBytesAtomically("new\n", file);
    EXPECT_EQ(readAll(file), "new\n");
    EXPECT_EQ(dunmoss::test::attributeOf(file, "system.posix_acl_access"), acl);
    EXPECT_EQ(dunmoss::test::attributeOf(file, "user.origin"), "kept");
    EXPECT_EQ(attributesOf(file).mode, 0660u);

    const QString inherits = path("inherits");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("inherits")));
    ASSERT_TRUE(dunmoss::test::setAttribute(inherits, "system.posix_acl_default", acl));
    const QString plain = inherits + QStringLiteral("/plain.txt");
    writeFile(plain, "old\n");
    ASSERT_EQ(::removexattr(QFile::encodeName(plain).constData(), "system.posix_acl_access"), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(plain).constData(), 0600), 0);
    writeBytesAtomically("new\n", plain);
    EXPECT_EQ(readAll(plain), "new\n");
    EXPECT_EQ(dunmoss::test::attributeOf(plain, "system.posix_acl_access"), std::nullopt);
    EXPECT_EQ(attributesOf(plain).mode, 0600u);
}

// A file with two names is written in place, so both see the new bytes; while it is being
// overwritten a copy of its old bytes stands beside it, and afterwards nothing is left over.
TEST_F(FileKeepingWrites, AFileWithAnotherNameIsWrittenInPlaceBesideACopyOfItsOldBytes) {
    writeTwoNames();
    const ino_t inode = statOf(path("a.txt")).st_ino;
    QByteArray keptWhileWriting;
    writeAtomically(
        path("a.txt"), [&](QIODevice& device) { return device.write("new\n") == 4; },
        [&] {
            for (const QString& name : entries())
                if (name.startsWith(QStringLiteral(".a.txt.")))
                    keptWhileWriting = readAll(dir.filePath(name));
            // A writer still alive keeps its copy: a settle meanwhile leaves it.
            EXPECT_EQ(settleInterruptedInPlaceWrite(path("a.txt")).outcome,
                      InPlaceWriteSettle::CopyLeft);
            return true;
        });
    EXPECT_TRUE(keptWhileWriting.endsWith("old bytes\n"));
    EXPECT_EQ(readAll(path("a.txt")), "new\n");
    EXPECT_EQ(readAll(path("b.txt")), "new\n");
    EXPECT_EQ(statOf(path("a.txt")).st_ino, inode);
    EXPECT_EQ(entries(), (QStringList{"a.txt", "b.txt"}));
}

// Written in place, a write cut short, a copy the disk did not take, or a file found changed
// right before it is overwritten all leave the old bytes under both names, and no copy.
TEST_F(FileKeepingWrites, AFileWithAnotherNameWhoseWriteFailsOrIsRefusedKeepsItsOldBytes) {
    writeTwoNames();
    auto unchanged = [&] {
        EXPECT_EQ(readAll(path("a.txt")), "old bytes\n");
        EXPECT_EQ(readAll(path("b.txt")), "old bytes\n");
        EXPECT_EQ(entries(), (QStringList{"a.txt", "b.txt"}));
    };
    EXPECT_THROW(writeAtomically(path("a.txt"),
                                 [](QIODevice& device) {
                                     device.write("partly new and longer\n");
                                     return false;
                                 }),
                 FileError);
    unchanged();
    {
        const dunmoss::test::FailingSyncs disk(AtomicWriteSync::FileData);
        EXPECT_THROW(writeBytesAtomically("new\n", path("a.txt")), FileError);
    }
    unchanged();
    EXPECT_FALSE(writeAtomically(
        path("a.txt"), [](QIODevice& device) { return device.write("new\n") == 4; },
        [] { return false; }));
    unchanged();
}
