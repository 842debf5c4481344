#include "chrome/TabStripView.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

EditorTab fileTab(const QString& name, const QString& text = QStringLiteral("hello")) {
    EditorTab tab = untitledTab();
    tab.fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/") + name);
    tab.document.text = text;
    tab.savedSnapshot = text;
    return tab;
}

} // namespace

TEST(TabStripItems, StateSymbolFollowsModifiedAndReadOnly) {
    EditorTab clean = fileTab(QStringLiteral("clean.txt"));
    EditorTab edited = fileTab(QStringLiteral("edited.txt"));
    edited.document.text += QStringLiteral("!");
    EditorTab preview = fileTab(QStringLiteral("big.log"));
    preview.isReadOnly = true;
    preview.isLargeFilePreview = true;
    preview.document.text += QStringLiteral("differs"); // still not modified: read-only
    EditorTab reencoded = fileTab(QStringLiteral("gb.txt"));
    reencoded.document.encoding = TextFileEncoding::Gb18030;
    EditorTab crlf = fileTab(QStringLiteral("crlf.txt"));
    crlf.document.lineEnding = TextLineEnding::CarriageReturnLineFeed;

    const auto items = tabStripItems({clean, edited, preview, reencoded, crlf}, edited.id);
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0].symbolName, QStringLiteral("doc.plaintext"));
    EXPECT_EQ(items[0].symbolColor, TabStripItem::SymbolColor::Secondary);
    EXPECT_EQ(items[1].symbolName, QStringLiteral("circle.fill"));
    EXPECT_EQ(items[1].symbolColor, TabStripItem::SymbolColor::Orange);
    EXPECT_EQ(items[2].symbolName, QStringLiteral("doc.plaintext"));
    EXPECT_EQ(items[2].symbolColor, TabStripItem::SymbolColor::Secondary);
    EXPECT_EQ(items[3].symbolName, QStringLiteral("circle.fill"));
    EXPECT_EQ(items[4].symbolName, QStringLiteral("circle.fill"));
    EXPECT_EQ(items[0].title, QStringLiteral("clean.txt"));
    EXPECT_FALSE(items[0].isActive);
    EXPECT_TRUE(items[1].isActive);
}

TEST(TabStripItems, UntitledTabsAndUnknownActiveID) {
    const EditorTab a = untitledTab();
    const EditorTab b = untitledTab();
    const auto items = tabStripItems({a, b}, QUuid::createUuid());
    const QString untitled = localizedString(QStringLiteral("document.untitled"));
    EXPECT_EQ(items[0].title, untitled);
    EXPECT_EQ(items[1].title, untitled);
    EXPECT_NE(items[0].id, items[1].id);
    EXPECT_FALSE(items[0].isActive);
    EXPECT_FALSE(items[1].isActive);
}

TEST(TabStripView, ClicksReachTheRightRequest) {
    TabStripView strip;
    const EditorTab first = fileTab(QStringLiteral("one.txt"));
    const EditorTab second = fileTab(QStringLiteral("two.txt"));
    strip.setTabs({first, second}, first.id);
    strip.resize(600, strip.sizeHint().height());
    strip.show();
    QSignalSpy selects(&strip, &TabStripView::selectTabRequested);
    QSignalSpy closes(&strip, &TabStripView::closeTabRequested);

    auto* inactive = strip.itemWidgets().at(1);
    QTest::mouseClick(inactive->closeButton(), Qt::LeftButton);
    ASSERT_EQ(closes.count(), 1);
    EXPECT_EQ(closes.at(0).at(0).toUuid(), second.id);
    EXPECT_EQ(selects.count(), 0);

    QTest::mouseClick(inactive->selectButton(), Qt::LeftButton);
    ASSERT_EQ(selects.count(), 1);
    EXPECT_EQ(selects.at(0).at(0).toUuid(), second.id);
    EXPECT_EQ(closes.count(), 1);
    EXPECT_EQ(inactive->closeButton()->toolTip(),
              localizedString(QStringLiteral("command.close-tab")));
}

TEST(TabStripView, LongTitlesAreElidedOnOneLine) {
    TabStripView strip;
    const EditorTab tab =
        fileTab(QString(80, QLatin1Char('w')) + QStringLiteral("-a-very-long-file-name.txt"));
    strip.setTabs({tab}, tab.id);
    strip.resize(800, 40);
    strip.show();
    QApplication::processEvents();
    TabSelectButton* button = strip.itemWidgets().at(0)->selectButton();
    EXPECT_LE(button->width(), TabSelectButton::kMaximumWidth);
    EXPECT_TRUE(button->displayedTitle().endsWith(QChar(0x2026)));
    EXPECT_LE(button->height(), button->fontMetrics().height() * 3 / 2);
}

TEST(TabStripView, ManyTabsScrollSidewaysWithoutAScrollBar) {
    TabStripView strip;
    QList<EditorTab> tabs;
    for (int i = 0; i < 40; ++i)
        tabs.append(fileTab(QStringLiteral("file-%1.txt").arg(i)));
    strip.setTabs(tabs, tabs.first().id);
    strip.resize(500, strip.height());
    strip.show();
    QApplication::processEvents();
    QScrollBar* bar = strip.scrollArea()->horizontalScrollBar();
    EXPECT_FALSE(bar->isVisible());
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), 0);
    QWidget* viewport = strip.scrollArea()->viewport();
    QWheelEvent wheel(QPointF(10, 10), viewport->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
    EXPECT_GT(bar->value(), 0);
}

TEST(TabStripView, UpdatesReuseItemsAndFollowEdits) {
    TabStripView strip;
    EditorTab a = fileTab(QStringLiteral("a.txt"));
    EditorTab b = fileTab(QStringLiteral("b.txt"));
    strip.setTabs({a, b}, a.id);
    const auto widgets = strip.itemWidgets();
    b.document.text = QStringLiteral("typed");
    strip.setTabs({a, b}, b.id);
    EXPECT_EQ(strip.itemWidgets(), widgets);
    EXPECT_EQ(widgets[1]->selectButton()->symbolName(), QStringLiteral("circle.fill"));
    EXPECT_TRUE(widgets[1]->item().isActive);
    EXPECT_FALSE(widgets[0]->item().isActive);
    strip.setTabs({a}, a.id);
    EXPECT_EQ(strip.itemWidgets().size(), 1);
}
