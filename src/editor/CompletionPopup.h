#pragma once

#include "platform/TextRange.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QCompleter;
class QKeyEvent;
class QStringListModel;

namespace dunmoss {

class ShortcutTextView;

// The list of completion candidates shown under the caret. Choosing one replaces the partial
// word with it as ordinary typing (one undo step). The first candidate starts selected.
// While it is shown it has the keys: Up and Down move, Return and Tab take the highlighted
// entry, Escape closes it; other keys go on to the text view, so typing narrows the list.
// It closes whenever the editor gives the keyboard away (a shortcut, focus moving elsewhere):
// shown, it would go on forwarding keys to the text view wherever the person is typing.
class CompletionPopup : public QObject {
    Q_OBJECT
public:
    explicit CompletionPopup(ShortcutTextView* textView);

    void show(const QStringList& candidates, TextRange partialWordRange);
    void hide();
    bool isVisible() const;
    QStringList candidates() const;
    // Replaces the partial word by the candidate (what choosing it in the list does).
    void choose(const QString& candidate);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A shortcut of the window or the view (Ctrl, Alt or Meta held, or a function key) closes
    // the list before it acts; with the list shown the window's shortcuts would not fire.
    bool closesForShortcut(const QKeyEvent* key) const;

    QPointer<ShortcutTextView> m_textView;
    QCompleter* m_completer;
    QStringListModel* m_model;
    TextRange m_range;
};

// The range of the partial word that completion replaces: the selection when there is one,
// else the letters, digits and underscores just before the caret (possibly empty).
TextRange completionWordRange(QStringView text, TextRange selection);

} // namespace dunmoss
