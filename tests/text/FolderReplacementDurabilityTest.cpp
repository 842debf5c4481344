// A folder replacement stopped at any step, by a failure or by a kill, leaves every file whole
// (old or new bytes, exactly), a copy of every file it replaced listed in the manifest, no
// manifest entry without its full copy, and a backup that restores the original bytes.
#include "FolderTree.h"
#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "support/KilledAtStep.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderReplacementManifest.h"
#include "text/FolderReplacementRun.h"
#include "text/TextEncoding.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;
using dunmoss::test::waitStatusOfRunKilledAt;
using dunmoss::test::waitStatusOfRunKilledAtStep;
using dunmoss::test::wasKilled;

namespace {

const TextSearchOptions kLiteral{false, true, false};
const QString kQuery = QStringLiteral("struct");
// Outside Latin-1 and the Basic Multilingual Plane, so every encoding is put to work.
const QString kReplacement = QStringLiteral("rec\u00fc\U0001F600");

struct Sample {
    const char* name;
    QByteArray bytes;
    mode_t mode = 0644;
};

QByteArray utf16(const QString& text, TextFileEncoding encoding) {
    return encodeText(text, encoding);
}

// Files in every layout a rewrite must keep: marks, byte orders, line breaks, permissions,
// characters beyond the BMP, and files the run leaves alone.
std::vector<Sample> samples() {
    std::vector<Sample> files = {
        {"a.h", "struct a { int x; };\nstruct b;\n"},
        {"sub/bom.h", "\xEF\xBB\xBFstruct c;\r\nint d;\r\nstruct e;\r\n"},
        {"sub/deeper/le.h",
         utf16(QStringLiteral("struct \U0001F600 f;\r\n"), TextFileEncoding::Utf16LittleEndian)},
        {"sub/deeper/be.h", utf16(QStringLiteral("x struct\n"), TextFileEncoding::Utf16BigEndian)},
        {"run.sh", "#!/bin/sh\necho struct\n", 0755},
        {"private.h", "struct secret;\n", 0600},
        {"untouched.h", "nothing to replace\n"},
        {"emoji.txt", "\xF0\x9F\x98\x80struct\xF0\x9F\x98\x80\rstruct"},
    };
    int repeat = 0;
    for (const char* name : {"many/f0.h", "many/f1.h", "many/f2.h", "many/f3.h", "many/f4.h"})
        files.push_back({name, QByteArray("struct ").repeated(++repeat)});
    return files;
}

mode_t modeOf(const QString& path) {
    struct stat attributes {};
    return ::lstat(QFile::encodeName(path).constData(), &attributes) == 0
               ? attributes.st_mode & 07777
               : 0;
}

// One run of the replacement in a tree and a backup store of its own.
class Trial {
public:
    explicit Trial(const std::vector<Sample>& files) : m_files(files) {
        qputenv("HOME", m_home.path().toUtf8());
        for (const Sample& file : m_files) {
            const QString name = QString::fromUtf8(file.name);
            m_byName.insert(name, &file);
            for (qsizetype slash = name.indexOf(u'/'); slash > 0;
                 slash = name.indexOf(u'/', slash + 1))
                m_folders.insert(name.left(slash));
            m_tree.write(QString::fromUtf8(file.name), file.bytes);
            ::chmod(QFile::encodeName(m_tree.path(QString::fromUtf8(file.name))).constData(),
                    file.mode);
        }
    }

    FolderReplacementOutcome replace(FolderReplacementOutcome* doneBeforeError = nullptr) {
        return replaceInFolder(kQuery, kReplacement, m_tree.rootURL(), {}, {}, kLiteral, {},
                               doneBeforeError);
    }

    std::map<QString, QByteArray> contents() const {
        std::map<QString, QByteArray> found;
        for (const Sample& file : m_files)
            found[QString::fromUtf8(file.name)] = m_tree.read(QString::fromUtf8(file.name));
        return found;
    }

    // Checks a stopped run against the bytes a finished one writes. Returns the files that
    // hold their new bytes.
    QStringList checkStopped(const std::map<QString, QByteArray>& replaced, bool killed) {
        QStringList changed;
        for (const Sample& file : m_files) {
            const QString name = QString::fromUtf8(file.name);
            const QByteArray now = m_tree.read(name);
            EXPECT_TRUE(now == file.bytes || now == replaced.at(name))
                << qPrintable(name) << " is neither its old nor its new self";
            EXPECT_EQ(modeOf(m_tree.path(name)), file.mode) << qPrintable(name);
            if (now != file.bytes)
                changed.append(name);
        }
        for (const QString& entry : m_tree.allEntries()) {
            const bool known = m_byName.contains(entry) || m_folders.contains(entry);
            // A kill may leave a hidden temporary file, never a visible one.
            const bool hiddenLeftOver = killed && entry.section(u'/', -1).startsWith(u'.') &&
                                        entry.contains(QStringLiteral(".dunmoss-"));
            EXPECT_TRUE(known || hiddenLeftOver) << "left behind: " << qPrintable(entry);
        }

        const QStringList runs =
            QDir(folderReplaceBackupsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        EXPECT_LE(runs.size(), 1);
        const QString manifestPath =
            runs.isEmpty() ? QString()
                           : folderReplaceBackupsPath() + u'/' + runs[0] + "/manifest.json";
        if (manifestPath.isEmpty() || !QFileInfo::exists(manifestPath)) {
            EXPECT_TRUE(changed.isEmpty()) << "files changed without a manifest";
            return changed;
        }
        m_run = QUrl::fromLocalFile(folderReplaceBackupsPath() + u'/' + runs[0]);
        const FolderReplacementManifest manifest =
            decodeFolderReplacementManifest(FolderTree::readPath(manifestPath));
        QSet<QString> listed(manifest.files.begin(), manifest.files.end());
        // A pending entry stands for its file while the file is the new content written for it.
        for (const PendingFolderReplacement& pending : manifest.pending) {
            const auto now = lstatPath(m_tree.path(pending.path));
            if (now && now->identity == FileIdentity{pending.device, pending.inode})
                listed.insert(pending.path);
        }
        EXPECT_TRUE(killed || manifest.pending.isEmpty());
        for (const QString& name : changed)
            EXPECT_TRUE(listed.contains(name)) << qPrintable(name) << " is not listed";
        for (const QString& entry : listed) {
            const Sample* file = m_byName.value(entry);
            if (!file) {
                ADD_FAILURE() << "listed but never a file of the tree: " << qPrintable(entry);
                continue;
            }
            const QString copy = m_run->toLocalFile() + "/files/" + entry;
            EXPECT_EQ(FolderTree::readPath(copy), file->bytes) << "copy of " << qPrintable(entry);
            EXPECT_EQ(modeOf(copy), file->mode) << "copy of " << qPrintable(entry);
        }
        return changed;
    }

    // Restoring the backup gives every file its original bytes.
    void checkRestores() {
        if (!m_run)
            return;
        restoreFolderReplacementBackup(*m_run, m_tree.rootURL());
        for (const Sample& file : m_files)
            EXPECT_EQ(m_tree.read(QString::fromUtf8(file.name)), file.bytes) << file.name;
    }

    QUrl url(const QString& name) const { return m_tree.url(name); }
    const FolderTree& tree() const { return m_tree; }

    // The run folder in the backup store, if one was made.
    std::optional<QUrl> runFolder() const {
        const QStringList runs =
            QDir(folderReplaceBackupsPath()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (runs.isEmpty())
            return std::nullopt;
        return QUrl::fromLocalFile(folderReplaceBackupsPath() + u'/' + runs[0]);
    }

private:
    std::vector<Sample> m_files;
    QHash<QString, const Sample*> m_byName;
    QSet<QString> m_folders;
    QTemporaryDir m_home;
    FolderTree m_tree;
    std::optional<QUrl> m_run;
};

// The steps of a whole run, and the bytes it leaves.
struct Reference {
    int steps = 0;
    std::map<QString, QByteArray> replaced;
};

Reference finishedRun(const std::vector<Sample>& files) {
    Reference reference;
    Trial trial(files);
    setFolderReplacementStepHook([&](FolderReplacementStep) { ++reference.steps; });
    trial.replace();
    setFolderReplacementStepHook({});
    reference.replaced = trial.contents();
    return reference;
}

class FolderReplaceDurability : public ::testing::Test {
protected:
    void SetUp() override { m_oldHome = qgetenv("HOME"); }
    void TearDown() override {
        setFolderReplacementStepHook({});
        qputenv("HOME", m_oldHome);
    }

private:
    QByteArray m_oldHome;
};

} // namespace

TEST_F(FolderReplaceDurability, AFinishedRunKeepsEveryLayoutAndRestoresEveryByte) {
    const auto files = samples();
    Trial trial(files);
    const FolderReplacementOutcome outcome = trial.replace();
    EXPECT_EQ(outcome.fileCount, int(files.size()) - 1);
    const auto now = trial.contents();
    EXPECT_EQ(now.at("sub/bom.h"), "\xEF\xBB\xBF" + kReplacement.toUtf8() + " c;\r\nint d;\r\n" +
                                       kReplacement.toUtf8() + " e;\r\n");
    EXPECT_EQ(now.at("sub/deeper/le.h"), utf16(kReplacement + QStringLiteral(" \U0001F600 f;\r\n"),
                                               TextFileEncoding::Utf16LittleEndian));
    EXPECT_EQ(now.at("sub/deeper/be.h"),
              utf16(QStringLiteral("x ") + kReplacement + u'\n', TextFileEncoding::Utf16BigEndian));
    EXPECT_EQ(now.at("untouched.h"), "nothing to replace\n");
    EXPECT_EQ(trial.checkStopped(now, false).size(), outcome.fileCount);
    trial.checkRestores();
}

// A file with another name elsewhere is left whole, so both names keep one content; the others
// are replaced and restored as ever.
TEST_F(FolderReplaceDurability, AFileWithAnotherNameIsLeftWholeAndTheOthersRestore) {
    const auto files = samples();
    Trial trial(files);
    QTemporaryDir elsewhere;
    const QString other = elsewhere.path() + QStringLiteral("/other-name.h");
    ASSERT_EQ(::link(QFile::encodeName(trial.url(QStringLiteral("a.h")).toLocalFile()).constData(),
                     QFile::encodeName(other).constData()),
              0);
    const QByteArray before = trial.tree().read(QStringLiteral("a.h"));
    const FolderReplacementOutcome outcome = trial.replace();
    ASSERT_TRUE(outcome.backupURL);
    EXPECT_EQ(outcome.filesWithOtherNames, QList<QUrl>{trial.url(QStringLiteral("a.h"))});
    EXPECT_EQ(trial.tree().read(QStringLiteral("a.h")), before);
    EXPECT_EQ(FolderTree::readPath(other), before);
    trial.checkStopped(trial.contents(), false);
    trial.checkRestores();
}

// A kill cannot show what reaches the disk in a crash: the order of the syncs does. Every
// original is kept and synced before the manifest names it; manifest and new contents are
// synced before the first file is replaced; the renames are synced before the run ends.
TEST_F(FolderReplaceDurability, EveryBackupIsSyncedBeforeItsFileIsReplacedAndTheRenamesAfter) {
    const auto files = samples();
    Trial trial(files);
    std::vector<FolderReplacementStep> steps;
    setFolderReplacementStepHook([&](FolderReplacementStep kind) { steps.push_back(kind); });
    const FolderReplacementOutcome outcome = trial.replace();
    setFolderReplacementStepHook({});
    using S = FolderReplacementStep;
    auto count = [&](S kind) { return std::count(steps.begin(), steps.end(), kind); };
    auto first = [&](S kind) {
        return std::find(steps.begin(), steps.end(), kind) - steps.begin();
    };
    auto last = [&](S kind) {
        return steps.rend() - std::find(steps.rbegin(), steps.rend(), kind) - 1;
    };
    auto syncBetween = [&](std::ptrdiff_t after, std::ptrdiff_t before) {
        return std::find(steps.begin() + after + 1, steps.begin() + before, S::Sync) !=
               steps.begin() + before;
    };
    ASSERT_EQ(count(S::KeepOriginal), outcome.fileCount);
    ASSERT_EQ(count(S::WriteNew), outcome.fileCount);
    ASSERT_EQ(count(S::Rename), outcome.fileCount);
    ASSERT_EQ(count(S::WriteManifest), 1);
    EXPECT_EQ(steps.front(), S::MakeRunFolder);
    EXPECT_TRUE(syncBetween(last(S::KeepOriginal), first(S::WriteManifest)));
    EXPECT_TRUE(syncBetween(std::max(last(S::WriteManifest), last(S::WriteNew)), first(S::Rename)));
    EXPECT_LT(last(S::KeepOriginal), first(S::Rename));
    EXPECT_TRUE(syncBetween(last(S::Rename), last(S::Finish)));
    EXPECT_EQ(steps.back(), S::Finish);
}

TEST_F(FolderReplaceDurability, AFailureAtAnyStepLeavesFilesWholeBackedUpAndRestorable) {
    const auto files = samples();
    const Reference reference = finishedRun(files);
    ASSERT_GT(reference.steps, int(files.size()));
    for (int stop = 1; stop <= reference.steps; ++stop) {
        SCOPED_TRACE(stop);
        Trial trial(files);
        int step = 0;
        setFolderReplacementStepHook([&](FolderReplacementStep) {
            if (++step == stop)
                throw FileError(FileErrorCode::FileWriteOutOfSpace, QStringLiteral("injected"));
        });
        FolderReplacementOutcome done;
        EXPECT_THROW(trial.replace(&done), FileError);
        setFolderReplacementStepHook({});
        const QStringList changed = trial.checkStopped(reference.replaced, false);
        // The caller is told exactly which files changed.
        QList<QUrl> expected;
        for (const QString& name : changed)
            expected.append(trial.url(name));
        QList<QUrl> reported = done.changedFiles;
        std::sort(expected.begin(), expected.end());
        std::sort(reported.begin(), reported.end());
        EXPECT_EQ(reported, expected);
        EXPECT_EQ(done.fileCount, changed.size());
        trial.checkRestores();
    }
}

TEST_F(FolderReplaceDurability, AKillAtAnyStepLeavesFilesWholeBackedUpAndRestorable) {
    const auto files = samples();
    const Reference reference = finishedRun(files);
    for (int stop = 1; stop <= reference.steps; ++stop) {
        SCOPED_TRACE(stop);
        Trial trial(files);
        const int status = waitStatusOfRunKilledAtStep(stop, [&] { trial.replace(); });
        ASSERT_TRUE(wasKilled(status)) << status;
        const std::optional<QUrl> run = trial.runFolder();
        trial.checkStopped(reference.replaced, true);
        if (run) {
            EXPECT_TRUE(isUnfinishedFolderReplacement(*run));
        }
        // The next folder operation leaves no temporary file and settles the stopped run: its
        // manifest lists exactly the files replaced, as unfinished.
        settleUnfinishedFolderReplacements();
        const QStringList changed = trial.checkStopped(reference.replaced, false);
        if (run) {
            EXPECT_FALSE(isUnfinishedFolderReplacement(*run));
            const FolderReplacementManifest manifest = readFolderReplacementManifest(*run);
            EXPECT_TRUE(manifest.unfinished);
            EXPECT_EQ(manifest.files.size(), changed.size());
        }
        trial.checkRestores();
    }
}

// Settling touches only what a stopped run left: a hidden file named like a temporary file of
// another run, or one given a second name, stays, and a run still going is left alone.
TEST_F(FolderReplaceDurability, SettlingRemovesOnlyAStoppedRunsOwnTemporaryFiles) {
    const auto files = samples();
    Trial trial(files);
    // Stopped with every new content of the batch waiting beside its file.
    const int status = waitStatusOfRunKilledAt(
        [](FolderReplacementStep step) { return step == FolderReplacementStep::Rename; },
        [&] { trial.replace(); });
    ASSERT_TRUE(wasKilled(status)) << status;
    const std::optional<QUrl> run = trial.runFolder();
    ASSERT_TRUE(run);
    const QString tag = folderReplaceRunTag(*run);
    const FolderTree& tree = trial.tree();
    ASSERT_TRUE(QFileInfo::exists(tree.path(".a.h.dunmoss-" + tag)));
    ASSERT_TRUE(QFileInfo::exists(tree.path("sub/.bom.h.dunmoss-" + tag)));
    tree.write(QStringLiteral(".a.h.dunmoss-0123ABCD"), "the user's own");
    QTemporaryDir elsewhere;
    ASSERT_EQ(::link(QFile::encodeName(tree.path(".run.sh.dunmoss-" + tag)).constData(),
                     QFile::encodeName(elsewhere.filePath(QStringLiteral("kept"))).constData()),
              0);
    const QUrl going = makeFolderReplaceBackupFolder();
    const UniqueFd held = markFolderReplaceRunUnfinished(going, tree.rootURL());

    EXPECT_EQ(settleUnfinishedFolderReplacements(), 1);
    EXPECT_EQ(tree.read(".a.h.dunmoss-0123ABCD"), "the user's own");
    EXPECT_TRUE(QFileInfo::exists(tree.path(".run.sh.dunmoss-" + tag)));
    EXPECT_FALSE(QFileInfo::exists(tree.path(".a.h.dunmoss-" + tag)));
    EXPECT_FALSE(QFileInfo::exists(tree.path("sub/.bom.h.dunmoss-" + tag)));
    EXPECT_TRUE(isUnfinishedFolderReplacement(going));
    EXPECT_FALSE(isUnfinishedFolderReplacement(*run));
    // The files the run never renamed over are as they were.
    for (const Sample& file : files)
        EXPECT_EQ(tree.read(QString::fromUtf8(file.name)), file.bytes) << file.name;
}

// More files than one batch holds: each batch's manifest lists the files of the batches before.
TEST_F(FolderReplaceDurability, ARunOverManyBatchesListsEveryFileOfTheBatchesBefore) {
    std::vector<Sample> files;
    std::vector<QByteArray> names;
    for (int i = 0; i < 1100; ++i)
        names.push_back(QStringLiteral("d%1/f%2.h").arg(i % 7).arg(i).toUtf8());
    for (const QByteArray& name : names)
        files.push_back({name.constData(), "struct " + name});
    const Reference reference = finishedRun(files);
    // Stopped in the second batch, the first batch's files stay listed and restorable.
    {
        const int stop = reference.steps - 3;
        Trial trial(files);
        int step = 0;
        setFolderReplacementStepHook([&](FolderReplacementStep) {
            if (++step == stop)
                throw FileError(FileErrorCode::FileWriteOutOfSpace, QStringLiteral("injected"));
        });
        FolderReplacementOutcome done;
        EXPECT_THROW(trial.replace(&done), FileError);
        setFolderReplacementStepHook({});
        const QStringList changed = trial.checkStopped(reference.replaced, false);
        EXPECT_GE(changed.size(), 1024);
        EXPECT_EQ(done.fileCount, changed.size());
    }
}
