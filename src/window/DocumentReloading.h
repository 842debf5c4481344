#pragma once

#include "text/TextEncoding.h"

#include <QUrl>
#include <QUuid>
#include <exception>
#include <functional>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// Bringing a tab back in line with its file: Reload (asking first when the tab holds unsaved
// changes) and reopening the file decoded with an encoding the person chose. A reload keeps the
// tab's identity, file, language and bookmarks, takes text, encoding and line ending from the
// file, clamps the old selection to the new text and forgets the undo history. A read that
// fails leaves the tab exactly as it was.
//
// The file is read and decoded on a pool thread, in the window's queue of reads; the tab takes
// the text, and the file as it is then as known (a question about it answered), once it is
// ready. Keys and clicks given in the tab's views meanwhile wait and then land on that text, in
// order. The tab takes it only while it still exists, shows the same file, and holds the text it
// held when the read was asked for: an edit made meanwhile another way (a command) is never
// thrown away, the status line says the file was not reloaded instead.
class DocumentReloading {
public:
    explicit DocumentReloading(EditorWindowModel& model) : m_model(model) {}

    // Asks first while the tab whose pane has the keyboard is modified; an untitled tab only gets
    // a status.
    void requestReloadKeyboardTab();
    // Re-reads that tab's file with the encoding detected again.
    void reloadKeyboardTab();
    // The same for the tab with the identifier; nothing when it is gone.
    void reloadTab(const QUuid& tabID);
    // Re-reads the file of the tab whose pane has the keyboard, decoded with the given encoding;
    // refused for a modified tab.
    void reopenWithEncoding(TextFileEncoding encoding);

    // What becomes of a read asked for with rereadTab, told on the window's thread: `applied`
    // once the tab shows the file's text, `failed` with the read's error. Neither runs when the
    // tab was closed or changed meanwhile.
    struct Outcome {
        std::function<void()> applied;
        std::function<void(const std::exception&)> failed;
    };
    // Reads the tab's file again (its encoding given, or detected) and puts it into the tab as
    // its current and saved state: selection clamped to the new text, undo history cleared,
    // the editor's storage brought in line.
    void rereadTab(const QUuid& tabID, std::optional<TextFileEncoding> encoding, Outcome outcome);

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
