#pragma once

#include "text/TextCounts.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>
#include <atomic>
#include <memory>
#include <vector>

class QTextDocument;

namespace dunmoss {

class EditorWindowModel;
class MainThreadMailbox;
class TextStorage;
struct TextSplice;

// Shows a large change of a tab's text (Replace All, its undo and redo, a tool over a long
// text, a large paste) through documents filled with the new text on a pool thread, one per view
// showing the tab, which the views then take over, instead of writing tens of thousands of lines
// into the documents they show.
//
// Meanwhile the storage is behind the tab's text (TextStorage::isBehind): its views show the
// text before the change and take no edits; a key pressed in one of them brings the storage in
// line at once, and the filled document is then let go, unless the fill holds the input (a
// paste): keys and clicks then wait for it. A newer change of the tab starts a new fill; a fill
// that arrives for a closed tab, or for a text the tab no longer holds, is let go.
class StorageRefill : public QObject {
    Q_OBJECT
public:
    explicit StorageRefill(EditorWindowModel& model);
    ~StorageRefill() override;

    // A change of at least this many characters, of a text at least this long, is filled aside.
    static constexpr qsizetype kRefilledChangeLength = 64 * 1024;

    // True when the change is worth a filled document: large, into a text of lines the
    // document fills cheaply (a very long line is laid out on the view's thread anyway).
    static bool worthRefilling(const TextSplice& splice, const QString& textAfter);

    // Brings the tab's storage to the text: through a filled document when it is already behind
    // or when `worth` holds, else by writing the changed middle. True when a fill was started.
    // With `holdInput` (a paste), keys and clicks in the tab's views wait for the filled document
    // instead of bringing the storage in line on the window's thread; a fill started while one
    // holds them holds them as well.
    bool write(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage, const QString& text,
               bool worth, bool holdInput = false);

    // True while a fill for the tab is under way.
    bool isFilling(const QUuid& tabID) const { return m_jobs.contains(tabID); }

private:
    struct Job;
    void start(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage, const QString& text,
               bool holdInput);
    // Drops the tab's fill; its hold on the input, if any, is handed back to the caller.
    std::shared_ptr<Job> cancel(const QUuid& tabID);
    // The fill let go of the input it held, which then follows.
    void release(const std::shared_ptr<Job>& job);
    // The primary document first, then one per further view.
    using Filled = std::vector<std::unique_ptr<QTextDocument>>;
    void receive(const QUuid& tabID, quint64 ticket, Filled documents, TextCounts counts);

    EditorWindowModel& m_model;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    QHash<QUuid, std::shared_ptr<Job>> m_jobs;
    quint64 m_nextTicket = 1;
};

} // namespace dunmoss
