// A document filled before any view shows it, taken by a view: with the font, tab stops and
// wrapping the view gives its documents, and laid out once for the width it is shown at.
#include "EditorTestSupport.h"
#include "editor/EditorLook.h"
#include "editor/LaidOutLines.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/ShortcutTextView.h"
#include "editor/TextStorage.h"

#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

QString linesOfText(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("\tline %1 of a file, indented by a tab\n").arg(i);
    return text;
}

// A view showing `tab`, whose storage was filled beforehand for `look`.
struct PreparedView {
    PreparedView(FakeTab& tab, const TextStorage::Look& look, qreal fontSize, int tabWidth,
                 bool wordWrap) {
        storage =
            std::make_shared<TextStorage>(tab.text, TextStorage::prepareDocument(tab.text, look));
        registry.adoptTextStorage(tab.id, storage);
        CodeEditorProps props = propsFor(tab, registry);
        props.fontSize = fontSize;
        props.tabWidth = tabWidth;
        props.wordWrap = wordWrap;
        view = std::make_unique<CodeEditorView>(props);
    }
    TextStorageRegistry registry;
    std::shared_ptr<TextStorage> storage;
    std::unique_ptr<CodeEditorView> view;
};

} // namespace

TEST(DocumentHandOver, ADocumentFilledForAViewsSettingsIsShownWithTheFontAndOptionsItCameWith) {
    struct Settings {
        qreal fontSize;
        int tabWidth;
        bool wordWrap;
    };
    for (const Settings& settings :
         {Settings{14, 4, true}, Settings{11, 2, false}, Settings{20, 8, true}}) {
        SCOPED_TRACE(settings.tabWidth);
        FakeTab tab;
        tab.text = linesOfText(3000);
        const TextStorage::Look look =
            editorLook(settings.fontSize, settings.tabWidth, settings.wordWrap);
        PreparedView v(tab, look, settings.fontSize, settings.tabWidth, settings.wordWrap);
        QTextDocument* shown = v.view->textView()->document();
        // The very document filled aside, neither copied nor refilled.
        ASSERT_EQ(shown, v.storage->primaryDocument());
        EXPECT_EQ(shown->toPlainText(), tab.text);
        // Any of them set anew by the view would have laid every line out again.
        EXPECT_EQ(shown->defaultFont(), look.font);
        EXPECT_TRUE(sameTextOption(shown->defaultTextOption(), look.option));
        EXPECT_EQ(shown->defaultTextOption().wrapMode(),
                  settings.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                    : QTextOption::NoWrap);

        // What is typed into it is the tab's text.
        v.view->textView()->setFocus();
        v.view->textView()->textCursor().insertText(QStringLiteral("typed "));
        QApplication::processEvents();
        EXPECT_TRUE(tab.text.startsWith(QStringLiteral("typed \tline 0")));
        EXPECT_EQ(v.storage->text(), tab.text);
    }
}

TEST(DocumentHandOver, ADocumentFilledForOtherSettingsTakesTheViewsOwn) {
    FakeTab tab;
    tab.text = linesOfText(500);
    PreparedView v(tab, editorLook(14, 2, false), 14, 4, true);
    const TextStorage::Look own = editorLook(14, 4, true);
    QTextDocument* shown = v.view->textView()->document();
    EXPECT_TRUE(sameTextOption(shown->defaultTextOption(), own.option));
    EXPECT_EQ(shown->toPlainText(), tab.text);
}

TEST(DocumentHandOver, AViewShownAtTheWidthItLaidItsTextOutAtKeepsItsLines) {
    const auto laidOutThenShown = [](bool resizedMeanwhile) {
        ShortcutTextView view;
        // As the editor view has it: the text's length never changes the room beside the bar.
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view.resize(600, 400);
        QWidget margin(&view);
        // Lays the viewport out for the view's size while the view is not shown.
        view.setLeftMarginWidget(&margin, 40);
        QTextDocument document;
        QTextCursor(&document).insertText(linesOfText(200));
        document.setDocumentLayout(new LongLineDocumentLayout(&document));
        view.takeDocument(&document);
        const QTextBlock block = document.findBlockByNumber(5);
        document.documentLayout()->blockBoundingRect(block);
        EXPECT_GT(block.layout()->lineCount(), 0);
        const int lineWidth = int(block.layout()->lineAt(0).width());
        if (resizedMeanwhile)
            view.resize(800, 400);
        view.show();
        const bool kept = block.layout()->lineCount() > 0;
        if (kept)
            EXPECT_EQ(int(block.layout()->lineAt(0).width()), lineWidth);
        return kept;
    };
    EXPECT_TRUE(laidOutThenShown(false));
    // Shown wider than it was laid out: laid out again for the new width.
    EXPECT_FALSE(laidOutThenShown(true));
}

TEST(DocumentHandOver, ATextReadAgainIntoANewStorageLetsTheOldOneGoApartFromShowingTheNew) {
    FakeTab tab;
    tab.text = linesOfText(2000);
    PreparedView v(tab, editorLook(14, 4, true), 14, 4, true);
    v.view->show();
    std::weak_ptr<TextStorage> old = v.storage;
    QTextDocument* oldDocument = v.storage->primaryDocument();

    // As a reload has it: the registry takes a storage filled aside, the view is told.
    tab.text = QStringLiteral("read again\n") + linesOfText(2000);
    v.registry.removeTextStorage(tab.id);
    v.storage = std::make_shared<TextStorage>(
        tab.text, TextStorage::prepareDocument(tab.text, editorLook(14, 4, true)));
    ASSERT_TRUE(v.registry.adoptTextStorage(tab.id, v.storage));
    v.view->update(propsFor(tab, v.registry));
    EXPECT_EQ(v.view->textView()->document(), v.storage->primaryDocument());
    EXPECT_NE(v.view->textView()->document(), oldDocument);
    EXPECT_EQ(v.view->textView()->toPlainText(), tab.text);

    // Not in the round of events that shows the new text, but soon after, with its documents.
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(old.expired());
    EXPECT_TRUE(QTest::qWaitFor([&] { return old.expired(); }, 5000));
    EXPECT_EQ(v.view->textView()->toPlainText(), tab.text);
}
