#include "text/FolderReplacement.h"
#include "FolderTree.h"
#include "platform/FileError.h"
#include "support/ExtendedAttributes.h"
#include "support/FailingSyncs.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementManifest.h"
#include "text/FolderReplacementRun.h"
#include "text/SearchableText.h"
#include "text/TextEncoding.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <atomic>
#include <csignal>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;

namespace {

const TextSearchOptions kLiteral{false, true, false};

// Gives each test its own home, so the backups it makes land in a folder of its own.
class FolderReplace : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
    }
    void TearDown() override { qputenv("HOME", m_oldHome); }

    FolderReplacementPreview preview(const QString& query, const QString& replacement,
                                     const TextSearchOptions& options = kLiteral) {
        return previewFolderReplacement(query, replacement, tree.rootURL(), {}, {}, options);
    }
    FolderReplacementOutcome replace(const QString& query, const QString& replacement,
                                     const TextSearchOptions& options = kLiteral,
                                     const CancellationCheck& cancelled = {}) {
        return replaceInFolder(query, replacement, tree.rootURL(), {}, {}, options, cancelled);
    }

    QStringList runFolders() const {
        return QDir(folderReplaceBackupsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    }
    static FolderReplacementManifest manifestOf(const QUrl& run) {
        return decodeFolderReplacementManifest(
            FolderTree::readPath(run.toLocalFile() + QStringLiteral("/manifest.json")));
    }
    static QByteArray savedCopy(const QUrl& run, const QString& relative) {
        return FolderTree::readPath(run.toLocalFile() + QStringLiteral("/files/") + relative);
    }
    // The files in the order the walk visits them.
    QStringList walkOrder() const {
        QStringList order;
        walkFolderFiles(tree.root(), {}, [&](const QString& path) {
            order.append(path.mid(tree.root().size() + 1));
            return true;
        });
        return order;
    }

    QTemporaryDir home;
    FolderTree tree;

private:
    QByteArray m_oldHome;
};

} // namespace

TEST_F(FolderReplace, NothingToReplaceWritesNothing) {
    tree.write(QStringLiteral("a.txt"), "nothing here");
    EXPECT_EQ(preview(QStringLiteral("zzz"), QStringLiteral("y")), FolderReplacementPreview{});
    EXPECT_EQ(replace(QStringLiteral("zzz"), QStringLiteral("y")), FolderReplacementOutcome{});
    EXPECT_EQ(replace(QString(), QStringLiteral("y")), FolderReplacementOutcome{});
    EXPECT_FALSE(QFileInfo::exists(folderReplaceBackupsPath()));
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "nothing here");
}

TEST_F(FolderReplace, BacksUpEveryChangedFileAndListsItInTheManifest) {
    tree.write(QStringLiteral("a.txt"), "x x x");
    tree.write(QStringLiteral("sub/c.txt"), "x-x-x-x");
    tree.write(QStringLiteral("B.txt"), "no match");
    tree.write(QStringLiteral("blob.bin"), QByteArray("x\0\xFF\xFE\x01", 5));
    tree.write(QStringLiteral("big.txt"), QByteArray(10'000'001, 'x'));
    ::chmod(QFile::encodeName(tree.path(QStringLiteral("a.txt"))).constData(), 0640);

    const FolderReplacementPreview counted = preview(QStringLiteral("x"), QStringLiteral("yy"));
    EXPECT_EQ(counted.replacementCount, 7);
    EXPECT_EQ(counted.fileCount, 2);
    EXPECT_EQ(counted.skippedFiles, (FolderSearchSkippedFiles{1, 1, 0, 0, {}}));

    const FolderReplacementOutcome outcome = replace(QStringLiteral("x"), QStringLiteral("yy"));
    EXPECT_EQ(outcome.replacementCount, 7);
    EXPECT_EQ(outcome.fileCount, 2);
    EXPECT_EQ(outcome.skippedFiles, (FolderSearchSkippedFiles{1, 1, 0, 0, {}}));
    ASSERT_TRUE(outcome.backupURL.has_value());
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "yy yy yy");
    EXPECT_EQ(tree.read(QStringLiteral("sub/c.txt")), "yy-yy-yy-yy");
    EXPECT_EQ(QFileInfo(tree.path(QStringLiteral("a.txt"))).permissions() & 0x7777,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadUser |
                  QFile::WriteUser);

    const QUrl run = *outcome.backupURL;
    EXPECT_EQ(run.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash).toLocalFile(),
              folderReplaceBackupsPath());
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("\\A\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\dZ-[0-9A-F]{8}\\z"))
                    .match(run.fileName())
                    .hasMatch())
        << qPrintable(run.fileName());
    const FolderReplacementManifest manifest = manifestOf(run);
    EXPECT_EQ(manifest.formatVersion, 2);
    EXPECT_EQ(manifest.replacementCount, 7);
    EXPECT_EQ(manifest.rootPath, tree.root());
    EXPECT_EQ(manifest.files, (QStringList{"a.txt", "sub/c.txt"}));
    EXPECT_LE(manifest.createdAt.secsTo(QDateTime::currentDateTimeUtc()), 60);
    EXPECT_EQ(savedCopy(run, QStringLiteral("a.txt")), "x x x");
    EXPECT_EQ(savedCopy(run, QStringLiteral("sub/c.txt")), "x-x-x-x");
    const QByteArray json = FolderTree::readPath(run.toLocalFile() + "/manifest.json");
    EXPECT_LT(json.indexOf("createdAt"), json.indexOf("\"files\""));
    EXPECT_LT(json.indexOf("formatVersion"), json.indexOf("rootPath"));
    EXPECT_EQ(runFolders().size(), 1);
}

TEST_F(FolderReplace, ManifestEntriesAreSortedByCodePoint) {
    for (const char* name :
         {"a.txt", "sub/c.txt", "B.txt", "\xEF\xBD\x81.txt", "\xF0\x9F\x98\x80.txt"})
        tree.write(QString::fromUtf8(name), "x");
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("y"));
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_EQ(manifestOf(*outcome.backupURL).files,
              (QStringList{"B.txt", "a.txt", "sub/c.txt", QString::fromUtf8("\xEF\xBD\x81.txt"),
                           QString::fromUtf8("\xF0\x9F\x98\x80.txt")}));
}

TEST_F(FolderReplace, RewritesEachFileInTheEncodingMarkByteOrderAndLineBreaksItWasReadWith) {
    const QString before = QStringLiteral("caf\u00e9 x\r\nzweite x\r\n");
    const QString after = QStringLiteral("caf\u00e9 \u00fc\r\nzweite \u00fc\r\n");
    const QString chinese =
        QStringLiteral("\u8fd9\u662f\u4e00\u4e2a\u6d4b\u8bd5\u6587\u4ef6\uff0c"
                       "\u5305\u542b\u4e2d\u6587\u5185\u5bb9\r\n\u7b2c\u4e8c\u884c");
    auto utf16 = [](const QString& text, bool little) {
        QByteArray bytes;
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
            bytes.append(little ? low : high).append(little ? high : low);
        }
        return bytes;
    };
    const struct {
        const char* name;
        QByteArray original;
        QByteArray expected;
    } cases[] = {
        {"utf8.txt", before.toUtf8(), after.toUtf8()},
        {"utf8-bom.txt", "\xEF\xBB\xBF" + before.toUtf8(), "\xEF\xBB\xBF" + after.toUtf8()},
        {"le-bom.txt", "\xFF\xFE" + utf16(before, true), "\xFF\xFE" + utf16(after, true)},
        {"be-bom.txt", "\xFE\xFF" + utf16(before, false), "\xFE\xFF" + utf16(after, false)},
        {"le-bare.txt", utf16(before, true), utf16(after, true)},
        {"be-bare.txt", utf16(before, false), utf16(after, false)},
        {"gb18030-crlf.txt",
         encodeText(chinese + QStringLiteral(" x\r\n"), TextFileEncoding::Gb18030),
         encodeText(chinese + QStringLiteral(" \u00fc\r\n"), TextFileEncoding::Gb18030)},
    };
    for (const auto& c : cases)
        tree.write(QString::fromLatin1(c.name), c.original);
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("\u00fc"));
    for (const auto& c : cases)
        EXPECT_EQ(tree.read(QString::fromLatin1(c.name)).toHex(' '), c.expected.toHex(' '))
            << c.name;
    EXPECT_EQ(outcome.fileCount, int(std::size(cases)));
}

TEST_F(FolderReplace, AFileItsEncodingCannotHoldTheTextForIsSkippedAndLeftAlone) {
    const QByteArray shiftJis =
        encodeText(QStringLiteral("\u65e5\u672c x\n"), TextFileEncoding::ShiftJIS);
    tree.write(QStringLiteral("sjis.txt"), shiftJis);
    tree.write(QStringLiteral("plain.txt"), "x");
    const auto counted = preview(QStringLiteral("x"), QStringLiteral("\u00e9\u4e2d\U0001F600"));
    EXPECT_EQ(counted.fileCount, 2);
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("\u00e9\u4e2d\U0001F600"));
    EXPECT_EQ(outcome.fileCount, 1);
    EXPECT_EQ(outcome.skippedFiles.encodingFailedFileCount, 1);
    EXPECT_EQ(tree.read(QStringLiteral("sjis.txt")), shiftJis);
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_EQ(manifestOf(*outcome.backupURL).files, QStringList{"plain.txt"});
}

TEST_F(FolderReplace, AFileWhoseOtherBytesWouldChangeOnRewritingIsLeftAlone) {
    // 87 90 is a second code for U+2252, which encodes back as 81 E0: rewriting would change a
    // character the replacement never touched.
    const QString japanese = QStringLiteral("\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8"
                                            "\u3067\u3059\u3002\u3053\u308c\u306f\u8a66\u9a13");
    const QByteArray original =
        encodeText(japanese, TextFileEncoding::ShiftJIS) + QByteArray(" x \x87\x90\n");
    tree.write(QStringLiteral("sjis.txt"), original);
    ASSERT_EQ(loadSearchableText(tree.path(QStringLiteral("sjis.txt"))).encoding,
              TextFileEncoding::ShiftJIS);
    // The dry run counts it as the replacement will.
    const auto counted = preview(QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(counted.fileCount, 0);
    EXPECT_EQ(counted.replacementCount, 0);
    EXPECT_EQ(counted.skippedFiles.encodingFailedFileCount, 1);
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(outcome.skippedFiles.encodingFailedFileCount, 1);
    EXPECT_FALSE(outcome.backupURL.has_value());
    EXPECT_EQ(tree.read(QStringLiteral("sjis.txt")), original);
}

TEST_F(FolderReplace, NeverRewritesBackupsInsideTheSearchedFolder) {
    // The data folder (and so the backups) inside the folder being replaced in.
    QStandardPaths::setTestModeEnabled(false);
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", tree.path(QStringLiteral("data")).toUtf8());
    tree.write(QStringLiteral("data/Dunmoss Notepad/Folder Replace Backups/old/files/a.txt"), "x");
    tree.write(QStringLiteral("zz/a.txt"), "x");
    tree.write(QStringLiteral("a.txt"), "x");
    const auto counted = preview(QStringLiteral("x"), QStringLiteral("y"));
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("y"));
    qputenv("XDG_DATA_HOME", oldData);
    QStandardPaths::setTestModeEnabled(true);

    EXPECT_EQ(counted.fileCount, 2);
    EXPECT_EQ(outcome.fileCount, 2);
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_TRUE(outcome.backupURL->toLocalFile().startsWith(tree.path(QStringLiteral("data/"))));
    EXPECT_EQ(manifestOf(*outcome.backupURL).files, (QStringList{"a.txt", "zz/a.txt"}));
    EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("zz/a.txt")), "x");
    EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("a.txt")), "x");
    EXPECT_EQ(
        tree.read(QStringLiteral("data/Dunmoss Notepad/Folder Replace Backups/old/files/a.txt")),
        "x");
}

// The store is known by what it is, not by how it is named: through a link to the searched
// folder, runs after runs never touch what earlier runs saved, and a run inside the store (or
// through a link into it) writes nothing.
TEST_F(FolderReplace, NeverWritesInsideTheBackupStoreHoweverItIsReached) {
    QStandardPaths::setTestModeEnabled(false);
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", tree.path(QStringLiteral("real/data")).toUtf8());
    const QString store = QStringLiteral("real/data/Dunmoss Notepad/Folder Replace Backups");
    tree.write(store + QStringLiteral("/old/files/a.txt"), "x");
    tree.write(QStringLiteral("real/a.txt"), "x");
    tree.write(QStringLiteral("real/zz/a.txt"), "x");
    tree.symlink(tree.path(QStringLiteral("real")), QStringLiteral("link"));
    tree.symlink(tree.path(store), QStringLiteral("store-link"));
    const auto run = [&](const QString& root, const char* from, const char* to) {
        return replaceInFolder(QString::fromLatin1(from), QString::fromLatin1(to), tree.url(root),
                               {}, {}, kLiteral);
    };
    QList<FolderReplacementOutcome> outcomes;
    const int counted = previewFolderReplacement(QStringLiteral("x"), QStringLiteral("y"),
                                                 tree.url(QStringLiteral("link")), {}, {}, kLiteral)
                            .fileCount;
    outcomes << run(QStringLiteral("link"), "x", "y") << run(QStringLiteral("link"), "y", "x")
             << run(QStringLiteral("link"), "x", "y");
    const auto inside = run(store, "x", "y");
    const auto throughLink = run(QStringLiteral("store-link"), "x", "y");
    qputenv("XDG_DATA_HOME", oldData);
    QStandardPaths::setTestModeEnabled(true);

    EXPECT_EQ(counted, 2);
    const QByteArray before[] = {"x", "y", "x"};
    for (int i = 0; i < 3; ++i) {
        const FolderReplacementOutcome& outcome = outcomes[i];
        EXPECT_EQ(outcome.fileCount, 2) << i;
        ASSERT_TRUE(outcome.backupURL) << i;
        EXPECT_EQ(manifestOf(*outcome.backupURL).files, (QStringList{"a.txt", "zz/a.txt"}));
        EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("a.txt")), before[i]) << i;
        EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("zz/a.txt")), before[i]) << i;
    }
    EXPECT_EQ(tree.read(QStringLiteral("real/zz/a.txt")), "y");
    EXPECT_EQ(tree.read(store + QStringLiteral("/old/files/a.txt")), "x");
    EXPECT_EQ(inside.fileCount, 0);
    EXPECT_FALSE(inside.backupURL);
    EXPECT_EQ(throughLink.fileCount, 0);
}

// A file whose name is not valid UTF-8 cannot be read or written by name: it is counted as
// skipped, in the dry run and in the run, and left as it is.
TEST_F(FolderReplace, FilesWhoseNamesAreNotUtf8AreCountedAsSkipped) {
    tree.write(QStringLiteral("a.txt"), "x");
    tree.writeNative("caf\xE9.txt", "x");
    tree.writeNative("d\xFF/b.txt", "x");
    EXPECT_EQ(preview(QStringLiteral("x"), QStringLiteral("y")).skippedFiles.unnamedFileCount, 2);
    const auto outcome = replace(QStringLiteral("x"), QStringLiteral("y"));
    EXPECT_EQ(outcome.fileCount, 1);
    EXPECT_EQ(outcome.skippedFiles.unnamedFileCount, 2);
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "y");
    for (const char* name : {"/caf\xE9.txt", "/d\xFF/b.txt"}) {
        FILE* file = std::fopen((QFile::encodeName(tree.root()) + name).constData(), "rb");
        ASSERT_TRUE(file) << name;
        char bytes[4] = {};
        EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, file), 1u) << name;
        EXPECT_EQ(bytes[0], 'x') << name;
        std::fclose(file);
    }
}

TEST_F(FolderReplace, ExpressionsExpandGroupsAndLiteralsInsertAsTyped) {
    tree.write(QStringLiteral("a.txt"), "ab ab");
    replace(QStringLiteral("(a)b"), QStringLiteral("$1"), TextSearchOptions{true, true, false});
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "a a");
    replace(QStringLiteral("a"), QStringLiteral("$1"));
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "$1 $1");
    EXPECT_THROW(preview(QStringLiteral("("), QString(), TextSearchOptions{true, true, false}),
                 RegexError);
}

// A dry run's counts are thrown away once cancelled, so it stops inside the file it counts.
TEST_F(FolderReplace, ACancelledDryRunStopsInsideAFile) {
    // Every match looks ahead to the end of the line.
    tree.write(QStringLiteral("a.txt"), QByteArray("xed ").repeated(3000) + "Q");
    // Asked before the file is read and before its first match; true once the expression runs.
    std::atomic<int> asked = 0;
    const auto counted = previewFolderReplacement(
        QStringLiteral("\\w*ed(?=.*Q)"), QStringLiteral("x"), tree.rootURL(), {}, {},
        TextSearchOptions{true, true, false}, [&] { return asked.fetch_add(1) >= 2; });
    EXPECT_EQ(counted.replacementCount, 0);
    EXPECT_TRUE(counted.skippedFiles.costlyFiles.isEmpty());
    EXPECT_GT(asked.load(), 2);
}

// A cancellation ends the walk; the files already read are finished (backed up, listed, then
// rewritten) and the others stay as they were.
TEST_F(FolderReplace, CancellingPartWayFinishesTheFilesInHandAndLeavesTheRestAlone) {
    for (int i = 0; i < 40; ++i)
        tree.write(QStringLiteral("f%1.txt").arg(i), "x x");
    std::atomic<int> asked = 0;
    const auto outcome =
        replace(QStringLiteral("x"), QStringLiteral("y"), kLiteral, [&] { return ++asked > 10; });
    ASSERT_TRUE(outcome.backupURL);
    const auto manifest = manifestOf(*outcome.backupURL);
    QStringList changed;
    for (int i = 0; i < 40; ++i) {
        const QString name = QStringLiteral("f%1.txt").arg(i);
        const QByteArray now = tree.read(name);
        ASSERT_TRUE(now == "x x" || now == "y y") << qPrintable(name);
        if (now == "y y") {
            changed.append(name);
            EXPECT_EQ(savedCopy(*outcome.backupURL, name), "x x");
        }
    }
    EXPECT_GE(changed.size(), 1);
    EXPECT_LT(changed.size(), 40);
    changed.sort();
    EXPECT_EQ(manifest.files, changed);
    EXPECT_EQ(manifest.replacementCount, 2 * changed.size());
    EXPECT_EQ(outcome.fileCount, changed.size());
    EXPECT_EQ(outcome.replacementCount, 2 * changed.size());
}

TEST_F(FolderReplace, AFailedWriteStopsTheRunWithFinishedFilesBackedUpAndTheRestUntouched) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        tree.write(QString::fromLatin1(name), "x");
    const QStringList order = walkOrder();
    // The second file grows past the size limit set below; the others stay small.
    const QByteArray many = QByteArray("x ").repeated(2000);
    tree.write(order[1], many);

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool threw = false;
    FolderReplacementOutcome doneBeforeError;
    try {
        replaceInFolder(QStringLiteral("x"),
                        QStringLiteral("yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy"), tree.rootURL(),
                        {}, {}, kLiteral, {}, &doneBeforeError);
    } catch (const FileError&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(tree.read(order[0]), "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy");
    EXPECT_EQ(tree.read(order[1]), many);
    EXPECT_EQ(tree.read(order[2]), "x");
    ASSERT_EQ(runFolders().size(), 1);
    const QUrl run = QUrl::fromLocalFile(folderReplaceBackupsPath() + u'/' + runFolders()[0]);
    const auto manifest = manifestOf(run);
    EXPECT_TRUE(manifest.files.contains(order[0]));
    EXPECT_FALSE(manifest.files.contains(order[2]));
    // The caller learns exactly which files were rewritten before the error.
    EXPECT_EQ(doneBeforeError.changedFiles, QList<QUrl>{tree.url(order[0])});
    EXPECT_EQ(doneBeforeError.fileCount, 1);
    EXPECT_EQ(doneBeforeError.replacementCount, 1);
    EXPECT_EQ(doneBeforeError.backupURL, run);
    EXPECT_EQ(savedCopy(run, order[0]), "x");
    EXPECT_EQ(tree.allEntries(), (QStringList{"a.txt", "b.txt", "c.txt"}))
        << "no temporary file is left behind";
}

// A rewrite small enough to sit in the write buffer fails only when it is flushed: the run must
// stop there, not rename the cut file into place and count it as replaced.
TEST_F(FolderReplace, AWriteCutShortInTheBufferStopsTheRunAndLeavesTheFileWhole) {
    const QByteArray original = QByteArray("x ").repeated(2000);
    tree.write(QStringLiteral("a.txt"), original);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool threw = false;
    try {
        replace(QStringLiteral("x"), QStringLiteral("yy"));
    } catch (const FileError&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), original);
    EXPECT_EQ(tree.allEntries(), QStringList{"a.txt"}) << "no temporary file is left behind";
}

TEST(FolderReplacePaths, RelativePathsUnderTheRootAndManifestEntries) {
    auto url = [](const char* path) { return QUrl::fromLocalFile(QString::fromUtf8(path)); };
    EXPECT_EQ(relativePathUnderRoot(url("/r/x/y.txt"), url("/r")), QStringLiteral("x/y.txt"));
    EXPECT_EQ(relativePathUnderRoot(url("/r/./x/../y.txt"), url("/r/")), QStringLiteral("y.txt"));
    for (const char* outside : {"/r", "/rx/y.txt", "/other/r/y.txt"})
        EXPECT_THROW(relativePathUnderRoot(url(outside), url("/r")), FolderReplacementBackupError)
            << outside;
    EXPECT_THROW(relativePathUnderRoot(url("/r/X.txt"), url("/R")), FolderReplacementBackupError);
    EXPECT_EQ(standardizedPathComponents(url("/Users/a//b/")), (QStringList{"Users", "a", "b"}));

    EXPECT_EQ(resolveManifestRelativePath(QStringLiteral("a//b/"), url("/base")), url("/base/a/b"));
    const QString unsafe[] = {QStringLiteral("a/./b"),
                              QStringLiteral("../a"),
                              QStringLiteral("/etc/passwd"),
                              QString(),
                              QStringLiteral("/"),
                              QStringLiteral("a/.."),
                              QString::fromLatin1("a\0b", 3),
                              QString(QChar(0xD800)) + u'x'};
    for (const QString& entry : unsafe) {
        try {
            resolveManifestRelativePath(entry, url("/base"));
            ADD_FAILURE() << "accepted " << qPrintable(entry);
        } catch (const FolderReplacementBackupError& error) {
            EXPECT_EQ(error.kind(), FolderReplacementBackupError::Kind::UnsafeRelativePath);
            EXPECT_EQ(error.localizedDescription(),
                      QStringLiteral("Backup manifest contains an unsafe relative path: ") + entry);
        }
    }
    const QString first = makeFolderReplaceRunName();
    EXPECT_FALSE(first.contains(u':'));
    EXPECT_NE(first, makeFolderReplaceRunName());
}

// A file the expression backtracks without end over is left alone whole and listed, by the
// dry run and by the replacement; every other file is replaced, so the folder is never left
// half done by the expression.
TEST_F(FolderReplace, AFileTooCostlyForTheExpressionIsListedAndTheOthersAreAllReplaced) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt", "f.txt"})
        tree.write(QString::fromLatin1(name), "needle\n");
    const QStringList order = walkOrder();
    const QByteArray costlyBytes = "needle " + QByteArray(40, 'x') + "\n";
    tree.write(order[2], costlyBytes);
    const TextSearchOptions regex{true, true, false};
    const QString query = QStringLiteral("needle|(x+x+)+y");

    const auto counted = preview(query, QStringLiteral("pin"), regex);
    EXPECT_EQ(counted.replacementCount, 5);
    EXPECT_EQ(counted.fileCount, 5);
    EXPECT_EQ(counted.skippedFiles.costlyFiles, QList<QUrl>{tree.url(order[2])});

    const auto outcome = replace(query, QStringLiteral("pin"), regex);
    EXPECT_EQ(outcome.replacementCount, 5);
    EXPECT_EQ(outcome.fileCount, 5);
    EXPECT_EQ(outcome.skippedFiles.costlyFiles, QList<QUrl>{tree.url(order[2])});
    for (qsizetype i = 0; i < order.size(); ++i)
        EXPECT_EQ(tree.read(order[i]), i == 2 ? costlyBytes : QByteArray("pin\n")) << i;
    ASSERT_TRUE(outcome.backupURL);
    const auto manifest = manifestOf(*outcome.backupURL);
    EXPECT_EQ(manifest.files.size(), 5);
    EXPECT_FALSE(manifest.files.contains(order[2]));
}

// A Latin-1 file whose first accent comes after a long ASCII head is no Shift JIS file (where
// é would take the p after it into one character): the dry run and the replacement both count it
// as a file they cannot decode for certain, and leave it as it is.
TEST_F(FolderReplace, ALatin1FileBehindALongAsciiHeadIsLeftOutOfTheDryRunAndTheReplacement) {
    const QByteArray latin1 = QByteArray(9000, 'a') + "\nSt\xE9phane\n";
    tree.write(QStringLiteral("credits.html"), latin1);
    tree.write(QStringLiteral("plain.txt"), "phane");
    const auto counted = preview(QStringLiteral("phane"), QStringLiteral("\u00e9"));
    EXPECT_EQ(counted.fileCount, 1);
    EXPECT_EQ(counted.skippedFiles.encodingFailedFileCount, 1);
    const auto outcome = replace(QStringLiteral("phane"), QStringLiteral("\u00e9"));
    EXPECT_EQ(outcome.fileCount, 1);
    EXPECT_EQ(outcome.skippedFiles.encodingFailedFileCount, 1);
    EXPECT_EQ(tree.read(QStringLiteral("credits.html")), latin1);
}

// Files written by someone else between the run's read and its rename: one in place before its
// new content is written, one replaced by a save (a new file renamed over it) right before the
// renames. Both keep the edit, are named in the outcome, and no backup claims them, so a
// restore leaves them alone too.
TEST_F(FolderReplace, AFileChangedBeforeItsRenameKeepsTheEditAndIsNamedAndNeverRestored) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        tree.write(QString::fromLatin1(name), "struct\n");
    bool wrote = false;
    bool saved = false;
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::WriteNew && !wrote) {
            wrote = true;
            QFile file(tree.path(QStringLiteral("b.txt")));
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write("typed meanwhile\n");
        }
        if (step == FolderReplacementStep::Rename && !saved) {
            saved = true;
            tree.write(QStringLiteral("saved.tmp"), "saved meanwhile\n");
            ASSERT_EQ(
                ::rename(QFile::encodeName(tree.path(QStringLiteral("saved.tmp"))).constData(),
                         QFile::encodeName(tree.path(QStringLiteral("c.txt"))).constData()),
                0);
        }
    });
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    setFolderReplacementStepHook({});
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "record\n");
    EXPECT_EQ(tree.read(QStringLiteral("b.txt")), "struct\ntyped meanwhile\n");
    EXPECT_EQ(tree.read(QStringLiteral("c.txt")), "saved meanwhile\n");
    EXPECT_EQ(tree.read(QStringLiteral("d.txt")), "record\n");
    EXPECT_EQ(outcome.fileCount, 2);
    EXPECT_EQ(outcome.replacementCount, 2);
    EXPECT_EQ(outcome.filesChangedDuringReplace,
              (QList<QUrl>{tree.url(QStringLiteral("b.txt")), tree.url(QStringLiteral("c.txt"))}));
    EXPECT_EQ(tree.allEntries(), (QStringList{"a.txt", "b.txt", "c.txt", "d.txt"}));
    ASSERT_TRUE(outcome.backupURL);
    const auto manifest = manifestOf(*outcome.backupURL);
    EXPECT_EQ(manifest.files, (QStringList{"a.txt", "d.txt"}));
    EXPECT_TRUE(manifest.pending.isEmpty());
    EXPECT_EQ(manifest.replacementCount, 2);
    EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("b.txt")), "<missing>");
    EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("c.txt")), "<missing>");

    EXPECT_EQ(restoreFolderReplacementBackup(*outcome.backupURL, tree.rootURL()).restored, 2);
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "struct\n");
    EXPECT_EQ(tree.read(QStringLiteral("b.txt")), "struct\ntyped meanwhile\n");
    EXPECT_EQ(tree.read(QStringLiteral("c.txt")), "saved meanwhile\n");
}

// The last manifest is the run's record of what it replaced: when the disk does not confirm it,
// the run failed, and says which files it changed before it stopped.
TEST_F(FolderReplace, ARunWhoseLastManifestTheDiskDidNotConfirmFails) {
    tree.write(QStringLiteral("a.txt"), "struct\n");
    std::optional<dunmoss::test::FailingSyncs> disk;
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::Finish && !disk)
            disk.emplace(AtomicWriteSync::FileData);
    });
    FolderReplacementOutcome doneBeforeError;
    bool threw = false;
    try {
        replaceInFolder(QStringLiteral("struct"), QStringLiteral("record"), tree.rootURL(), {}, {},
                        kLiteral, {}, &doneBeforeError);
    } catch (const FileError&) {
        threw = true;
    }
    setFolderReplacementStepHook({});
    disk.reset();
    EXPECT_TRUE(threw);
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "record\n");
    EXPECT_EQ(doneBeforeError.changedFiles, QList<QUrl>{tree.url(QStringLiteral("a.txt"))});
}

// A run whose every file changed before its turn replaced nothing, and keeps no backup.
TEST_F(FolderReplace, ARunWhoseFilesAllChangedMeanwhileKeepsNoBackup) {
    tree.write(QStringLiteral("a.txt"), "struct\n");
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::Rename)
            tree.write(QStringLiteral("a.txt"), "edited\n");
    });
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    setFolderReplacementStepHook({});
    EXPECT_EQ(tree.read(QStringLiteral("a.txt")), "edited\n");
    EXPECT_EQ(outcome.fileCount, 0);
    EXPECT_FALSE(outcome.backupURL);
    EXPECT_EQ(outcome.filesChangedDuringReplace, QList<QUrl>{tree.url(QStringLiteral("a.txt"))});
    EXPECT_TRUE(runFolders().isEmpty());
}

namespace {

struct Owner {
    uid_t uid = 0;
    gid_t gid = 0;
    friend bool operator==(const Owner&, const Owner&) = default;
};

Owner ownerOf(const QString& path) {
    struct stat attributes {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &attributes), 0) << qPrintable(path);
    return {attributes.st_uid, attributes.st_gid};
}

void chownPath(const QString& path, Owner owner) {
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner.uid, owner.gid), 0);
}

} // namespace

namespace {

void link(const QString& from, const QString& to) {
    ASSERT_EQ(::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0);
}

} // namespace

// A rename gives one name of a file new content and leaves its other names with the old: a file
// with other names, found before its backup or given one right before its rename, is left whole
// and named, by the replace and by the restore alike.
TEST_F(FolderReplace, AFileWithOtherNamesIsLeftWholeAndNamed) {
    for (const char* name : {"one.txt", "three.txt", "two.txt"})
        tree.write(QString::fromLatin1(name), "struct\n");
    QTemporaryDir elsewhere;
    const QString other = elsewhere.filePath(QStringLiteral("other"));
    link(tree.path(QStringLiteral("two.txt")), other);
    const QString late = elsewhere.filePath(QStringLiteral("late"));
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step == FolderReplacementStep::Rename && !QFileInfo::exists(late))
            link(tree.path(QStringLiteral("three.txt")), late);
    });
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    setFolderReplacementStepHook({});

    EXPECT_EQ(outcome.changedFiles, QList<QUrl>{tree.url(QStringLiteral("one.txt"))});
    QList<QUrl> named = outcome.filesWithOtherNames;
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, (QList<QUrl>{tree.url(QStringLiteral("three.txt")),
                                  tree.url(QStringLiteral("two.txt"))}));
    for (const QString& path : {tree.path(QStringLiteral("two.txt")), other,
                                tree.path(QStringLiteral("three.txt")), late})
        EXPECT_EQ(FolderTree::readPath(path), "struct\n") << qPrintable(path);
    EXPECT_EQ(tree.allEntries(), (QStringList{"one.txt", "three.txt", "two.txt"}));
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_EQ(manifestOf(*outcome.backupURL).files, QStringList{"one.txt"});
    EXPECT_EQ(savedCopy(*outcome.backupURL, QStringLiteral("three.txt")), "<missing>");

    const QString alias = elsewhere.filePath(QStringLiteral("alias"));
    link(tree.path(QStringLiteral("one.txt")), alias);
    const FolderRestoreOutcome restored =
        restoreFolderReplacementBackup(*outcome.backupURL, tree.rootURL());
    EXPECT_EQ(restored.restored, 0);
    EXPECT_EQ(restored.withOtherNames, QList<QUrl>{tree.url(QStringLiteral("one.txt"))});
    EXPECT_EQ(tree.read(QStringLiteral("one.txt")), "record\n");
    EXPECT_EQ(FolderTree::readPath(alias), "record\n");
}

// Rewriting a file keeps its owner and group, in the replacement and in the restore, also for a
// file that is put back after it was deleted.
TEST_F(FolderReplace, ReplaceAndRestoreKeepEachFilesOwnerAndGroup) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to another user needs root";
    const Owner user{1000, 1000};
    chownPath(tree.write(QStringLiteral("linked.txt"), "struct\n"), user);
    chownPath(tree.write(QStringLiteral("gone.txt"), "struct\n"), user);
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    ASSERT_EQ(outcome.fileCount, 2);
    EXPECT_EQ(ownerOf(tree.path(QStringLiteral("linked.txt"))), user);
    EXPECT_EQ(ownerOf(tree.path(QStringLiteral("gone.txt"))), user);
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_EQ(ownerOf(outcome.backupURL->toLocalFile() + QStringLiteral("/files/gone.txt")), user);

    chownPath(tree.path(QStringLiteral("linked.txt")), Owner{1001, 1002});
    QFile::remove(tree.path(QStringLiteral("gone.txt")));
    restoreFolderReplacementBackup(*outcome.backupURL, tree.rootURL());
    EXPECT_EQ(tree.read(QStringLiteral("linked.txt")), "struct\n");
    EXPECT_EQ(ownerOf(tree.path(QStringLiteral("linked.txt"))), (Owner{1001, 1002}));
    EXPECT_EQ(ownerOf(tree.path(QStringLiteral("gone.txt"))), user);
}

namespace {

// A tree shared by a group and an ordinary user's home, both outside the test's own temporary
// folder, which only root may enter.
struct SharedTree {
    QTemporaryDir tree{QStringLiteral("/tmp/dunmoss-shared-XXXXXX")};
    QTemporaryDir home{QStringLiteral("/tmp/dunmoss-home-XXXXXX")};

    SharedTree() {
        for (const QTemporaryDir* dir : {&tree, &home})
            ::chmod(QFile::encodeName(dir->path()).constData(), 0777);
    }
    QUrl root() const { return QUrl::fromLocalFile(tree.path()); }
    QString write(const char* name, Owner owner, mode_t mode) const {
        const QString path = tree.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("struct\n");
        file.close();
        chownPath(path, owner);
        ::chmod(QFile::encodeName(path).constData(), mode);
        return path;
    }
    // Runs the step in a child acting as the user, with the user's own backup store; answers
    // its exit status.
    int asUser(const std::function<int()>& step) const {
        const pid_t child = ::fork();
        if (child == 0) {
            const gid_t groups[] = {1001};
            qputenv("HOME", home.path().toUtf8());
            if (::setgroups(1, groups) != 0 || ::setgid(1000) != 0 || ::setuid(1000) != 0)
                ::_exit(3);
            try {
                ::_exit(step());
            } catch (...) {
                ::_exit(6);
            }
        }
        int status = -1;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    QStringList entries() const { return QDir(tree.path()).entryList(QDir::Files | QDir::Hidden); }
};

const Owner kUser{1000, 1001};
const Owner kColleague{1002, 1001};

} // namespace

// An ordinary user replacing in a shared tree cannot give a new file another user's owner: that
// file is left as it was, owner included, and named, and the run goes on with the others.
TEST_F(FolderReplace, AnOrdinaryUserLeavesAnotherUsersFileAsItWasAndGoesOn) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two users needs root to set them up";
    const SharedTree shared;
    // Each before and after the other in walk order.
    const QString theirs = shared.write("b-shared.txt", kColleague, 0666);
    const QString ownBefore = shared.write("a-own.txt", kUser, 0644);
    const QString ownAfter = shared.write("c-own.txt", kUser, 0644);
    ASSERT_EQ(shared.asUser([&] {
        const FolderReplacementOutcome outcome = replaceInFolder(
            QStringLiteral("struct"), QStringLiteral("record"), shared.root(), {}, {}, kLiteral);
        QList<QUrl> changed = outcome.changedFiles;
        std::sort(changed.begin(), changed.end());
        if (changed != QList<QUrl>{QUrl::fromLocalFile(ownBefore), QUrl::fromLocalFile(ownAfter)})
            return 4;
        if (outcome.filesWithAttributesNotKept != QList<QUrl>{QUrl::fromLocalFile(theirs)} ||
            !outcome.filesChangedDuringReplace.isEmpty())
            return 5;
        return 0;
    }),
              0);
    EXPECT_EQ(FolderTree::readPath(theirs), "struct\n");
    EXPECT_EQ(ownerOf(theirs), kColleague);
    EXPECT_EQ(FolderTree::readPath(ownBefore), "record\n");
    EXPECT_EQ(FolderTree::readPath(ownAfter), "record\n");
    EXPECT_EQ(shared.entries(), (QStringList{"a-own.txt", "b-shared.txt", "c-own.txt"}));
}

// The restore run by an ordinary user cannot give a new file the file a colleague took over
// since the replace: that file is left as it is, named, and its copy kept in the backup, and
// the files after it are still put back.
TEST_F(FolderReplace, AnOrdinaryUsersRestoreLeavesAnotherUsersFileAndGoesOn) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "acting as two users needs root to set them up";
    const SharedTree shared;
    const QStringList paths{shared.write("a-own.txt", kUser, 0644),
                            shared.write("b-shared.txt", kUser, 0644),
                            shared.write("c-own.txt", kUser, 0644)};
    const QString backupNote = shared.home.filePath(QStringLiteral("backup"));
    ASSERT_EQ(shared.asUser([&] {
        const auto outcome = replaceInFolder(QStringLiteral("struct"), QStringLiteral("record"),
                                             shared.root(), {}, {}, kLiteral);
        QFile note(backupNote);
        if (outcome.fileCount != 3 || !outcome.backupURL || !note.open(QIODevice::WriteOnly))
            return 4;
        note.write(outcome.backupURL->toLocalFile().toUtf8());
        return 0;
    }),
              0);
    const QUrl backup = QUrl::fromLocalFile(QString::fromUtf8(FolderTree::readPath(backupNote)));
    chownPath(paths[1], kColleague);
    ::chmod(QFile::encodeName(paths[1]).constData(), 0666);

    ASSERT_EQ(shared.asUser([&] {
        const FolderRestoreOutcome outcome = restoreFolderReplacementBackup(backup, shared.root());
        if (outcome.restored != 2 || !outcome.changedSinceReplace.isEmpty())
            return 4;
        return outcome.attributesNotKept == QList<QUrl>{QUrl::fromLocalFile(paths[1])} ? 0 : 5;
    }),
              0);
    EXPECT_EQ(FolderTree::readPath(paths[0]), "struct\n");
    EXPECT_EQ(FolderTree::readPath(paths[1]), "record\n");
    EXPECT_EQ(ownerOf(paths[1]), kColleague);
    EXPECT_EQ(FolderTree::readPath(paths[2]), "struct\n");
    EXPECT_EQ(savedCopy(backup, QStringLiteral("b-shared.txt")), "struct\n");
    EXPECT_EQ(shared.entries(), (QStringList{"a-own.txt", "b-shared.txt", "c-own.txt"}));
}

// Who may use a file is taken from it right before it is put back: an owner or mode changed
// after the restore staged its copy is kept, never undone by the move.
TEST_F(FolderReplace, TheRestoreKeepsAnOwnerAndModeChangedWhileItRuns) {
    const QString path = tree.write(QStringLiteral("kept.txt"), "struct\n");
    ::chmod(QFile::encodeName(path).constData(), 0644);
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    ASSERT_TRUE(outcome.backupURL);
    const bool root = ::geteuid() == 0;
    const Owner owner = ownerOf(path);
    setFolderReplacementStepHook([&](FolderReplacementStep step) {
        if (step != FolderReplacementStep::RestorePlace)
            return;
        // The owner gives the file to a colleague, readable by them alone.
        if (root)
            chownPath(path, kColleague);
        ::chmod(QFile::encodeName(path).constData(), 0600);
    });
    const FolderRestoreOutcome restored =
        restoreFolderReplacementBackup(*outcome.backupURL, tree.rootURL());
    setFolderReplacementStepHook({});
    EXPECT_EQ(restored.restored, 1);
    EXPECT_EQ(tree.read(QStringLiteral("kept.txt")), "struct\n");
    struct stat attributes {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &attributes), 0);
    EXPECT_EQ(attributes.st_mode & 07777, 0600u);
    EXPECT_EQ(ownerOf(path), root ? kColleague : owner);
}

// A file replaced, and put back by the restore, keeps its ACL and extended attributes.
TEST_F(FolderReplace, ReplaceAndRestoreKeepAFilesAclAndAttributes) {
    const QString file = tree.write(QStringLiteral("shared.txt"), "struct\n");
    const QByteArray acl = dunmoss::test::sharedWithOneUserAcl();
    if (!dunmoss::test::shareWithOneUser(file))
        GTEST_SKIP() << "this file system keeps no ACL or extended attribute";
    auto kept = [&] {
        EXPECT_EQ(dunmoss::test::attributeOf(file, "system.posix_acl_access"), acl);
        EXPECT_EQ(dunmoss::test::attributeOf(file, "user.origin"), "kept");
    };
    const auto outcome = replace(QStringLiteral("struct"), QStringLiteral("record"));
    ASSERT_EQ(outcome.fileCount, 1);
    EXPECT_EQ(tree.read(QStringLiteral("shared.txt")), "record\n");
    kept();
    ASSERT_TRUE(outcome.backupURL);
    restoreFolderReplacementBackup(*outcome.backupURL, tree.rootURL());
    EXPECT_EQ(tree.read(QStringLiteral("shared.txt")), "struct\n");
    kept();
}
