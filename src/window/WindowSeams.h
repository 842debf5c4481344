#pragma once

#include "text/DocumentOutline.h"
#include "text/DocumentOutlineItem.h"
#include "text/EditorLanguage.h"
#include "window/QuickOpenTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <exception>
#include <functional>

namespace dunmoss {

// Operations of other subsystems that the window's document operations call. The window's
// session (session/WindowSession) fills the session, recent-file and session-file members when
// it is attached to the model, the find refresh and the find state are installed then too, and the
// outline extractor is the real one from the start; the others stay empty until their
// subsystem installs them. An empty member does nothing (or gives nothing). `persistSession`,
// `persistSessionAndWait` and `scheduleRecoverySnapshot` stay empty only while the session is not
// saved (interface testing); tests may replace any member.
struct WindowSeams {
    // Hands the window's session to the background writer; a failure is reported when the
    // write ends.
    std::function<void()> persistSession;
    // The same, then waits for the writer. Answers, one line per copy, why no stored copy of
    // the session (record or recovery snapshot) holds the window's drafts now; nothing when one
    // does.
    std::function<QStringList()> persistSessionAndWait;
    // Reports an error of a session save.
    std::function<void(const std::exception&)> reportSessionSaveFailure;
    // Puts a file at the front of the window's recent files.
    std::function<void(const QUrl&)> recordRecentFile;
    // The same for files opened one after another, the last one ending at the front, with the
    // recent files stored once.
    std::function<void(const QList<QUrl>&)> recordRecentFiles;
    // Re-runs the visible searches after a tab's text changed.
    std::function<void()> refreshFindResultsAfterEdit;
    // A tab's text or file was replaced as a whole (a reload, a save under a new name): a shown
    // search run with hits in that tab gives way to the live lists.
    std::function<void(const QUuid& tabID)> leaveSearchRunsOfReplacedTab;
    // Restarts the short wait after which the recovery snapshot is written.
    std::function<void()> scheduleRecoverySnapshot;
    // Tells a running folder search or dry run to stop; a replacement or restore finishes.
    std::function<void()> stopFolderReads;
    // Rebuilds the workspace tree below `workspaceRootURL` and its message.
    std::function<void()> refreshWorkspace;
    // Start-up steps of other subsystems, in the window's start-up order (see WindowStartUp).
    // The stored session, or the newer recovery snapshot, into the window.
    std::function<void()> restoreSession;
    std::function<void()> restoreWorkspaceIfNeeded;
    // The find and replace histories and the stored search-center runs, no run selected.
    std::function<void()> loadStoredFindState;
    // Starts the periodic check for changes on disk, autosave and session save.
    std::function<void()> startMaintenanceLoop;
    // Applies the always-on-top flag to the editor windows.
    std::function<void(bool enabled, bool bringToFront)> applyAlwaysOnTopToEditorWindows;
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
