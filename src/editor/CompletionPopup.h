#pragma once

#include "platform/TextRange.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class QKeyEvent;
class QTextDocument;
class QListView;
class QStringListModel;

namespace dunmoss {

class ShortcutTextView;

// The list of completion candidates shown under the caret. Choosing one replaces the partial
// word with it as ordinary typing (one undo step). The first candidate starts selected.
// While it is shown it takes some of the text view's keys: Up, Down, Page Up and Page Down move,
// Return, Enter and Tab take the highlighted entry, Escape closes it; other keys go on to the
// text view, so typing narrows the list.
//
// The list is a window that never takes the keyboard nor grabs the mouse: a click anywhere else
// closes it and still does what it does (a field clicked takes the keyboard, a menu opens). It
// closes too whenever the editor gives the keyboard away (a shortcut, focus moving elsewhere):
// shown, it would go on taking keys meant for wherever the person is typing. Its view's owner
// closes it when the view changes documents.
class CompletionPopup : public QObject {
    Q_OBJECT
public:
    explicit CompletionPopup(ShortcutTextView* textView);
    ~CompletionPopup() override;

    // The highlight starts on the first candidate, or stays on the one it was on (new
    // candidates for the same word) when that is still offered.
    enum class Highlight { First, Kept };
    // Shown in the editor's font, as many whole rows as fit up to ten.
    void show(const QStringList& candidates, TextRange partialWordRange,
              Highlight highlight = Highlight::First);
    void hide();
    bool isVisible() const;
    QStringList candidates() const;
    // Replaces the partial word by the candidate (what choosing it in the list does).
    void choose(const QString& candidate);

protected:
    // Installed on the application while the list shows: the text view's keys, and every press
    // or wheel turn, wherever it lands.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A shortcut of the window or the view (Ctrl, Alt or Meta held, or a function key) closes
    // the list before it acts.
    bool closesForShortcut(const QKeyEvent* key) const;
    // Acts on a key typed into the text view; true when the list used it up.
    bool takeKey(const QKeyEvent* key);
    void moveHighlight(const QKeyEvent* key);
    bool isInList(QObject* receiver) const;

    // The view as a plain object: events still reach it while it is being destroyed, when it is
    // no longer a text view, so it is only ever compared with.
    QObject* m_view;
    QPointer<ShortcutTextView> m_textView;
    QListView* m_list;
    QStringListModel* m_model;
    // The window the list was shown over: moved or resized, it leaves the list behind.
    QPointer<QObject> m_shownOver;
    // The document the partial word is in: a view given another one replaces nothing in it.
    QPointer<QTextDocument> m_document;
    TextRange m_range;
};

// The range of the partial word that completion replaces: the selection when there is one,
// else the letters, digits and underscores just before the caret (possibly empty).
TextRange completionWordRange(QStringView text, TextRange selection);

} // namespace dunmoss
