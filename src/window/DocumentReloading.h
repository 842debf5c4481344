#pragma once

#include "text/TextEncoding.h"

#include <QUrl>
#include <QUuid>

namespace dunmoss {

class EditorWindowModel;
struct LoadedPlainTextDocument;

// Bringing the active tab back in line with its file: Reload (asking first when the tab holds
// unsaved changes) and reopening the file decoded with an encoding the person chose. A reload
// keeps the tab's identity, file, language and bookmarks, takes text, encoding and line ending
// from the file, clamps the old selection to the new text and forgets the undo history. A read
// that fails leaves the tab exactly as it was.
class DocumentReloading {
public:
    explicit DocumentReloading(EditorWindowModel& model) : m_model(model) {}

    // Asks first while the active tab is modified; an untitled tab only gets a status.
    void requestReloadActiveTab();
    // Re-reads the active tab's file with the encoding detected again.
    void reloadActiveTab();
    // The same for the tab with the identifier; nothing when it is gone.
    void reloadTab(const QUuid& tabID);
    // Re-reads the active tab's file decoded with the given encoding; refused for a modified tab.
    void reopenWithEncoding(TextFileEncoding encoding);

    // Reads the file of the tab (its encoding given, or detected) inside the access bracket.
    // Throws the loader's error.
    LoadedPlainTextDocument readTabFile(const QUrl& url,
                                        std::optional<TextFileEncoding> encoding) const;
    // Puts a freshly read document into the tab as its current and saved state: selection
    // clamped to the new text, undo history cleared, the editor's storage brought in line.
    void applyReloadedDocument(const QUuid& tabID, const LoadedPlainTextDocument& loaded);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
