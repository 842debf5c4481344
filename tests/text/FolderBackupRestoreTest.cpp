#include "text/FolderBackupRestore.h"
#include "FolderTree.h"
#include "platform/AtomicFileWrite.h"
#include "platform/FileError.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementManifest.h"
#include "text/FolderReplacementRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;
using Kind = FolderReplacementBackupError::Kind;

namespace {

// A backup folder written by hand, so that tests can make it as hostile as they like.
class Restore : public ::testing::Test {
protected:
    void writeBackup(const QStringList& entries, const QString& rootPath,
                     std::optional<int> version = 2) {
        QJsonObject manifest{{"createdAt", "2025-03-01T09:30:00Z"},
                             {"rootPath", rootPath},
                             {"replacementCount", entries.size()},
                             {"files", QJsonArray::fromStringList(entries)}};
        if (version)
            manifest.insert(QStringLiteral("formatVersion"), *version);
        backup.write(QStringLiteral("manifest.json"), QJsonDocument(manifest).toJson());
    }
    void save(const QString& relative, const QByteArray& bytes) {
        backup.write(QStringLiteral("files/") + relative, bytes);
    }

    int restore() {
        return restoreFolderReplacementBackup(backup.rootURL(), target.rootURL()).restored;
    }

    // The error of a restore that must fail.
    template <typename Error> Error restoreError() {
        try {
            restore();
        } catch (const Error& error) {
            return error;
        }
        ADD_FAILURE() << "the restore did not fail as expected";
        throw std::runtime_error("no error");
    }

    QStringList stagingFiles() const {
        return target.allEntries().filter(QStringLiteral(".dunmoss-restore"));
    }

    FolderTree backup;
    FolderTree target;
    FolderTree outside;
};

} // namespace

TEST_F(Restore, PutsBackWhatAReplacementChangedAndCanDoItAgain) {
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    target.write(QStringLiteral("a.txt"), "one x");
    target.write(QStringLiteral("sub/b.txt"), "two x");
    ::chmod(QFile::encodeName(target.path(QStringLiteral("a.txt"))).constData(), 0600);
    const auto outcome = replaceInFolder(QStringLiteral("x"), QStringLiteral("y"), target.rootURL(),
                                         {}, {}, {false, true, false});
    qputenv("HOME", oldHome);
    ASSERT_TRUE(outcome.backupURL);
    ::unlink(QFile::encodeName(target.path(QStringLiteral("a.txt"))).constData());

    EXPECT_EQ(restoreFolderReplacementBackup(*outcome.backupURL).restored, 2);
    EXPECT_EQ(target.read(QStringLiteral("a.txt")), "one x");
    EXPECT_EQ(target.read(QStringLiteral("sub/b.txt")), "two x");
    EXPECT_EQ(QFileInfo(target.path(QStringLiteral("a.txt"))).permissions() & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(restoreFolderReplacementBackup(*outcome.backupURL, target.rootURL()).restored, 2);
    EXPECT_EQ(target.read(QStringLiteral("a.txt")), "one x");
    EXPECT_EQ(target.allEntries(), (QStringList{"a.txt", "sub", "sub/b.txt"}));
}

// A file saved after the replace (by a rename, in place, or between the restore's staging and
// its rename) keeps what was saved and is named; the others are put back, and again later.
TEST_F(Restore, LeavesFilesSavedAfterTheReplaceAndNamesThem) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        target.write(QString::fromLatin1(name), "old " + QByteArray(name));
    const auto replaced = replaceInFolder(QStringLiteral("old"), QStringLiteral("new"),
                                          target.rootURL(), {}, {}, {false, true, false});
    ASSERT_EQ(replaced.fileCount, 4);
    writeBytesAtomically("a saved", target.path(QStringLiteral("a.txt")));
    target.write(QStringLiteral("b.txt"), "one b.txt"); // in place, the same size
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::RestorePlace && target.read("c.txt") == "new c.txt")
            writeBytesAtomically("c saved", target.path(QStringLiteral("c.txt")));
    });
    const FolderRestoreOutcome outcome =
        restoreFolderReplacementBackup(*replaced.backupURL, target.rootURL());
    setFolderReplacementStepHook({});

    EXPECT_EQ(outcome.restored, 1);
    EXPECT_EQ(outcome.changedSinceReplace,
              (QList<QUrl>{target.url("a.txt"), target.url("b.txt"), target.url("c.txt")}));
    EXPECT_EQ(target.read(QStringLiteral("a.txt")), "a saved");
    EXPECT_EQ(target.read(QStringLiteral("b.txt")), "one b.txt");
    EXPECT_EQ(target.read(QStringLiteral("c.txt")), "c saved");
    EXPECT_EQ(target.read(QStringLiteral("d.txt")), "old d.txt");
    EXPECT_EQ(stagingFiles(), QStringList());
    // A file put back already counts as put back.
    EXPECT_EQ(restoreFolderReplacementBackup(*replaced.backupURL, target.rootURL()), outcome);
}

// Entries are put back a group at a time; an error still stops exactly the entries after it.
TEST_F(Restore, AnErrorPutsBackEveryEntryBeforeItAndNoneAfterAcrossGroups) {
    QStringList entries;
    for (int i = 0; i < 600; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
        entries.append(i == 400 ? QStringLiteral("blocked/x.txt") : name);
        save(entries.last(), "saved " + name.toUtf8());
        target.write(entries.last(), "current");
    }
    ::unlink(QFile::encodeName(target.path(QStringLiteral("blocked/x.txt"))).constData());
    ::rmdir(QFile::encodeName(target.path(QStringLiteral("blocked"))).constData());
    // A file where the entry needs a folder.
    target.write(QStringLiteral("blocked"), "a file");
    writeBackup(entries, target.root());

    EXPECT_THROW(restore(), FileError);
    for (int i = 0; i < 600; ++i) {
        if (i == 400)
            continue;
        const QString name = entries[i];
        EXPECT_EQ(target.read(name), i < 400 ? "saved " + name.toUtf8() : QByteArray("current"))
            << qPrintable(name);
    }
    EXPECT_EQ(target.read(QStringLiteral("blocked")), "a file");
    EXPECT_EQ(stagingFiles(), QStringList());
}

TEST_F(Restore, RecreatesDeletedFilesAndFoldersAndReplacesALinkItselfNotItsTarget) {
    writeBackup({"gone/deep/a.txt", "link.txt"}, target.root());
    save(QStringLiteral("gone/deep/a.txt"), "saved a");
    save(QStringLiteral("link.txt"), "saved link");
    outside.write(QStringLiteral("elsewhere.txt"), "elsewhere");
    target.symlink(outside.path(QStringLiteral("elsewhere.txt")), QStringLiteral("link.txt"));

    EXPECT_EQ(restore(), 2);
    EXPECT_EQ(target.read(QStringLiteral("gone/deep/a.txt")), "saved a");
    EXPECT_FALSE(QFileInfo(target.path(QStringLiteral("link.txt"))).isSymLink());
    EXPECT_EQ(target.read(QStringLiteral("link.txt")), "saved link");
    EXPECT_EQ(outside.read(QStringLiteral("elsewhere.txt")), "elsewhere");
    EXPECT_TRUE(stagingFiles().isEmpty());

    ASSERT_TRUE(QDir(target.root()).removeRecursively());
    EXPECT_EQ(restore(), 2);
    EXPECT_EQ(target.read(QStringLiteral("gone/deep/a.txt")), "saved a");
}

TEST_F(Restore, RefusesEntriesBelowAFolderReplacedByALinkAndRestoresTheOthers) {
    writeBackup({"a.txt", "sub/b.txt", "sub/deeper/c.txt", "z.txt"}, target.root());
    for (const char* name : {"a.txt", "sub/b.txt", "sub/deeper/c.txt", "z.txt"})
        save(QString::fromLatin1(name), "saved");
    // After the backup, "sub" became a link to a folder outside the target.
    target.symlink(outside.root(), QStringLiteral("sub"));

    const auto error = restoreError<FolderReplacementBackupError>();
    EXPECT_EQ(error.kind(), Kind::RestoreRefused);
    EXPECT_EQ(error.entries(), (QStringList{"sub/b.txt", "sub/deeper/c.txt"}));
    EXPECT_EQ(error.localizedDescription(),
              QStringLiteral("Refused to restore 2 file(s) because the destination passes "
                             "through a symbolic link: sub/b.txt, sub/deeper/c.txt"));
    EXPECT_EQ(target.read(QStringLiteral("a.txt")), "saved");
    EXPECT_EQ(target.read(QStringLiteral("z.txt")), "saved");
    EXPECT_TRUE(outside.allEntries().isEmpty()) << "nothing was written through the link";
    EXPECT_TRUE(stagingFiles().isEmpty());
}

TEST_F(Restore, AcceptsATargetReachedThroughALink) {
    FolderTree links;
    links.symlink(target.root(), QStringLiteral("via"));
    writeBackup({"sub/a.txt"}, links.path(QStringLiteral("via")));
    save(QStringLiteral("sub/a.txt"), "saved");
    EXPECT_EQ(restoreFolderReplacementBackup(backup.rootURL()).restored, 1);
    EXPECT_EQ(target.read(QStringLiteral("sub/a.txt")), "saved");
}

TEST_F(Restore, AnUnsafeEntryEndsTheRestoreWithoutTouchingAnythingOutside) {
    outside.write(QStringLiteral("victim.txt"), "victim");
    const QString escape = QStringLiteral("../") + QFileInfo(outside.root()).fileName() +
                           QStringLiteral("/victim.txt");
    for (const QString& entry : {escape, outside.path(QStringLiteral("victim.txt")), QString(),
                                 QStringLiteral("a/./b.txt"), QStringLiteral("a/../../x")}) {
        writeBackup({QStringLiteral("first.txt"), entry}, target.root());
        save(QStringLiteral("first.txt"), "first");
        backup.write(QStringLiteral("victim.txt"), "hostile");
        const auto error = restoreError<FolderReplacementBackupError>();
        EXPECT_EQ(error.kind(), Kind::UnsafeRelativePath) << qPrintable(entry);
        EXPECT_EQ(error.path(), entry);
        EXPECT_EQ(outside.read(QStringLiteral("victim.txt")), "victim");
        EXPECT_EQ(target.read(QStringLiteral("first.txt")), "first") << "earlier entries stay";
    }
}

TEST_F(Restore, ChecksEveryFolderOnTheWayAndTheResolvedDestination) {
    target.mkdir(QStringLiteral("real"));
    target.symlink(target.path(QStringLiteral("real")), QStringLiteral("inner-link"));
    target.symlink(outside.root(), QStringLiteral("out-link"));
    auto kindOf = [&](const QString& destination) -> std::optional<Kind> {
        try {
            ensureNoSymlinkInRestorePath(target.url(destination), target.rootURL());
        } catch (const FolderReplacementBackupError& error) {
            return error.kind();
        }
        return std::nullopt;
    };
    EXPECT_EQ(kindOf(QStringLiteral("a.txt")), std::nullopt);
    EXPECT_EQ(kindOf(QStringLiteral("real/missing/a.txt")), std::nullopt);
    EXPECT_EQ(kindOf(QStringLiteral("inner-link/a.txt")), Kind::SymlinkInRestorePath);
    EXPECT_EQ(kindOf(QStringLiteral("out-link/new/a.txt")), Kind::SymlinkInRestorePath);
    EXPECT_EQ(kindOf(QStringLiteral("../a.txt")), Kind::FileOutsideRoot);

    EXPECT_EQ(resolvePathKeepingMissingTail(target.path(QStringLiteral("out-link/new/x"))),
              QFileInfo(outside.root()).canonicalFilePath() + QStringLiteral("/new/x"));
}

TEST_F(Restore, OlderBackupsKeepCopiesBesideTheManifestAndMissingCopiesAreSkipped) {
    writeBackup({"manifest.json", "a.txt", "gone.txt"}, target.root(), std::nullopt);
    backup.write(QStringLiteral("a.txt"), "old layout");
    EXPECT_EQ(restore(), 1);
    EXPECT_EQ(target.read(QStringLiteral("a.txt")), "old layout");
    EXPECT_FALSE(QFileInfo::exists(target.path(QStringLiteral("manifest.json"))));
    EXPECT_FALSE(QFileInfo::exists(target.path(QStringLiteral("gone.txt"))));

    writeBackup({}, target.root());
    EXPECT_EQ(restore(), 0);
}

TEST_F(Restore, ASavedCopyThatIsNotARegularFileIsRefusedWithoutBlocking) {
    writeBackup({"fifo.txt", "link.txt"}, target.root());
    backup.mkdir(QStringLiteral("files"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(backup.path(QStringLiteral("files/fifo.txt"))).constData(),
                       0600),
              0);
    EXPECT_THROW(restore(), FileError);
    outside.write(QStringLiteral("secret.txt"), "secret");
    writeBackup({"link.txt"}, target.root());
    backup.symlink(outside.path(QStringLiteral("secret.txt")), QStringLiteral("files/link.txt"));
    EXPECT_THROW(restore(), FileError);
    EXPECT_FALSE(QFileInfo::exists(target.path(QStringLiteral("link.txt"))));
    EXPECT_TRUE(stagingFiles().isEmpty());
}

// A crafted backup whose folders are links reads nothing from where they point: not through a
// folder below "files", nor through "files" itself.
TEST_F(Restore, ASavedCopyReachedThroughALinkedFolderIsRefused) {
    outside.write(QStringLiteral("secret/a.txt"), "secret");
    writeBackup({"sub/a.txt"}, target.root());
    backup.symlink(outside.path(QStringLiteral("secret")), QStringLiteral("files/sub"));
    EXPECT_THROW(restore(), FileError);
    EXPECT_FALSE(QFileInfo::exists(target.path(QStringLiteral("sub/a.txt"))));

    FolderTree other;
    other.write(QStringLiteral("files/a.txt"), "secret");
    writeBackup({"a.txt"}, target.root());
    QFile::remove(backup.path(QStringLiteral("files/sub")));
    ASSERT_TRUE(QDir(backup.path(QStringLiteral("files"))).removeRecursively());
    backup.symlink(other.path(QStringLiteral("files")), QStringLiteral("files"));
    EXPECT_THROW(restore(), FileError);
    EXPECT_FALSE(QFileInfo::exists(target.path(QStringLiteral("a.txt"))));
    EXPECT_TRUE(stagingFiles().isEmpty());
}

TEST_F(Restore, AMissingOrMalformedManifestRestoresNothing) {
    save(QStringLiteral("a.txt"), "saved");
    EXPECT_THROW(restore(), FileError);
    const QByteArray broken[] = {
        "not json",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","files":["a.txt"]})",
        R"({"createdAt":"2025-03-01 09:30:00","rootPath":"/r","replacementCount":1,"files":["a.txt"]})",
        R"({"createdAt":"2025-03-01T09:30:00.5Z","rootPath":"/r","replacementCount":1,"files":["a.txt"]})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1.5,"files":["a.txt"]})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1,"files":[1]})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1,"files":["a.txt"],"formatVersion":"2"})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"relative","replacementCount":1,"files":["a.txt"]})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1,"files":["a.txt"],"unfinished":1})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1,"files":["a.txt"],"pending":[{"path":"b","device":"1","inode":2,"replacementCount":1}]})",
        R"({"createdAt":"2025-03-01T09:30:00Z","rootPath":"/r","replacementCount":1,"files":["a.txt"],"written":{"a.txt":{"device":"1","inode":"2","size":1,"modifiedSeconds":0,"modifiedNanoseconds":0,"sha256":"00"}}})",
    };
    for (const QByteArray& manifest : broken) {
        backup.write(QStringLiteral("manifest.json"), manifest);
        EXPECT_THROW(restoreFolderReplacementBackup(backup.rootURL()), FileError)
            << manifest.data();
    }
    EXPECT_TRUE(target.allEntries().isEmpty());
}

TEST(FolderReplacementManifest, EncodesAndDecodesTheSameValues) {
    FolderReplacementManifest manifest;
    manifest.createdAt = QDateTime(QDate(2025, 3, 1), QTime(9, 30), Qt::UTC);
    manifest.rootPath = QStringLiteral("/r/\u00e9");
    manifest.replacementCount = 7;
    manifest.files = QStringList{"B.txt", "a.txt"};
    const QByteArray json = encodeFolderReplacementManifest(manifest);
    EXPECT_TRUE(json.contains("\"createdAt\": \"2025-03-01T09:30:00Z\"")) << json.data();
    EXPECT_FALSE(json.contains("pending") || json.contains("unfinished")) << json.data();
    EXPECT_EQ(decodeFolderReplacementManifest(json), manifest);
    manifest.pending = {{QStringLiteral("c.txt"), 66305, 18446744073709551557ULL, 3}};
    manifest.unfinished = true;
    manifest.written.insert(QStringLiteral("c.txt"), {66305, 18446744073709551557ULL, 9, 1767225600,
                                                      5, QByteArray(32, '\xA5')});
    EXPECT_EQ(decodeFolderReplacementManifest(encodeFolderReplacementManifest(manifest)), manifest);
    const auto offset = decodeFolderReplacementManifest(
        R"({"createdAt":"2025-03-01T10:30:00+01:00","rootPath":"/r","replacementCount":0,"files":[],"formatVersion":null})");
    EXPECT_EQ(offset.createdAt, manifest.createdAt);
    EXPECT_EQ(offset.formatVersion, 1);
}
