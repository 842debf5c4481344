#include "chrome/WindowLayout.h"

#include "chrome/EditorArea.h"
#include "chrome/EditorPane.h"
#include "chrome/MessageBar.h"
#include "chrome/StatusBarView.h"
#include "chrome/TabStripView.h"
#include "chrome/WindowMessages.h"
#include "chrome/WindowStatusLine.h"
#include "editor/CodeEditorView.h"
#include "editor/ShortcutTextView.h"
#include "editor/WindowDivider.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QEvent>
#include <QFrame>
#include <QVBoxLayout>
#include <algorithm>

namespace dunmoss {

namespace {

bool canGiveWay(WindowRow row) {
    return row == WindowRow::FindResults || row == WindowRow::OpenDocumentResults ||
           row == WindowRow::SearchCenter || row == WindowRow::FolderSearch;
}

// The rows of the panels that may give way, top to bottom.
constexpr std::pair<WindowRow, WindowPanel> kResultPanels[] = {
    {WindowRow::FolderSearch, WindowPanel::FolderSearch},
    {WindowRow::FindResults, WindowPanel::FindResults},
    {WindowRow::OpenDocumentResults, WindowPanel::OpenDocumentResults},
    {WindowRow::SearchCenter, WindowPanel::SearchCenter},
};

} // namespace

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
    for (const auto& [row, panel] : kResultPanels) {
        add(row, holder(panel));
        add(WindowRow::Divider, divider());
    }
    add(WindowRow::StatusLine, m_statusLine);
    add(WindowRow::Divider, divider());
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
        Row& row = m_rows[i];
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
        default:
            break;
        }
        if (shown && !row.wanted)
            row.wantedSince = ++m_wantedCount;
        row.wanted = shown;
    }
    // The folder panel is measured as it will be shown: without its list once the search center
    // opens.
    updateFolderInlineResults();
    fitRows();

    m_statusLine->setMessage(state.findMessage);
    m_messageBar->setEntries(windowMessageBarEntries(m_model));

    const EditorTab& active = activeTab(state);
    m_tabStrip->setTabs(state.tabs, active.id);
    m_editorArea->refresh(showFind);
    const EditorTab& keyboard = keyboardTab(state);
    m_statusBar->setValues(statusBarValues(state, m_model.tabTextCounts(keyboard.id)));
}

bool WindowLayout::bringBack(WindowPanel panel) {
    for (const auto& [kind, key] : kResultPanels) {
        if (key != panel)
            continue;
        for (Row& row : m_rows) {
            if (row.kind != kind || !row.wanted || !row.givingWay)
                continue;
            row.wantedSince = ++m_wantedCount;
            fitRows(&row);
            return true;
        }
    }
    return false;
}

void WindowLayout::updateFolderInlineResults() {
    QWidget* folder = m_panels.value(WindowPanel::FolderSearch);
    if (!folder)
        return;
    bool centerGivesWay = false;
    for (const Row& row : m_rows)
        centerGivesWay |= row.kind == WindowRow::SearchCenter && row.givingWay;
    folder->setProperty(kShowsInlineResultsProperty,
                        folderSearchShowsInlineResults(m_model.state()) || centerGivesWay);
}

int WindowLayout::editorMinimumHeight() const {
    const EditorPane* pane = m_editorArea->primaryPane();
    const QWidget* text = pane && pane->editorView() ? pane->editorView()->textView() : nullptr;
    const QFontMetrics metrics = text ? text->fontMetrics() : fontMetrics();
    // The lines, and the text view's frame and document margins.
    return kEditorMinimumLines * metrics.lineSpacing() + 12;
}

int WindowLayout::newsRoom() const {
    if (m_newsRoomWidth != width()) {
        m_newsRoomWidth = width();
        m_newsRoom = m_messageBar->oneLineHeight();
    }
    return m_newsRoom;
}

int WindowLayout::statusRoom() const {
    if (m_statusRoom < 0)
        m_statusRoom = m_statusLine->oneLineHeight();
    return m_statusRoom;
}

void WindowLayout::fitRows(const Row* kept) {
    m_fitting = true;
    // A row costs the height it will be given, and that of the divider after it. Hidden rows
    // count too, so the height is their hint within their own bounds (the tab strip hints more
    // than its fixed height).
    // A result panel counts only what it shrinks to: its list gives up rows before it gives way.
    const auto rowHeight = [](const QWidget* widget, bool least = false) {
        const int wanted = least ? widget->minimumSizeHint().height() : widget->sizeHint().height();
        return std::clamp(wanted, widget->minimumHeight(),
                          std::max(widget->minimumHeight(), widget->maximumHeight()));
    };
    const auto cost = [this, rowHeight](qsizetype i) {
        int height = rowHeight(m_rows[i].widget, canGiveWay(m_rows[i].kind));
        if (i + 1 < m_rows.size() && m_rows[i + 1].kind == WindowRow::Divider)
            height += rowHeight(m_rows[i + 1].widget);
        return height;
    };
    const int editorHeight = editorMinimumHeight();
    // The panel being typed in (or the one asked for) stays, and from then on counts as shown
    // last.
    const QWidget* keyboard = window()->focusWidget();
    int needed = 0;
    QList<qsizetype> yielding;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        const bool wasShown = !row.widget->isHidden();
        row.givingWay = false;
        if (row.kind == WindowRow::Divider || !row.wanted)
            continue;
        if (row.kind == WindowRow::EditorArea) {
            needed += editorHeight + cost(i) - rowHeight(row.widget);
            continue;
        }
        if (row.kind == WindowRow::MessageBar || row.kind == WindowRow::StatusLine)
            continue;
        needed += cost(i);
        if (!canGiveWay(row.kind))
            continue;
        if (&row == kept || (wasShown && keyboard && row.widget->isAncestorOf(keyboard))) {
            if (row.wantedSince != m_wantedCount)
                row.wantedSince = ++m_wantedCount;
            continue;
        }
        yielding.append(i);
    }
    // Room for a line of news and a line of status is kept whether or not any is up (the editor
    // has it meanwhile), so a message coming or going never moves or hides a panel above it.
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].kind == WindowRow::MessageBar)
            needed += std::max(cost(i), newsRoom() + 1);
        else if (m_rows[i].kind == WindowRow::StatusLine)
            needed += std::max(cost(i), statusRoom() + 1);
    }
    std::sort(yielding.begin(), yielding.end(), [this](qsizetype a, qsizetype b) {
        return m_rows[a].wantedSince < m_rows[b].wantedSince;
    });
    // Before the window has its size, everything wanted stands; the first resize fits it.
    const bool sized = testAttribute(Qt::WA_Resized) || isVisible();
    for (qsizetype i : yielding) {
        if (!sized || needed <= height())
            break;
        m_rows[i].givingWay = true;
        needed -= cost(i);
    }
    // A panel that gave way before a newer one that had to go as well comes back if it fits.
    for (auto it = yielding.rbegin(); it != yielding.rend(); ++it) {
        if (m_rows[*it].givingWay && needed + cost(*it) <= height()) {
            m_rows[*it].givingWay = false;
            needed += cost(*it);
        }
    }
    // A result panel gets what is left beyond its least height, top first, from the window's
    // height and the rows shown alone: never from its results, nor from news below it.
    int spare = sized ? height() - needed : 0;
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        if (!canGiveWay(row.kind))
            continue;
        if (!sized || !row.wanted || row.givingWay) {
            row.widget->setMaximumHeight(QWIDGETSIZE_MAX);
            continue;
        }
        const int least = rowHeight(row.widget, true);
        const int share =
            std::clamp(row.widget->sizeHint().height() - least, 0, std::max(spare, 0));
        spare -= share;
        row.widget->setMaximumHeight(least + share);
    }
    m_editorArea->setMinimumHeight(editorHeight);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        // A divider belongs to the row above it.
        const bool shown = row.kind == WindowRow::Divider
                               ? i == 0 || !m_rows[i - 1].widget->isHidden()
                               : row.wanted && !row.givingWay;
        row.widget->setVisible(shown);
    }
    updateFolderInlineResults();
    m_fitting = false;
}

bool WindowLayout::event(QEvent* event) {
    // A panel grew or shrank (its result list filled): the room may no longer do for all.
    if (event->type() == QEvent::LayoutRequest && !m_fitting && !m_rows.isEmpty())
        fitRows();
    return QWidget::event(event);
}

void WindowLayout::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitRows();
}

QList<WindowRow> WindowLayout::rowsGivingWay() const {
    QList<WindowRow> giving;
    for (const Row& row : m_rows)
        if (row.givingWay)
            giving << row.kind;
    return giving;
}

QList<WindowRow> WindowLayout::shownRows() const {
    QList<WindowRow> rows;
    for (const Row& row : m_rows)
        if (!row.widget->isHidden())
            rows << row.kind;
    return rows;
}

} // namespace dunmoss
