#pragma once

#include <QDialog>
#include <QLabel>
#include <QObject>
#include <QPointer>

namespace dunmoss {

class EditorWindowModel;

// Shows the window's small sheets while their flags are set: go to line, column insert,
// external command and help. Each is a window-modal dialog opened with open(); its field writes
// the window's text as the person types, its buttons run the sheet's operation, and any
// dismissal (Escape, the cancel button, closing) clears the flag. A flag cleared by an
// operation closes its sheet.
class PanelSheets : public QObject {
    Q_OBJECT
public:
    PanelSheets(EditorWindowModel& model, QWidget* window);

    // Opens and closes the sheets to match the flags (normally scheduled after each change).
    void refresh();

    QDialog* goToLineSheet() const { return m_goToLine; }
    QDialog* columnInsertSheet() const { return m_columnInsert; }
    QDialog* externalCommandSheet() const { return m_externalCommand; }
    QDialog* helpSheet() const { return m_help; }

private:
    QDialog* openGoToLine();
    QDialog* openColumnInsert();
    QDialog* openExternalCommand();
    QDialog* openHelp();

    EditorWindowModel& m_model;
    QPointer<QWidget> m_window;
    QPointer<QDialog> m_goToLine;
    QPointer<QLabel> m_goToLineHint;
    QPointer<QDialog> m_columnInsert;
    QPointer<QDialog> m_externalCommand;
    QPointer<QDialog> m_help;
};

} // namespace dunmoss
