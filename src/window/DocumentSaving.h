#pragma once

#include "text/PlainTextDocument.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace dunmoss {

class DocumentWriteQueue;
struct DocumentWriteOutcome;
class EditorWindowModel;
struct EditorTab;

// What the tab knows of its file once a write of it is in: the date and size the write left,
// after a saved write and after a failed one whose bytes replaced the file (only the disk did
// not confirm them); a write that left the file as it was changes nothing. Save and autosave
// both take it, so neither refuses the tab's next write for the tab's own bytes.
void takeFileLeftByWrite(EditorTab& tab, const DocumentWriteOutcome& outcome);

// Writing documents back to disk: one tab to its file, an untitled tab or Save As through the
// save panel, and every modified tab at once. Answers from the save panel may come later; the
// tab is then found again by its identifier, and nothing is written when it has gone.
// The window never waits for the disk: the text as it was when the save was asked for is
// encoded and written on the window's writer (see DocumentWriteQueue), and the tab becomes
// saved at that text when the write is done, so keys typed meanwhile keep it modified. Whoever
// must know a save's end (closing, quitting) waits through writes(). A failed write is told on
// the message bar, not in an alert: it comes after the command returned, while the person may
// be typing, and an alert would take those keys.
class DocumentSaving {
public:
    explicit DocumentSaving(EditorWindowModel& model);
    ~DocumentSaving();

    // The outcome of writing a document to a chosen location.
    struct SaveAsOutcome {
        // The location written; nothing when the panel was cancelled or the write failed.
        std::optional<QUrl> url;
        // The encoding or write error, when there was one.
        std::exception_ptr error;
    };

    // Writes the tab at the index to its file (asking for a location when it has none) and
    // marks it saved. Refuses a tab whose text must not go over its file and a tab whose file
    // changed on disk; the refusal asks about that tab and leaves the active tab as it is.
    // Reports true when the tab was written and marked saved.
    void saveTab(int index, std::function<void(bool)> done = {});

    // Asks for a location and writes the document there.
    void saveTextAs(const PlainTextDocument& document, const std::optional<QString>& suggestedName,
                    std::function<void(SaveAsOutcome)> done);

    // Save As for the tab whose pane has the keyboard.
    void saveKeyboardTabAs(std::function<void()> done = {});

    // Saves every modified tab in tab order and sums up in the status line. An untitled tab is
    // shown in the pane with the keyboard while the save panel asks about it; otherwise the panes
    // keep their documents throughout, and neither ever takes the other's.
    void saveAllDocuments(std::function<void()> done = {});

    // The window's writer: the saves and autosaves on their way to disk.
    DocumentWriteQueue& writes() const { return *m_writes; }
    // A write of the tab was handed over and its outcome is not in yet.
    bool isWriting(const QUuid& tabID) const;
    // The tab's writes to the file handed over so far no longer give it that file, nor flag it
    // when they are refused: another tab took the file. Its writes elsewhere stay its own.
    void untieWrites(const QUuid& tabID, const QUrl& file);

private:
    // saveTab, also telling `handedOver` once the tab's text went to the writer or the save
    // ended without a write (Save All then goes on to the next tab while this one is written).
    void startSave(int index, std::function<void()> handedOver, std::function<void(bool)> done);
    // Refusals shared by Save: false (with the status set) when the tab may not be written.
    bool mayWriteOverFile(int index);
    void refuseChangedOnDisk(int index);
    // The URL is taken by value: callers pass the tab's own URL, which the save replaces.
    void writeTabToFile(const QUuid& tabID, QUrl url, bool isSaveAs,
                        std::function<void(bool)> done);
    void finishTabWrite(const QUuid& tabID, const QUrl& url, bool isSaveAs, qsizetype ties,
                        const PlainTextDocument& written, const DocumentWriteOutcome& outcome,
                        const std::function<void(bool)>& done);
    void reportFailure(const QUuid& tabID, const QString& message);

    EditorWindowModel& m_model;
    std::unique_ptr<DocumentWriteQueue> m_writes;
    // The files each tab was untied from while its writes were under way, in order: a write
    // handed over before one of them was taken from the tab leaves the tab as it is.
    QHash<QUuid, QList<QUrl>> m_untied;
};

} // namespace dunmoss
