#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

inline constexpr const char* kDefaultSessionFileName = "DunmossNotepadSession.dunmosssession.json";

// What a session file holds: the paths of a window's files in tab order and the active one.
struct EditorSessionFile {
    QStringList files;
    std::optional<QString> activeFile;
};

QByteArray encodeSessionFile(const EditorSessionFile& file);
// Strict, and every path must be absolute: a session file comes from outside and a relative
// path would be read against whatever folder the program runs in. Throws JsonDecodeError with
// a message for the person.
EditorSessionFile decodeSessionFile(const QByteArray& data);

// Saving the list of open files to a file of the person's choosing, and opening such a file
// again. Answers from the panels may come later; nothing is kept between them but the model.
class SessionFiles {
public:
    explicit SessionFiles(EditorWindowModel& model) : m_model(model) {}

    void saveSessionFile();
    void openSessionFile();
    // The part after the panel; a file that cannot be read or decoded changes nothing.
    void openSessionFileAt(const QString& path);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
