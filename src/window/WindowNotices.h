#pragma once

#include "platform/FileStat.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace dunmoss {

// News the person did not ask for, or that comes after the command returned (an autosave, a
// save or a session save that failed, a restore that could not trust everything): shown in
// the window's message bar, which never takes the keyboard, instead of an alert that would
// swallow the keys typed meanwhile.
// A copy of a file's earlier bytes the person may put back into it, while the file is as
// it was found.
struct KeptCopyOffer {
    QString copy;
    std::optional<FileStatus> fileFound;
};

struct WindowNotice {
    // What the news is about ("autosave:<tab id>", "session-save"...); one notice per cause.
    QString cause;
    QString message;
    std::optional<KeptCopyOffer> putBack = std::nullopt;
};

struct NoticeState {
    // On the message bar, oldest first.
    QList<WindowNotice> shown;
    // Each cause reported and not over yet, with the message it was reported with. The same news
    // is not reported again, even after the person closed it: a fault that lasts is told once,
    // not once per attempt.
    QHash<QString, QString> reported;
};

// Reports the news unless its cause was reported with the same message; a new message for the
// cause replaces the old one. True when the state changed.
bool raiseNotice(NoticeState& notices, const QString& cause, const QString& message,
                 const std::optional<KeptCopyOffer>& putBack = std::nullopt);
// The person closed the notice; its cause stays reported. True when the state changed.
bool dismissNotice(NoticeState& notices, const QString& cause);
// The cause is over (a write that failed has succeeded): its notice goes, and the news is
// reported again should it come back. True when the state changed.
bool clearNoticeCause(NoticeState& notices, const QString& cause);

// The causes of the window's own reports.
// A copy of a tab's file's earlier bytes shown beside it; the tab's identifier follows.
inline constexpr const char* kKeptCopyNoticeCausePrefix = "kept-copy:";
inline constexpr const char* kAutosaveNoticeCausePrefix = "autosave:";
QString autosaveNoticeCause(const QUuid& tabID);
// A save or Save As of the tab that failed; over once a save of it succeeds.
QString saveNoticeCause(const QUuid& tabID);
inline constexpr const char* kSessionSaveNoticeCause = "session-save";
inline constexpr const char* kSettingsWriteNoticeCause = "settings-write";
inline constexpr const char* kSessionRestoreNoticeCause = "session-restore";
// A save that failed in the previous run, told at this run's restore.
inline constexpr const char* kPreviousSessionSaveNoticeCause = "previous-session-save";

} // namespace dunmoss
