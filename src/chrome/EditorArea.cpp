#include "chrome/EditorArea.h"

#include "chrome/EditorPane.h"
#include "chrome/WindowLayout.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace dunmoss {

QList<EditorAreaElement> editorAreaElements(const EditorWindowState& state) {
    using E = EditorAreaElement;
    QList<E> row;
    if (state.workspace.showWorkspace)
        row << E::WorkspaceSidebar << E::Divider;
    row << (showsWelcomePanel(state) ? E::Welcome : E::EditorPane);
    if (secondaryTabIndex(state))
        row << E::Divider << E::SecondPane;
    if (state.panels.showDocumentOutline)
        row << E::Divider << E::Outline;
    if (state.panels.showMarkdownPreview)
        row << E::Divider << E::MarkdownPreview;
    if (state.split.showCompareView && compareTabIndex(state))
        row << E::Divider << E::ComparePanel;
    return row;
}

namespace {

QWidget* panelHolder(QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    holder->hide();
    return holder;
}

} // namespace

EditorArea::EditorArea(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("editorArea"));
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(0);

    for (EditorAreaPanel panel :
         {EditorAreaPanel::Workspace, EditorAreaPanel::Welcome, EditorAreaPanel::Outline,
          EditorAreaPanel::MarkdownPreview, EditorAreaPanel::Compare})
        m_holders.insert(panel, panelHolder(this));

    // Centre: the welcome panel or the active tab's pane; it takes all the room left.
    m_centre = new QWidget(this);
    auto* centre = new QVBoxLayout(m_centre);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->setSpacing(0);
    m_primary = new EditorPane(model, m_centre);
    centre->addWidget(holder(EditorAreaPanel::Welcome), 1);
    centre->addWidget(m_primary, 1);
    m_centre->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // Second pane: its header, a divider, then the pane; never narrower than 300.
    m_secondColumn = new QWidget(this);
    m_secondColumn->setObjectName(QStringLiteral("secondPane"));
    auto* second = new QVBoxLayout(m_secondColumn);
    second->setContentsMargins(0, 0, 0, 0);
    second->setSpacing(0);
    QWidget* splitHeader = panelHolder(m_secondColumn);
    m_holders.insert(EditorAreaPanel::SplitHeader, splitHeader);
    m_secondHeaderDivider = makeWindowDivider(Qt::Horizontal, m_secondColumn);
    m_secondary = new EditorPane(model, m_secondColumn);
    second->addWidget(splitHeader);
    second->addWidget(m_secondHeaderDivider);
    second->addWidget(m_secondary, 1);
    m_secondColumn->setMinimumWidth(kSecondPaneMinimumWidth);
    m_secondColumn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    using E = EditorAreaElement;
    const auto add = [this](E kind, QWidget* widget, int stretch) {
        m_row->addWidget(widget, stretch);
        widget->hide();
        m_elements.append({kind, widget});
    };
    add(E::WorkspaceSidebar, holder(EditorAreaPanel::Workspace), 0);
    add(E::Divider, makeWindowDivider(Qt::Vertical, this), 0);
    add(E::EditorPane, m_centre, 1); // the centre holds the welcome panel or the pane
    add(E::Divider, makeWindowDivider(Qt::Vertical, this), 0);
    add(E::SecondPane, m_secondColumn, 1);
    add(E::Divider, makeWindowDivider(Qt::Vertical, this), 0);
    add(E::Outline, holder(EditorAreaPanel::Outline), 0);
    add(E::Divider, makeWindowDivider(Qt::Vertical, this), 0);
    add(E::MarkdownPreview, holder(EditorAreaPanel::MarkdownPreview), 0);
    add(E::Divider, makeWindowDivider(Qt::Vertical, this), 0);
    add(E::ComparePanel, holder(EditorAreaPanel::Compare), 0);
    m_centre->show();
}

void EditorArea::setPanel(EditorAreaPanel panel, QWidget* widget) {
    replacePanel(m_panels, panel, holder(panel), widget);
}

void EditorArea::refresh(const std::function<void()>& showFind) {
    const EditorWindowState& state = m_model.state();
    const QList<EditorAreaElement> wanted = editorAreaElements(state);
    const bool welcome =
        wanted.contains(EditorAreaElement::Welcome) && m_panels.contains(EditorAreaPanel::Welcome);
    const std::optional<int> second = secondaryTabIndex(state);

    // Each optional element is shown with the divider that stands before it (after it, for the
    // sidebar).
    using E = EditorAreaElement;
    const bool workspace = wanted.contains(E::WorkspaceSidebar);
    const bool outline = wanted.contains(E::Outline);
    const bool preview = wanted.contains(E::MarkdownPreview);
    const bool compare = wanted.contains(E::ComparePanel);
    const bool shows[] = {workspace, workspace, true,    bool(second), bool(second), outline,
                          outline,   preview,   preview, compare,      compare};
    for (qsizetype i = 0; i < m_elements.size(); ++i)
        m_elements[i].widget->setVisible(shows[i]);

    // Without a welcome panel installed the centre shows the lone tab itself.
    holder(EditorAreaPanel::Welcome)->setVisible(welcome);
    m_primary->setVisible(!welcome);
    if (!welcome)
        m_primary->showTab(activeTabIndex(state), showFind);
    if (second) {
        holder(EditorAreaPanel::SplitHeader)
            ->setVisible(m_panels.contains(EditorAreaPanel::SplitHeader));
        m_secondHeaderDivider->setVisible(m_panels.contains(EditorAreaPanel::SplitHeader));
        m_secondary->showTab(*second, showFind);
    }
    for (EditorAreaPanel panel : {EditorAreaPanel::Workspace, EditorAreaPanel::Outline,
                                  EditorAreaPanel::MarkdownPreview, EditorAreaPanel::Compare})
        if (QWidget* widget = m_panels.value(panel))
            widget->setVisible(true);
}

QList<EditorAreaElement> EditorArea::shownElements() const {
    QList<EditorAreaElement> shown;
    for (const Element& element : m_elements) {
        if (element.widget->isHidden())
            continue;
        if (element.widget == m_centre)
            shown << (m_primary->isHidden() ? EditorAreaElement::Welcome
                                            : EditorAreaElement::EditorPane);
        else
            shown << element.kind;
    }
    return shown;
}

} // namespace dunmoss
