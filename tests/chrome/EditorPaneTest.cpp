#include "chrome/EditorPane.h"
#include "chrome/LargeFileBanner.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "platform/ByteCountFormatter.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowFixture.h"

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class EditorPaneProps : public WindowFixture {
protected:
    EditorTab addTab(const QString& text, bool preview = false) {
        EditorTab tab = untitledTab();
        tab.fileURL = QUrl::fromLocalFile(path(QStringLiteral("pane.json")));
        tab.document.text = text;
        tab.savedSnapshot = text;
        tab.isReadOnly = preview;
        tab.isLargeFilePreview = preview;
        if (preview)
            tab.originalByteCount = 9'000'000;
        model->update([&](EditorWindowState& s) { s.tabs.append(tab); });
        return tab;
    }
};

} // namespace

TEST_F(EditorPaneProps, ReadOnlyPreviewCannotBeEditedThroughItsBinding) {
    const EditorTab tab = addTab(QStringLiteral("{\"a\":1}"), true);
    const CodeEditorProps props = editorPaneProps(*model, 1, {});
    EXPECT_FALSE(props.isEditable);
    EXPECT_EQ(props.documentID, tab.id);
    EXPECT_EQ(props.language, EditorLanguage::Json);
    props.text.write(QStringLiteral("changed"));
    EXPECT_EQ(model->state().tabs[1].document.text, QStringLiteral("{\"a\":1}"));
}

TEST_F(EditorPaneProps, UntitledTabAndUnknownThemeFallBack) {
    defaults->setValue(QStringLiteral("editor.theme"), QStringLiteral("neon"));
    defaults->setValue(QStringLiteral("editor.font-size"), 20.0);
    defaults->setValue(QStringLiteral("editor.word-wrap.enabled"), false);
    const CodeEditorProps props = editorPaneProps(*model, 0, {});
    EXPECT_EQ(props.language, EditorLanguage::PlainText);
    EXPECT_EQ(props.theme, EditorTheme::System);
    EXPECT_DOUBLE_EQ(props.fontSize, 20.0);
    EXPECT_FALSE(props.wordWrap);
    EXPECT_TRUE(props.isEditable);
    EXPECT_EQ(props.textStorageRegistry, &model->textStorageRegistry());
}

TEST_F(EditorPaneProps, TwoPanesOnOneTabShareItsUndoStack) {
    addTab(QStringLiteral("x"));
    const CodeEditorProps first = editorPaneProps(*model, 1, {});
    const CodeEditorProps second = editorPaneProps(*model, 1, {});
    const CodeEditorProps other = editorPaneProps(*model, 0, {});
    EXPECT_EQ(first.documentUndoManager, second.documentUndoManager);
    EXPECT_NE(first.documentUndoManager, other.documentUndoManager);
    EXPECT_EQ(first.documentUndoManager,
              model->undoRegistry().existingUndoStack(model->state().tabs[1].id));
}

TEST_F(EditorPaneProps, BindingsOfAClosedTabReadEmptyAndWriteNothing) {
    const EditorTab tab = addTab(QStringLiteral("kept"));
    const CodeEditorProps props = editorPaneProps(*model, 1, {});
    model->update([&](EditorWindowState& s) { s.tabs.removeAt(1); });
    EXPECT_EQ(props.text.value(), QString());
    EXPECT_EQ(props.selectedRange.value(), (TextRange{0, 0}));
    EXPECT_TRUE(props.selectedRanges.value().isEmpty());
    props.text.write(QStringLiteral("lost"));
    props.selectedRange.write(TextRange{1, 1});
    ASSERT_EQ(model->state().tabs.size(), 1);
    EXPECT_EQ(model->state().tabs[0].document.text, QString());
    EXPECT_FALSE(model->tab(tab.id));
}

TEST_F(EditorPaneProps, PaneShowsTheBannerOnlyForPreviews) {
    addTab(QStringLiteral("plain"));
    addTab(QStringLiteral("preview"), true);
    EditorPane pane(*model);
    pane.showTab(1, {});
    EXPECT_FALSE(pane.showsBanner());
    EXPECT_TRUE(pane.editorView()->textView()->isReadOnly() == false);
    CodeEditorView* view = pane.editorView();
    pane.showTab(2, {});
    EXPECT_TRUE(pane.showsBanner());
    EXPECT_EQ(pane.editorView(), view); // the same view moves to the other document
    EXPECT_TRUE(pane.editorView()->textView()->isReadOnly());
    const auto localizer = [](const QString& key) { return localizedString(key); };
    EXPECT_TRUE(pane.banner()->message().contains(formatFileByteCount(2'000'000, localizer)));
    EXPECT_TRUE(pane.banner()->message().contains(formatFileByteCount(9'000'000, localizer)));
}
