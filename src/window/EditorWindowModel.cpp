#include "window/EditorWindowModel.h"

#include "platform/Localization.h"
#include "window/DocumentOpening.h"
#include "window/DocumentPrinting.h"
#include "window/DocumentSaving.h"
#include "window/SaveWaits.h"
#include "window/StorageRefill.h"
#include "window/TabSelection.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QUndoStack>
#include <algorithm>
#include <utility>

namespace dunmoss {

namespace {

// The window's state belongs to the main thread; the editor view's bindings and the undo steps
// are the entry points that could be reached from elsewhere by mistake.
void assertOnMainThread() {
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

} // namespace

EditorWindowModel::EditorWindowModel(Defaults& defaults, const Options& options, QObject* parent)
    : QObject(parent), m_settings(defaults, options.processArguments),
      m_undoRegistry(new TabUndoRegistry(this)),
      m_opening(std::make_unique<DocumentOpening>(*this)),
      m_saving(std::make_unique<DocumentSaving>(*this)),
      m_printing(std::make_unique<DocumentPrinting>(*this)),
      m_refill(std::make_unique<StorageRefill>(*this)),
      m_processArguments(options.processArguments), m_recoveryDirectory(options.recoveryDirectory) {
    m_state.isSceneHosted = options.isSceneHosted;
    // A tab's text and its storage's are one string: an edit changes it in place.
    m_textStorages.setSharedTexts([this](const QUuid& tabID) -> QString* {
        const std::optional<int> index = tabIndex(tabID);
        return index ? &m_state.tabs[*index].document.text : nullptr;
    });
    connect(this, &EditorWindowModel::changed, &m_spareLater, &LaterThanRepaints::request);
    m_editSessionSave.setSingleShot(true);
    connect(&m_editSessionSave, &QTimer::timeout, this, [this] { persistSession(); });
    m_passingTimer.setSingleShot(true);
    m_passingTimer.setInterval(kPassingMessageMs);
    connect(&m_passingTimer, &QTimer::timeout, this, &EditorWindowModel::endPassingMessage);
}

EditorWindowModel::EditorWindowModel(Defaults& defaults, QObject* parent)
    : EditorWindowModel(
          defaults,
          Options{true,
                  QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList(),
                  {}},
          parent) {}

EditorWindowModel::~EditorWindowModel() = default;

void EditorWindowModel::readySpareForTypedTab() {
    const int index = keyboardTabIndex();
    if (index < 0 || index >= m_state.tabs.size())
        return;
    const auto& storages = m_textStorages.storages();
    const auto found = storages.constFind(m_state.tabs.at(index).id);
    if (found != storages.constEnd())
        (*found)->keepSpareIfHeldElsewhere();
}

int EditorWindowModel::activeTabIndex() const {
    return dunmoss::activeTabIndex(m_state);
}

int EditorWindowModel::keyboardTabIndex() const {
    return dunmoss::keyboardTabIndex(m_state);
}

void EditorWindowModel::setKeyboardInSecondPane(bool inSecondPane) {
    if (m_state.split.keyboardInSecondPane == inSecondPane)
        return;
    update([&](EditorWindowState& state) { state.split.keyboardInSecondPane = inSecondPane; });
}

std::optional<int> EditorWindowModel::tabIndex(const QUuid& tabID) const {
    return dunmoss::tabIndex(m_state, tabID);
}

const EditorTab* EditorWindowModel::tab(const QUuid& tabID) const {
    const std::optional<int> index = tabIndex(tabID);
    return index ? &m_state.tabs.at(*index) : nullptr;
}

void EditorWindowModel::setActiveTabID(const QUuid& tabID) {
    update([&](EditorWindowState& state) { state.activeTabID = tabID; });
}

void EditorWindowModel::setFindMessage(const QString& message) {
    update([&](EditorWindowState& state) { state.findMessage = message; });
}

void EditorWindowModel::setPassingMessage(const QString& message) {
    m_passing.reset();
    setFindMessage(message);
    m_passing = shownNews(message);
    m_passingTimer.start();
}

EditorWindowModel::ShownNews EditorWindowModel::shownNews(const QString& message) const {
    return {message, m_state.notices.shown, m_state.decisions.externalChangeTabID,
            m_state.errors.errorMessage};
}

void EditorWindowModel::endPassingMessageOnNews() {
    if (m_state.findMessage != m_passing->message) {
        // Another message took its place.
        m_passing.reset();
        m_passingTimer.stop();
        return;
    }
    const ShownNews now = shownNews(m_passing->message);
    const auto isOld = [&](const WindowNotice& notice) {
        return std::any_of(m_passing->notices.cbegin(), m_passing->notices.cend(),
                           [&](const WindowNotice& old) {
                               return old.cause == notice.cause && old.message == notice.message;
                           });
    };
    // A notice closed or a question answered is no news; one that came, or came again, is.
    const bool news = !std::all_of(now.notices.cbegin(), now.notices.cend(), isOld) ||
                      (now.question && now.question != m_passing->question) ||
                      (now.error && now.error != m_passing->error);
    if (!news) {
        m_passing->notices = now.notices;
        m_passing->question = now.question;
        m_passing->error = now.error;
        return;
    }
    m_state.findMessage.clear();
    m_passing.reset();
    m_passingTimer.stop();
}

void EditorWindowModel::endPassingMessage() {
    const std::optional<ShownNews> passing = std::exchange(m_passing, std::nullopt);
    if (passing && m_state.findMessage == passing->message)
        setFindMessage(QString());
}

void EditorWindowModel::presentError(const QString& message) {
    update([&](EditorWindowState& state) { dunmoss::presentError(state.errors, message); });
}

void EditorWindowModel::setErrorMessage(const QString& message) {
    update([&](EditorWindowState& state) { state.errors.errorMessage = message; });
}

void EditorWindowModel::showNextQueuedError() {
    update([](EditorWindowState& state) { dunmoss::showNextQueuedError(state.errors); });
}

void EditorWindowModel::presentNotice(const QString& cause, const QString& message,
                                      const std::optional<KeptCopyOffer>& putBack) {
    // Unchanged news leaves the window alone: a fault that lasts costs no refresh per tick.
    NoticeState notices = m_state.notices;
    if (raiseNotice(notices, cause, message, putBack))
        update([&](EditorWindowState& state) { state.notices = std::move(notices); });
}

void EditorWindowModel::dismissNotice(const QString& cause) {
    NoticeState notices = m_state.notices;
    if (dunmoss::dismissNotice(notices, cause))
        update([&](EditorWindowState& state) { state.notices = std::move(notices); });
}

void EditorWindowModel::clearNoticeCause(const QString& cause) {
    NoticeState notices = m_state.notices;
    if (dunmoss::clearNoticeCause(notices, cause))
        update([&](EditorWindowState& state) { state.notices = std::move(notices); });
}

QString EditorWindowModel::tabText(const QUuid& tabID) const {
    const EditorTab* found = tab(tabID);
    return found ? found->document.text : QString();
}

void EditorWindowModel::setTabText(const QUuid& tabID, const QString& text) {
    assertOnMainThread();
    const std::optional<int> index = tabIndex(tabID);
    if (!index || m_state.tabs.at(*index).isReadOnly)
        return;
    storeTabText(*index, text);
    emit changed();
    refreshFindResultsAfterEdit();
    scheduleRecoverySnapshot();
}

const TextCounts* EditorWindowModel::tabTextCounts(const QUuid& tabID) const {
    const EditorTab* found = tab(tabID);
    const auto storage = m_textStorages.storages().constFind(tabID);
    if (!found || storage == m_textStorages.storages().constEnd() || (*storage)->isBehind())
        return nullptr;
    // The very same string, not an equal one: comparing the characters would cost a pass.
    const QString& text = (*storage)->text();
    if (text.size() != found->document.text.size() ||
        text.constData() != found->document.text.constData())
        return nullptr;
    return &(*storage)->counts();
}

TextRange EditorWindowModel::tabSelectedRange(const QUuid& tabID) const {
    const EditorTab* found = tab(tabID);
    return found ? found->selectedRange : TextRange{0, 0};
}

void EditorWindowModel::setTabSelectedRange(const QUuid& tabID, TextRange range) {
    assertOnMainThread();
    const std::optional<int> index = tabIndex(tabID);
    if (!index || range.isNotFound())
        return;
    update([&](EditorWindowState& state) {
        EditorTab& target = state.tabs[*index];
        target.selectedRange = range;
        target.selectedRanges = {range};
    });
}

QList<TextRange> EditorWindowModel::tabSelectedRanges(const QUuid& tabID) const {
    const EditorTab* found = tab(tabID);
    return found ? found->selectedRanges : QList<TextRange>();
}

void EditorWindowModel::setTabSelectedRanges(const QUuid& tabID, const QList<TextRange>& ranges) {
    assertOnMainThread();
    const std::optional<int> index = tabIndex(tabID);
    if (!index)
        return;
    update([&](EditorWindowState& state) {
        EditorTab& target = state.tabs[*index];
        target.selectedRanges = acceptableBindingRanges(ranges);
        target.selectedRange =
            target.selectedRanges.isEmpty() ? TextRange{0, 0} : target.selectedRanges.first();
    });
}

void EditorWindowModel::setSelection(qsizetype location, qsizetype length, int index) {
    if (index < 0 || index >= m_state.tabs.size())
        return;
    update([&](EditorWindowState& state) {
        EditorTab& target = state.tabs[index];
        const TextRange range = clampedSelection(location, length, target.document.text.size());
        target.selectedRange = range;
        target.selectedRanges = {range};
    });
}

void EditorWindowModel::setSelectedRanges(const QList<TextRange>& ranges, int index) {
    if (index < 0 || index >= m_state.tabs.size())
        return;
    update([&](EditorWindowState& state) {
        EditorTab& target = state.tabs[index];
        target.selectedRanges = normalizedSelectedRanges(ranges, target.document.text.size());
        target.selectedRange = target.selectedRanges.first();
    });
}

void EditorWindowModel::refreshSplitSecondaryTab() {
    if (m_state.split.splitMode != SplitEditorMode::Split)
        return;
    if (m_state.split.secondaryTabID != m_state.activeTabID)
        return;
    update([](EditorWindowState& state) {
        state.split.secondaryTabID.reset();
        for (const EditorTab& candidate : state.tabs) {
            if (candidate.id != state.activeTabID) {
                state.split.secondaryTabID = candidate.id;
                break;
            }
        }
    });
}

std::optional<QUuid>
EditorWindowModel::nextExternallyChangedTabID(const QUuid& handledTabID) const {
    for (const EditorTab& candidate : m_state.tabs)
        if (candidate.id != handledTabID && candidate.hasExternalChanges)
            return candidate.id;
    return std::nullopt;
}

EditSelection EditorWindowModel::editSelection(int index) const {
    const EditorTab& source = m_state.tabs.at(index);
    return EditSelection{source.selectedRange, source.selectedRanges};
}

void EditorWindowModel::storeTabText(int index, const QString& text) {
    EditorTab& target = m_state.tabs[index];
    target.document.text = text;
    // Back to the saved text ("a" typed, then Backspace): the two share one string again, so
    // "modified" is answered on every refresh without comparing them.
    QString& saved = target.savedSnapshot;
    if (text.size() == saved.size() && text.constData() != saved.constData() && text == saved)
        saved = text;
    if (target.bookmarkedLines.empty())
        return;
    // Typing keeps the storage's line count up to date: no line feeds are counted per key.
    if (const TextCounts* counts = tabTextCounts(target.id))
        dropBookmarksBeyondLastLine(target, counts->lines().lineCount());
    else
        dropBookmarksBeyondLastLine(target);
}

void EditorWindowModel::replaceTabText(int index, const QString& text, TextRange selection,
                                       const QString& actionNameKey) {
    if (index < 0 || index >= m_state.tabs.size())
        return;
    const QString textBefore = m_state.tabs.at(index).document.text;
    const EditSelection before = editSelection(index);
    if (text == textBefore && selection == before.selectedRange)
        return;
    const QUuid tabID = m_state.tabs.at(index).id;
    const TextSplice splice = spliceBetween(textBefore, text);
    // A storage made now starts from the text the edit applies to, so the view and any later
    // typing step see the same characters as the tab.
    const std::shared_ptr<TextStorage> storage = m_textStorages.textStorage(tabID, textBefore);
    storeTabText(index, text);
    writeSpliceIntoStorage(tabID, storage, textBefore, splice, text,
                           TextStorage::EditKind::Replacement);
    recordTabEdit(index, *storage, splice, before, selection, actionNameKey);
}

void EditorWindowModel::recordTabEdit(int index, TextStorage& storage, const TextSplice& splice,
                                      const EditSelection& before, TextRange selection,
                                      const QString& actionNameKey) {
    const QUuid tabID = m_state.tabs.at(index).id;
    setSelectedRanges({selection}, index);
    EditSelection after = editSelection(index);
    requestSelection(storage, after.selectedRanges);

    QUndoStack* stack = m_undoRegistry->undoStackForTab(tabID);
    auto apply = [this](const QUuid& id, const TextSplice& step, const EditSelection& restored) {
        return applyUndoStep(id, step, restored);
    };
    stack->push(new TabEditCommand(apply, tabID, splice, before, std::move(after),
                                   localizedString(actionNameKey)));
    scheduleRecoverySnapshot();
}

void EditorWindowModel::spliceTabText(int index, const TextSplice& change, TextRange selection,
                                      const QString& actionNameKey) {
    if (index < 0 || index >= m_state.tabs.size())
        return;
    const QString& current = m_state.tabs.at(index).document.text;
    if (!change.appliesTo(current)) {
        qWarning("A tool's change does not match the tab's text; skipped");
        return;
    }
    const TextSplice splice = change.narrowed();
    const EditSelection before = editSelection(index);
    if (splice.changesNothing() && selection == before.selectedRange)
        return;
    const QUuid tabID = m_state.tabs.at(index).id;
    const std::shared_ptr<TextStorage> storage = m_textStorages.textStorage(tabID, current);
    if (!splice.changesNothing() &&
        !writeSpliceInPlace(index, storage.get(), splice, TextStorage::EditKind::Replacement)) {
        const QString textBefore = current;
        const QString textAfter = splice.appliedTo(textBefore);
        storeTabText(index, textAfter);
        writeSpliceIntoStorage(tabID, storage, textBefore, splice, textAfter,
                               TextStorage::EditKind::Replacement);
    }
    recordTabEdit(index, *storage, splice, before, selection, actionNameKey);
}

bool EditorWindowModel::pasteFilledAside(const QUuid& tabID, TextRange replaced,
                                         const QString& pasted) {
    assertOnMainThread();
    const std::optional<int> index = tabIndex(tabID);
    if (!index || m_state.tabs.at(*index).isReadOnly || !m_textStorages.contains(tabID) ||
        pasted.size() < StorageRefill::kRefilledChangeLength)
        return false;
    const QString current = m_state.tabs.at(*index).document.text;
    const std::shared_ptr<TextStorage> storage = m_textStorages.textStorage(tabID);
    // The paste was aimed at what the view shows, which must be the tab's text.
    if (storage->isBehind() || storage->hasUnreportedEdit() || replaced.location < 0 ||
        replaced.length < 0 || replaced.location + replaced.length > current.size() ||
        (storage->text().constData() != current.constData() && storage->text() != current))
        return false;
    const TextSplice splice{replaced.location, current.mid(replaced.location, replaced.length),
                            pasted};
    const QString textAfter = splice.appliedTo(current);
    if (!StorageRefill::worthRefilling(splice, textAfter))
        return false;
    const EditSelection before = editSelection(*index);
    storeTabText(*index, textAfter);
    m_refill->write(tabID, storage, textAfter, true, true);
    recordTabEdit(*index, *storage, splice, before, TextRange{replaced.location + pasted.size(), 0},
                  QString::fromLatin1(lkey("editor.undo.paste")));
    // Saved as typing is, by the recovery snapshot the step asked for: the writer encoding the
    // text now would take a core from the fill.
    refreshFindResultsAfterEdit();
    return true;
}

bool EditorWindowModel::writeSpliceInPlace(int index, TextStorage* storage,
                                           const TextSplice& splice, TextStorage::EditKind kind) {
    const QString& text = m_state.tabs.at(index).document.text;
    // A large change is better filled into a new document aside (see StorageRefill).
    if (!storage || storage->isBehind() || text.isEmpty() ||
        storage->text().constData() != text.constData() || storage->length() != text.size() ||
        std::max(splice.removed.size(), splice.inserted.size()) >=
            StorageRefill::kRefilledChangeLength)
        return false;
    storage->applyEdit(splice.position, splice.removed.size(), splice.inserted, kind);
    // The storage took the tab's text with its own; what "modified" and the bookmarks follow.
    storeTabText(index, storage->text());
    return true;
}

std::optional<EditSelection> EditorWindowModel::applyUndoStep(const QUuid& tabID,
                                                              const TextSplice& splice,
                                                              const EditSelection& selection) {
    assertOnMainThread();
    const std::optional<int> index = tabIndex(tabID);
    if (!index)
        return std::nullopt;
    const QString& current = m_state.tabs.at(*index).document.text;
    if (!splice.appliesTo(current)) {
        qWarning("Undo step no longer matches the tab's text; skipped");
        return std::nullopt;
    }
    const EditSelection replaced = editSelection(*index);
    // The storage takes the step before anyone hears of the change: a view answering it would
    // otherwise find the storage behind the tab and write the whole step in at once.
    std::shared_ptr<TextStorage> storage;
    if (m_textStorages.contains(tabID))
        storage = m_textStorages.textStorage(tabID);
    if (!splice.changesNothing() &&
        !writeSpliceInPlace(*index, storage.get(), splice, TextStorage::EditKind::UndoRedo)) {
        const QString textBefore = current;
        const QString textAfter = splice.appliedTo(textBefore);
        storeTabText(*index, textAfter);
        if (storage)
            writeSpliceIntoStorage(tabID, storage, textBefore, splice, textAfter,
                                   TextStorage::EditKind::UndoRedo);
    }
    setSelectedRanges(selection.selectedRanges.isEmpty() ? QList<TextRange>{selection.selectedRange}
                                                         : selection.selectedRanges,
                      *index);
    if (storage)
        requestSelection(*storage, m_state.tabs.at(*index).selectedRanges);
    refreshFindResultsAfterEdit();
    scheduleRecoverySnapshot();
    persistSession();
    return replaced;
}

void EditorWindowModel::clearTabUndoStack(const QUuid& tabID) {
    m_undoRegistry->clearUndoHistory(tabID);
}

void EditorWindowModel::undoTabStep(const QUuid& tabID, bool redo) {
    const auto step = [window = QPointer<EditorWindowModel>(this), tabID, redo] {
        QUndoStack* stack = window ? window->m_undoRegistry->existingUndoStack(tabID) : nullptr;
        if (!stack)
            return;
        if (redo && stack->canRedo())
            stack->redo();
        else if (!redo && stack->canUndo())
            stack->undo();
    };
    if (m_textStorages.contains(tabID))
        m_textStorages.textStorage(tabID)->deferInput(step);
    else
        step();
}

void EditorWindowModel::forgetTab(const QUuid& tabID) {
    m_undoRegistry->removeUndoStack(tabID);
    m_textStorages.removeTextStorage(tabID);
}

void EditorWindowModel::syncTextStorage(const QUuid& tabID) {
    const EditorTab* source = tab(tabID);
    if (!source || !m_textStorages.contains(tabID))
        return;
    const std::shared_ptr<TextStorage> storage = m_textStorages.textStorage(tabID);
    if (!m_refill->write(tabID, storage, source->document.text, false))
        writeIntoStorage(*storage, source->document.text, TextStorage::EditKind::Replacement);
}

void EditorWindowModel::writeIntoStorage(TextStorage& storage, const QString& text,
                                         TextStorage::EditKind kind) {
    // Only the changed middle is written, so the views keep the layout and colouring of the
    // rest of a long text.
    const QString& current = storage.text();
    if (current == text)
        return;
    const TextSplice splice = spliceBetween(current, text);
    storage.applyEdit(splice.position, splice.removed.size(), splice.inserted, kind);
}

void EditorWindowModel::writeSpliceIntoStorage(const QUuid& tabID,
                                               const std::shared_ptr<TextStorage>& shared,
                                               const QString& textBefore, const TextSplice& splice,
                                               const QString& textAfter,
                                               TextStorage::EditKind kind) {
    TextStorage& storage = *shared;
    const bool worth =
        storage.text() == textBefore && StorageRefill::worthRefilling(splice, textAfter);
    if (m_refill->write(tabID, shared, textAfter, worth))
        return;
    if (storage.text() != textBefore)
        writeIntoStorage(storage, textAfter, kind);
    else if (!splice.changesNothing())
        storage.applyEdit(splice.position, splice.removed.size(), splice.inserted, kind);
    shareStorageText(tabID, storage);
}

void EditorWindowModel::shareStorageText(const QUuid& tabID, const TextStorage& storage) {
    const std::optional<int> index = tabIndex(tabID);
    if (!index || storage.isBehind())
        return;
    QString& text = m_state.tabs[*index].document.text;
    if (text.size() == storage.length())
        text = storage.text();
}

void EditorWindowModel::requestSelection(TextStorage& storage, const QList<TextRange>& ranges) {
    if (!storage.isBehind())
        storage.requestSelection(ranges);
}

int EditorWindowModel::tabWidthForTab(int index) const {
    return dunmoss::tabWidthForTab(m_state, index, defaults());
}

int EditorWindowModel::visualColumnOfPrefix(const QString& prefix) const {
    return dunmoss::visualColumnOfPrefix(prefix, tabWidthForTab(keyboardTabIndex()));
}

void EditorWindowModel::persistSessionAfterEdit() {
    if (!m_editSessionSave.isActive()) {
        m_editSessionSaveWait.start();
        m_editSessionSaveMaxDelayMs = saveWaitForTabs(kEditSessionSaveMaxDelayMs, m_state.tabs);
    }
    const qint64 left = m_editSessionSaveMaxDelayMs - m_editSessionSaveWait.elapsed();
    m_editSessionSave.start(int(std::clamp<qint64>(left, 0, kEditSessionSaveDelayMs)));
}

void EditorWindowModel::persistSession() {
    if (!m_seams.persistSession)
        return;
    m_editSessionSave.stop();
    if (m_sessionBatchDepth > 0) {
        m_sessionSaveDeferred = true;
        return;
    }
    try {
        m_seams.persistSession();
    } catch (const std::exception& error) {
        if (m_seams.reportSessionSaveFailure)
            m_seams.reportSessionSaveFailure(error);
        else
            presentNotice(QString::fromLatin1(kSessionSaveNoticeCause),
                          localizedErrorDescription(error));
    }
}

void EditorWindowModel::endSessionBatch() {
    if (--m_sessionBatchDepth > 0 || !std::exchange(m_sessionSaveDeferred, false))
        return;
    persistSession();
}

void EditorWindowModel::recordRecentFile(const QUrl& url) {
    if (m_seams.recordRecentFile)
        m_seams.recordRecentFile(url);
}

void EditorWindowModel::recordRecentFiles(const QList<QUrl>& urls) {
    if (urls.isEmpty())
        return;
    if (m_seams.recordRecentFiles) {
        m_seams.recordRecentFiles(urls);
        return;
    }
    for (const QUrl& url : urls)
        recordRecentFile(url);
}

void EditorWindowModel::refreshFindResultsAfterEdit() {
    if (m_seams.refreshFindResultsAfterEdit)
        m_seams.refreshFindResultsAfterEdit();
}

void EditorWindowModel::refreshFindResultsAfterReplacingTab(const QUuid& tabID) {
    if (m_seams.leaveSearchRunsOfReplacedTab)
        m_seams.leaveSearchRunsOfReplacedTab(tabID);
    refreshFindResultsAfterEdit();
}

void EditorWindowModel::scheduleRecoverySnapshot() {
    if (m_seams.scheduleRecoverySnapshot)
        m_seams.scheduleRecoverySnapshot();
}

} // namespace dunmoss
