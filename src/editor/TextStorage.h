#pragma once

#include "platform/MainThreadMailbox.h"
#include "platform/TextRange.h"
#include "text/TextCounts.h"

#include <QFont>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextOption>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QTextDocument;

namespace dunmoss {

// The text of one document, shared by every view that shows it.
//
// The authoritative text is a QString that keeps the file's true characters (a U+2029 or U+2028
// of the file, a stray CR) and is updated incrementally from each edit, so that no view ever
// copies the whole document per keystroke. The views lay it out through QTextDocuments kept
// character for character in step with it: the primary document, kept while no view shows it,
// and one mirror per further view shown at the same time, so that each view wraps at its own
// width (a QTextDocument has a single layout). The primary document taken by another view than
// the one that had it last gets a fresh layout (so that view sets its own wrap width), which
// drops its colours; a view colours the document it attaches to at once. The documents' own undo is
// off: undo is the tab's QUndoStack (see TextStorageRegistry.h).
class TextStorage : public QObject {
    Q_OBJECT
public:
    enum class EditKind {
        Typing,      // typed, pasted, dropped or composed in a view
        Replacement, // the whole text replaced from the tab's text, outside undo
        UndoRedo,    // an undo step re-applied
    };

    struct Change {
        qsizetype position = 0;
        QString removed;
        QString inserted;
        EditKind kind = EditKind::Typing;
        // The document the user edited (typing only).
        QTextDocument* origin = nullptr;
    };

    explicit TextStorage(QObject* parent = nullptr);
    // A storage of the text whose primary document was filled beforehand (see prepareDocument)
    // and moved to this thread; `counts`, when given, are those of `text`, counted where the
    // document was filled, so the first view to show it does not count the whole text.
    TextStorage(const QString& text, std::unique_ptr<QTextDocument> prepared,
                std::optional<TextCounts> counts = std::nullopt, QObject* parent = nullptr);
    ~TextStorage() override;

    // A document holding the text, with its margin and layout, made on any thread (the caller
    // moves it to the thread of the storage that will take it): a large text then costs that
    // thread no insertion and no pass over its blocks for the layout.
    // Given the font and text options (tab stops) of the view that will show it, the view need
    // not lay it out again for them.
    // With the width the view wraps at, its long lines are broken into lines there as well.
    struct Look {
        QFont font;
        QTextOption option;
        qreal width = 0; // none known, or the text does not wrap
    };
    static std::unique_ptr<QTextDocument> prepareDocument(const QString& text,
                                                          const std::optional<Look>& look = {});
    // Gives a document made by prepareDocument, which no view shows yet, the font and options
    // of the look, on the thread that holds it; its lines are laid out again only if they change.
    static void restyleDocument(QTextDocument& document, const Look& look);
    // The font and options the views gave the documents of this storage, and the width the
    // primary one wraps at.
    Look look() const { return lookOf(m_primary); }
    // The same for one of its documents, with the width its own view wraps it at.
    Look lookOf(const QTextDocument* document) const;

    const QString& text() const { return m_text; }
    // Changes with every change of the text.
    quint64 revision() const { return m_revision; }
    qsizetype length() const { return m_text.size(); }
    // The line starts and characters of text(): counted whole when first asked for, then kept
    // in step with every edit.
    const TextCounts& counts() const;
    // The counts are at hand: asking for them costs no pass over the text.
    bool hasCounts() const { return m_counts.has_value(); }
    // The string outside that holds this text too (the tab's), or none. While it shares this
    // storage's string it lets go of it for each edit and takes the edited string back, so an
    // edit changes the one copy in place instead of copying the whole text.
    void setSharedText(std::function<QString*()> holder) { m_sharedText = std::move(holder); }
    // Another reader holds the text of an edited storage (a saved copy of it, a snapshot being
    // written): a copy is made on a pool thread now, and the next edit takes it instead of
    // copying the whole text on the key. The reader keeps what it holds either way.
    void keepSpareIfHeldElsewhere();
    // A copy of the current text is ready for the next edit.
    bool hasSpare() const { return m_spare && m_spareRevision == m_revision; }

    // A document for one view: the primary one when no view shows it, else a new mirror. The
    // primary keeps its layout (and the lines and colours in it) for the view that had it last.
    QTextDocument* acquireDocument(const QObject* view = nullptr);
    // Gives a document back once its view no longer shows it; a mirror is deleted.
    void releaseDocument(QTextDocument* document);
    QTextDocument* primaryDocument() const { return m_primary; }
    // The documents of further views shown at the same time.
    const QList<QTextDocument*>& mirrors() const { return m_mirrors; }
    QList<QTextDocument*> documents() const;
    bool isShownByAView() const;
    bool isPrimaryShown() const { return m_primaryInUse; }

    // Replaces the whole text without an undo entry.
    void replaceAll(const QString& text);

    // Behind the tab's text: a change too large to write into the documents here is being
    // filled into a new document on a pool thread. The documents keep showing the text before
    // it (which text() still answers) and views take no edits until the storage is in line
    // again, through takeRefilledDocument, catchUp or replaceAll.
    void markBehind();
    bool isBehind() const { return m_behind; }
    // Brings the storage in line with the text now, writing only the changed middle.
    void catchUp(const QString& text);
    // Takes a document filled with the text (see prepareDocument, moved to this thread) as the
    // primary document; the views showing the old one switch to it (documentReplaced).
    // `mirrors` are filled the same way for the mirrors that stood when the fill began, by the
    // mirror each replaces; a mirror without one is written here.
    using RefilledMirrors =
        std::vector<std::pair<QPointer<QTextDocument>, std::unique_ptr<QTextDocument>>>;
    // `counts`, when given, are those of `text`, counted where the document was filled.
    void takeRefilledDocument(const QString& text, std::unique_ptr<QTextDocument> prepared,
                              RefilledMirrors mirrors = {},
                              std::optional<TextCounts> counts = std::nullopt);
    // Held while a command that will change the text or the selection is under way (a Replace
    // All searching on a pool thread, a paste filled aside): the views hand the keys, clicks and
    // pastes they get to deferInput instead of acting on them, and releaseInput replays them in
    // the order given, after the command, unless told to drop them (the window is going). Each
    // holder lets go of its own hold; the input waits until none holds it.
    void holdInput(const void* holder = nullptr);
    void releaseInput(bool replay = true, const void* holder = nullptr);
    bool isInputHeld() const { return !m_inputHolders.isEmpty(); }
    // Runs the input now when nothing holds it.
    void deferInput(std::function<void()> input);
    // Replaces a range of the text; used by undo steps.
    void applyEdit(qsizetype position, qsizetype length, const QString& replacement,
                   EditKind kind = EditKind::UndoRedo);
    // Asks every view of this storage to select the ranges (after an undo step).
    void requestSelection(const QList<TextRange>& ranges) { emit selectionRequested(ranges); }

    // True while the storage itself writes into its documents; views ignore the cursor moves
    // that this causes.
    bool isApplyingEdit() const { return m_applying > 0; }
    // True from a view's edit until `edited` reports it: the text holds more than the tab knows.
    bool hasUnreportedEdit() const { return m_pending.has_value(); }

    // Typing steps merge only within one generation; anything that must start a new undo step
    // (a replacement, an undo, a caret moved by the user) starts a new generation.
    quint64 typingGeneration() const { return m_generation; }
    void breakTypingCoalescing() { ++m_generation; }

    // The characters a document holds for a text: the same length, with a CR and the two
    // frame markers replaced so that the document neither merges CR LF into one break nor
    // starts frames.
    static QString displayForm(const QString& text);

signals:
    // During the edit, before the views report it: typing may be recorded for undo here.
    void changeCaptured(const dunmoss::TextStorage::Change& change);
    // After the edit has finished in every document.
    void edited(const dunmoss::TextStorage::Change& change);
    void selectionRequested(const QList<dunmoss::TextRange>& ranges);
    // The primary document was replaced by a refilled one; `previous` goes after this.
    void documentReplaced(QTextDocument* previous, QTextDocument* current);
    void behindChanged(bool behind);
    void inputHeldChanged(bool held);

private:
    QTextDocument* createDocument();
    // Makes a document filled elsewhere (and moved to this thread) one of this storage's.
    QTextDocument* adopt(std::unique_ptr<QTextDocument> prepared);
    // Gives a document made by prepareDocument or createDocument its layout and margins.
    void setUpDocument(QTextDocument* document);
    void watch(QTextDocument* document);
    void onContentsChange(QTextDocument* document, int position, int removed, int added);
    void onContentsChanged(QTextDocument* document);
    void writeInto(QTextDocument* document, qsizetype position, qsizetype length,
                   const QString& replacement);
    void writeIntoAllExcept(QTextDocument* except, qsizetype position, qsizetype length,
                            const QString& replacement);
    void resynchronize(QTextDocument* document);
    void setBehind(bool behind);
    // Replaces text[position, position + length) in place; `removed` is what it held.
    void writeText(qsizetype position, qsizetype length, const QString& replacement,
                   const QString& removed);

    // True when a reader other than the shared holder also holds m_text.
    bool heldElsewhere();
    void contentReplaced();

    QString m_text;
    // Counts every change of the text; a spare made from one revision serves only that one.
    quint64 m_revision = 0;
    bool m_edited = false;
    std::optional<QString> m_spare;
    quint64 m_spareRevision = 0;
    bool m_spareUnderWay = false;
    std::shared_ptr<MainThreadMailbox> m_mailbox;
    mutable std::optional<TextCounts> m_counts;
    std::function<QString*()> m_sharedText;
    QTextDocument* m_primary = nullptr;
    bool m_primaryInUse = false;
    // Only compared: which view had the primary document last.
    const QObject* m_primaryView = nullptr;
    QList<QTextDocument*> m_mirrors;
    int m_applying = 0;
    quint64 m_generation = 0;
    std::optional<Change> m_pending;
    bool m_behind = false;
    QList<const void*> m_inputHolders;
    QList<std::function<void()>> m_deferredInput;
};

} // namespace dunmoss
