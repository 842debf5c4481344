#pragma once

#include "text/TextSearch.h"
#include "window/EditorWindowState.h"

#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QCheckBox;
class QFrame;
class QHBoxLayout;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace dunmoss {

class ElidedLabel;

// What the find bar calls: its bindings to the window's fields and one action per button.
struct FindReplaceBarActions {
    std::function<void(const QString&)> setQuery;
    std::function<void(const QString&)> setReplaceText;
    std::function<void(const TextSearchOptions&)> setOptions;
    std::function<void(std::optional<FindField>)> setFocusedField;
    std::function<void()> findNext;
    std::function<void()> findPrevious;
    std::function<void()> replace;
    std::function<void()> replaceAll;
    std::function<void()> findAll;
    std::function<void()> findAllOpenDocuments;
    std::function<void()> markAll;
    std::function<void()> selectAllMatches;
    std::function<void(const QString&)> selectFindHistory;
    std::function<void(const QString&)> selectReplaceHistory;
    std::function<void()> close;
};

// The two-row find and replace bar. It holds nothing of its own: the fields, options, histories
// and status come from the window's find state, typing writes them back, and every button runs
// its action whatever the query (the operations report refusals in the status). Return in the
// query field finds the next match; Ctrl+G and Ctrl+Shift+G step through the matches while the
// bar is shown. The keyboard focus follows the window's focused field. In a window too narrow
// for the replace controls beside the query and a roomy status, they lead the second row.
class FindReplaceBar : public QWidget {
    Q_OBJECT
public:
    explicit FindReplaceBar(FindReplaceBarActions actions, QWidget* parent = nullptr);

    void refresh(const FindState& find, const QString& message);

    QLineEdit* queryField() const { return m_query; }
    QLineEdit* replaceField() const { return m_replace; }
    QMenu* findHistoryMenu() const { return m_findHistoryMenu; }
    QMenu* replaceHistoryMenu() const { return m_replaceHistoryMenu; }
    QString statusText() const;
    QWidget* statusLabel() const;
    // The replace controls moved to the second row, the first having no room for them.
    bool isCompact() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The width the first row needs to hold the replace controls beside the query.
    int wideWidth() const;
    void arrangeRows();
    void capReplaceGroup();
    void refreshHistoryMenu(QMenu* menu, const QStringList& entries,
                            const std::function<void(const QString&)>& choose);
    void writeOptions();
    void reportFocus(std::optional<FindField> field);

    FindReplaceBarActions m_actions;
    QLineEdit* m_query = nullptr;
    QLineEdit* m_replace = nullptr;
    QMenu* m_findHistoryMenu = nullptr;
    QMenu* m_replaceHistoryMenu = nullptr;
    ElidedLabel* m_status = nullptr;
    QHBoxLayout* m_firstRow = nullptr;
    QHBoxLayout* m_secondRow = nullptr;
    QWidget* m_replaceGroup = nullptr;
    QFrame* m_groupDivider = nullptr;
    QFrame* m_compactDivider = nullptr;
    bool m_compact = false;
    QCheckBox* m_regex = nullptr;
    QCheckBox* m_caseSensitive = nullptr;
    QCheckBox* m_wholeWord = nullptr;
    std::optional<FindField> m_focused;
    bool m_updating = false;
};

} // namespace dunmoss
