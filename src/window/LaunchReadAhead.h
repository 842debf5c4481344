#pragma once

#include "window/TabFileRead.h"

#include <QList>
#include <QUrl>
#include <optional>

namespace dunmoss {

// The files named at launch, read ahead: each is read, decoded and put into its document on a
// pool thread while the window is still being built, and the window's open of that file takes
// the result instead of reading the file again. A read that failed is not kept (the open reads
// the file itself and reports why in the window's language); what no open has taken once the
// launch is over is dropped.
class LaunchReadAhead {
public:
    // Main thread. A file already being read ahead is not read twice.
    static void start(const QList<QUrl>& urls);
    // Main thread, before the application object exists: the files are read and decoded at
    // once, and their documents filled once applicationReady() has been called (a document
    // needs the application's fonts).
    static void startBeforeApplication(const QList<QUrl>& urls);
    static void applicationReady();
    // Any thread: the read begun for this file, waited for, with its document moved to the
    // calling thread; nothing when none was begun, or it failed, or it was taken or dropped.
    static std::optional<TabFileRead> take(const QUrl& url);
    // Drops every read not taken; one still running is dropped when it ends.
    static void dropUntaken();
    // Reads begun and neither taken nor dropped.
    static int pendingCount();
};

} // namespace dunmoss
