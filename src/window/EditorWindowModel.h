#pragma once

#include "editor/TextStorageRegistry.h"
#include "platform/LaterThanRepaints.h"
#include "window/EditorWindowState.h"
#include "window/TabEditCommand.h"
#include "window/WindowSeams.h"
#include "window/WindowSettings.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace dunmoss {

class Defaults;
class DocumentOpening;
class DocumentPrinting;
class DocumentSaving;
class StorageRefill;
class TabUndoRegistry;
class WindowInteraction;

// A subsystem's part of one window, kept by the window's model (see EditorWindowModel::attach).
class WindowAttachment {
public:
    virtual ~WindowAttachment() = default;
};

// One editor window without its widgets: the window's state, its registries, and the
// operations every part of the window leans on (tab lookup, errors, bindings, selection,
// per-tab undo). Every change goes through update() and ends with changed(). Main thread only.
class EditorWindowModel : public QObject {
    Q_OBJECT
public:
    struct Options {
        bool isSceneHosted = true;
        // The process arguments; they choose the always-on-top key and, with the
        // interface-testing flag, turn off saving the session.
        QStringList processArguments;
        // Where the recovery snapshot is kept; the standard folder when empty.
        QString recoveryDirectory;
    };

    EditorWindowModel(Defaults& defaults, const Options& options, QObject* parent = nullptr);
    explicit EditorWindowModel(Defaults& defaults, QObject* parent = nullptr);
    ~EditorWindowModel() override;

    const EditorWindowState& state() const { return m_state; }
    // Runs the change on the state, then tells the listeners.
    template <typename Change> void update(Change&& change) {
        change(m_state);
        if (m_passing)
            endPassingMessageOnNews();
        emit changed();
    }

    WindowSettings& settings() { return m_settings; }
    Defaults& defaults() const { return m_settings.defaults(); }
    TabUndoRegistry& undoRegistry() const { return *m_undoRegistry; }
    TextStorageRegistry& textStorageRegistry() { return m_textStorages; }
    WindowSeams& seams() { return m_seams; }
    const QStringList& processArguments() const { return m_processArguments; }
    // Where the window's recovery snapshot is kept; the standard folder when empty.
    const QString& recoveryDirectory() const { return m_recoveryDirectory; }

    // Parts that other subsystems keep for this window's life (its session, for one). They go
    // before anything else of the model, so their timers stop before anything they use goes.
    void attach(std::unique_ptr<WindowAttachment> part) {
        m_attachments.push_back(std::move(part));
    }
    template <typename Part> Part* attachment() const {
        for (const std::unique_ptr<WindowAttachment>& part : m_attachments)
            if (auto* found = dynamic_cast<Part*>(part.get()))
                return found;
        return nullptr;
    }
    // Not owned; nothing when no person can be asked (every question then counts as cancelled).
    WindowInteraction* interaction() const { return m_interaction; }
    void setInteraction(WindowInteraction* interaction) { m_interaction = interaction; }

    DocumentOpening& opening() const { return *m_opening; }
    DocumentSaving& saving() const { return *m_saving; }
    DocumentPrinting& printing() const { return *m_printing; }

    // Tabs.
    int activeTabIndex() const;
    // The tab whose pane has the keyboard (see keyboardTabIndex in WindowDerivedValues).
    int keyboardTabIndex() const;
    // The window's widgets say which pane the keyboard went to.
    void setKeyboardInSecondPane(bool inSecondPane);
    // When someone else now also holds the text of the tab being typed into (its saved copy
    // after an autosave, a snapshot on its way to disk), a copy for the next key is made aside.
    void readySpareForTypedTab();
    std::optional<int> tabIndex(const QUuid& tabID) const;
    const EditorTab* tab(const QUuid& tabID) const;
    void setActiveTabID(const QUuid& tabID);

    // Status line and error alert.
    void setFindMessage(const QString& message);
    // A result that needs no answer ("Reloaded from disk."): on the status line like any
    // message until another replaces it, news comes to the message bar or an error alert, or
    // kPassingMessageMs have passed.
    void setPassingMessage(const QString& message);
    static constexpr int kPassingMessageMs = 5000;
    bool showsPassingMessage() const { return m_passing.has_value(); }
    QTimer& passingMessageTimer() { return m_passingTimer; } // for tests
    void presentError(const QString& message);
    // Replaces the message on screen, leaving the queue as it is.
    void setErrorMessage(const QString& message);
    // The error alert was dismissed.
    void showNextQueuedError();
    // News the person did not ask for goes to the message bar, once per cause (see
    // WindowNotices); nothing changes when there is nothing new.
    void presentNotice(const QString& cause, const QString& message,
                       const std::optional<KeptCopyOffer>& putBack = std::nullopt);
    void dismissNotice(const QString& cause);
    void clearNoticeCause(const QString& cause);

    // The editor view's bindings, each bound to a tab by identifier.
    QString tabText(const QUuid& tabID) const;
    void setTabText(const QUuid& tabID, const QString& text);
    TextRange tabSelectedRange(const QUuid& tabID) const;
    void setTabSelectedRange(const QUuid& tabID, TextRange range);
    QList<TextRange> tabSelectedRanges(const QUuid& tabID) const;
    void setTabSelectedRanges(const QUuid& tabID, const QList<TextRange>& ranges);
    // The line starts and characters of the tab's text as its storage keeps them, when the
    // storage holds that very text (none while it is behind, or for a tab no view showed yet).
    const TextCounts* tabTextCounts(const QUuid& tabID) const;

    // Selection operations; both clamp to the tab's text.
    void setSelection(qsizetype location, qsizetype length, int tabIndex);
    void setSelectedRanges(const QList<TextRange>& ranges, int tabIndex);
    // In split mode, moves the second pane off the tab that just became active.
    void refreshSplitSecondaryTab();
    std::optional<QUuid> nextExternallyChangedTabID(const QUuid& handledTabID) const;

    // Per-tab undo.
    EditSelection editSelection(int tabIndex) const;
    // The one path for programmatic changes of a tab's text: one undo step named by the
    // localisation key, nothing at all when text and selection stay the same. Only the stretch
    // between the common start and end of the old and new text is written into the editor and
    // kept by the step. Callers refuse read-only tabs beforehand.
    void replaceTabText(int tabIndex, const QString& text, TextRange selection,
                        const QString& actionNameKey);
    // The same for a change of one stretch of the text, which must hold the splice's `removed`
    // at its position: it costs what the stretch costs, not a pass over the whole text.
    void spliceTabText(int tabIndex, const TextSplice& splice, TextRange selection,
                       const QString& actionNameKey);
    // A paste typed into a view of the tab, of `pasted` (as the view's document would hold it)
    // over `replaced`, when it is large enough to be filled into new documents aside (see
    // StorageRefill): the tab takes the new text and a step of its own at once, its views show
    // it once it is filled, and keys and clicks in them wait for that. False, with nothing done,
    // when the view is to write the paste itself.
    bool pasteFilledAside(const QUuid& tabID, TextRange replaced, const QString& pasted);
    // The body of every undo and redo step: applies the splice, selects the selection and
    // answers the selection before, which the opposite step restores. Nothing changes (and
    // nothing is answered) when the tab is gone or its text no longer holds what the splice
    // removes.
    std::optional<EditSelection> applyUndoStep(const QUuid& tabID, const TextSplice& splice,
                                               const EditSelection& selection);
    void clearTabUndoStack(const QUuid& tabID);
    // Undo or Redo of the tab's history as the Edit menu gives it. Keys and clicks the tab's
    // views hold meanwhile (a paste being filled aside, a find command searching) were given
    // first and apply first: the step waits behind them.
    void undoTabStep(const QUuid& tabID, bool redo = false);
    // Drops what the window keeps for a tab that is gone: undo stack and text storage.
    void forgetTab(const QUuid& tabID);
    // Brings the tab's text storage, when it has one, in line with the tab's text, outside
    // undo (after the text was replaced from outside the editor view, a reload for example).
    void syncTextStorage(const QUuid& tabID);
    int tabWidthForTab(int tabIndex) const;
    int visualColumnOfPrefix(const QString& prefix) const;

    // Later subsystems' operations (see WindowSeams); session failures are reported.
    void persistSession();
    // After an edit a person may repeat at once (a held Move Line Down, Replace pressed again
    // and again): a session handed to the writer holds the tab's text until the writer takes it
    // in, and the next edit would copy the whole text meanwhile. So the save waits until the
    // edits pause for kEditSessionSaveDelayMs, at most kEditSessionSaveMaxDelayMs (longer for
    // megabytes of text, see saveWaitForTexts).
    void persistSessionAfterEdit();
    static constexpr int kEditSessionSaveDelayMs = 100;
    static constexpr int kEditSessionSaveMaxDelayMs = 1000;
    bool hasPendingSessionSave() const { return m_editSessionSave.isActive(); }
    // Session saves asked for inside a batch (a drop, an open request, a session file) happen
    // once, when the outermost batch ends. Use SessionSaveBatch.
    void beginSessionBatch() { ++m_sessionBatchDepth; }
    void endSessionBatch();
    void recordRecentFile(const QUrl& url);
    void recordRecentFiles(const QList<QUrl>& urls);
    void refreshFindResultsAfterEdit();
    // The same after a tab's text or file was replaced as a whole, when the hits a shown run
    // lists there no longer say what the tab holds.
    void refreshFindResultsAfterReplacingTab(const QUuid& tabID);
    void scheduleRecoverySnapshot();

signals:
    void changed();

private:
    // What the message bar and the error alert showed when a passing message was set.
    struct ShownNews {
        QString message;
        QList<WindowNotice> notices;
        std::optional<QUuid> question;
        std::optional<QString> error;
    };
    ShownNews shownNews(const QString& message) const;
    void endPassingMessageOnNews();
    void endPassingMessage();
    void storeTabText(int tabIndex, const QString& text);
    // Selects `selection` after an edit already written and pushes its undo step.
    void recordTabEdit(int tabIndex, TextStorage& storage, const TextSplice& splice,
                       const EditSelection& before, TextRange selection,
                       const QString& actionNameKey);
    void writeIntoStorage(TextStorage& storage, const QString& text, TextStorage::EditKind kind);
    // Writes the splice when the storage holds the text it was made against, else the
    // difference from the storage's own text.
    // A large change goes through a document filled aside (see StorageRefill).
    // The tab takes its storage's string, equal to its own text, so the two share one copy.
    void shareStorageText(const QUuid& tabID, const TextStorage& storage);
    // Writes a small splice into the storage, which changes the tab's text with its own when the
    // two share one string (in place when no one else reads it); false, with nothing written,
    // when they do not or the storage is behind.
    bool writeSpliceInPlace(int tabIndex, TextStorage* storage, const TextSplice& splice,
                            TextStorage::EditKind kind);
    void writeSpliceIntoStorage(const QUuid& tabID, const std::shared_ptr<TextStorage>& storage,
                                const QString& textBefore, const TextSplice& splice,
                                const QString& textAfter, TextStorage::EditKind kind);
    // Asks the views to select the ranges, unless the storage waits for a filled document,
    // which brings the tab's selection with it.
    static void requestSelection(TextStorage& storage, const QList<TextRange>& ranges);

    EditorWindowState m_state;
    WindowSettings m_settings;
    WindowSeams m_seams;
    WindowInteraction* m_interaction = nullptr;
    TabUndoRegistry* m_undoRegistry;
    TextStorageRegistry m_textStorages;
    std::unique_ptr<DocumentOpening> m_opening;
    std::unique_ptr<DocumentSaving> m_saving;
    std::unique_ptr<DocumentPrinting> m_printing;
    std::unique_ptr<StorageRefill> m_refill;
    QStringList m_processArguments;
    int m_sessionBatchDepth = 0;
    bool m_sessionSaveDeferred = false;
    QElapsedTimer m_editSessionSaveWait;
    int m_editSessionSaveMaxDelayMs = kEditSessionSaveMaxDelayMs;
    QTimer m_editSessionSave;
    std::optional<ShownNews> m_passing;
    QTimer m_passingTimer;
    // The copy is made aside on a pool thread; asking is left until the key has been painted.
    LaterThanRepaints m_spareLater{[this] { readySpareForTypedTab(); }};
    QString m_recoveryDirectory;
    // Last, so they go first.
    std::vector<std::unique_ptr<WindowAttachment>> m_attachments;
};

// One batch of work that saves the session once, at its end.
class SessionSaveBatch {
public:
    explicit SessionSaveBatch(EditorWindowModel& model) : m_model(model) {
        m_model.beginSessionBatch();
    }
    ~SessionSaveBatch() { m_model.endSessionBatch(); }
    SessionSaveBatch(const SessionSaveBatch&) = delete;
    SessionSaveBatch& operator=(const SessionSaveBatch&) = delete;

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
