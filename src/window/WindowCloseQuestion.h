#pragma once

#include <QStringList>
#include <functional>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

// Tabs whose edits would be lost by closing them now.
int unsavedTabCount(const EditorWindowState& state);

// Whether closing the window now loses edits, and why.
struct ClosingLoss {
    bool losesWork = false;
    // When no stored copy of the session could be written: one line per copy, saying why.
    QStringList unwrittenCopies;
    explicit operator bool() const { return losesWork; }
};

// Closing the window loses edits when some tab is modified and the session does not keep the
// drafts: it is not saved (interface testing), neither its record nor its recovery snapshot can
// be written now, or another editor window stays open and will overwrite the one session all
// windows share. Saves the session to find out.
ClosingLoss closingLosesUnsavedWork(EditorWindowModel& model,
                                    bool otherEditorWindowsRemain = false);

// Asks the person before such a close: save all (the window may close once nothing is left
// unsaved), close without saving, or keep the window. The question names the copies that could
// not be written, when that is why. `done` runs once, with true when the window may close.
void askBeforeClosing(EditorWindowModel& model, std::function<void(bool mayClose)> done,
                      const QStringList& unwrittenCopies = {});

} // namespace dunmoss
