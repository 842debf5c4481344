#include "chrome/WindowLayout.h"

#include "chrome/EditorArea.h"
#include "chrome/MessageBar.h"
#include "chrome/StatusBarView.h"
#include "chrome/TabStripView.h"
#include "chrome/WindowMessages.h"
#include "chrome/WindowStatusLine.h"
#include "editor/WindowDivider.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QFrame>
#include <QVBoxLayout>

namespace dunmoss {

WindowLayout::WindowLayout(EditorWindowModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
    setObjectName(QStringLiteral("windowLayout"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    const auto holder = [this](WindowPanel panel) {
        auto* box = new QWidget(this);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        m_holders.insert(panel, box);
        return box;
    };
    const auto add = [this, column](WindowRow kind, QWidget* widget, int stretch = 0) {
        column->addWidget(widget, stretch);
        m_rows.append({kind, widget});
    };
    const auto divider = [this] { return makeWindowDivider(Qt::Horizontal, this); };

    m_tabStrip = new TabStripView(this);
    m_editorArea = new EditorArea(model, this);
    m_messageBar = new MessageBar(this);
    m_statusBar = new StatusBarView(this);
    m_statusLine = new WindowStatusLine(this);
    connect(m_statusLine, &WindowStatusLine::dismissRequested, this,
            [this] { m_model.setFindMessage(QString()); });

    add(WindowRow::Header, holder(WindowPanel::Header));
    add(WindowRow::Divider, divider());
    add(WindowRow::TabStrip, m_tabStrip);
    add(WindowRow::Divider, divider());
    add(WindowRow::FindBar, holder(WindowPanel::FindBar));
    add(WindowRow::Divider, divider());
    add(WindowRow::StatusLine, m_statusLine);
    add(WindowRow::Divider, divider());
    const std::pair<WindowRow, WindowPanel> panels[] = {
        {WindowRow::FindResults, WindowPanel::FindResults},
        {WindowRow::OpenDocumentResults, WindowPanel::OpenDocumentResults},
        {WindowRow::SearchCenter, WindowPanel::SearchCenter},
        {WindowRow::FolderSearch, WindowPanel::FolderSearch},
    };
    for (const auto& [row, panel] : panels) {
        add(row, holder(panel));
        add(WindowRow::Divider, divider());
    }
    add(WindowRow::MessageBar, m_messageBar);
    add(WindowRow::Divider, divider());
    add(WindowRow::EditorArea, m_editorArea, 1);
    add(WindowRow::Divider, divider());
    add(WindowRow::StatusBar, m_statusBar);
}

void WindowLayout::setPanel(WindowPanel panel, QWidget* widget) {
    replacePanel(m_panels, panel, m_holders.value(panel), widget);
}

void WindowLayout::refresh(const std::function<void()>& showFind) {
    const EditorWindowState& state = m_model.state();
    const QList<WindowRow> wanted = windowLayoutRows(state);

    // Every row in its fixed place; a panel row (and the divider after it) shows while its flag
    // is set. The header row shows once a header is installed.
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        bool shown = true;
        switch (row.kind) {
        case WindowRow::Header:
            shown = m_panels.contains(WindowPanel::Header);
            break;
        case WindowRow::StatusLine:
            shown = showsStatusLine(state);
            break;
        case WindowRow::FindBar:
        case WindowRow::FindResults:
        case WindowRow::OpenDocumentResults:
        case WindowRow::SearchCenter:
        case WindowRow::FolderSearch:
        case WindowRow::MessageBar:
            shown = wanted.contains(row.kind);
            break;
        case WindowRow::Divider:
            // A divider belongs to the row above it.
            shown = i == 0 || !m_rows[i - 1].widget->isHidden();
            break;
        default:
            break;
        }
        row.widget->setVisible(shown);
    }
    if (QWidget* folder = m_panels.value(WindowPanel::FolderSearch))
        folder->setProperty(kShowsInlineResultsProperty, folderSearchShowsInlineResults(state));

    m_statusLine->setMessage(state.findMessage);
    m_messageBar->setEntries(windowMessageBarEntries(m_model));

    const EditorTab& active = activeTab(state);
    m_tabStrip->setTabs(state.tabs, active.id);
    m_editorArea->refresh(showFind);
    m_statusBar->setValues(statusBarValues(state));
}

QList<WindowRow> WindowLayout::shownRows() const {
    QList<WindowRow> rows;
    for (const Row& row : m_rows)
        if (!row.widget->isHidden())
            rows << row.kind;
    return rows;
}

} // namespace dunmoss
