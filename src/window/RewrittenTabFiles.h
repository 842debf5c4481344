#pragma once

#include "platform/FileStat.h"
#include "text/PlainTextDocument.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

// Open tabs whose files a folder operation rewrote behind them. A file put back to exactly the
// tab's text (a backup restored) is no longer a change on disk: the tab is saved at that text
// and knows the file as it is now, so neither the flag nor the next poll asks about it.
class RewrittenTabFiles {
public:
    // A tab's text when the operation began, and what its file holds afterwards.
    struct Check {
        QUuid tabID;
        QString path;
        PlainTextDocument document;
        std::optional<FileStatus> held;
    };

    // On the window's thread: every file-backed tab's text (shared, not copied).
    static QList<Check> tabsWithFiles(const EditorWindowState& state);
    // On any thread: the files inside the folder are read; `held` is set where one holds
    // exactly its tab's text.
    static void readFiles(QList<Check>& checks, const QString& folder);
    // On the window's thread: a tab that still holds that text and is not being written takes
    // its file as saved; a question about it passes on.
    static void settle(EditorWindowModel& model, const QList<Check>& checks);
};

} // namespace dunmoss
