#include "tools/MarkdownPreviewPanel.h"
#include "chrome/EditorArea.h"
#include "chrome/PanelsInstaller.h"
#include "tools/PanelFixture.h"

#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QThreadPool>

namespace dunmoss::test {
namespace {

// A Markdown table of `rows` rows of about 90 characters under a title.
QString markdownTable(int rows) {
    QString text = QStringLiteral("# Stock\n\n| id | name | note |\n|---|---|---|\n");
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("| %1 | item %1 | a note on the item, long enough to wrap twice |\n")
                    .arg(i);
    return text;
}

QStringList blockTexts(const QTextDocument* document) {
    QStringList texts;
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
        texts << b.text();
    return texts;
}

// The preview in a shown window's editor area, over a text long enough to be read aside.
class MarkdownPreviewInAWindow : public PanelFixture {
protected:
    void SetUp() override {
        PanelFixture::SetUp();
        text = markdownTable(3'000);
        ASSERT_GT(text.size(), MarkdownPreviewPanel::kImmediateLimit);
        tabID = setTabs({{"table.md", text}}).first();
        window.resize(1200, 600);
        area = std::make_unique<EditorArea>(*model, &window);
        area->resize(1200, 600);
        installPanels(*area, *model, &window);
        window.show();
    }
    void TearDown() override {
        area.reset();
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }

    MarkdownPreviewPanel* panel() const { return window.findChild<MarkdownPreviewPanel*>(); }
    QTextDocument* shownDocument() const { return panel()->textView()->document(); }
    void setPreviewShown(bool shown) {
        model->update([&](EditorWindowState& s) { s.panels.showMarkdownPreview = shown; });
        area->refresh({});
    }
    void edit(const QString& newText) {
        text = newText;
        model->setTabText(tabID, text);
        panel()->refresh();
    }
    bool waitForPreview() const {
        return QTest::qWaitFor([&] { return !panel()->isBuilding(); }, 20'000);
    }
    // The blocks of the text as a preview built in one go shows them.
    QStringList freshTexts() const {
        const MarkdownPreviewLooks looks(panel()->textView()->font(),
                                         panel()->textView()->palette());
        return blockTexts(makeMarkdownPreviewDocument(parseMarkdownBlocks(text), looks).get());
    }
    void expectShowsText() const {
        EXPECT_EQ(panel()->shownBlocks(), parseMarkdownBlocks(text));
        EXPECT_EQ(blockTexts(shownDocument()), freshTexts());
    }

    QString text;
    QUuid tabID;
    QWidget window;
    std::unique_ptr<EditorArea> area;
};

TEST_F(MarkdownPreviewInAWindow, HidingDropsTheDocumentAndShowingBuildsTheSameContentAgain) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());
    expectShowsText();
    ASSERT_EQ(shownDocument()->blockCount(), 3'003);

    const QPointer<QTextDocument> shownBefore = shownDocument();
    setPreviewShown(false);
    EXPECT_FALSE(panel()->isVisible());
    // The document let go is taken apart soon after, not kept.
    EXPECT_TRUE(QTest::qWaitFor([&] { return shownBefore.isNull(); }, 5'000));
    // Nothing left for the hidden view to lay out, whatever width it is squeezed to.
    EXPECT_TRUE(panel()->shownBlocks().isEmpty());
    EXPECT_TRUE(shownDocument()->isEmpty());
    EXPECT_EQ(shownDocument()->blockCount(), 1);

    // Edits while hidden build nothing.
    edit(text + QStringLiteral("\n- one more\n"));
    EXPECT_FALSE(panel()->isBuilding());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownDocument()->isEmpty());

    setPreviewShown(true);
    EXPECT_TRUE(panel()->isVisible());
    ASSERT_TRUE(waitForPreview());
    expectShowsText();
    EXPECT_EQ(blockTexts(shownDocument()).last(), QStringLiteral("\u2022\u2002one more"));
}

// The document a hide lets go of waits until the editor has taken the room; a panel that goes
// meanwhile (its window closed) takes that document with it rather than leaving it behind.
TEST_F(MarkdownPreviewInAWindow, APanelGoneRightAfterAHideTakesTheDocumentItLetGoOf) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());
    const QPointer<QTextDocument> shownBefore = shownDocument();
    setPreviewShown(false);
    ASSERT_FALSE(shownBefore.isNull());
    area.reset();
    EXPECT_TRUE(shownBefore.isNull());
    // Nothing waiting for the panel runs after it is gone.
    QTest::qWait(MarkdownPreviewPanel::kLetGoAfterHideMilliseconds + 100);
    QThreadPool::globalInstance()->waitForDone();
}

TEST_F(MarkdownPreviewInAWindow, HiddenWhileBuildingTheBuildIsLetGo) {
    setPreviewShown(true);
    EXPECT_TRUE(panel()->isBuilding());
    setPreviewShown(false);
    EXPECT_FALSE(panel()->isBuilding());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shownDocument()->isEmpty());
    EXPECT_TRUE(panel()->shownBlocks().isEmpty());
}

TEST_F(MarkdownPreviewInAWindow, ALongTextIsReadAsideAndOnlyTheNewestTextShows) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());

    // Asked for, the new preview is not built on the spot: the shown one stays meanwhile.
    const QTextDocument* before = shownDocument();
    edit(markdownTable(2'000));
    EXPECT_TRUE(panel()->isBuilding());
    EXPECT_EQ(shownDocument(), before);
    EXPECT_EQ(shownDocument()->blockCount(), 3'003);
    // A newer text while the first is read: only the newest shows.
    edit(markdownTable(2'500));
    ASSERT_TRUE(waitForPreview());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    expectShowsText();

    // One row changed: the shown document is rewritten in place, not built anew.
    const QTextDocument* rebuilt = shownDocument();
    QString oneRow = text;
    oneRow.replace(QStringLiteral("| 1200 | item 1200 |"), QStringLiteral("- moved |"));
    edit(oneRow);
    EXPECT_TRUE(panel()->isBuilding());
    ASSERT_TRUE(waitForPreview());
    EXPECT_EQ(shownDocument(), rebuilt);
    expectShowsText();
}

// A text short enough to be read at once is still filled in over several turns when it makes
// a new preview: what shows meanwhile is always the first of its blocks, and the end is the
// same preview one built in one go.
TEST_F(MarkdownPreviewInAWindow, ANewPreviewFillsInTurnsFromItsFirstBlocks) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());

    edit(QStringLiteral("# Other\n\n") + markdownTable(900).sliced(8));
    ASSERT_LE(text.size(), MarkdownPreviewPanel::kImmediateLimit);
    const QList<MarkdownPreviewBlock> all = parseMarkdownBlocks(text);
    ASSERT_TRUE(panel()->isBuilding());
    const QList<MarkdownPreviewBlock> first = panel()->shownBlocks();
    ASSERT_FALSE(first.isEmpty());
    ASSERT_LT(first.size(), all.size());
    EXPECT_EQ(first, all.first(first.size()));
    EXPECT_EQ(shownDocument()->blockCount(), first.size());
    EXPECT_EQ(blockTexts(shownDocument()), freshTexts().first(first.size()));

    ASSERT_TRUE(waitForPreview());
    expectShowsText();
    EXPECT_EQ(shownDocument()->blockCount(), all.size());
}

TEST_F(MarkdownPreviewInAWindow, AnEditWhileFillingShowsTheNewestTextExactly) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());

    // Filling the first text, a row it already shows and one it has yet to show change.
    edit(markdownTable(900));
    ASSERT_TRUE(panel()->isBuilding());
    QString changed = text;
    changed.replace(QStringLiteral("| 2 | item 2 |"), QStringLiteral("- second |"));
    changed.replace(QStringLiteral("| 800 | item 800 |"), QStringLiteral("## eight hundred |"));
    edit(changed);
    ASSERT_TRUE(waitForPreview());
    expectShowsText();

    // And while filling, a text that shares nothing and is short.
    QString bullets;
    for (int i = 0; i < 2'500; ++i)
        bullets += QStringLiteral("- %1\n").arg(i % 10);
    edit(bullets);
    ASSERT_TRUE(panel()->isBuilding());
    edit(QStringLiteral("# Short\n- one\n"));
    ASSERT_TRUE(waitForPreview());
    expectShowsText();
    EXPECT_EQ(blockTexts(shownDocument()), (QStringList{"Short", "\u2022\u2002one"}));
}

TEST_F(MarkdownPreviewInAWindow, HiddenWhileFillingNothingMoreIsAdded) {
    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());
    edit(markdownTable(900));
    ASSERT_TRUE(panel()->isBuilding());
    setPreviewShown(false);
    EXPECT_FALSE(panel()->isBuilding());
    QTest::qWait(50);
    EXPECT_TRUE(shownDocument()->isEmpty());
    EXPECT_TRUE(panel()->shownBlocks().isEmpty());

    setPreviewShown(true);
    ASSERT_TRUE(waitForPreview());
    expectShowsText();
}

} // namespace
} // namespace dunmoss::test
