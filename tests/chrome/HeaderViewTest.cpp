// The header bar on screen (offscreen), wired to a real window model: what it shows for the
// active tab, and what its buttons, triggers and popover rows do.
#include "chrome/HeaderView.h"
#include "chrome/EditorWindowView.h"
#include "chrome/HeaderWiring.h"
#include "chrome/StatusBarView.h"
#include "chrome/TestWindowOptions.h"
#include "chrome/ToolbarPopover.h"
#include "chrome/ToolbarPopoverRows.h"
#include "chrome/WindowColorScheme.h"
#include "chrome/WindowLayout.h"
#include "editor/ElidedLabel.h"
#include "platform/Localization.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/WindowCommandHandlers.h"
#include "window/WindowCommandTable.h"
#include "window/WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>
#include <QWindow>

namespace dunmoss::test {
namespace {

using Popover = HeaderView::Popover;

class HeaderBar : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        table = std::make_unique<WindowCommandTable>(*model);
        WindowCommandHandlers::install(*table, *model);
        header = std::make_unique<HeaderView>();
        header->setCommands(makeHeaderCommands(*model, table->makeWindowCommands()));
        QObject::connect(model.get(), &EditorWindowModel::changed, header.get(),
                         [this] { refresh(); });
        QObject::connect(defaults.get(), &Defaults::changed, header.get(), [this] { refresh(); });
        refresh();
        header->resize(1060, header->sizeHint().height());
        header->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(header.get()));
    }
    void TearDown() override {
        header.reset();
        WindowFixture::TearDown();
    }

    void refresh() { header->setValues(headerValues(*model)); }

    QToolButton* control(const QString& key) const { return header->findChild<QToolButton*>(key); }
    // Opens the popover with a click on its trigger.
    ToolbarPopoverContainer* open(Popover popover) {
        QTest::mouseClick(header->trigger(popover), Qt::LeftButton);
        QCoreApplication::processEvents();
        ToolbarPopoverContainer* container = header->trigger(popover)->popover();
        EXPECT_TRUE(container && container->isVisible());
        EXPECT_TRUE(header->isShowingPopover(popover));
        return container;
    }
    template <typename Row = ToolbarPopoverRowButton>
    Row* row(Popover popover, const QString& key) const {
        ToolbarPopoverContainer* container = header->trigger(popover)->popover();
        return container ? container->contentWidget()->findChild<Row*>(key) : nullptr;
    }
    bool isOpen(Popover popover) const {
        ToolbarPopoverContainer* container = header->trigger(popover)->popover();
        return header->isShowingPopover(popover) && container && container->isVisible();
    }
    static void click(QWidget* widget) {
        ASSERT_TRUE(widget);
        QTest::mouseClick(widget, Qt::LeftButton, {},
                          QPoint(widget->width() - 4, widget->height() / 2));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<WindowCommandTable> table;
    std::unique_ptr<HeaderView> header;
};

TEST_F(HeaderBar, TitleFolderAndBadgesForUntitledFileAndPreviewTabs) {
    EXPECT_EQ(header->titleText(), localizedString(QStringLiteral("document.untitled")));
    EXPECT_EQ(header->folderText(), localizedString(QStringLiteral("document.local-draft")));
    EXPECT_FALSE(header->showsUnsavedBadge());
    EXPECT_FALSE(header->showsExternalChangeBadge());
    EXPECT_EQ(header->languageText(), localizedString(QStringLiteral("language.plain-text")));
    EXPECT_EQ(header->fontSizeText(), localizedString(QStringLiteral("%lld pt")).arg(14));
    EXPECT_EQ(header->controls().size(), 13);

    const QUrl url = writeFile(QStringLiteral("notes 100%.md"), "# notes\n");
    model->opening().openDocument(url);
    waitForOpening(*model);
    EXPECT_EQ(header->titleText(), QStringLiteral("notes 100%.md"));
    EXPECT_EQ(header->folderText(), dir.path()) << "a plain path, not percent-encoded";
    EXPECT_EQ(header->languageText(), localizedString(QStringLiteral("language.markdown")));

    // Only the encoding, only the line ending, or the text: each counts as unsaved.
    model->update(
        [](EditorWindowState& s) { s.tabs[0].document.encoding = TextFileEncoding::Big5; });
    EXPECT_TRUE(header->showsUnsavedBadge());
    model->update([](EditorWindowState& s) {
        s.tabs[0].document.encoding = TextFileEncoding::Utf8;
        s.tabs[0].document.lineEnding = TextLineEnding::CarriageReturn;
    });
    EXPECT_TRUE(header->showsUnsavedBadge());
    model->update([](EditorWindowState& s) {
        s.tabs[0].document.lineEnding = TextLineEnding::LineFeed;
        s.tabs[0].document.text += QStringLiteral("more\n");
    });
    EXPECT_TRUE(header->showsUnsavedBadge());

    // A read-only preview whose text differs from its snapshot shows no unsaved badge; a change
    // on disk shows whatever else holds, both badges at once on an ordinary tab.
    model->update([](EditorWindowState& s) {
        s.tabs[0].isReadOnly = true;
        s.tabs[0].isLargeFilePreview = true;
    });
    EXPECT_FALSE(header->showsUnsavedBadge());
    EXPECT_EQ(header->titleText(), QStringLiteral("notes 100%.md"));
    model->update([](EditorWindowState& s) { s.tabs[0].hasExternalChanges = true; });
    EXPECT_TRUE(header->showsExternalChangeBadge());
    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = false; });
    EXPECT_TRUE(header->showsUnsavedBadge() && header->showsExternalChangeBadge());
}

TEST_F(HeaderBar, FontButtonsStopAtTheLimitsAndTheSizeShowsTruncated) {
    model->settings().setFontSize(15.5);
    EXPECT_EQ(header->fontSizeText(), localizedString(QStringLiteral("%lld pt")).arg(15));
    model->settings().setFontSize(27.0);
    click(control(QStringLiteral("command.font-larger")));
    click(control(QStringLiteral("command.font-larger")));
    EXPECT_EQ(model->settings().fontSize(), 28.0);
    EXPECT_EQ(header->fontSizeText(), localizedString(QStringLiteral("%lld pt")).arg(28));
    model->settings().setFontSize(10.0);
    click(control(QStringLiteral("command.font-smaller")));
    EXPECT_EQ(model->settings().fontSize(), 10.0);
}

TEST_F(HeaderBar, APressOnTheOpenTriggerClosesWithoutReopening) {
    ToolbarPopoverTrigger* trigger = header->trigger(Popover::Theme);
    ToolbarPopoverContainer* popover = open(Popover::Theme);
    // Through the window system, as a real press comes: the open popup takes it first (it grabs
    // the mouse) and closes, and Qt must not hand the same press on to the trigger, which would
    // open the popover again at once.
    QWindow* window = header->windowHandle();
    const QPoint onTrigger = trigger->mapTo(header.get(), trigger->rect().center());
    QTest::mousePress(window, Qt::LeftButton, {}, onTrigger);
    QCoreApplication::processEvents();
    EXPECT_TRUE(popover->testAttribute(Qt::WA_NoMouseReplay));
    QTest::mouseRelease(window, Qt::LeftButton, {}, onTrigger);
    QCoreApplication::processEvents();
    EXPECT_FALSE(isOpen(Popover::Theme));
    // The next click opens it again, without the mark; Escape closes it and the flag follows.
    open(Popover::Theme);
    EXPECT_FALSE(popover->testAttribute(Qt::WA_NoMouseReplay));
    QTest::keyClick(popover, Qt::Key_Escape);
    EXPECT_FALSE(isOpen(Popover::Theme));
    // A press elsewhere closes it too, and that press may go on to what it hit.
    open(Popover::Theme);
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_FALSE(isOpen(Popover::Theme));
    EXPECT_FALSE(popover->testAttribute(Qt::WA_NoMouseReplay));
}

TEST_F(HeaderBar, ChoiceRowsCloseTheirPopoverBeforeTheWindowActs) {
    open(Popover::Theme);
    click(row(Popover::Theme, QStringLiteral("theme.midnight")));
    EXPECT_FALSE(isOpen(Popover::Theme));
    EXPECT_EQ(model->settings().themeRawValue(), QStringLiteral("midnight"));
    open(Popover::Theme);
    EXPECT_EQ(row(Popover::Theme, QStringLiteral("theme.midnight"))->symbolName(), "checkmark");
    EXPECT_EQ(row(Popover::Theme, QStringLiteral("theme.system"))->symbolName(), "circle");
    // From the keyboard: Return chooses the focused row.
    ToolbarPopoverRowButton* light = row(Popover::Theme, QStringLiteral("theme.light"));
    light->setFocus();
    QTest::keyClick(light, Qt::Key_Return);
    EXPECT_FALSE(isOpen(Popover::Theme));
    EXPECT_EQ(model->settings().themeRawValue(), QStringLiteral("light"));
    // The arrows walk the rows from the popover just opened, Return takes the one reached.
    ToolbarPopoverContainer* themes = open(Popover::Theme);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : themes, key);
    ASSERT_EQ(QApplication::focusWidget(), row(Popover::Theme, QStringLiteral("theme.graphite")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(isOpen(Popover::Theme));
    EXPECT_EQ(model->settings().themeRawValue(), QStringLiteral("graphite"));

    open(Popover::Language);
    click(row(Popover::Language, QStringLiteral("language.python")));
    EXPECT_FALSE(isOpen(Popover::Language));
    EXPECT_EQ(active().languageOverride, EditorLanguage::Python);
    EXPECT_EQ(header->languageText(), localizedString(QStringLiteral("language.python")));

    // The window saves the session while it changes the encoding: by then the popover is gone.
    bool openWhileSaving = true;
    model->seams().persistSession = [&] { openWhileSaving = isOpen(Popover::Encoding); };
    open(Popover::Encoding);
    EXPECT_FALSE(row(Popover::Encoding, QStringLiteral("encoding.reopen.title")));
    EXPECT_EQ(header->trigger(Popover::Encoding)
                  ->popover()
                  ->contentWidget()
                  ->findChildren<ToolbarPopoverRowButton*>()
                  .size(),
              12)
        << "an untitled tab has no reopen section";
    click(row(Popover::Encoding, QStringLiteral("encoding.utf16-le")));
    EXPECT_FALSE(openWhileSaving);
    EXPECT_EQ(active().document.encoding, TextFileEncoding::Utf16LittleEndian);
    EXPECT_TRUE(header->showsUnsavedBadge());

    // In a read-only preview the window refuses, after the popover closed.
    model->update([](EditorWindowState& s) { s.tabs[0].isReadOnly = true; });
    open(Popover::Encoding);
    click(row(Popover::Encoding, QStringLiteral("line-ending.crlf")));
    EXPECT_FALSE(isOpen(Popover::Encoding));
    EXPECT_EQ(active().document.lineEnding, TextLineEnding::LineFeed);
    EXPECT_EQ(state().findMessage,
              localizedString(QStringLiteral("large-file.read-only-edit-blocked")));
}

// An encoding's name is read whole, however long: "Unicode (UTF-16 Little-Endian)" was cut.
TEST_F(HeaderBar, TheEncodingPopoverShowsEveryNameWhole) {
    ToolbarPopoverContainer* popover = open(Popover::Encoding);
    ASSERT_TRUE(popover);
    const QList<ToolbarPopoverRowButton*> rows =
        popover->contentWidget()->findChildren<ToolbarPopoverRowButton*>();
    ASSERT_GE(rows.size(), 9);
    for (const ToolbarPopoverRowButton* row : rows) {
        EXPECT_EQ(row->displayedTitle(), row->titleText()) << row->titleText().toStdString();
        EXPECT_LE(row->mapTo(popover, QPoint(row->width(), 0)).x(), popover->width());
    }
    popover->close();
}

TEST_F(HeaderBar, RecentFilesOpenAfterThePopoverClosed) {
    open(Popover::Recent);
    ASSERT_TRUE(row<ToolbarPopoverEmptyState>(Popover::Recent, QStringLiteral("recent.empty")));
    header->setShowingPopover(Popover::Recent, false);

    const QString longName = QString(120, QLatin1Char('x')) + QStringLiteral(".txt");
    const QUrl url = writeFile(longName, "hello\n");
    model->seams().recentFiles = [url] { return QList<QUrl>{url}; };
    refresh();
    open(Popover::Recent);
    ToolbarPopoverRowButton* entry = row(Popover::Recent, longName);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->subtitleText(), dir.path());
    // A long name stays on one line, cut with an ellipsis.
    EXPECT_LT(entry->displayedTitle().size(), longName.size());
    EXPECT_TRUE(entry->displayedTitle().endsWith(QChar(0x2026)));
    EXPECT_EQ(entry->height(), entry->sizeHint().height());
    click(entry);
    waitForOpening(*model);
    EXPECT_FALSE(isOpen(Popover::Recent));
    EXPECT_EQ(active().fileURL, url);
    EXPECT_EQ(active().document.text, QStringLiteral("hello\n"));
}

TEST_F(HeaderBar, APopoverTallerThanTheRoomLeftScrollsAndStaysOnTheScreen) {
    const QRect screen = header->screen()->availableGeometry();
    header->move(screen.left(), screen.bottom() - header->height() - 20);
    QCoreApplication::processEvents();
    ToolbarPopoverContainer* popover = open(Popover::Language);
    EXPECT_TRUE(screen.contains(popover->frameGeometry())) << "opens above the trigger";
    EXPECT_LE(popover->geometry().bottom(),
              header->trigger(Popover::Language)->mapToGlobal(QPoint(0, 0)).y());
    EXPECT_LT(popover->scrollArea()->height(), popover->contentWidget()->sizeHint().height());
}

TEST_F(HeaderBar, ToolsRowsCloseFirstTogglesStayOpenAndRecordingFlips) {
    open(Popover::Tools);
    const bool wrapped = model->settings().wordWrapEnabled();
    click(row<QCheckBox>(Popover::Tools, QStringLiteral("tools.word-wrap")));
    EXPECT_EQ(model->settings().wordWrapEnabled(), !wrapped);
    EXPECT_TRUE(isOpen(Popover::Tools)) << "a toggle leaves the popover open";
    EXPECT_EQ(row<QCheckBox>(Popover::Tools, QStringLiteral("tools.word-wrap"))->isChecked(),
              !wrapped)
        << "the rebuilt row shows the new setting";

    // A window update that changes nothing the popover shows leaves its rows as they are.
    const QPointer<QWidget> kept = row(Popover::Tools, QStringLiteral("tools.markdown-preview"));
    model->setFindMessage(QStringLiteral("something else happened"));
    EXPECT_EQ(row(Popover::Tools, QStringLiteral("tools.markdown-preview")), kept.data());
    model->setFindMessage(QString());

    // A row whose operation is built: the panel opens once the popover is gone.
    click(row(Popover::Tools, QStringLiteral("tools.markdown-preview")));
    EXPECT_FALSE(isOpen(Popover::Tools));
    EXPECT_TRUE(state().panels.showMarkdownPreview);

    // A row whose operation no part has installed: nothing happens and nothing is claimed.
    table->handlers().toggleCompareView = nullptr;
    open(Popover::Tools);
    click(row(Popover::Tools, QStringLiteral("tools.compare-view")));
    EXPECT_FALSE(isOpen(Popover::Tools));
    EXPECT_TRUE(state().findMessage.isEmpty());
    EXPECT_FALSE(state().errors.errorMessage.has_value());

    // Recording: the row reads "stop" while recording and its click ends the recording.
    bool openWhileToggling = true;
    model->seams().toggleMacroRecording = [&] {
        openWhileToggling = isOpen(Popover::Tools);
        model->update(
            [](EditorWindowState& s) { s.macros.isRecordingMacro = !s.macros.isRecordingMacro; });
    };
    open(Popover::Tools);
    click(row(Popover::Tools, QStringLiteral("tools.macro.record")));
    EXPECT_FALSE(openWhileToggling);
    EXPECT_TRUE(state().macros.isRecordingMacro);
    open(Popover::Tools);
    EXPECT_FALSE(row(Popover::Tools, QStringLiteral("tools.macro.record")));
    click(row(Popover::Tools, QStringLiteral("tools.macro.stop-recording")));
    EXPECT_FALSE(state().macros.isRecordingMacro);
    open(Popover::Tools);
    EXPECT_TRUE(row(Popover::Tools, QStringLiteral("tools.macro.record")));
}

TEST(HeaderInWindow, TheWindowShowsItsHeaderAndItsButtonsRunTheMenuCommands) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("settings.ini")));
    auto* window = new EditorWindowView(testWindowOptions(defaults));
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    HeaderView& header = window->header();
    EXPECT_TRUE(header.isVisible());

    // Every command the header reaches is installed in a composed window: the menu's record and
    // the seams of the header-only rows.
    const EditorCommands& handlers = window->commandTable().handlers();
    for (const EditorCommandFieldInfo& info : allEditorCommandFields()) {
        const QString name = QString::fromLatin1(info.name);
        // Built into the record itself, or not reached by the header.
        if (QStringList{"newDocument", "openDocument", "saveDocument", "saveDocumentAs",
                        "saveAllDocuments", "printDocument", "showHelp", "closeActiveTab",
                        "toggleWordWrap", "toggleInvisibles", "toggleAlwaysOnTop"}
                .contains(name))
            continue;
        EXPECT_TRUE(bool(handlers.*info.field)) << info.name;
    }
    const WindowSeams& seams = window->model().seams();
    for (const auto& [name, installed] :
         {std::pair{"recentFiles", bool(seams.recentFiles)},
          std::pair{"openSessionFile", bool(seams.openSessionFile)},
          std::pair{"saveSessionFile", bool(seams.saveSessionFile)},
          std::pair{"toggleMacroRecording", bool(seams.toggleMacroRecording)},
          std::pair{"playRecordedMacro", bool(seams.playRecordedMacro)},
          std::pair{"saveRecordedMacro", bool(seams.saveRecordedMacro)},
          std::pair{"playSavedMacro", bool(seams.playSavedMacro)}})
        EXPECT_TRUE(installed) << name;
    QTest::mouseClick(header.findChild<QToolButton*>(QStringLiteral("command.new")),
                      Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->model().state().tabs.size(), 2);
    EXPECT_EQ(header.titleText(), localizedString(QStringLiteral("document.untitled")));
    QTest::mouseClick(header.findChild<QToolButton*>(QStringLiteral("command.find")),
                      Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->model().state().find.showFindBar);
    window->model().update([](EditorWindowState& s) { s.tabs[1].document.text = "x"; });
    window->refreshNow();
    EXPECT_TRUE(header.showsUnsavedBadge());

    // The macro rows reach the window's recording: the first row starts it and then reads
    // "stop".
    header.setShowingPopover(HeaderView::Popover::Tools, true);
    auto* record = header.trigger(HeaderView::Popover::Tools)
                       ->popover()
                       ->findChild<ToolbarPopoverRowButton*>(QStringLiteral("tools.macro.record"));
    ASSERT_TRUE(record);
    QTest::mouseClick(record, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->model().state().macros.isRecordingMacro);
    EXPECT_FALSE(header.isShowingPopover(HeaderView::Popover::Tools));
    header.setShowingPopover(HeaderView::Popover::Tools, true);
    EXPECT_TRUE(
        header.trigger(HeaderView::Popover::Tools)
            ->popover()
            ->findChild<ToolbarPopoverRowButton*>(QStringLiteral("tools.macro.stop-recording")));
    header.setShowingPopover(HeaderView::Popover::Tools, false);

    // The theme chosen in the header gives the window, and the popovers it opens, its scheme.
    const auto isDark = [](const QWidget& widget) {
        return widget.palette().color(QPalette::Window).lightness() < 128;
    };
    const bool systemIsDark = isDark(*window);
    for (const auto& [theme, dark] :
         {std::pair{"midnight", true}, std::pair{"graphite", false}, std::pair{"light", false},
          std::pair{"Midnight", systemIsDark}, std::pair{"system", systemIsDark}}) {
        header.setShowingPopover(HeaderView::Popover::Theme, true);
        window->model().settings().setThemeRawValue(QString::fromLatin1(theme));
        window->refreshNow();
        EXPECT_EQ(isDark(*window), dark) << theme;
        EXPECT_EQ(isDark(*header.trigger(HeaderView::Popover::Theme)->popover()), dark) << theme;
        // Secondary texts are derived again from the new palette: light on dark, dark on light.
        for (const QWidget* label :
             {header.findChild<QWidget*>(QStringLiteral("headerFolder")),
              static_cast<QWidget*>(
                  window->windowLayout().statusBar()->findChildren<ElidedLabel*>().first())})
            EXPECT_EQ(label->palette().color(QPalette::WindowText).lightness() > 128, dark)
                << theme;
        // So are the symbols drawn in it, the tab's close mark for one.
        const QImage mark = window->findChild<QToolButton*>(QStringLiteral("tabCloseButton"))
                                ->icon()
                                .pixmap(9)
                                .toImage();
        QColor inked(0, 0, 0, 0);
        for (int y = 0; y < mark.height(); ++y)
            for (int x = 0; x < mark.width(); ++x)
                if (mark.pixelColor(x, y).alpha() > inked.alpha())
                    inked = mark.pixelColor(x, y);
        EXPECT_EQ(inked.lightness() > 128, dark) << theme;
        header.setShowingPopover(HeaderView::Popover::Theme, false);
    }
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    delete window;
}

} // namespace
} // namespace dunmoss::test
