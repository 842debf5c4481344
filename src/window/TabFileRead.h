#pragma once

#include "editor/TextStorage.h"
#include "text/EditorTab.h"
#include "text/TextCounts.h"
#include "window/SettledRead.h"

#include <QString>
#include <QTextDocument>
#include <QUrl>
#include <memory>
#include <optional>

namespace dunmoss {

// A file read for a new tab: the tab with its text and, for a large text, the document that
// shows it filled beforehand (on the reading thread); or why the file cannot be opened.
struct TabFileRead {
    std::optional<EditorTab> tab;
    std::unique_ptr<QTextDocument> document;
    // The counts of the tab's text, made with its document.
    std::optional<TextCounts> counts;
    std::optional<QString> failure;
    // What settling the file's interrupted save before the read has to tell.
    SettledRead settled;
};

// Whether filling the text's document on the reading thread saves the window's thread time: a
// long text of lines that are not very long, or of any lines when the width the view wraps at
// is known (a very long line is then broken into lines there too), or when its long lines are
// long enough to be broken into lines aside anyway. `longLinesAside` false leaves every text with
// a long line to the view: filling one asks for fonts, which a program still starting or already
// handing its files over may not have, and a change swapped into a shown text is laid out there.
bool worthPreparingDocument(const QString& text, qreal wrapWidth = 0, bool longLinesAside = true);

// Reads, decodes and (unless told not to) prepares one file, on any thread, while access is held
// on it and, when given, on the folder holding it. A FIFO, a device or a folder is refused before
// anything is read; an in-place save of the file a kill cut short is settled first (see
// settleBeforeReading); every failure comes back as its localised message.
// `look`: the font, options and width of the view expected to show the text, when known.
TabFileRead readFileForTab(const QUrl& url, const std::optional<QUrl>& folderAccess = {},
                           bool withDocument = true,
                           const std::optional<TextStorage::Look>& look = {});
// Fills the read's document when its text is worth one and it has none yet.
void prepareTabDocument(TabFileRead& read, const std::optional<TextStorage::Look>& look = {},
                        bool longLinesAside = true);

} // namespace dunmoss
