// A restore killed at any step leaves every file whole, and the next folder operation removes
// the staging files it left beside them: only those, never a file of the user's.
#include "FolderTree.h"
#include "support/KilledAtStep.h"
#include "text/FolderBackupRestore.h"
#include "text/FolderReplacement.h"
#include "text/FolderReplacementBackup.h"
#include "text/FolderReplacementLeftovers.h"
#include "text/FolderReplacementRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;
using dunmoss::test::waitStatusOfRunKilledAt;
using dunmoss::test::waitStatusOfRunKilledAtStep;
using dunmoss::test::wasKilled;

namespace {

const QStringList kEntries{"a.txt", "sub/b.txt", "sub/deep/c.txt", "made/d.txt"};
// Hidden files of the user's that look like staging files but are not a restore's own.
const QStringList kLookAlikes{".notes.dunmoss-restore",
                              ".0123ABCD-1111-2222-3333-444455556666.dunmoss-restore"};

QByteArray savedBytes(const QString& entry) {
    return "saved " + entry.toUtf8();
}

class FolderRestoreDurability : public ::testing::Test {
protected:
    void SetUp() override {
        QJsonObject manifest{{"createdAt", "2025-03-01T09:30:00Z"},
                             {"formatVersion", 2},
                             {"rootPath", target.root()},
                             {"replacementCount", kEntries.size()},
                             {"files", QJsonArray::fromStringList(kEntries)}};
        backup.write(QStringLiteral("manifest.json"), QJsonDocument(manifest).toJson());
        for (const QString& entry : kEntries) {
            backup.write(QStringLiteral("files/") + entry, savedBytes(entry));
            if (!entry.startsWith(QStringLiteral("made/")))
                target.write(entry, "current");
        }
        for (const QString& name : kLookAlikes)
            target.write(name, "the user's own");
    }
    void TearDown() override { setFolderReplacementStepHook({}); }

    int restore() {
        return restoreFolderReplacementBackup(backup.rootURL(), target.rootURL()).restored;
    }

    // Restores in a child killed right before the step'th step of the restore.
    void restoreKilledAt(int stop) {
        const int status = waitStatusOfRunKilledAtStep(stop, [&] { restore(); });
        ASSERT_TRUE(wasKilled(status)) << status;
    }

    // The staging files in the target, besides the user's look-alikes.
    QStringList stagingFiles() const {
        QStringList found = target.allEntries().filter(QStringLiteral(".dunmoss-restore"));
        for (const QString& name : kLookAlikes)
            found.removeOne(name);
        return found;
    }
    static std::string listed(const QStringList& names) {
        return names.join(QStringLiteral(", ")).toStdString();
    }

    // Each file is whole: what it was, or its saved copy; a file the restore makes is there
    // only with its saved copy.
    void expectWhole() const {
        for (const QString& entry : kEntries) {
            const QByteArray now = target.read(entry);
            const QByteArray before =
                entry.startsWith(QStringLiteral("made/")) ? "<missing>" : "current";
            EXPECT_TRUE(now == before || now == savedBytes(entry)) << qPrintable(entry);
        }
        for (const QString& name : kLookAlikes)
            EXPECT_EQ(target.read(name), "the user's own");
    }

    FolderTree backup;
    FolderTree target;
};

} // namespace

TEST_F(FolderRestoreDurability, AKillAtAnyStepLeavesFilesWholeAndTheNextRestoreRemovesItsStaging) {
    int steps = 0;
    setFolderReplacementStepHook([&](FolderReplacementStep) { ++steps; });
    ASSERT_EQ(restore(), kEntries.size());
    setFolderReplacementStepHook({});
    ASSERT_GT(steps, 2 * kEntries.size());
    const QStringList finished = target.allEntries();

    bool leftStaging = false;
    for (int stop = 1; stop <= steps; ++stop) {
        SCOPED_TRACE(stop);
        for (const QString& entry : kEntries)
            ::unlink(QFile::encodeName(target.path(entry)).constData());
        SetUp();
        restoreKilledAt(stop);
        expectWhole();
        leftStaging = leftStaging || !stagingFiles().isEmpty();
        // The next operation removes exactly what the killed one left, and restores whole.
        EXPECT_EQ(restore(), kEntries.size());
        EXPECT_EQ(listed(stagingFiles()), "");
        EXPECT_EQ(listed(target.allEntries()), listed(finished));
        for (const QString& entry : kEntries)
            EXPECT_EQ(target.read(entry), savedBytes(entry)) << qPrintable(entry);
    }
    EXPECT_TRUE(leftStaging) << "no kill left a staging file: the test proves nothing";
}

// Settled by the next replace: a staging file with a second name, one that is not a regular
// file, one named almost like the killed restore's, and one of a restore still going all stay.
TEST_F(FolderRestoreDurability, SettlingRemovesOnlyAKilledRestoresOwnStagingFiles) {
    {
        // Killed once every file is staged, before any is moved into place.
        const int status = waitStatusOfRunKilledAt(
            [](FolderReplacementStep step) { return step == FolderReplacementStep::RestorePlace; },
            [&] { restore(); });
        ASSERT_TRUE(wasKilled(status)) << status;
    }
    const QStringList left = stagingFiles();
    ASSERT_EQ(left.size(), kEntries.size());
    const QString name = left[0].section(u'/', -1);
    const QString folder = left[0].left(left[0].size() - name.size());
    const QString tag = name.mid(1, 8);
    QTemporaryDir elsewhere;
    ASSERT_EQ(::link(QFile::encodeName(target.path(left[0])).constData(),
                     QFile::encodeName(elsewhere.filePath(QStringLiteral("kept"))).constData()),
              0);
    const QString notRegular =
        folder + u'.' + tag + QStringLiteral("-AAAA-BBBB-CCCC-DDDDEEEEFFFF.dunmoss-restore");
    target.mkdir(notRegular);
    const QStringList almost{folder + name.toLower(), folder + name + u'~'};
    for (const QString& lookAlike : almost)
        target.write(lookAlike, "the user's own");
    FolderRestoreMarker going;
    const QString goingStaging = going.stagingNameIn(target.root());
    target.write(goingStaging, "a restore still going");

    replaceInFolder(QStringLiteral("nowhere to be found"), QStringLiteral("x"), target.rootURL(),
                    {}, {}, {false, true, false});

    QStringList kept = almost + QStringList{goingStaging, left[0], notRegular};
    kept.sort();
    EXPECT_EQ(listed(stagingFiles()), listed(kept));
    for (const QString& lookAlike : almost)
        EXPECT_EQ(target.read(lookAlike), "the user's own");
    EXPECT_EQ(target.read(goingStaging), "a restore still going");
    expectWhole();
    // The killed restore's marker is gone; the live one's stays until it finishes.
    const QDir store(folderReplaceBackupsPath());
    const QStringList markers = store.entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(markers.size(), 1);
    EXPECT_TRUE(goingStaging.startsWith(u'.' + markers[0].section(u'-', 1)));
    going.finish();
    EXPECT_EQ(listed(store.entryList(QDir::Files | QDir::Hidden)), "");
}
