#include "chrome/WindowLayout.h"
#include "chrome/EditorArea.h"
#include "chrome/StatusBarView.h"
#include "chrome/TabStripView.h"
#include "chrome/WindowStatusLine.h"
#include "window/WindowFixture.h"

#include <QLabel>
#include <QToolButton>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

using R = WindowRow;

EditorTab fileTab(const QString& name, const QString& text) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/") + name);
    tab.document.text = text;
    tab.savedSnapshot = text;
    return tab;
}

class WindowLayoutWidget : public WindowFixture {};

} // namespace

TEST(WindowLayoutRows, PlainWindowAndEveryPanelInOrder) {
    EditorWindowState state;
    EXPECT_EQ(windowLayoutRows(state), (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider,
                                                 R::EditorArea, R::Divider, R::StatusBar}));
    state.folderSearch.showFolderSearch = true;
    state.find.showFindBar = true;
    state.searchCenter.showSearchCenter = true;
    state.find.showOpenDocumentSearchResults = true;
    state.find.showFindResults = true;
    state.notices.shown.append({QStringLiteral("cause"), QStringLiteral("news")});
    EXPECT_EQ(windowLayoutRows(state),
              (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider, R::FindBar, R::Divider,
                        R::FolderSearch, R::Divider, R::FindResults, R::Divider,
                        R::OpenDocumentResults, R::Divider, R::SearchCenter, R::Divider,
                        R::MessageBar, R::Divider, R::EditorArea, R::Divider, R::StatusBar}));
}

TEST(WindowLayoutRows, TheMessageBarShowsWhileItHasNewsOfATabOrANotice) {
    EditorWindowState state;
    state.decisions.externalChangeTabID = QUuid::createUuid(); // names no tab
    EXPECT_FALSE(showsMessageBar(state));
    state.decisions.externalChangeTabID = state.tabs.first().id;
    EXPECT_TRUE(showsMessageBar(state));
    state.decisions.externalChangeTabID.reset();
    state.notices.shown.append({QStringLiteral("cause"), QStringLiteral("news")});
    EXPECT_TRUE(showsMessageBar(state));
}

TEST(WindowLayoutRows, SearchCenterHidesTheInlineFolderResults) {
    EditorWindowState state;
    state.folderSearch.showFolderSearch = true;
    EXPECT_TRUE(folderSearchShowsInlineResults(state));
    state.searchCenter.showSearchCenter = true;
    EXPECT_FALSE(folderSearchShowsInlineResults(state));
    state.searchCenter.showSearchCenter = false;
    EXPECT_TRUE(folderSearchShowsInlineResults(state));
}

TEST(WindowLayoutStatus, ValuesComeFromTheActiveTab) {
    EditorWindowState state;
    EditorTab preview = fileTab(QStringLiteral("big.py"), QStringLiteral("print(1)\n"));
    preview.isReadOnly = true;
    preview.isLargeFilePreview = true;
    preview.document.text = QStringLiteral("changed"); // differs, but read-only
    preview.bookmarkedLines = {1, 3};
    state.tabs = {preview};
    state.activeTabID = QUuid::createUuid(); // names no tab: the first tab counts
    const StatusBarValues values = statusBarValues(state);
    EXPECT_FALSE(values.isDirty);
    EXPECT_TRUE(values.isReadOnly);
    EXPECT_TRUE(values.isLargeFileMode);
    EXPECT_EQ(values.language, EditorLanguage::Python);
    EXPECT_EQ(values.bookmarkedLineCount, 2);
    EXPECT_EQ(values.text, QStringLiteral("changed"));

    EditorTab edited = fileTab(QStringLiteral("notes.txt"), QStringLiteral("a"));
    edited.document.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    edited.languageOverride = EditorLanguage::Markdown;
    state.tabs = {edited};
    EXPECT_TRUE(statusBarValues(state).isDirty);
    EXPECT_EQ(statusBarValues(state).lineEnding, TextLineEnding::CarriageReturnLineFeed);
    EXPECT_EQ(statusBarValues(state).language, EditorLanguage::Markdown);
}

TEST(WindowLayoutStatus, LargeFileModeCountsCharactersAsSeen) {
    EditorTab tab = untitledTab();
    tab.document.text = QString(1'000'000, QLatin1Char('x'));
    EXPECT_FALSE(isLargeFileMode(tab));
    tab.document.text += QLatin1Char('y'); // 1,000,001 characters
    EXPECT_TRUE(isLargeFileMode(tab));
    // 1,000,001 code units but only 1,000,000 characters: not large.
    tab.document.text = QString(999'999, QLatin1Char('x')) + QString::fromUtf16(u"\U0001F600");
    EXPECT_FALSE(isLargeFileMode(tab));
}

TEST_F(WindowLayoutWidget, ShowsRowsByFlagsWithPanelsInstalled) {
    WindowLayout layout(*model);
    layout.resize(900, 600);
    layout.refresh({});
    layout.show();
    // Without a header installed its row stays empty and hidden.
    EXPECT_EQ(layout.shownRows(),
              (QList<R>{R::TabStrip, R::Divider, R::EditorArea, R::Divider, R::StatusBar}));
    layout.setPanel(WindowPanel::Header, new QLabel(QStringLiteral("header")));
    layout.setPanel(WindowPanel::FolderSearch, new QLabel(QStringLiteral("folder")));
    layout.setPanel(WindowPanel::FindBar, new QLabel(QStringLiteral("find")));
    layout.refresh({});
    EXPECT_EQ(layout.shownRows(), (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider,
                                            R::EditorArea, R::Divider, R::StatusBar}));
    model->update([](EditorWindowState& s) {
        s.folderSearch.showFolderSearch = true;
        s.find.showFindBar = true;
        s.searchCenter.showSearchCenter = true;
    });
    layout.refresh({});
    EXPECT_EQ(layout.shownRows(),
              (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider, R::FindBar, R::Divider,
                        R::FolderSearch, R::Divider, R::SearchCenter, R::Divider, R::EditorArea,
                        R::Divider, R::StatusBar}));
    QWidget* folder = layout.panel(WindowPanel::FolderSearch);
    EXPECT_FALSE(folder->property(kShowsInlineResultsProperty).toBool());
    model->update([](EditorWindowState& s) { s.searchCenter.showSearchCenter = false; });
    layout.refresh({});
    EXPECT_TRUE(folder->property(kShowsInlineResultsProperty).toBool());
}

TEST_F(WindowLayoutWidget, TabStripAndStatusBarFollowTheActiveTab) {
    WindowLayout layout(*model);
    const EditorTab a = fileTab(QStringLiteral("a.txt"), QStringLiteral("one\ntwo"));
    const EditorTab b = fileTab(QStringLiteral("b.txt"), QStringLiteral("x"));
    model->update([&](EditorWindowState& s) {
        s.tabs = {a, b};
        s.activeTabID = QUuid::createUuid();
        s.panels.showWelcome = false;
    });
    layout.refresh({});
    // An active id that names no tab: the strip marks the first tab, like the status bar.
    ASSERT_EQ(layout.tabStrip()->items().size(), 2);
    EXPECT_TRUE(layout.tabStrip()->items()[0].isActive);
    EXPECT_EQ(layout.statusBar()->texts().lines,
              localizedString(QStringLiteral("status.lines.format")).arg(2));
    model->setActiveTabID(b.id);
    layout.refresh({});
    EXPECT_TRUE(layout.tabStrip()->items()[1].isActive);
    EXPECT_EQ(layout.statusBar()->texts().lines,
              localizedString(QStringLiteral("status.lines.format")).arg(1));
}

// Results and refusals of commands (a refused save, a file read through the last-resort
// decoding, "Split view off") must reach the person on the window's own line, whether or not the
// find bar is on screen: the bar shows only what find commands said.
TEST_F(WindowLayoutWidget, StatusMessageShowsOnItsOwnLineBesideTheFindBar) {
    EditorWindowState plain;
    plain.findMessage = QStringLiteral("refused");
    EXPECT_EQ(windowLayoutRows(plain),
              (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider, R::StatusLine, R::Divider,
                        R::EditorArea, R::Divider, R::StatusBar}));
    plain.find.showFindBar = true;
    EXPECT_EQ(windowLayoutRows(plain),
              (QList<R>{R::Header, R::Divider, R::TabStrip, R::Divider, R::FindBar, R::Divider,
                        R::StatusLine, R::Divider, R::EditorArea, R::Divider, R::StatusBar}));

    WindowLayout layout(*model);
    layout.resize(900, 600);
    layout.show();
    model->setFindMessage(QStringLiteral("This preview cannot be saved."));
    layout.refresh({});
    EXPECT_EQ(layout.shownRows(), (QList<R>{R::TabStrip, R::Divider, R::StatusLine, R::Divider,
                                            R::EditorArea, R::Divider, R::StatusBar}));
    EXPECT_EQ(layout.statusLine()->message(), QStringLiteral("This preview cannot be saved."));

    model->update([](EditorWindowState& s) { s.find.showFindBar = true; });
    layout.setPanel(WindowPanel::FindBar, new QLabel(QStringLiteral("find")));
    layout.refresh({});
    EXPECT_TRUE(layout.shownRows().contains(R::StatusLine));
    EXPECT_TRUE(layout.shownRows().contains(R::FindBar));

    // Dismissing clears the message, and with it the line.
    model->update([](EditorWindowState& s) { s.find.showFindBar = false; });
    layout.refresh({});
    layout.statusLine()->dismissButton()->click();
    EXPECT_TRUE(state().findMessage.isEmpty());
    layout.refresh({});
    EXPECT_FALSE(layout.shownRows().contains(R::StatusLine));
}
