#include "editor/CompletionPopup.h"

#include "editor/ShortcutTextView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextCursor>

namespace dunmoss {

CompletionPopup::CompletionPopup(ShortcutTextView* textView)
    : QObject(textView), m_textView(textView), m_completer(new QCompleter(this)),
      m_model(new QStringListModel(this)) {
    m_completer->setModel(m_model);
    m_completer->setWidget(textView);
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setModelSorting(QCompleter::UnsortedModel);
    m_completer->setMaxVisibleItems(10);
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            &CompletionPopup::choose);
    // Installed after the completer's own filter, so it sees the list's keys first: the
    // completer would hand Return, Tab and Escape to the text view before acting on them.
    m_completer->popup()->installEventFilter(this);
    // The shortcut map asks the text view (the list's focus proxy) first whether it wants a key.
    textView->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != m_textView && now != m_completer->popup())
            hide();
    });
}

bool CompletionPopup::closesForShortcut(const QKeyEvent* key) const {
    if (ShortcutTextView::isCompletionShortcut(key) ||
        ShortcutTextView::isAlternativeCompletionKey(key))
        return false;
    const bool modified =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    return modified || (key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F35);
}

bool CompletionPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_textView && event->type() == QEvent::ShortcutOverride) {
        if (isVisible() && closesForShortcut(static_cast<QKeyEvent*>(event)))
            hide();
        return QObject::eventFilter(watched, event);
    }
    if (watched != m_completer->popup() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab: {
        if (modifiers != Qt::NoModifier)
            break;
        const QModelIndex current = m_completer->popup()->currentIndex();
        if (!current.isValid())
            break;
        choose(current.data(Qt::DisplayRole).toString());
        return true;
    }
    case Qt::Key_Escape:
        hide();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Space:
        // The caret leaves the word, or the word ends: the list no longer fits.
        hide();
        break;
    default:
        break;
    }
    return false;
}

void CompletionPopup::show(const QStringList& candidates, TextRange partialWordRange) {
    if (!m_textView || candidates.isEmpty()) {
        hide();
        return;
    }
    m_range = partialWordRange;
    m_model->setStringList(candidates);
    m_completer->setCompletionPrefix(QString());
    QAbstractItemView* list = m_completer->popup();
    // A window of its own, the list would keep the application's colours: it takes the editor's.
    if (list->palette() != m_textView->palette())
        list->setPalette(m_textView->palette());
    QRect rect = m_textView->cursorRect();
    rect.setWidth(list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() + 8);
    rect.translate(m_textView->viewport()->pos());
    m_completer->complete(rect);
    list->setCurrentIndex(m_model->index(0));
}

void CompletionPopup::hide() {
    if (m_completer->popup()->isVisible())
        m_completer->popup()->hide();
}

bool CompletionPopup::isVisible() const {
    return m_completer->popup()->isVisible();
}

QStringList CompletionPopup::candidates() const {
    return m_model->stringList();
}

void CompletionPopup::choose(const QString& candidate) {
    hide();
    if (!m_textView || m_textView->isReadOnly())
        return;
    const qsizetype length = std::max(m_textView->document()->characterCount() - 1, 0);
    if (m_range.location < 0 || m_range.end() > length)
        return;
    QTextCursor cursor = m_textView->textCursor();
    cursor.setPosition(int(m_range.location));
    cursor.setPosition(int(m_range.end()), QTextCursor::KeepAnchor);
    cursor.insertText(candidate);
    m_textView->setTextCursor(cursor);
}

TextRange completionWordRange(QStringView text, TextRange selection) {
    if (selection.isNotFound() || selection.location < 0 || selection.end() > text.size())
        return TextRange{text.size(), 0};
    if (selection.length > 0)
        return selection;
    qsizetype start = selection.location;
    while (start > 0 && (text[start - 1].isLetterOrNumber() || text[start - 1] == u'_'))
        --start;
    return TextRange{start, selection.location - start};
}

} // namespace dunmoss
