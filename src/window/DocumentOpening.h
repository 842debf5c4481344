#pragma once

#include "platform/TextRange.h"

#include <QList>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

namespace dunmoss {

class EditorWindowModel;
struct EditorTab;

// Every way of opening a file in a window ends here: the tab that already shows the file is
// brought forward, or the file is read through the codec into a new tab.
class DocumentOpening {
public:
    explicit DocumentOpening(EditorWindowModel& model) : m_model(model) {}

    // Opens the file and makes its tab active; a line (1-based) selects that whole line, else a
    // range is selected. True only when the file was newly read and needed the last-resort
    // decoding. Failures go to the error alert and change nothing else.
    bool openDocument(const QUrl& url, std::optional<int> line = std::nullopt,
                      std::optional<TextRange> selection = std::nullopt, bool persist = true);

    // The open panel; each chosen file is opened, then the session is saved once.
    void openDocumentsFromPanel();

    // Runs the body while access is held on the file and, for a file inside the workspace
    // folder the window holds no access to, on that folder. Errors of the body pass through
    // after the access has ended.
    void withSecurityScopedAccess(const QUrl& url, const std::function<void()>& body) const;

    // Appends tabs in one change of the state, first dropping the window's lone untitled,
    // empty, unchanged tab (with its undo stack and storage) so the new tabs take its place.
    // The tab list is never seen empty. Nothing happens for an empty list.
    void appendTabsReplacingPristineTab(const QList<EditorTab>& tabs,
                                        std::optional<QUuid> activeTabID);

private:
    EditorWindowModel& m_model;
};

// The status warning after files were opened with the last-resort decoding, naming them.
QString fallbackDecodingWarning(const QList<QUrl>& files);

} // namespace dunmoss
