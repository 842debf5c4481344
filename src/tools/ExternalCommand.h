#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace dunmoss {

class EditorWindowModel;

// What a run of an outside command ends in: this program starts no other programs.
class UnsupportedFeatureError : public std::exception {
public:
    UnsupportedFeatureError();
    const char* what() const noexcept override { return m_message.constData(); }

private:
    QByteArray m_message;
};

// The external-command sheet's operations. A non-blank command closes the sheet and, on a later
// turn of the event loop, reports on the status line that running it is not supported; nothing
// is run and no tab, file or folder is touched.
class ExternalCommand {
public:
    explicit ExternalCommand(EditorWindowModel& model) : m_model(model) {}

    // Always opens with an empty field.
    void presentExternalCommandSheet();
    void setCommandText(const QString& text);
    void runExternalCommand();
    void cancel();

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
