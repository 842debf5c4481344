#pragma once

#include "window/QuickOpenTypes.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <optional>

class QLineEdit;
class QListWidget;
class QStackedWidget;

namespace dunmoss {

// The command palette's sheet: a query field over the listed entries, or the no-results state.
// It holds nothing but its widgets: the window gives it the entries for the current query and
// the actions. Return runs the first entry on the next turn of the event loop (nothing when the
// list is empty); a click runs its row; Escape and the close button close it.
class QuickOpenPanel : public QDialog {
    Q_OBJECT
public:
    explicit QuickOpenPanel(QWidget* parent = nullptr);

    // The query text the field shows (kept when it is already that text).
    void setQuery(const QString& query);
    void setEntries(const QList<QuickOpenEntry>& entries);

    std::function<void(const QString&)> queryEdited;
    std::function<std::optional<QuickOpenEntry>()> firstEntry;
    std::function<void(const QuickOpenEntry&)> openEntry;

    QLineEdit* queryField() const { return m_query; }
    QListWidget* list() const { return m_list; }
    bool showsNoResults() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void submit();

    QLineEdit* m_query = nullptr;
    QStackedWidget* m_content = nullptr;
    QListWidget* m_list = nullptr;
    QList<QuickOpenEntry> m_entries;
};

} // namespace dunmoss
