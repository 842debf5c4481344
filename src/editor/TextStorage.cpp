#include "editor/TextStorage.h"

#include "editor/DocumentDisposal.h"
#include "editor/LaidOutLines.h"
#include "editor/LongLineDocumentLayout.h"
#include "text/TextInPlaceEdit.h"
#include "text/TextSplice.h"

#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThreadPool>
#include <QTimer>
#include <QtDebug>
#include <algorithm>

namespace dunmoss {

namespace {

// Shorter texts are copied on the key faster than a copy aside would be handed over.
constexpr qsizetype kSpareMinimumLength = 256 * 1024;

// Every editor view insets its text by this much on each side.
constexpr qreal kTextContainerInset = 14;

constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kCarriageReturnStandIn = 0x240D; // ␍
constexpr char16_t kFrameMarkerStandIn = 0xFFFD;

char16_t displayCharacter(char16_t c) {
    switch (c) {
    case u'\n':
        return kParagraphSeparator;
    case u'\r':
        return kCarriageReturnStandIn;
    case 0xFDD0: // QTextBeginningOfFrame
    case 0xFDD1: // QTextEndOfFrame
        return kFrameMarkerStandIn;
    default:
        return c;
    }
}

// Text typed into a document comes back with its breaks as paragraph separators.
QString trueForm(QString text) {
    text.replace(QChar(kParagraphSeparator), QChar(u'\n'));
    return text;
}

qsizetype documentLength(const QTextDocument* document) {
    return std::max(document->characterCount() - 1, 0);
}

QString documentText(QTextDocument* document, qsizetype from, qsizetype to) {
    if (to <= from)
        return {};
    QTextCursor cursor(document);
    cursor.setPosition(int(from));
    cursor.setPosition(int(to), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

} // namespace

TextStorage::TextStorage(QObject* parent)
    : QObject(parent), m_mailbox(MainThreadMailbox::make(this)) {
    m_primary = createDocument();
}

TextStorage::TextStorage(const QString& text, std::unique_ptr<QTextDocument> prepared,
                         std::optional<TextCounts> counts, QObject* parent)
    : QObject(parent), m_text(text), m_mailbox(MainThreadMailbox::make(this)),
      m_counts(std::move(counts)) {
    Q_ASSERT(prepared && prepared->thread() == thread());
    Q_ASSERT(!m_counts || m_counts->length() == m_text.size());
    Q_ASSERT(qobject_cast<LongLineDocumentLayout*>(prepared->documentLayout()));
    m_primary = prepared.release();
    m_primary->setParent(this);
    // Its margin and layout came with it: a new layout would throw the blocks' line layouts away.
    watch(m_primary);
}

std::unique_ptr<QTextDocument> TextStorage::prepareDocument(const QString& text,
                                                            const std::optional<Look>& look) {
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    if (look) {
        document->setDefaultFont(look->font);
        document->setDefaultTextOption(look->option);
    }
    document->setDocumentMargin(kTextContainerInset);
    if (!text.isEmpty())
        QTextCursor(document.get()).insertText(displayForm(text));
    document->setDocumentLayout(new LongLineDocumentLayout(document.get()));
    // Every block gets its line layout object here, which the first view to show the document
    // would otherwise make on its own thread when it sets its width (a large share of showing a
    // long text). The view's width then only clears them.
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        block.layout();
    static_cast<LongLineDocumentLayout*>(document->documentLayout())
        ->prepareLongBlocks(look ? look->width : 0);
    return document;
}

void TextStorage::restyleDocument(QTextDocument& document, const Look& look) {
    if (document.defaultFont() != look.font)
        document.setDefaultFont(look.font);
    if (!sameTextOption(document.defaultTextOption(), look.option))
        document.setDefaultTextOption(look.option);
}

TextStorage::~TextStorage() {
    m_mailbox->close();
    // Taking a long text apart is a wait of its own: the primary document, once no view shows
    // it, goes on a pool thread. A document still shown goes with the storage, as its view
    // expects.
    if (m_primary && !m_primaryInUse) {
        m_primary->disconnect(this);
        m_primary->setParent(nullptr);
        disposeDocumentAside(std::exchange(m_primary, nullptr));
    }
}

TextStorage::Look TextStorage::lookOf(const QTextDocument* document) const {
    const auto* layout = qobject_cast<LongLineDocumentLayout*>(document->documentLayout());
    const std::optional<qreal> width = layout ? layout->wrapWidth() : std::nullopt;
    return {document->defaultFont(), document->defaultTextOption(), width.value_or(0)};
}

QString TextStorage::displayForm(const QString& text) {
    const auto needsChange = [](QChar c) {
        return c == u'\r' || c.unicode() == 0xFDD0 || c.unicode() == 0xFDD1;
    };
    if (std::none_of(text.begin(), text.end(), needsChange))
        return text;
    QString result = text;
    for (QChar& c : result)
        if (needsChange(c))
            c = QChar(displayCharacter(c.unicode()));
    return result;
}

QTextDocument* TextStorage::createDocument() {
    auto* document = new QTextDocument(this);
    document->setUndoRedoEnabled(false);
    setUpDocument(document);
    return document;
}

void TextStorage::setUpDocument(QTextDocument* document) {
    ++m_applying;
    // The margin first: set under a layout it lays a filled document's one block out again.
    document->setDocumentMargin(kTextContainerInset);
    document->setDocumentLayout(new LongLineDocumentLayout(document));
    --m_applying;
    watch(document);
}

void TextStorage::watch(QTextDocument* document) {
    connect(document, &QTextDocument::contentsChange, this,
            [this, document](int position, int removed, int added) {
                onContentsChange(document, position, removed, added);
            });
    connect(document, &QTextDocument::contentsChanged, this,
            [this, document] { onContentsChanged(document); });
}

QList<QTextDocument*> TextStorage::documents() const {
    QList<QTextDocument*> all{m_primary};
    all.append(m_mirrors);
    return all;
}

bool TextStorage::isShownByAView() const {
    return m_primaryInUse || !m_mirrors.isEmpty();
}

QTextDocument* TextStorage::acquireDocument(const QObject* view) {
    if (!m_primaryInUse) {
        m_primaryInUse = true;
        // A plain-text layout remembers the first view that laid it out and lets only that view
        // narrow the wrap width; a fresh layout lets another view wrap at its own width.
        // Installing it reports the whole text as changed; the characters are the same.
        const QObject* last = std::exchange(m_primaryView, view);
        if (last && last != view) {
            auto* fresh = new LongLineDocumentLayout(m_primary);
            if (auto* previous = qobject_cast<LongLineDocumentLayout*>(m_primary->documentLayout()))
                fresh->takeKeptLines(*previous);
            ++m_applying;
            m_primary->setDocumentLayout(fresh);
            --m_applying;
        }
        return m_primary;
    }
    QTextDocument* mirror = createDocument();
    writeInto(mirror, 0, 0, m_text);
    m_mirrors.append(mirror);
    return mirror;
}

void TextStorage::releaseDocument(QTextDocument* document) {
    if (document == m_primary) {
        m_primaryInUse = false;
        return;
    }
    if (!m_mirrors.removeOne(document))
        return;
    document->disconnect(this);
    document->deleteLater();
}

void TextStorage::writeInto(QTextDocument* document, qsizetype position, qsizetype length,
                            const QString& replacement) {
    ++m_applying;
    QTextCursor cursor(document);
    cursor.setPosition(int(position));
    cursor.setPosition(int(position + length), QTextCursor::KeepAnchor);
    // Inside an edit block the cursor does not ask for its line's layout to place itself, which
    // for a long line would lay it out before the view has set its width.
    cursor.beginEditBlock();
    if (replacement.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(displayForm(replacement));
    cursor.endEditBlock();
    --m_applying;
}

void TextStorage::writeIntoAllExcept(QTextDocument* except, qsizetype position, qsizetype length,
                                     const QString& replacement) {
    for (QTextDocument* document : documents())
        if (document != except)
            writeInto(document, position, length, replacement);
}

void TextStorage::resynchronize(QTextDocument* document) {
    qWarning("TextStorage: a document lost step with its text; its characters were rewritten");
    writeInto(document, 0, documentLength(document), m_text);
}

const TextCounts& TextStorage::counts() const {
    if (!m_counts)
        m_counts.emplace(m_text);
    return *m_counts;
}

void TextStorage::writeText(qsizetype position, qsizetype length, const QString& replacement,
                            const QString& removed) {
    QString* holder = m_sharedText ? m_sharedText() : nullptr;
    const bool shared = holder && holder->constData() == m_text.constData() &&
                        holder->size() == m_text.size() && !m_text.isEmpty();
    if (shared)
        *holder = QString();
    // Someone else still reading the text (a saved copy, a snapshot being written, a search)
    // keeps the text before the edit: the edit takes the spare copy made for it, or builds its
    // own in one copy.
    if (hasSpare() && !m_text.isDetached())
        m_text = std::move(*m_spare);
    m_spare.reset();
    ++m_revision;
    m_edited = true;
    replaceInPlace(m_text, position, length, replacement);
    if (shared)
        *holder = m_text;
    if (m_counts)
        m_counts->applyEdit(m_text, position, removed, replacement.size());
}

bool TextStorage::heldElsewhere() {
    QString* holder = m_sharedText ? m_sharedText() : nullptr;
    const bool shared = holder && holder->constData() == m_text.constData() &&
                        holder->size() == m_text.size() && !m_text.isEmpty();
    if (shared)
        *holder = QString();
    const bool elsewhere = !m_text.isDetached();
    if (shared)
        *holder = m_text;
    return elsewhere;
}

void TextStorage::keepSpareIfHeldElsewhere() {
    // A short text is copied on the key in no time; one never typed into may never be.
    if (!m_edited || m_text.size() < kSpareMinimumLength || hasSpare() || m_spareUnderWay ||
        !heldElsewhere())
        return;
    m_spareUnderWay = true;
    const quint64 revision = m_revision;
    // The reader's hold keeps these characters as they are while the pool thread copies them.
    // The storage is only touched back on its thread, and only while it exists (the mailbox).
    QThreadPool::globalInstance()->start(
        [self = this, mailbox = m_mailbox, source = m_text, revision] {
            QString copy = concatenatedWithRoom(source, {}, {}, source.size() / 16 + 64);
            mailbox->post([self, copy = std::move(copy), revision]() mutable {
                self->m_spareUnderWay = false;
                if (revision != self->m_revision)
                    return;
                self->m_spare = std::move(copy);
                self->m_spareRevision = revision;
            });
        });
}

void TextStorage::contentReplaced() {
    m_spare.reset();
    ++m_revision;
}

void TextStorage::replaceAll(const QString& text) {
    Change change{0, m_text, text, EditKind::Replacement, nullptr};
    contentReplaced();
    m_text = text;
    m_counts.reset();
    for (QTextDocument* document : documents())
        writeInto(document, 0, documentLength(document), text);
    breakTypingCoalescing();
    setBehind(false);
    emit edited(change);
}

void TextStorage::markBehind() {
    setBehind(true);
}

void TextStorage::setBehind(bool behind) {
    if (m_behind == behind)
        return;
    m_behind = behind;
    emit behindChanged(behind);
}

void TextStorage::holdInput(const void* holder) {
    if (m_inputHolders.contains(holder))
        return;
    m_inputHolders.append(holder);
    if (m_inputHolders.size() == 1)
        emit inputHeldChanged(true);
}

void TextStorage::releaseInput(bool replay, const void* holder) {
    if (!m_inputHolders.removeOne(holder))
        return;
    if (!replay)
        m_deferredInput.clear();
    if (isInputHeld())
        return; // the input waits for the other holders
    emit inputHeldChanged(false);
    QList<std::function<void()>> waiting = std::exchange(m_deferredInput, {});
    const QPointer<TextStorage> self = this;
    while (!waiting.isEmpty()) {
        if (!self)
            return;
        if (isInputHeld()) {
            // Held again by what was replayed: the rest waits for that, still first in line.
            m_deferredInput = waiting + m_deferredInput;
            return;
        }
        waiting.takeFirst()();
    }
}

void TextStorage::deferInput(std::function<void()> input) {
    if (isInputHeld())
        m_deferredInput.append(std::move(input));
    else
        input();
}

void TextStorage::catchUp(const QString& text) {
    const TextSplice splice = spliceBetween(m_text, text);
    // In line before the edit is reported, so that views answering it take edits again.
    setBehind(false);
    if (!splice.changesNothing())
        applyEdit(splice.position, splice.removed.size(), splice.inserted, EditKind::Replacement);
}

QTextDocument* TextStorage::adopt(std::unique_ptr<QTextDocument> prepared) {
    Q_ASSERT(prepared && prepared->thread() == thread());
    QTextDocument* document = prepared.release();
    document->setParent(this);
    watch(document);
    return document;
}

void TextStorage::takeRefilledDocument(const QString& text, std::unique_ptr<QTextDocument> prepared,
                                       RefilledMirrors mirrors, std::optional<TextCounts> counts) {
    Change change{0, m_text, text, EditKind::Replacement, nullptr};
    contentReplaced();
    m_text = text;
    m_counts = std::move(counts);
    // Each document given up, with the one that takes its place.
    std::vector<std::pair<QTextDocument*, QTextDocument*>> replaced;
    QTextDocument* previous = m_primary;
    m_primary = adopt(std::move(prepared));
    replaced.emplace_back(previous, m_primary);
    for (QTextDocument*& mirror : m_mirrors) {
        const auto filled = std::find_if(mirrors.begin(), mirrors.end(), [&](const auto& entry) {
            return entry.first == mirror && entry.second;
        });
        if (filled == mirrors.end()) {
            writeInto(mirror, 0, documentLength(mirror), text);
            continue;
        }
        previous = mirror;
        mirror = adopt(std::move(filled->second));
        replaced.emplace_back(previous, mirror);
    }
    breakTypingCoalescing();
    setBehind(false);
    for (const auto& [old, current] : replaced) {
        old->disconnect(this);
        emit documentReplaced(old, current);
        old->setParent(nullptr);
        // After this turn, when nothing holds it any more.
        QTimer::singleShot(1, [old] { disposeDocumentAside(old); });
    }
    emit edited(change);
}

void TextStorage::applyEdit(qsizetype position, qsizetype length, const QString& replacement,
                            EditKind kind) {
    if (position < 0 || length < 0 || position > m_text.size() || length > m_text.size() - position)
        return;
    Change change{position, m_text.mid(position, length), replacement, kind, nullptr};
    writeText(position, length, replacement, change.removed);
    writeIntoAllExcept(nullptr, position, length, replacement);
    breakTypingCoalescing();
    emit edited(change);
}

void TextStorage::onContentsChange(QTextDocument* document, int position, int removed, int added) {
    if (m_applying > 0)
        return;
    // Qt may report a wider range than what changed (the whole first block, the final paragraph
    // separator that is not part of the text, or the whole text after a font change), so the
    // region is taken from the change in length and the real change found by trimming what the
    // old and new characters share at both ends.
    const qsizetype newLength = documentLength(document);
    const qsizetype delta = newLength - m_text.size();
    qsizetype newEnd = std::min<qsizetype>(qsizetype(position) + added, newLength);
    qsizetype oldEnd = newEnd - delta;
    if (oldEnd < position || oldEnd > m_text.size()) {
        oldEnd = std::min<qsizetype>(qsizetype(position) + removed, m_text.size());
        newEnd = oldEnd + delta;
    }
    if (position < 0 || oldEnd < position || oldEnd > m_text.size() || newEnd < position ||
        newEnd > newLength) {
        resynchronize(document);
        return;
    }
    const QStringView oldSegment = QStringView(m_text).mid(position, oldEnd - position);
    const QString newSegment = documentText(document, position, newEnd);
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(oldSegment.size(), newSegment.size());
    while (prefix < shorter &&
           displayCharacter(oldSegment[prefix].unicode()) == newSegment[prefix].unicode())
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           displayCharacter(oldSegment[oldSegment.size() - 1 - suffix].unicode()) ==
               newSegment[newSegment.size() - 1 - suffix].unicode())
        ++suffix;
    if (prefix == oldSegment.size() && prefix == newSegment.size())
        return; // formats only
    Change change;
    change.position = position + prefix;
    change.removed = oldSegment.mid(prefix, oldSegment.size() - prefix - suffix).toString();
    change.inserted = trueForm(newSegment.mid(prefix, newSegment.size() - prefix - suffix));
    change.kind = EditKind::Typing;
    change.origin = document;
    writeText(change.position, change.removed.size(), change.inserted, change.removed);
    writeIntoAllExcept(document, change.position, change.removed.size(), change.inserted);
    emit changeCaptured(change);
    // Views report the text once the document has finished its edit: reporting here, inside
    // the document's change notification, could make the window write back into a document
    // that is still in the middle of an edit.
    if (m_pending) {
        const Change earlier = *m_pending;
        m_pending.reset();
        emit edited(earlier);
    }
    m_pending = change;
}

void TextStorage::onContentsChanged(QTextDocument* document) {
    if (!m_pending || m_pending->origin != document)
        return;
    const Change change = *m_pending;
    m_pending.reset();
    emit edited(change);
}

} // namespace dunmoss
