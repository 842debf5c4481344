#pragma once

#include <QString>
#include <QUrl>

namespace dunmoss {

// What a quick-open entry does: run a palette command or open a file.
struct QuickOpenAction {
    enum class Kind { Command, File };

    Kind kind = Kind::Command;
    // The command's raw value (its case name); empty for a file.
    QString command;
    // The file to open; empty for a command.
    QUrl fileURL;

    static QuickOpenAction runCommand(const QString& commandRawValue) {
        return {Kind::Command, commandRawValue, {}};
    }
    static QuickOpenAction openFile(const QUrl& url) { return {Kind::File, {}, url}; }

    friend bool operator==(const QuickOpenAction&, const QuickOpenAction&) = default;
};

// One entry of the quick-open palette.
struct QuickOpenEntry {
    QString id;
    QString title;
    QString subtitle;
    // The symbol shown beside the entry.
    QString systemImage;
    QuickOpenAction action;

    friend bool operator==(const QuickOpenEntry&, const QuickOpenEntry&) = default;
};

} // namespace dunmoss
