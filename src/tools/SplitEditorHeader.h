#pragma once

#include "tools/PanelChrome.h"

class QComboBox;
class QLabel;

namespace dunmoss {

class EditorWindowModel;

// The second editor pane's header: split or clone with its symbol, the split's tab picker or
// the clone's tab title, and the button that closes the second pane.
class SplitEditorHeader : public PanelBar {
    Q_OBJECT
public:
    explicit SplitEditorHeader(EditorWindowModel& model, QWidget* parent = nullptr);

    void refresh();

    QComboBox* picker() const { return m_picker; }
    QLabel* cloneTitle() const { return m_cloneTitle; }
    QLabel* modeLabel() const { return m_mode; }

private:
    EditorWindowModel& m_model;
    QLabel* m_icon = nullptr;
    QLabel* m_mode = nullptr;
    QComboBox* m_picker = nullptr;
    TabPickerEntries m_pickerEntries;
    QLabel* m_cloneTitle = nullptr;
};

} // namespace dunmoss
