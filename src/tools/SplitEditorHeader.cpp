#include "tools/SplitEditorHeader.h"

#include "editor/IconTable.h"
#include "platform/Localization.h"
#include "tools/PanelChrome.h"
#include "tools/SplitViews.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace dunmoss {

SplitEditorHeader::SplitEditorHeader(EditorWindowModel& model, QWidget* parent)
    : PanelBar(parent), m_model(model) {
    setObjectName(QStringLiteral("splitEditorHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 7, 10, 7);
    row->setSpacing(8);
    m_icon = new QLabel(this);
    m_mode = new QLabel(this);
    QFont semibold = captionFont(font());
    semibold.setWeight(QFont::DemiBold);
    m_mode->setFont(semibold);
    m_picker = new QComboBox(this);
    m_picker->setMaximumWidth(190);
    // Chosen with the mouse; typed letters belong to the text, never to the picker.
    m_picker->setFocusPolicy(Qt::NoFocus);
    m_picker->setAccessibleName(localizedString(QStringLiteral("tools.split-view.target")));
    m_cloneTitle = new QLabel(this);
    // The clone shows the document's name.
    m_cloneTitle->setTextFormat(Qt::PlainText);
    m_cloneTitle->setFont(captionFont(font()));
    m_cloneTitle->setMaximumWidth(190);
    m_cloneTitle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    useSecondaryTextColor(m_cloneTitle);
    QToolButton* close =
        makeIconButton(QStringLiteral("xmark"), QStringLiteral("tools.split-view.close"), this);
    row->addWidget(m_icon);
    row->addWidget(m_mode);
    row->addStretch(1);
    row->addSpacing(8);
    row->addWidget(m_picker);
    row->addWidget(m_cloneTitle);
    row->addWidget(close);

    EditorWindowModel* window = &m_model;
    connect(m_picker, &QComboBox::activated, this, [this, window](int index) {
        SplitViews(*window).chooseSecondaryTab(m_picker->itemData(index).toUuid());
    });
    connect(close, &QToolButton::clicked, this, [window] { SplitViews(*window).closeSplitView(); });
    refreshAfterModelChanges(model, this, [this] { refresh(); });
    refresh();
}

void SplitEditorHeader::refresh() {
    const EditorWindowState& state = m_model.state();
    const std::optional<int> second = secondaryTabIndex(state);
    if (!second)
        return;
    const bool clone = state.split.splitMode == SplitEditorMode::Clone;
    const QString symbol =
        clone ? QStringLiteral("rectangle.on.rectangle") : QStringLiteral("rectangle.split.2x1");
    setSymbol(m_icon, symbol, m_mode->fontMetrics().height());
    m_mode->setText(localizedString(clone ? QStringLiteral("tools.clone-view")
                                          : QStringLiteral("tools.split-view")));
    m_picker->setVisible(!clone);
    m_cloneTitle->setVisible(clone);
    const EditorTab& shown = state.tabs.at(*second);
    if (clone)
        m_cloneTitle->setText(m_cloneTitle->fontMetrics().elidedText(displayTitle(activeTab(state)),
                                                                     Qt::ElideRight, 190));
    else
        m_pickerEntries.update(m_picker, state.tabs, shown.id);
}

} // namespace dunmoss
