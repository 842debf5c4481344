#pragma once

#include "window/QuickOpenTypes.h"

#include <QDialog>
#include <QList>
#include <functional>

class QLineEdit;
class QListWidget;
class QStackedWidget;

namespace dunmoss {

// The command palette's sheet: a query field over the listed entries, or the no-results state.
// It holds nothing but its widgets: the window gives it the entries for the current query and
// the actions. The keyboard stays in the field: Up and Down move the highlighted row (the first
// one whenever the query changes), and Return runs the highlighted entry on the next turn of the
// event loop (nothing when the list is empty); a click runs its row. One palette runs at most
// one entry, however many Returns or clicks arrive before it closes. Escape and the close button
// close it.
class QuickOpenPanel : public QDialog {
    Q_OBJECT
public:
    explicit QuickOpenPanel(QWidget* parent = nullptr);

    // The query text the field shows (kept when it is already that text).
    void setQuery(const QString& query);
    void setEntries(const QList<QuickOpenEntry>& entries);

    std::function<void(const QString&)> queryEdited;
    std::function<void(const QuickOpenEntry&)> openEntry;

    QLineEdit* queryField() const { return m_query; }
    QListWidget* list() const { return m_list; }
    bool showsNoResults() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void moveHighlight(int step);
    void submit();
    void run(int row);

    QLineEdit* m_query = nullptr;
    QStackedWidget* m_content = nullptr;
    QListWidget* m_list = nullptr;
    QList<QuickOpenEntry> m_entries;
    bool m_ran = false;
};

} // namespace dunmoss
