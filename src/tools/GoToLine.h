#pragma once

#include <QString>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The go-to-line sheet's operations: the typed number selects that whole line of the active
// tab (without its line feed), clamped to the first and last line.
class GoToLine {
public:
    explicit GoToLine(EditorWindowModel& model) : m_model(model) {}

    // The field's text as the person types it.
    void setLineText(const QString& text);
    // Text that is not a whole number raises the error alert and keeps the sheet open.
    void goToLine();
    void cancel();

    // A base-10 signed 64-bit number, surrounding white space ignored; nothing otherwise.
    static std::optional<qint64> parseLineNumber(const QString& text);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
