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

TEST(TabStripGeometry, PlacesItemsAndFindsThoseInAStretch) {
    TabStripGeometry geometry(8, 4);
    EXPECT_EQ(geometry.contentWidth(), 16);
    EXPECT_EQ(geometry.itemsBetween(0, 100), std::make_pair(qsizetype(0), qsizetype(0)));
    geometry.setWidths({50, 60, 70, 80});
    EXPECT_EQ(geometry.left(0), 8);
    EXPECT_EQ(geometry.left(1), 62);
    EXPECT_EQ(geometry.left(3), 200);
    EXPECT_EQ(geometry.contentWidth(), 288);
    // Items that only reach into the stretch count; a stretch in a gap holds none.
    EXPECT_EQ(geometry.itemsBetween(0, 63), std::make_pair(qsizetype(0), qsizetype(2)));
    EXPECT_EQ(geometry.itemsBetween(58, 62), std::make_pair(qsizetype(1), qsizetype(1)));
    EXPECT_EQ(geometry.itemsBetween(121, 1000), std::make_pair(qsizetype(1), qsizetype(4)));
    EXPECT_EQ(geometry.itemsBetween(280, 1000), std::make_pair(qsizetype(4), qsizetype(4)));
    geometry.setWidth(1, 10);
    EXPECT_EQ(geometry.left(1), 62);
    EXPECT_EQ(geometry.left(2), 76);
    EXPECT_EQ(geometry.left(3), 150);
    // Two items in place of one moves the items after them; fewer pull them back.
    geometry.splice(1, 1, {20, 30});
    EXPECT_EQ(geometry.count(), 5);
    EXPECT_EQ(geometry.width(2), 30);
    EXPECT_EQ(geometry.left(3), 62 + 20 + 4 + 30 + 4);
    EXPECT_EQ(geometry.left(4), geometry.left(3) + 70 + 4);
    geometry.splice(0, 3, {});
    EXPECT_EQ(geometry.count(), 2);
    EXPECT_EQ(geometry.left(0), 8);
    EXPECT_EQ(geometry.left(1), 8 + 70 + 4);
    EXPECT_EQ(geometry.contentWidth(), 8 + 70 + 4 + 80 + 8);
}

namespace {

QList<EditorTab> manyTabs(int count) {
    QList<EditorTab> tabs;
    for (int i = 0; i < count; ++i)
        tabs.append(fileTab(QStringLiteral("tab-%1.txt").arg(i)));
    return tabs;
}

// Every item widget stands where the row would lay it out: after the one before it, at its own
// size, centred in the row, and shows its own tab.
void expectLaidOutInOrder(const TabStripView& strip) {
    const QList<TabStripItemWidget*> widgets = strip.itemWidgets();
    ASSERT_FALSE(widgets.isEmpty());
    const int offset = strip.scrollArea()->horizontalScrollBar()->value();
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        const TabStripItemWidget* widget = widgets[i];
        EXPECT_TRUE(widget->isVisible());
        EXPECT_EQ(widget->size(), widget->sizeHint());
        EXPECT_EQ(widget->y(), 5);
        const qsizetype index = strip.items().indexOf(widget->item());
        ASSERT_GE(index, 0) << "a widget shows an item that is gone";
        if (index == 0) {
            EXPECT_EQ(widget->x() + offset, 8);
        }
        if (i > 0) {
            EXPECT_EQ(strip.items().indexOf(widgets[i - 1]->item()), index - 1);
            EXPECT_EQ(widget->x(), widgets[i - 1]->geometry().right() + 1 + 4);
        }
    }
}

} // namespace

TEST(TabStripView, ThousandsOfTabsHoldOnlyTheWidgetsInView) {
    TabStripView strip;
    QList<EditorTab> tabs = manyTabs(3000);
    strip.setTabs(tabs, tabs[0].id);
    strip.resize(700, strip.height());
    strip.show();
    QApplication::processEvents();
    EXPECT_EQ(strip.items().size(), 3000);
    EXPECT_LT(strip.itemWidgets().size(), 20);
    expectLaidOutInOrder(strip);
    EXPECT_TRUE(strip.itemWidgets().first()->item().isActive);

    // Scrolled to the end, the last tabs are shown and clickable.
    QScrollBar* bar = strip.scrollArea()->horizontalScrollBar();
    bar->setValue(bar->maximum());
    expectLaidOutInOrder(strip);
    TabStripItemWidget* last = strip.itemWidgets().last();
    EXPECT_EQ(last->item().id, tabs.last().id);
    EXPECT_LE(last->geometry().right() + 1 + 8, strip.scrollArea()->viewport()->width());
    QSignalSpy selects(&strip, &TabStripView::selectTabRequested);
    QTest::mouseClick(last->selectButton(), Qt::LeftButton);
    ASSERT_EQ(selects.count(), 1);
    EXPECT_EQ(selects.at(0).at(0).toUuid(), tabs.last().id);

    // A tab far away becomes active and modified: what is in view stays; the row is as long.
    const int length = bar->maximum();
    tabs[2].document.text += QStringLiteral("typed");
    strip.setTabs(tabs, tabs[2].id);
    EXPECT_EQ(bar->maximum(), length);
    EXPECT_EQ(strip.itemWidgets().last()->item().id, tabs.last().id);
    EXPECT_FALSE(strip.itemWidgets().last()->item().isActive);
    EXPECT_EQ(strip.items()[2].symbolName, QStringLiteral("circle.fill"));

    // Closing tabs at the end pulls the row back into view.
    const QList<TabStripItemWidget*> before = strip.itemWidgets();
    tabs.remove(tabs.size() - 3, 3);
    strip.setTabs(tabs, tabs[2].id);
    EXPECT_LT(bar->maximum(), length);
    EXPECT_EQ(bar->value(), bar->maximum());
    expectLaidOutInOrder(strip);
    EXPECT_EQ(strip.itemWidgets().last()->item().id, tabs.last().id);
    EXPECT_LE(strip.itemWidgets().size(), before.size() + 3);

    // Back at the start, the highlighted tab shows its dot; renaming it moves the tabs after it.
    bar->setValue(0);
    tabs[2].fileURL = QUrl::fromLocalFile(QStringLiteral("/tmp/a-much-longer-name-now.txt"));
    strip.setTabs(tabs, tabs[2].id);
    expectLaidOutInOrder(strip);
    const TabStripItemWidget* renamed = strip.itemWidgets().at(2);
    EXPECT_EQ(renamed->item().id, tabs[2].id);
    EXPECT_TRUE(renamed->item().isActive);
    EXPECT_EQ(renamed->selectButton()->symbolName(), QStringLiteral("circle.fill"));
    EXPECT_EQ(renamed->selectButton()->displayedTitle(),
              QStringLiteral("a-much-longer-name-now.txt"));

    // A tab opened among those in view, and one moved from far away next to it, stand in their
    // places at their own widths; the tabs after them move along.
    tabs.insert(1, fileTab(QStringLiteral("opened-between-them.txt")));
    tabs.move(tabs.size() - 10, 3);
    strip.setTabs(tabs, tabs[1].id);
    expectLaidOutInOrder(strip);
    EXPECT_EQ(strip.itemWidgets().at(1)->item().id, tabs[1].id);
    EXPECT_EQ(strip.itemWidgets().at(3)->item().id, tabs[3].id);
    EXPECT_EQ(strip.items(), tabStripItems(tabs, tabs[1].id));
    bar->setValue(bar->maximum());
    expectLaidOutInOrder(strip);
    EXPECT_EQ(strip.itemWidgets().last()->item().id, tabs.last().id);
}

TEST(TabStripView, ANewFontMeasuresTheItemsAgain) {
    TabStripView strip;
    const QList<EditorTab> tabs = manyTabs(50);
    strip.setTabs(tabs, tabs[1].id);
    strip.resize(700, strip.height());
    strip.show();
    QApplication::processEvents();
    const int height = strip.height();
    QFont larger = strip.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    strip.setFont(larger);
    QApplication::processEvents();
    EXPECT_GT(strip.height(), height);
    expectLaidOutInOrder(strip);
    EXPECT_TRUE(strip.itemWidgets().at(1)->item().isActive);
}
