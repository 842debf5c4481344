// The rows of the header's popovers: which rows there are, which one is marked, and what each
// hands to the window, with the popover closed first.
#include "editor/IconTable.h"
#include "window/HeaderChoicePopovers.h"
#include "window/ToolsPopover.h"

#include <QIcon>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

using Kind = ToolbarPopoverRow::Kind;

// Closures that write what they were given into a log, after noting whether the popover had
// been closed by then.
struct Recorder {
    QStringList calls;
    bool open = true;
    std::function<void()> close() {
        return [this] { open = false; };
    }
    void note(const QString& call) {
        calls.append(open ? QStringLiteral("while open: ") + call : call);
    }
    HeaderCommands commands() {
        HeaderCommands c;
        c.setThemeRawValue = [this](const QString& raw) { note(QStringLiteral("theme ") + raw); };
        c.setLanguageOverride = [this](std::optional<EditorLanguage> language) {
            note(QStringLiteral("language ") +
                 (language ? rawValue(*language) : QStringLiteral("none")));
        };
        c.setEncoding = [this](TextFileEncoding e) {
            note(QStringLiteral("encoding ") + identifier(e));
        };
        c.reopenWithEncoding = [this](TextFileEncoding e) {
            note(QStringLiteral("reopen ") + identifier(e));
        };
        c.setLineEnding = [this](TextLineEnding l) {
            note(QStringLiteral("line ending ") + identifier(l));
        };
        c.openRecent = [this](const QUrl& url) {
            note(QStringLiteral("recent ") + url.toLocalFile());
        };
        return c;
    }
};

QList<QString> titleKeys(const QList<ToolbarPopoverRow>& rows) {
    QList<QString> keys;
    for (const ToolbarPopoverRow& row : rows)
        keys.append(row.titleKey);
    return keys;
}

QList<QString> selectedKeys(const ToolbarPopoverContent& content) {
    QList<QString> keys;
    for (const ToolbarPopoverRow& row : flattenedRows(content))
        if (row.isSelected)
            keys.append(row.titleKey);
    return keys;
}

const ToolbarPopoverRow& rowWithKey(const QList<ToolbarPopoverRow>& rows, const QString& key) {
    for (const ToolbarPopoverRow& row : rows)
        if (row.titleKey == key)
            return row;
    throw std::runtime_error("no row " + key.toStdString());
}

HeaderValues fileValues(const QString& path) {
    HeaderValues values;
    values.tab = untitledTab();
    values.tab.fileURL = QUrl::fromLocalFile(path);
    return values;
}

} // namespace

TEST(HeaderChoicePopovers, ThemeRowsMarkTheStoredRawValueOnly) {
    Recorder recorder;
    HeaderValues values;
    values.themeRawValue = QStringLiteral("graphite");
    ToolbarPopoverContent content =
        themePopoverContent(values, recorder.commands(), recorder.close());
    const QList<ToolbarPopoverRow> rows = flattenedRows(content);
    EXPECT_EQ(titleKeys(rows),
              (QList<QString>{"theme.system", "theme.light", "theme.graphite", "theme.midnight"}));
    EXPECT_EQ(selectedKeys(content), QList<QString>{"theme.graphite"});
    EXPECT_EQ(rowWithKey(rows, "theme.graphite").shownSymbol(), "checkmark");
    EXPECT_EQ(rowWithKey(rows, "theme.light").shownSymbol(), "circle");

    // A stored text that names no theme (the comparison is exact) marks nothing; choosing a row
    // stores a valid name, after the popover closed.
    values.themeRawValue = QStringLiteral("Midnight");
    content = themePopoverContent(values, recorder.commands(), recorder.close());
    EXPECT_TRUE(selectedKeys(content).isEmpty());
    rowWithKey(flattenedRows(content), "theme.midnight").action();
    EXPECT_EQ(recorder.calls, QStringList{"theme midnight"});
}

TEST(HeaderChoicePopovers, LanguageRowsMarkTheOverrideNotTheDetectedLanguage) {
    Recorder recorder;
    HeaderValues values = fileValues(QStringLiteral("/notes/readme.md"));
    ToolbarPopoverContent content =
        languagePopoverContent(values, recorder.commands(), recorder.close());
    const QList<ToolbarPopoverRow> rows = flattenedRows(content);
    ASSERT_EQ(rows.size(), 23);
    EXPECT_EQ(rows.first().titleKey, "language.auto");
    EXPECT_EQ(rows.at(1).titleKey, "language.plain-text");
    EXPECT_EQ(rows.last().titleKey, "language.code");
    EXPECT_EQ(selectedKeys(content), QList<QString>{"language.auto"});

    values.tab.languageOverride = EditorLanguage::Json;
    content = languagePopoverContent(values, recorder.commands(), recorder.close());
    EXPECT_EQ(selectedKeys(content), QList<QString>{"language.json"});
    rowWithKey(flattenedRows(content), "language.markdown").action();
    recorder.open = true;
    rowWithKey(flattenedRows(content), "language.auto").action();
    EXPECT_EQ(recorder.calls, (QStringList{"language markdown", "language none"}));
}

TEST(HeaderChoicePopovers, EncodingPopoverHasTheReopenSectionOnlyForAFile) {
    Recorder recorder;
    HeaderValues values;
    values.tab.document.encoding = TextFileEncoding::ShiftJIS;
    values.tab.document.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    ToolbarPopoverContent content =
        encodingPopoverContent(values, recorder.commands(), recorder.close());
    ASSERT_EQ(content.elements.size(), 2) << "an untitled tab has nothing to reopen";
    // Copies: `content` is made again below.
    const auto encodings = std::get<ToolbarPopoverSection>(content.elements.at(0));
    const auto lineEndings = std::get<ToolbarPopoverSection>(content.elements.at(1));
    EXPECT_EQ(encodings.titleKey, "encoding.title");
    EXPECT_EQ(encodings.rows.size(), 9);
    EXPECT_EQ(lineEndings.titleKey, "line-ending.title");
    EXPECT_EQ(titleKeys(lineEndings.rows),
              (QList<QString>{"line-ending.lf", "line-ending.crlf", "line-ending.cr"}));
    EXPECT_EQ(selectedKeys(content), (QList<QString>{"encoding.shift-jis", "line-ending.crlf"}));

    values.tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/data/kana.txt"));
    content = encodingPopoverContent(values, recorder.commands(), recorder.close());
    ASSERT_EQ(content.elements.size(), 3);
    const auto& reopen = std::get<ToolbarPopoverSection>(content.elements.at(2));
    EXPECT_EQ(reopen.titleKey, "encoding.reopen.title");
    EXPECT_EQ(titleKeys(reopen.rows), titleKeys(encodings.rows));
    EXPECT_EQ(selectedKeys(content), (QList<QString>{"encoding.shift-jis", "line-ending.crlf"}))
        << "reopen rows are never marked";

    // The current value is handed on again all the same; each section reaches its own closure.
    std::get<ToolbarPopoverSection>(content.elements.at(0)).rows.at(7).action();
    recorder.open = true;
    std::get<ToolbarPopoverSection>(content.elements.at(1)).rows.at(2).action();
    recorder.open = true;
    reopen.rows.at(5).action();
    EXPECT_EQ(recorder.calls,
              (QStringList{"encoding shift-jis", "line ending cr", "reopen gb18030"}));
}

TEST(HeaderChoicePopovers, RecentFilesShowNameOverPlainFolderOrAnEmptyLine) {
    Recorder recorder;
    HeaderValues values;
    ToolbarPopoverContent content =
        recentFilesPopoverContent(values, recorder.commands(), recorder.close());
    QList<ToolbarPopoverRow> rows = flattenedRows(content);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().kind, Kind::EmptyState);
    EXPECT_EQ(rows.first().titleKey, "recent.empty");
    EXPECT_EQ(rows.first().systemImage, "clock");

    values.recentFiles = {QUrl::fromLocalFile(QStringLiteral("/home/a b/100% done.txt")),
                          QUrl::fromLocalFile(QStringLiteral("/top.md"))};
    content = recentFilesPopoverContent(values, recorder.commands(), recorder.close());
    rows = flattenedRows(content);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.at(0).kind, Kind::FileAction);
    EXPECT_EQ(rows.at(0).title, "100% done.txt");
    EXPECT_EQ(rows.at(0).subtitle, "/home/a b") << "no percent-encoding";
    EXPECT_EQ(rows.at(0).systemImage, "doc.text");
    EXPECT_EQ(rows.at(1).subtitle, "/");
    rows.at(0).action();
    EXPECT_EQ(recorder.calls, QStringList{"recent /home/a b/100% done.txt"});
}

TEST(ToolsPopover, FortyEightRowsEachReachingItsOwnCommand) {
    HeaderCommands commands;
    QStringList calls;
    bool open = true;
    const auto close = [&open] { open = false; };
    // Every action closure of the header, each noting its own name.
    const std::pair<const char*, HeaderCommands::Action HeaderCommands::*> actions[] = {
#define DUNMOSS_ACTION(name) {#name, &HeaderCommands::name}
        DUNMOSS_ACTION(quickOpen),
        DUNMOSS_ACTION(reloadDocument),
        DUNMOSS_ACTION(saveAllDocuments),
        DUNMOSS_ACTION(closeAllTabs),
        DUNMOSS_ACTION(formatJSON),
        DUNMOSS_ACTION(minifyJSON),
        DUNMOSS_ACTION(toggleMacroRecording),
        DUNMOSS_ACTION(playRecordedMacro),
        DUNMOSS_ACTION(saveRecordedMacro),
        DUNMOSS_ACTION(playSavedMacro),
        DUNMOSS_ACTION(toggleFolderSearch),
        DUNMOSS_ACTION(openWorkspace),
        DUNMOSS_ACTION(toggleWorkspace),
        DUNMOSS_ACTION(openSessionFile),
        DUNMOSS_ACTION(saveSessionFile),
        DUNMOSS_ACTION(toggleMarkdownPreview),
        DUNMOSS_ACTION(toggleDocumentOutline),
        DUNMOSS_ACTION(toggleCompareView),
        DUNMOSS_ACTION(openSplitView),
        DUNMOSS_ACTION(cloneActiveView),
        DUNMOSS_ACTION(closeSplitView),
        DUNMOSS_ACTION(showGoToLine),
        DUNMOSS_ACTION(showColumnInsert),
        DUNMOSS_ACTION(showSnippetLibrary),
        DUNMOSS_ACTION(showTextToolbox),
        DUNMOSS_ACTION(showExternalCommand),
        DUNMOSS_ACTION(toggleBookmark),
        DUNMOSS_ACTION(nextBookmark),
        DUNMOSS_ACTION(previousBookmark),
        DUNMOSS_ACTION(clearBookmarks),
        DUNMOSS_ACTION(duplicateLine),
        DUNMOSS_ACTION(deleteLine),
        DUNMOSS_ACTION(moveLineUp),
        DUNMOSS_ACTION(moveLineDown),
        DUNMOSS_ACTION(sortLines),
        DUNMOSS_ACTION(indentSelection),
        DUNMOSS_ACTION(outdentSelection),
        DUNMOSS_ACTION(toggleLineComment),
        DUNMOSS_ACTION(toggleBlockComment),
        DUNMOSS_ACTION(trimTrailingWhitespace),
        DUNMOSS_ACTION(tabsToSpaces),
        DUNMOSS_ACTION(spacesToTabs),
        DUNMOSS_ACTION(uppercaseSelection),
        DUNMOSS_ACTION(lowercaseSelection),
#undef DUNMOSS_ACTION
    };
    for (const auto& [name, field] : actions)
        commands.*field = [&calls, &open, name = QString::fromLatin1(name)] {
            calls.append(open ? QStringLiteral("while open: ") + name : name);
        };
    QStringList toggled;
    commands.setWordWrapEnabled = [&](bool on) { toggled << QStringLiteral("wrap %1").arg(on); };
    commands.setShowInvisiblesEnabled = [&](bool on) {
        toggled << QStringLiteral("invisibles %1").arg(on);
    };
    commands.setAlwaysOnTopEnabled = [&](bool on) { toggled << QStringLiteral("top %1").arg(on); };
    commands.setAutoSaveEnabled = [&](bool on) {
        toggled << QStringLiteral("autosave %1").arg(on);
    };

    HeaderValues values;
    values.wordWrapEnabled = true;
    values.autoSaveEnabled = true;
    const ToolbarPopoverContent content = toolsPopoverContent(values, commands, close);
    EXPECT_EQ(content.elements.size(), 19);
    EXPECT_EQ(content.maximumHeight, 560);
    const QList<ToolbarPopoverRow> rows = flattenedRows(content);
    ASSERT_EQ(rows.size(), 48);

    QSet<QString> reached;
    int toggles = 0;
    for (const ToolbarPopoverRow& row : rows) {
        if (row.kind == Kind::Toggle) {
            ++toggles;
            open = true;
            row.setOn(!row.isOn);
            EXPECT_TRUE(open) << "a toggle leaves the popover open";
            continue;
        }
        ASSERT_EQ(row.kind, Kind::Action) << row.titleKey.toStdString();
        open = true;
        calls.clear();
        row.action();
        ASSERT_EQ(calls.size(), 1) << row.titleKey.toStdString();
        EXPECT_FALSE(calls.first().startsWith("while open")) << row.titleKey.toStdString();
        reached.insert(calls.first());
    }
    EXPECT_EQ(toggles, 4);
    EXPECT_EQ(reached.size(), 44) << "every command row reaches a closure of its own";
    EXPECT_EQ(toggled, (QStringList{"wrap 0", "invisibles 1", "top 1", "autosave 0"}));

    // Spot checks of rows whose closure is easy to confuse.
    calls.clear();
    rowWithKey(rows, "tools.split-view.close").action();
    rowWithKey(rows, "tools.bookmark.previous").action();
    rowWithKey(rows, "tools.text.spaces-to-tabs").action();
    rowWithKey(rows, "tools.external-command.open").action();
    EXPECT_EQ(calls, (QStringList{"closeSplitView", "previousBookmark", "spacesToTabs",
                                  "showExternalCommand"}));
}

TEST(ToolsPopover, FirstAutomationRowFollowsTheRecordingState) {
    HeaderValues values;
    int toggled = 0;
    HeaderCommands commands;
    commands.toggleMacroRecording = [&toggled] { ++toggled; };
    const auto firstAutomationRow = [&] {
        const ToolbarPopoverContent content = toolsPopoverContent(values, commands, {});
        const auto& automation = std::get<ToolbarPopoverSection>(content.elements.at(5));
        EXPECT_EQ(automation.titleKey, "tools.automation.title");
        return automation.rows.first();
    };
    ToolbarPopoverRow row = firstAutomationRow();
    EXPECT_EQ(row.titleKey, "tools.macro.record");
    EXPECT_EQ(row.systemImage, "record.circle");
    row.action();
    values.isRecordingMacro = true;
    row = firstAutomationRow();
    EXPECT_EQ(row.titleKey, "tools.macro.stop-recording");
    EXPECT_EQ(row.systemImage, "stop.circle");
    row.action();
    EXPECT_EQ(toggled, 2) << "both read the same toggle";
}

TEST(HeaderPopoverSymbols, EveryRowSymbolIsKnownAndDrawsWithoutAnIconTheme) {
    HeaderValues values = fileValues(QStringLiteral("/x/y.txt"));
    values.recentFiles = {QUrl::fromLocalFile(QStringLiteral("/x/y.txt"))};
    QSet<QString> symbols = {"doc.text",
                             "doc.badge.plus",
                             "folder",
                             "command",
                             "clock",
                             "circle.lefthalf.filled",
                             "curlybraces",
                             "character.cursor.ibeam",
                             "wrench.and.screwdriver",
                             "square.and.arrow.down",
                             "arrow.clockwise",
                             "magnifyingglass",
                             "textformat.size.smaller",
                             "textformat.size.larger",
                             "chevron.down"};
    for (bool recording : {false, true}) {
        values.isRecordingMacro = recording;
        for (const ToolbarPopoverContent& content :
             {themePopoverContent(values, {}, {}), languagePopoverContent(values, {}, {}),
              encodingPopoverContent(values, {}, {}), recentFilesPopoverContent(values, {}, {}),
              recentFilesPopoverContent(HeaderValues{}, {}, {}),
              toolsPopoverContent(values, {}, {})})
            for (const ToolbarPopoverRow& row : flattenedRows(content))
                symbols.insert(row.shownSymbol());
    }
    EXPECT_TRUE(symbols.contains("circle") && symbols.contains("checkmark"));

    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
    const QString savedFallback = QIcon::fallbackThemeName();
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("dunmoss-no-theme"));
    QIcon::setFallbackThemeName(QStringLiteral("dunmoss-no-theme"));
    for (const QString& symbol : symbols) {
        EXPECT_TRUE(isKnownSymbol(symbol)) << symbol.toStdString();
        const QImage image =
            symbolPixmap(symbol, 16, Qt::black).toImage().convertToFormat(QImage::Format_ARGB32);
        int inked = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                inked += qAlpha(image.pixel(x, y)) > 40;
        EXPECT_GT(inked, 6) << symbol.toStdString();
    }
    QIcon::setThemeSearchPaths(savedPaths);
    QIcon::setThemeName(savedTheme);
    QIcon::setFallbackThemeName(savedFallback);
}
