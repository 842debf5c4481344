#include "text/WorkspaceItem.h"
#include "window/WindowDerivedValues.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

WorkspaceItem file(const QString& path) {
    return WorkspaceItem{path, QUrl::fromLocalFile(path), false, std::nullopt};
}

WorkspaceItem folder(const QString& path, std::optional<QList<WorkspaceItem>> children) {
    return WorkspaceItem{path, QUrl::fromLocalFile(path), true, std::move(children)};
}

QuickOpenEntry command(const QString& raw, const QString& title) {
    return QuickOpenEntry{QStringLiteral("command:") + raw, title, QStringLiteral("Command"),
                          QStringLiteral("gear"), QuickOpenAction::runCommand(raw)};
}

QStringList ids(const QList<QuickOpenEntry>& entries) {
    QStringList list;
    for (const QuickOpenEntry& entry : entries)
        list << entry.id;
    return list;
}

QString subtitleOf(const QString& filePath, std::optional<QString> rootPath) {
    std::optional<QUrl> root;
    if (rootPath)
        root = QUrl::fromLocalFile(*rootPath);
    return quickOpenFileEntry(QUrl::fromLocalFile(filePath), root).subtitle;
}

TEST(WorkspaceFlatten, KeepsFilesDepthFirstAndDropsFolders) {
    const QList<WorkspaceItem> tree{
        file("/r/a.txt"),
        folder(
            "/r/src",
            QList<WorkspaceItem>{folder("/r/src/deep", QList<WorkspaceItem>{file("/r/src/deep/x")}),
                                 file("/r/src/y"), folder("/r/src/empty", QList<WorkspaceItem>{})}),
        folder("/r/unlisted", std::nullopt),
        file("/r/z.txt"),
    };
    QStringList paths;
    for (const WorkspaceItem& item : flattenWorkspaceItems(tree))
        paths << item.id;
    EXPECT_EQ(paths, (QStringList{"/r/a.txt", "/r/src/deep/x", "/r/src/y", "/r/z.txt"}));
    EXPECT_TRUE(flattenWorkspaceItems({}).isEmpty());
}

TEST(QuickOpenFileEntry, FileEntryFields) {
    const QUrl url = QUrl::fromLocalFile("/work/proj/src/my file.txt");
    const QuickOpenEntry entry = quickOpenFileEntry(url, QUrl::fromLocalFile("/work/proj"));
    EXPECT_EQ(entry.id, "file:/work/proj/src/my file.txt");
    EXPECT_EQ(entry.title, "my file.txt");
    EXPECT_EQ(entry.subtitle, "src/my file.txt");
    EXPECT_EQ(entry.systemImage, "doc.text");
    EXPECT_EQ(entry.action, QuickOpenAction::openFile(url));
}

TEST(QuickOpenFileEntry, SubtitleIsThePlaceRelativeToTheRoot) {
    // No root, or a file elsewhere: the parent folder's path.
    EXPECT_EQ(subtitleOf("/work/proj/a.txt", std::nullopt), "/work/proj");
    EXPECT_EQ(subtitleOf("/other/b.txt", "/work/proj"), "/other");
    EXPECT_EQ(subtitleOf("/top.txt", std::nullopt), "/");
    // Inside the root, with or without a trailing slash on the root.
    EXPECT_EQ(subtitleOf("/work/proj/a.txt", "/work/proj"), "a.txt");
    EXPECT_EQ(subtitleOf("/work/proj/d/a.txt", "/work/proj/"), "d/a.txt");
    EXPECT_EQ(subtitleOf("/work/proj/d/a.txt", "/"), "work/proj/d/a.txt");
    // Nothing left after removing the root: the file's own name.
    EXPECT_EQ(subtitleOf("/work/proj", "/work/proj"), "proj");
    EXPECT_EQ(subtitleOf("/work/proj", "/work/proj/"), "/work");
    // A sibling whose name merely starts with the root's name is not inside the root.
    EXPECT_EQ(subtitleOf("/work/project/x.txt", "/work/proj"), "/work/project");
}

class QuickOpen : public ::testing::Test {
protected:
    EditorWindowState state;
    QList<QuickOpenEntry> commands{command("newTab", "New Tab"), command("goToLine", "Go to Line")};

    void setFiles(const QStringList& paths, const QString& root = QStringLiteral("/ws")) {
        state.workspace.workspaceRootURL = QUrl::fromLocalFile(root);
        state.workspace.workspaceItems.clear();
        for (const QString& path : paths)
            state.workspace.workspaceItems.append(file(path));
    }
};

TEST_F(QuickOpen, CommandsComeFirstThenFilesInTreeOrder) {
    state.workspace.workspaceRootURL = QUrl::fromLocalFile("/ws");
    state.workspace.workspaceItems = {
        folder("/ws/lib", QList<WorkspaceItem>{file("/ws/lib/b.cpp")}), file("/ws/a.txt")};
    EXPECT_EQ(ids(quickOpenEntries(state, commands)),
              (QStringList{"command:newTab", "command:goToLine", "file:/ws/lib/b.cpp",
                           "file:/ws/a.txt"}));
    EXPECT_EQ(ids(quickOpenEntries(state, {})),
              (QStringList{"file:/ws/lib/b.cpp", "file:/ws/a.txt"}));
}

TEST_F(QuickOpen, QueryIsTrimmedAndMatchedCaseInsensitivelyOverTitleAndSubtitle) {
    setFiles({"/ws/src/Main.cpp", "/ws/docs/readme.md", "/ws/LINE.txt"});
    state.panels.quickOpenQuery = QStringLiteral(" \n\tline\n ");
    // "Go to Line" by title, LINE.txt by title, both case-insensitively.
    EXPECT_EQ(ids(quickOpenEntries(state, commands)),
              (QStringList{"command:goToLine", "file:/ws/LINE.txt"}));

    // The subtitle counts: the folder name only appears there.
    state.panels.quickOpenQuery = QStringLiteral("DOCS");
    EXPECT_EQ(ids(quickOpenEntries(state, commands)), (QStringList{"file:/ws/docs/readme.md"}));

    // Title and subtitle are joined by one space, so a query may span both.
    state.panels.quickOpenQuery = QStringLiteral("main.cpp src");
    EXPECT_EQ(ids(quickOpenEntries(state, commands)), (QStringList{"file:/ws/src/Main.cpp"}));

    state.panels.quickOpenQuery = QStringLiteral("   ");
    EXPECT_EQ(quickOpenEntries(state, commands).size(), 5);

    state.panels.quickOpenQuery = QStringLiteral("nothing like it");
    EXPECT_TRUE(quickOpenEntries(state, commands).isEmpty());
}

TEST_F(QuickOpen, AtMostEightyEntriesInListOrder) {
    QStringList paths;
    for (int i = 0; i < 200; ++i)
        paths << QStringLiteral("/ws/f%1.txt").arg(i, 3, 10, QLatin1Char('0'));
    setFiles(paths);

    QList<QuickOpenEntry> all = quickOpenEntries(state, commands);
    ASSERT_EQ(all.size(), kQuickOpenEntryLimit);
    EXPECT_EQ(all.at(0).id, "command:newTab");
    EXPECT_EQ(all.at(2).id, "file:/ws/f000.txt");
    EXPECT_EQ(all.last().id, "file:/ws/f077.txt");

    // Filtering happens before the cut: the first 80 matches, not matches among the first 80.
    state.panels.quickOpenQuery = QStringLiteral("1");
    all = quickOpenEntries(state, commands);
    ASSERT_EQ(all.size(), kQuickOpenEntryLimit);
    EXPECT_EQ(all.first().id, "file:/ws/f001.txt");
    // 19 names below 100 contain "1", so the 80th match is f160.
    EXPECT_EQ(all.last().id, "file:/ws/f160.txt");
}

struct OutlineCall {
    QString text;
    EditorLanguage language;
};

class ActiveOutline : public ::testing::Test {
protected:
    EditorWindowState state;
    QList<OutlineCall> calls;
    const QList<DocumentOutlineItem> items{
        DocumentOutlineItem{QUuid::createUuid(), "main", "func", 2, TextRange{4, 9}}};

    OutlineExtractor extractor() {
        return [this](const QString& text, EditorLanguage language) {
            calls.append({text, language});
            return items;
        };
    }

    void setActive(const EditorTab& tab) {
        state.tabs = {untitledTab(), tab};
        state.activeTabID = tab.id;
    }
};

TEST_F(ActiveOutline, ExtractsTheActiveTabInItsLanguage) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile("/ws/tool.py");
    tab.document.text = QStringLiteral("x\ndef main(): pass\n");
    setActive(tab);
    EXPECT_EQ(activeOutlineItems(state, extractor()), items);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.at(0).text, tab.document.text);
    EXPECT_EQ(calls.at(0).language, EditorLanguage::Python);

    // An override wins over the file name.
    state.tabs[1].languageOverride = EditorLanguage::Markdown;
    activeOutlineItems(state, extractor());
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls.at(1).language, EditorLanguage::Markdown);

    // Without an extractor there is no outline.
    EXPECT_TRUE(activeOutlineItems(state, {}).isEmpty());
}

TEST_F(ActiveOutline, NoExtractionOverTheSizeLimit) {
    EditorTab tab = untitledTab();
    tab.document.text = QString(kOutlineTextLimit, QLatin1Char('a'));
    setActive(tab);
    EXPECT_EQ(activeOutlineItems(state, extractor()), items);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls.at(0).language, EditorLanguage::PlainText);

    state.tabs[1].document.text.append(QLatin1Char('a'));
    EXPECT_TRUE(activeOutlineItems(state, extractor()).isEmpty());
    EXPECT_EQ(calls.size(), 1);
}

} // namespace
} // namespace dunmoss::test
