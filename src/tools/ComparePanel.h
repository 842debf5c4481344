#pragma once

#include "tools/CompareView.h"
#include "tools/PanelChrome.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QListView;
class QStackedWidget;

namespace dunmoss {

class CompareRowsModel;
class EditorWindowModel;

// The compare panel beside the editor: the active tab on the left, the chosen tab on the
// right, a summary of the rows and the rows themselves (painted by a delegate, so thousands
// cost nothing until scrolled to). The diff runs again only when one of the two texts changed.
class ComparePanel : public QWidget {
    Q_OBJECT
public:
    // The width it starts at beside the editor, which may then be dragged wider or narrower.
    static constexpr int kWidth = 440;

    explicit ComparePanel(EditorWindowModel& model, QWidget* parent = nullptr);

    // Re-reads the window (normally scheduled after each change).
    void refresh();

    QComboBox* picker() const { return m_picker; }
    QLabel* titleLabel() const { return m_title; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* messageLabel() const { return m_message; }
    QListView* rowsView() const { return m_rows; }

private:
    EditorWindowModel& m_model;
    CompareCache m_cache;
    CompareRowsModel* m_rowsModel = nullptr;
    QComboBox* m_picker = nullptr;
    TabPickerEntries m_pickerEntries;
    QLabel* m_title = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_message = nullptr;
    QListView* m_rows = nullptr;
    QStackedWidget* m_content = nullptr;
};

} // namespace dunmoss
