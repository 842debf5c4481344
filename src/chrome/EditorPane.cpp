#include "chrome/EditorPane.h"

#include "chrome/LargeFileBanner.h"
#include "chrome/WindowLayout.h"
#include "editor/CodeEditorView.h"
#include "platform/Defaults.h"
#include "text/EditorTheme.h"
#include "window/EditorWindowModel.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"

#include <QFrame>
#include <QVBoxLayout>

namespace dunmoss {

CodeEditorProps editorPaneProps(EditorWindowModel& model, int tabIndex,
                                std::function<void()> showFind) {
    const EditorTab& tab = model.state().tabs.at(tabIndex);
    const QUuid id = tab.id;
    const QPointer<EditorWindowModel> window = &model;

    CodeEditorProps props;
    props.text.get = [window, id] { return window ? window->tabText(id) : QString(); };
    props.text.set = [window, id](const QString& text) {
        if (window)
            window->setTabText(id, text);
    };
    props.selectedRange.get = [window, id] {
        return window ? window->tabSelectedRange(id) : TextRange{0, 0};
    };
    props.selectedRange.set = [window, id](const TextRange& range) {
        if (window)
            window->setTabSelectedRange(id, range);
    };
    props.selectedRanges.get = [window, id] {
        return window ? window->tabSelectedRanges(id) : QList<TextRange>();
    };
    props.selectedRanges.set = [window, id](const QList<TextRange>& ranges) {
        if (window)
            window->setTabSelectedRanges(id, ranges);
    };
    props.documentID = id;
    props.fileURL = tab.fileURL;
    props.language = effectiveLanguage(tab);
    props.fontSize = model.settings().fontSize();
    props.tabWidth = model.tabWidthForTab(tabIndex);
    props.theme = storedEditorTheme(model.defaults());
    props.wordWrap = model.settings().wordWrapEnabled();
    props.showInvisibles = model.settings().showInvisiblesEnabled();
    props.isEditable = !tab.isReadOnly;
    props.bookmarkedLines = tab.bookmarkedLines;
    props.documentUndoManager = model.undoRegistry().undoStackForTab(id);
    props.textStorageRegistry = &model.textStorageRegistry();
    props.showFind = std::move(showFind);
    props.pasteAside = [window, id](TextRange replaced, const QString& pasted) {
        return window && window->pasteFilledAside(id, replaced, pasted);
    };
    return props;
}

EditorPane::EditorPane(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("editorPane"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_banner = new LargeFileBanner(this);
    m_bannerDivider = makeWindowDivider(Qt::Horizontal, this);
    column->addWidget(m_banner);
    column->addWidget(m_bannerDivider);
    m_banner->hide();
    m_bannerDivider->hide();
}

bool EditorPane::showsBanner() const {
    return !m_banner->isHidden();
}

QSize EditorPane::roomForEditor() const {
    // Before the pane has been given its room, the view's own start size.
    if (!isVisible() && !testAttribute(Qt::WA_Resized))
        return QSize(900, 560);
    QSize room = contentsRect().size();
    if (!m_banner->isHidden())
        room.rheight() -= m_banner->sizeHint().height() + m_bannerDivider->sizeHint().height();
    return room.expandedTo(QSize(1, 1));
}

void EditorPane::showTab(int tabIndex, std::function<void()> showFind) {
    const EditorTab& tab = m_model.state().tabs.at(tabIndex);
    const bool preview = tab.isLargeFilePreview;
    if (preview)
        m_banner->setValues(tab.originalByteCount, LargeFileBanner::kPreviewBytes);
    else if (tab.isBinary)
        m_banner->setBinary();
    m_banner->setVisible(preview || tab.isBinary);
    m_bannerDivider->setVisible(preview || tab.isBinary);

    const CodeEditorProps props = editorPaneProps(m_model, tabIndex, std::move(showFind));
    if (!m_editor) {
        m_editor = new CodeEditorView(props, this, roomForEditor());
        m_editor->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        static_cast<QVBoxLayout*>(layout())->addWidget(m_editor, 1);
    } else {
        m_editor->update(props);
    }
}

} // namespace dunmoss
