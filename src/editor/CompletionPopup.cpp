#include "editor/CompletionPopup.h"

#include "editor/ShortcutTextView.h"

#include <QAbstractItemView>
#include <QCompleter>
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
