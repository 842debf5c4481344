#include "text/FolderWalk.h"
#include "FolderTree.h"

#include <QRandomGenerator>
#include <QThreadPool>
#include <cstdio>
#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace dunmoss;
using dunmoss::test::FolderTree;

namespace {

// What a walk reports, in order (unnamed files marked with "?"), and how often it asked
// whether a folder is left out.
struct Walked {
    QStringList paths;
    int excludedAsks = 0;
};

std::optional<FileIdentity> identityOf(const QString& path) {
    struct stat attributes {};
    if (::stat(QFile::encodeName(path).constData(), &attributes) != 0)
        return std::nullopt;
    return FileIdentity{quint64(attributes.st_dev), quint64(attributes.st_ino)};
}

// Removes what QTemporaryDir cannot: names that are not UTF-8.
void removeNativeTree(const QString& root) {
    ::nftw(
        QFile::encodeName(root).constData(),
        [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

// Walks the tree, listing ahead on a pool of four threads when `ahead`; stops after
// `stopAfter` visits. Folders named "x*" are excluded by identity.
Walked walk(const FolderTree& tree, bool ahead, int stopAfter = -1) {
    Walked walked;
    QList<FileIdentity> excluded;
    for (const QString& entry : tree.allEntries())
        if (QFileInfo(entry).fileName().startsWith(u'x'))
            if (const auto identity = identityOf(tree.path(entry)))
                excluded.append(*identity);
    QThreadPool pool;
    pool.setMaxThreadCount(4);
    FolderWalkOptions options;
    options.excludesFolder = [&](const FileIdentity& folder) {
        ++walked.excludedAsks;
        return excluded.contains(folder);
    };
    options.unnamedFile = [&](const QString& path) { walked.paths.append(u'?' + path); };
    if (ahead)
        options.runAhead = [&pool](std::function<void()> task) { pool.start(std::move(task)); };
    walkFolderFiles(
        tree.root(), {},
        [&](const QString& path) {
            walked.paths.append(path);
            return stopAfter < 0 || walked.paths.size() < stopAfter;
        },
        options);
    pool.waitForDone();
    return walked;
}

} // namespace

// Listing folders on other threads ahead of the walk changes nothing it reports, nor the
// order: deep and wide trees, hidden and skipped folders, names that are not UTF-8, folders
// left out by identity with whole subtrees below them, and a walk that stops early.
TEST(FolderWalk, ListingAheadVisitsWhatThePlainWalkVisitsInTheSameOrder) {
    QRandomGenerator random(45);
    for (int round = 0; round < 8; ++round) {
        const FolderTree tree;
        const char* names[] = {"a", "b", "x", "node_modules", ".hid", "c\xFF", "deep", "e"};
        int files = 0;
        for (int i = 0; i < 250; ++i) {
            QByteArray path;
            const int depth = int(random.bounded(1, 9));
            for (int d = 0; d < depth; ++d)
                path += QByteArray(names[random.bounded(8)]) +
                        QByteArray::number(random.bounded(round % 3 == 0 ? 40 : 3)) + '/';
            path += "f" + QByteArray::number(files++) + ".txt";
            tree.writeNative(path, "text\n");
        }
        const Walked plain = walk(tree, false);
        const Walked ahead = walk(tree, true);
        ASSERT_GT(plain.paths.size(), 50) << round;
        ASSERT_EQ(ahead.paths.join(u'\n'), plain.paths.join(u'\n')) << round;
        EXPECT_EQ(ahead.excludedAsks, plain.excludedAsks) << round;
        const int stop = int(random.bounded(1, int(plain.paths.size())));
        const QStringList cut = walk(tree, true, stop).paths;
        ASSERT_GE(cut.size(), stop) << round;
        EXPECT_EQ(cut.join(u'\n'), plain.paths.first(cut.size()).join(u'\n')) << round;
        removeNativeTree(tree.root());
    }
}
