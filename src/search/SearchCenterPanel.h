#pragma once

#include "platform/LatestRequest.h"
#include "window/SearchCenterTypes.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QStackedWidget;
class QToolButton;
class QPushButton;

namespace dunmoss {

class MainThreadMailbox;

class SearchResultListModel;
class SearchResultRows;
struct SearchCenterState;

// What the search center panel calls; the window hands in its operations.
struct SearchCenterPanelActions {
    std::function<void(SearchCenterScope)> selectScope;
    std::function<void(std::optional<QUuid>)> selectRun;
    std::function<void(const SearchCenterResult&)> openResult;
    std::function<void(const QList<SearchCenterResult>&)> copyResults;
    std::function<void(const QUuid&)> deleteRun;
    std::function<void()> close;
};

// The room the results fill below the panel's fields: 280 points, giving up rows down to 120
// in a low window, whether it lists none, one or thousands.
inline constexpr int kSearchCenterResultRoom = 280;
inline constexpr int kSearchCenterLeastRoom = 120;

// The height a number of rows (hits plus group headers) would ask for: 32 points a row, at least
// 120 and at most 280.
int searchCenterListHeight(qsizetype rows);

// The search center: scope switch, run picker, delete, copy and close on top, a filter with
// counts below, then the shown results grouped by file. It keeps only its filter text (which
// starts empty each time the panel is shown); everything else comes from the window's state
// and every change goes through its actions.
class SearchCenterPanel : public QWidget {
    Q_OBJECT
public:
    explicit SearchCenterPanel(SearchCenterPanelActions actions, QWidget* parent = nullptr);
    ~SearchCenterPanel() override;

    // Above this many shown results a filter runs on a pool thread and the rows follow when it
    // is done; the newest filter wins. Rows for more results than this are indexed there too,
    // and the list keeps the rows it shows until the new ones are in.
    static constexpr qsizetype kImmediateFilterLimit = 20'000;

    void refresh(const SearchCenterState& state);

    // The shown results after the filter, in search order, and the number before it.
    const QList<SearchCenterResult>& filteredResults() const { return m_filtered; }
    qsizetype displayedCount() const { return m_displayedCount; }

    QLineEdit* filterField() const { return m_filter; }
    QListView* listView() const { return m_list; }
    QComboBox* runPicker() const { return m_runPicker; }
    QToolButton* deleteButton() const { return m_delete; }
    QPushButton* copyButton() const { return m_copy; }
    QToolButton* scopeButton(SearchCenterScope scope) const;
    QLabel* visibleCountLabel() const { return m_visibleCount; }
    QLabel* scopeSummaryLabel() const { return m_scopeSummary; }
    QLabel* emptyLabel() const { return m_empty; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    // The shown list, the filtered list and the rows last shown, let go of aside.
    struct Retired {
        QList<SearchCenterResult> displayed;
        QList<SearchCenterResult> filtered;
        std::shared_ptr<const SearchResultRows> rows;
    };
    void rebuild(QList<SearchCenterResult> previousDisplayed = {});
    void filterAside(QList<SearchCenterResult> previousDisplayed);
    void show(QList<SearchCenterResult> filtered, Retired retired);
    // Lists the rows made of `results`.
    void showRows(QList<SearchCenterResult> results, std::shared_ptr<const SearchResultRows> rows);

    SearchCenterPanelActions m_actions;
    QButtonGroup* m_scopes = nullptr;
    QComboBox* m_runPicker = nullptr;
    QToolButton* m_delete = nullptr;
    QPushButton* m_copy = nullptr;
    QLineEdit* m_filter = nullptr;
    QLabel* m_visibleCount = nullptr;
    QLabel* m_scopeSummary = nullptr;
    QStackedWidget* m_content = nullptr;
    QLabel* m_empty = nullptr;
    QListView* m_list = nullptr;
    SearchResultListModel* m_model = nullptr;

    // The last state shown, kept to refilter as the filter text changes.
    QList<SearchCenterResult> m_displayed;
    QList<SearchCenterResult> m_filtered;
    // The results the rows on show were made of, which a row's source index points into.
    QList<SearchCenterResult> m_rowsOf;
    qsizetype m_displayedCount = 0;
    SearchCenterScope m_scope = SearchCenterScope::CurrentDocument;
    std::optional<QUuid> m_selectedRun;
    // The scope the rows were built for (it chooses the group symbol).
    SearchCenterScope m_rowsScope = SearchCenterScope::CurrentDocument;
    bool m_built = false;
    // The shown list is the answer of a search (not the list before any).
    bool m_searched = false;
    bool m_updating = false;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    // Names the newest filtering; an answer made for an older one is dropped.
    LatestRequest m_filterRequests;
    // Names the newest rows asked for; rows made for older ones are dropped.
    LatestRequest m_rowsRequests;
};

} // namespace dunmoss
