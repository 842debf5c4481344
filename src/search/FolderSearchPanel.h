#pragma once

#include "text/FolderSearchTypes.h"
#include "text/TextSearch.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace dunmoss {

class ElidedLabel;
class SearchResultListModel;
struct FolderSearchState;

// What the folder search panel calls; the window hands in its operations.
struct FolderSearchPanelActions {
    std::function<void(const QString&)> setQuery;
    std::function<void(const QString&)> setReplacement;
    std::function<void(const QString&)> setIncludePattern;
    std::function<void(const QString&)> setExcludePattern;
    std::function<void(const TextSearchOptions&)> setTextOptions;
    std::function<void()> chooseFolder;
    std::function<void()> search;
    std::function<void()> replaceAll;
    std::function<void()> restoreBackup;
    std::function<void(const FolderSearchResult&)> openResult;
    std::function<void()> close;
};

// The room the listed hits fill below the panel's filter, however many there are.
inline constexpr int kFolderSearchResultRoom = 230;

// The height a number of rows (hits plus group headers) would ask for: 32 points a row, at
// least one row, at most 230 points.
int folderSearchResultListHeight(qsizetype rows);

// The folder search and replace bar: query, replacement, folder and the four actions; include
// and exclude patterns, options, folder name and status; then, once there are hits and the
// panel lists them itself, a filter and the hits grouped by file. It keeps only its filter text
// (empty again each time the panel is shown); everything else comes from the window's state.
class FolderSearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit FolderSearchPanel(FolderSearchPanelActions actions, QWidget* parent = nullptr);

    void refresh(const FolderSearchState& state);

    const QList<FolderSearchResult>& filteredResults() const { return m_filtered; }
    QLineEdit* queryField() const { return m_query; }
    QLineEdit* replacementField() const { return m_replacement; }
    QLineEdit* filterField() const { return m_filter; }
    QPushButton* chooseFolderButton() const { return m_chooseFolder; }
    QPushButton* searchButton() const { return m_search; }
    QPushButton* replaceAllButton() const { return m_replaceAll; }
    QPushButton* restoreButton() const { return m_restore; }
    QToolButton* closeButton() const { return m_close; }
    QLabel* folderLabel() const { return m_folderName; }
    ElidedLabel* statusLabel() const { return m_status; }
    QLabel* visibleCountLabel() const { return m_visibleCount; }
    QLabel* noFilteredLabel() const { return m_noFiltered; }
    QListView* listView() const { return m_list; }
    // The results block (filter row and list), shown only with hits to list.
    QWidget* resultsBlock() const { return m_results; }

protected:
    bool event(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void rebuild();
    // Shows the results block while there are hits and the window has the panel list them.
    void placeResults();
    void emitOptions();

    FolderSearchPanelActions m_actions;
    QLineEdit* m_query = nullptr;
    QLineEdit* m_replacement = nullptr;
    QLineEdit* m_include = nullptr;
    QLineEdit* m_exclude = nullptr;
    QCheckBox* m_regex = nullptr;
    QCheckBox* m_caseSensitive = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    QPushButton* m_chooseFolder = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_replaceAll = nullptr;
    QPushButton* m_restore = nullptr;
    QToolButton* m_close = nullptr;
    QLabel* m_folderName = nullptr;
    ElidedLabel* m_status = nullptr;
    QWidget* m_results = nullptr;
    QLineEdit* m_filter = nullptr;
    QLabel* m_visibleCount = nullptr;
    QStackedWidget* m_room = nullptr;
    QLabel* m_noFiltered = nullptr;
    QListView* m_list = nullptr;
    SearchResultListModel* m_model = nullptr;

    QList<FolderSearchResult> m_all;
    QList<FolderSearchResult> m_filtered;
    std::optional<QUrl> m_folder;
    bool m_running = false;
    bool m_updating = false;
};

} // namespace dunmoss
