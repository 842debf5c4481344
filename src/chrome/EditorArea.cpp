#include "chrome/EditorArea.h"

#include "chrome/EditorPane.h"
#include "chrome/EditorSplitter.h"
#include "chrome/WindowLayout.h"
#include "tools/ComparePanel.h"
#include "tools/DocumentOutlinePanel.h"
#include "tools/MarkdownPreviewPanel.h"
#include "tools/WorkspacePanel.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

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

int panelStartWidth(EditorAreaPanel panel) {
    switch (panel) {
    case EditorAreaPanel::Workspace:
        return WorkspacePanel::kWidth;
    case EditorAreaPanel::Outline:
        return DocumentOutlinePanel::kWidth;
    case EditorAreaPanel::MarkdownPreview:
        return MarkdownPreviewPanel::kWidth;
    case EditorAreaPanel::Compare:
        return ComparePanel::kWidth;
    case EditorAreaPanel::Welcome:
    case EditorAreaPanel::SplitHeader:
        break;
    }
    return 0;
}

int minimumWidthOf(const QWidget* widget) {
    return widget->minimumWidth() > 0 ? widget->minimumWidth() : widget->minimumSizeHint().width();
}

bool canGiveWay(EditorAreaElement kind) {
    return kind != EditorAreaElement::EditorPane && kind != EditorAreaElement::SecondPane;
}

} // namespace

EditorArea::EditorArea(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("editorArea"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    m_splitter = new EditorSplitter(this);
    row->addWidget(m_splitter);

    for (EditorAreaPanel panel :
         {EditorAreaPanel::Workspace, EditorAreaPanel::Welcome, EditorAreaPanel::Outline,
          EditorAreaPanel::MarkdownPreview, EditorAreaPanel::Compare})
        m_holders.insert(panel, new PanelHolder(panelStartWidth(panel), kPanelMinimumWidth, this));

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
    QWidget* splitHeader = new PanelHolder(0, 0, m_secondColumn);
    m_holders.insert(EditorAreaPanel::SplitHeader, splitHeader);
    m_secondHeaderDivider = makeWindowDivider(Qt::Horizontal, m_secondColumn);
    m_secondary = new EditorPane(model, m_secondColumn);
    second->addWidget(splitHeader);
    second->addWidget(m_secondHeaderDivider);
    second->addWidget(m_secondary, 1);
    m_secondColumn->setMinimumWidth(kSecondPaneMinimumWidth);
    m_secondColumn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    using E = EditorAreaElement;
    const auto add = [this](E kind, QWidget* widget, bool stretches) {
        m_splitter->addWidget(widget);
        m_splitter->setStretchFactor(m_splitter->indexOf(widget), stretches ? 1 : 0);
        widget->hide();
        m_elements.append({kind, widget});
    };
    add(E::WorkspaceSidebar, holder(EditorAreaPanel::Workspace), false);
    add(E::EditorPane, m_centre, true); // the centre holds the welcome panel or the pane
    add(E::SecondPane, m_secondColumn, true);
    add(E::Outline, holder(EditorAreaPanel::Outline), false);
    add(E::MarkdownPreview, holder(EditorAreaPanel::MarkdownPreview), false);
    add(E::ComparePanel, holder(EditorAreaPanel::Compare), false);
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

    for (Element& element : m_elements) {
        const bool now =
            element.kind == EditorAreaElement::EditorPane || wanted.contains(element.kind);
        if (now && !element.wanted)
            element.wantedSince = ++m_wantedCount;
        element.wanted = now;
    }
    // The editors keep their room however many panels stand beside them; the welcome panel in
    // the editor's place keeps what its own controls need.
    const int centre = welcome
                           ? std::max(kEditorMinimumWidth,
                                      holder(EditorAreaPanel::Welcome)->minimumSizeHint().width())
                           : kEditorMinimumWidth;
    m_centre->setMinimumWidth(centre);
    m_splitter->setMinimumWidth(centre +
                                (second ? kSecondPaneMinimumWidth + m_splitter->handleWidth() : 0));
    fitPanels();

    // Without a welcome panel installed the centre shows the lone tab itself.
    holder(EditorAreaPanel::Welcome)->setVisible(welcome);
    m_primary->setVisible(!welcome);
    if (!welcome) {
        // The pane taking the welcome panel's place gets its room now, so that a view made for
        // it lays its text out once, at that width.
        if (m_centre->isVisible())
            m_centre->layout()->activate();
        m_primary->showTab(activeTabIndex(state), showFind);
    }
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

void EditorArea::fitPanels() {
    // Before the area has its size, everything wanted stands; the first resize fits it.
    const bool sized = testAttribute(Qt::WA_Resized) || isVisible();
    int needed = -m_splitter->handleWidth();
    QList<Element*> yielding;
    for (Element& element : m_elements) {
        element.givingWay = false;
        if (!element.wanted)
            continue;
        needed += minimumWidthOf(element.widget) + m_splitter->handleWidth();
        if (canGiveWay(element.kind))
            yielding.append(&element);
    }
    std::sort(yielding.begin(), yielding.end(),
              [](const Element* a, const Element* b) { return a->wantedSince < b->wantedSince; });
    for (Element* element : yielding) {
        if (!sized || needed <= width())
            break;
        element->givingWay = true;
        needed -= minimumWidthOf(element->widget) + m_splitter->handleWidth();
    }
    for (Element& element : m_elements)
        element.widget->setVisible(element.wanted && !element.givingWay);
}

void EditorArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitPanels();
}

QList<EditorAreaElement> EditorArea::shownElements() const {
    QList<EditorAreaElement> shown;
    for (const Element& element : m_elements) {
        if (element.widget->isHidden())
            continue;
        if (!shown.isEmpty())
            shown << EditorAreaElement::Divider;
        if (element.widget == m_centre)
            shown << (m_primary->isHidden() ? EditorAreaElement::Welcome
                                            : EditorAreaElement::EditorPane);
        else
            shown << element.kind;
    }
    return shown;
}

QList<EditorAreaElement> EditorArea::panelsGivingWay() const {
    QList<EditorAreaElement> giving;
    for (const Element& element : m_elements)
        if (element.givingWay)
            giving << element.kind;
    return giving;
}

} // namespace dunmoss
