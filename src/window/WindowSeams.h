#pragma once

#include "text/DocumentOutline.h"
#include "text/DocumentOutlineItem.h"
#include "text/EditorLanguage.h"
#include "tools/QuickOpenTypes.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <exception>
#include <functional>

namespace dunmoss {

// Operations of later subsystems that the window's document operations call. Each starts
// empty until the subsystem that owns the operation installs it on the window model (the
// outline extractor is already the real one, and the find refresh is installed when the model
// is made). An empty member does nothing (or gives nothing),
// except `reportSessionSaveFailure`, whose absence shows the error in the window's error alert
// so that no failure is silent.
struct WindowSeams {
    // Writes the window's session; throws on failure.
    std::function<void()> persistSession;
    // Reports an error thrown by persistSession.
    std::function<void(const std::exception&)> reportSessionSaveFailure;
    // Puts a file at the front of the window's recent files.
    std::function<void(const QUrl&)> recordRecentFile;
    // Re-runs the visible searches after a tab's text changed.
    std::function<void()> refreshFindResultsAfterEdit;
    // Restarts the short wait after which the recovery snapshot is written.
    std::function<void()> scheduleRecoverySnapshot;
    // Rebuilds the workspace tree below `workspaceRootURL` and its message.
    std::function<void()> refreshWorkspace;
    // The palette's command entries, in the command list's order.
    std::function<QList<QuickOpenEntry>()> quickOpenCommandEntries;
    // The outline of a text in the given language.
    std::function<QList<DocumentOutlineItem>(const QString& text, EditorLanguage language)>
        extractOutline = dunmoss::extractOutline;

    // Reached from the header only (the menus have no items for them).
    // The window's recent files, newest first.
    std::function<QList<QUrl>()> recentFiles;
    // Session files: choose one and open its files; save the open files as one.
    std::function<void()> openSessionFile;
    std::function<void()> saveSessionFile;
    // Macros: start or stop recording, replay the recorded or the saved steps, keep the recorded
    // steps as the saved macro.
    std::function<void()> toggleMacroRecording;
    std::function<void()> playRecordedMacro;
    std::function<void()> saveRecordedMacro;
    std::function<void()> playSavedMacro;
};

} // namespace dunmoss
