// The recent files: one entry per file however it is named, eight at most, and the older
// stored form read once.
#include "SessionFixture.h"
#include "session/RecentFilesStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <unistd.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class RecentFiles : public SessionFixture {
protected:
    QList<QUrl> stored() {
        RecentFilesStore fresh(*defaults);
        return fresh.urls();
    }
};

} // namespace

TEST_F(RecentFiles, OneEntryPerFileThroughLinksDotsAndHardLinks) {
    RecentFilesStore store(*defaults);
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    QDir().mkdir(path(QStringLiteral("sub")));
    ASSERT_TRUE(QFile::link(a.toLocalFile(), path(QStringLiteral("link.txt"))));
    ASSERT_EQ(::link(QFile::encodeName(b.toLocalFile()).constData(),
                     QFile::encodeName(path(QStringLiteral("hard.txt"))).constData()),
              0);

    store.recordRecentFile(a);
    store.recordRecentFile(b);
    store.recordRecentFile(QUrl::fromLocalFile(path(QStringLiteral("link.txt"))));
    store.recordRecentFile(QUrl::fromLocalFile(dir.path() + QStringLiteral("/sub/../a.txt")));
    EXPECT_EQ(store.urls(),
              (QList<QUrl>{QUrl::fromLocalFile(dir.path() + QStringLiteral("/sub/../a.txt")), b}));
    // The same file under another name: the new name replaces the old entry.
    const QUrl hard = QUrl::fromLocalFile(path(QStringLiteral("hard.txt")));
    store.recordRecentFile(hard);
    EXPECT_EQ(store.urls().size(), 2);
    EXPECT_EQ(store.urls().first(), hard);
    // Loaded again through the bookmarks, which name the files by their clean paths.
    EXPECT_EQ(stored(), (QList<QUrl>{hard, a}));
}

TEST_F(RecentFiles, EightAreKeptAndAnEntryWithoutBookmarkLoadsFromItsPath) {
    RecentFilesStore store(*defaults);
    QList<QUrl> files;
    for (int i = 0; i < 9; ++i)
        files.prepend(writeFile(QStringLiteral("f%1.txt").arg(i), "x"));
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        store.recordRecentFile(*it);
    EXPECT_EQ(store.urls(), files.mid(0, 8));

    // A longer stored list loads whole; records without bookmark or with a gone file keep
    // their path; a relative path names nothing and is left out.
    QJsonArray records;
    for (int i = 0; i < 10; ++i)
        records.append(
            QJsonObject{{QStringLiteral("path"), QStringLiteral("/gone/%1.txt").arg(i)}});
    records.append(QJsonObject{{QStringLiteral("path"), QStringLiteral("relative.txt")}});
    defaults->setValue(QString::fromLatin1(kRecentFilesKey),
                       QJsonDocument(records).toJson(QJsonDocument::Compact));
    const QList<QUrl> loaded = stored();
    ASSERT_EQ(loaded.size(), 10);
    EXPECT_EQ(loaded.first(), QUrl::fromLocalFile(QStringLiteral("/gone/0.txt")));
}

TEST_F(RecentFiles, TheOlderListIsReadOnlyWhenTheCurrentOneIsMissingOrBad) {
    const QString legacy = QString::fromLatin1(kLegacyRecentFilesKey);
    const QString current = QString::fromLatin1(kRecentFilesKey);
    defaults->setValue(legacy,
                       QStringList{QStringLiteral("/old/one.txt"), QStringLiteral("/old/two.txt")});
    EXPECT_EQ(stored(), (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/old/one.txt")),
                                     QUrl::fromLocalFile(QStringLiteral("/old/two.txt"))}));
    defaults->setValue(current, QByteArray("[{\"path\": 7}]"));
    EXPECT_EQ(stored().size(), 2);
    defaults->setValue(current, QByteArray("[]"));
    EXPECT_TRUE(stored().isEmpty());

    // The first save writes the current form and removes the older one.
    defaults->remove(current);
    RecentFilesStore store(*defaults);
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    store.recordRecentFile(a);
    EXPECT_FALSE(defaults->contains(legacy));
    EXPECT_EQ(stored().size(), 3);
    EXPECT_EQ(stored().first(), a);
    const QJsonArray saved = QJsonDocument::fromJson(*defaults->data(current)).array();
    EXPECT_TRUE(saved.at(0).toObject().contains(QStringLiteral("bookmark")));
    EXPECT_FALSE(saved.at(1).toObject().contains(QStringLiteral("bookmark"))); // gone file
}

TEST_F(RecentFiles, ABatchRecordedAtOnceGivesTheListOfRecordingEachInTurn) {
    QList<QUrl> older;
    for (int i = 0; i < 3; ++i)
        older.append(writeFile(QStringLiteral("old%1.txt").arg(i), "x"));
    QList<QUrl> batch;
    for (int i = 0; i < 12; ++i)
        batch.append(writeFile(QStringLiteral("new%1.txt").arg(i % 7), "x"));
    // A name of an older entry, and a repeat inside the batch near its end.
    batch.insert(9, QUrl::fromLocalFile(dir.path() + QStringLiteral("/./old1.txt")));
    RecentFilesStore oneByOne(*defaults);
    RecentFilesStore atOnce(*defaults);
    for (RecentFilesStore* store : {&oneByOne, &atOnce})
        for (const QUrl& url : older)
            store->recordRecentFile(url);
    for (const QUrl& url : batch)
        oneByOne.recordRecentFile(url);
    atOnce.recordRecentFiles(batch);
    EXPECT_EQ(atOnce.urls(), oneByOne.urls());
    EXPECT_EQ(atOnce.urls().size(), RecentFilesStore::kLimit);
    EXPECT_EQ(stored().size(), RecentFilesStore::kLimit);
}

TEST_F(RecentFiles, TheFileAlreadyFirstRecordedAgainChangesNothing) {
    const QUrl a = writeFile(QStringLiteral("a.txt"), "a");
    const QUrl b = writeFile(QStringLiteral("b.txt"), "b");
    {
        RecentFilesStore store(*defaults);
        store.recordRecentFiles({a, b});
    }
    // As every autosave of the tab being typed into records its file.
    RecentFilesStore store(*defaults);
    QSignalSpy changes(&store, &RecentFilesStore::urlsChanged);
    store.recordRecentFile(b);
    store.recordRecentFile(b);
    EXPECT_EQ(changes.count(), 0);
    store.recordRecentFile(a);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(stored(), (QList<QUrl>{a, b}));
}
