#include "search/SearchCenterRunStore.h"
#include "platform/Defaults.h"
#include "session/SessionWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

SearchCenterRun sampleRun() {
    SearchCenterRun run;
    run.id = QUuid::createUuid();
    run.scope = SearchCenterScope::OpenDocuments;
    run.query = QStringLiteral("naïve \"q\"\\");
    run.createdAt = QDateTime::fromMSecsSinceEpoch(1765000000123LL, Qt::UTC);
    SearchCenterResult full;
    full.id = QStringLiteral("open:X:1:2:3:4");
    full.scope = SearchCenterScope::OpenDocuments;
    full.groupID = QStringLiteral("/tmp/a b/文件.txt");
    full.groupTitle = QStringLiteral("文件.txt");
    full.groupSubtitle = QStringLiteral("/tmp/a b");
    full.tabID = QUuid::createUuid();
    full.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/a b/文件.txt"));
    full.range = TextRange{10, 0};
    full.line = 3;
    full.column = 9;
    // Control characters, an emoji and a lone surrogate survive.
    full.preview = QStringLiteral("tab\tnl\x01 😀 ") + QChar(0xD800) + QStringLiteral("/end");
    SearchCenterResult bare;
    bare.id = QStringLiteral("folder:/r/x:1:1:p");
    bare.scope = SearchCenterScope::Folder;
    bare.groupID = QStringLiteral("/r/x");
    bare.line = 1;
    bare.column = 1;
    run.results = {full, bare};
    return run;
}

QJsonObject storedResult() {
    return QJsonObject{{"id", "r"},           {"scope", "currentDocument"},
                       {"groupID", "g"},      {"groupTitle", "t"},
                       {"groupSubtitle", ""}, {"line", 1},
                       {"column", 2},         {"preview", "p"}};
}

QJsonObject storedRun(const QJsonArray& results, const QString& scope = QStringLiteral("folder")) {
    return QJsonObject{{"id", "6F1C2E0A-3B4D-4E5F-8A9B-0C1D2E3F4A5B"},
                       {"scope", scope},
                       {"query", "q"},
                       {"createdAt", 786000000.5},
                       {"results", results}};
}

QByteArray json(const QJsonArray& runs) {
    return QJsonDocument(runs).toJson(QJsonDocument::Compact);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The writer is done with what it was handed, and the settings heard of it.
void moved() {
    SessionWriter::shared().waitUntilIdle();
    QCoreApplication::processEvents();
}

// The settings of a program started afresh on the stored files: a folder this process has not
// read nor written, holding copies of them.
QString restartedSettings(const QTemporaryDir& from, const QTemporaryDir& to) {
    SessionWriter::shared().waitUntilIdle();
    for (const QString& name : QDir(from.path()).entryList(QDir::Files))
        QFile::copy(from.filePath(name), to.filePath(name));
    return to.filePath(QStringLiteral("s.ini"));
}

int runWrites(const Defaults& defaults) {
    SessionWriter::shared().waitUntilIdle();
    return SessionWriter::shared().writeCount(searchCenterRunsPath(defaults));
}

TEST(SearchCenterRunStore, RunsSurviveARestartInTheirOwnFile) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
    EXPECT_TRUE(loadSearchCenterRuns(defaults).isEmpty());
    QList<SearchCenterRun> runs;
    for (int i = 0; i < 12; ++i)
        runs << sampleRun();
    saveSearchCenterRuns(runs, defaults);
    // Read back before the writer is done, as a window opened meanwhile does.
    EXPECT_EQ(loadSearchCenterRuns(defaults), runs.mid(0, kSearchCenterRunLimit));

    QTemporaryDir later;
    Defaults reread(restartedSettings(dir, later));
    const QList<SearchCenterRun> loaded = loadSearchCenterRuns(reread);
    ASSERT_EQ(loaded.size(), kSearchCenterRunLimit);
    EXPECT_EQ(loaded, runs.mid(0, kSearchCenterRunLimit));
    EXPECT_FALSE(reread.contains(QString::fromLatin1(kSearchCenterRunsKey)));
    // The stored bytes name the optional keys only when present.
    const QByteArray stored = fileBytes(searchCenterRunsPath(reread));
    const QJsonArray parsed = QJsonDocument::fromJson(stored).array();
    const QJsonArray results = parsed.at(0).toObject().value("results").toArray();
    EXPECT_TRUE(results.at(0).toObject().contains("rangeLength"));
    EXPECT_FALSE(results.at(1).toObject().contains("tabID"));
    EXPECT_FALSE(results.at(1).toObject().contains("filePath"));
    EXPECT_TRUE(stored.startsWith("[{\"id\":\""));

    // A run of every match is written with its first 2,000 results.
    SearchCenterRun large = sampleRun();
    while (large.results.size() < 2500)
        large.results += large.results;
    saveSearchCenterRuns({large}, defaults);
    QTemporaryDir third;
    Defaults again(restartedSettings(dir, third));
    const QList<SearchCenterRun> reloaded = loadSearchCenterRuns(again);
    ASSERT_EQ(reloaded.size(), 1);
    EXPECT_EQ(reloaded.first().results, large.results.mid(0, kStoredRunResultLimit));
}

TEST(SearchCenterRunStore, OnlyChangedRunsAreWritten) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
    const QList<SearchCenterRun> runs{sampleRun(), sampleRun()};
    saveSearchCenterRuns(runs, defaults);
    saveSearchCenterRuns(runs, defaults);
    EXPECT_EQ(runWrites(defaults), 1);
    saveSearchCenterRuns(runs, defaults);
    EXPECT_EQ(runWrites(defaults), 1);
    saveSearchCenterRuns(runs.mid(1), defaults);
    EXPECT_EQ(runWrites(defaults), 2);

    // Nor are the runs read at start-up written back unchanged.
    QTemporaryDir later;
    Defaults restarted(restartedSettings(dir, later));
    saveSearchCenterRuns(loadSearchCenterRuns(restarted), restarted);
    EXPECT_EQ(runWrites(restarted), 0);
}

TEST(SearchCenterRunStore, RunsInTheSettingsMoveToTheirFileOnce) {
    const QString key = QString::fromLatin1(kSearchCenterRunsKey);
    QTemporaryDir dir;
    const QList<SearchCenterRun> old{sampleRun()};
    const QByteArray oldBytes = encodeSearchCenterRuns(old);
    {
        Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
        defaults.setValue(key, oldBytes);
        EXPECT_EQ(loadSearchCenterRuns(defaults), old);
        // Until the writer is done, a window opened meanwhile finds them with it.
        EXPECT_EQ(loadSearchCenterRuns(defaults), old);
        moved();
        EXPECT_FALSE(defaults.contains(key));
        EXPECT_EQ(fileBytes(searchCenterRunsPath(defaults)), oldBytes);
        // Moved as they were, in the one write; the same runs are not written again.
        EXPECT_EQ(runWrites(defaults), 1);
        saveSearchCenterRuns(old, defaults);
        EXPECT_EQ(runWrites(defaults), 1);
    }
    QTemporaryDir later;
    Defaults restarted(restartedSettings(dir, later));
    EXPECT_FALSE(restarted.contains(key));
    EXPECT_EQ(loadSearchCenterRuns(restarted), old);

    // An older version that ran after the move wrote the key again: the newer runs win.
    const auto both = [&](const QList<SearchCenterRun>& inSettings,
                          const QList<SearchCenterRun>& inFile) {
        QTemporaryDir folder;
        Defaults defaults(folder.filePath(QStringLiteral("s.ini")));
        putFile(searchCenterRunsPath(defaults), encodeSearchCenterRuns(inFile));
        defaults.setValue(key, encodeSearchCenterRuns(inSettings));
        const QList<SearchCenterRun> loaded = loadSearchCenterRuns(defaults);
        moved();
        EXPECT_FALSE(defaults.contains(key));
        EXPECT_EQ(decodeSearchCenterRuns(fileBytes(searchCenterRunsPath(defaults))), loaded);
        return loaded;
    };
    SearchCenterRun newer = sampleRun();
    newer.createdAt = newer.createdAt.addSecs(60);
    EXPECT_EQ(both({newer}, old), QList{newer});
    EXPECT_EQ(both(old, {newer}), QList{newer});
}

TEST(SearchCenterRunStore, TheSettingsStaySmallWithTenFullRuns) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
    SearchCenterRun run = sampleRun();
    run.results.resize(1);
    run.results.first().preview = QString(200, QLatin1Char('p'));
    while (run.results.size() < kStoredRunResultLimit)
        run.results += run.results;
    QList<SearchCenterRun> runs;
    for (int i = 0; i < kSearchCenterRunLimit; ++i)
        runs << run;
    saveSearchCenterRuns(runs, defaults);
    SessionWriter::shared().waitUntilIdle();
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_GT(QFileInfo(searchCenterRunsPath(defaults)).size(), 4'000'000);
    EXPECT_LT(QFileInfo(defaults.filePath()).size(), 64 * 1024);
}

TEST(SearchCenterRunStore, LenientWhereTheFormatAllowsIt) {
    QJsonObject partial = storedResult();
    partial.insert("rangeLocation", 4); // without its length: no range
    partial.insert("tabID", QJsonValue::Null);
    partial.insert("scope", "somewhere"); // unknown result scope: current document
    const QJsonArray runs{storedRun({partial}, QStringLiteral("elsewhere")), storedRun({partial}),
                          storedRun({})};
    const std::optional<QList<SearchCenterRun>> loaded = decodeSearchCenterRuns(json(runs));
    ASSERT_TRUE(loaded.has_value());
    ASSERT_EQ(loaded->size(), 2); // the run with an unknown scope is dropped
    const SearchCenterResult& r = loaded->first().results.first();
    EXPECT_FALSE(r.range.has_value());
    EXPECT_FALSE(r.tabID.has_value());
    EXPECT_EQ(r.scope, SearchCenterScope::CurrentDocument);
    EXPECT_EQ(loaded->first().createdAt,
              QDateTime(QDate(2025, 11, 28), QTime(5, 20, 0, 500), Qt::UTC));
}

TEST(SearchCenterRunStore, OneBadRecordLosesAllAndLeavesTheStoredValue) {
    const auto without = [](const char* key) {
        QJsonObject r = storedResult();
        r.remove(QLatin1String(key));
        return r;
    };
    const auto with = [](const char* key, const QJsonValue& value) {
        QJsonObject r = storedResult();
        r.insert(QLatin1String(key), value);
        return r;
    };
    const QList<QByteArray> corrupt{
        "",
        "not json",
        "{\"id\":1}",
        "[1]",
        json({storedRun({storedResult()}), storedRun({without("preview")})}),
        json({storedRun({with("tabID", "not-a-uuid")})}),
        json({storedRun({with("tabID", "{6F1C2E0A-3B4D-4E5F-8A9B-0C1D2E3F4A5B}")})}),
        json({storedRun({with("line", 1.5)})}),
        json({storedRun({with("line", "1")})}),
        json({storedRun({with("filePath", 7)})}),
        json({QJsonObject{{"id", "x"},
                          {"scope", "folder"},
                          {"query", "q"},
                          {"createdAt", 1},
                          {"results", QJsonArray{}}}}),
        "[{\"id\":\"6F1C2E0A-3B4D-4E5F-8A9B-0C1D2E3F4A5B\",\"scope\":\"folder\",\"query\":\"q\"",
    };
    for (const QByteArray& bytes : corrupt)
        EXPECT_FALSE(decodeSearchCenterRuns(bytes).has_value()) << bytes.toStdString();

    // Moved from the settings and read from the file, the bytes stay as they were.
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("s.ini")));
    defaults.setValue(QString::fromLatin1(kSearchCenterRunsKey), corrupt.at(4));
    EXPECT_TRUE(loadSearchCenterRuns(defaults).isEmpty());
    moved();
    EXPECT_EQ(fileBytes(searchCenterRunsPath(defaults)), corrupt.at(4));
    EXPECT_TRUE(loadSearchCenterRuns(defaults).isEmpty());
    EXPECT_EQ(fileBytes(searchCenterRunsPath(defaults)), corrupt.at(4));
}

} // namespace
} // namespace dunmoss::test
