#pragma once

#include "editor/EditorServices.h"
#include "platform/LaterThanRepaints.h"
#include "platform/TextRange.h"
#include "text/EditorTheme.h"
#include "text/SyntaxColouring.h"

#include <QPalette>
#include <QPointer>
#include <QTimer>
#include <memory>

class QTextDocument;

namespace dunmoss {

// Colours a view's document with the language's pattern passes. The passes run over the
// authoritative text, so patterns may span lines (block comments, triple quotes); their runs
// become per-block layout formats, set only on blocks whose formats changed, so neither the
// undo stack nor an unchanged line's layout is touched.
//
// Texts up to 64,000 UTF-16 units are coloured whole after every edit, once the edit (with its
// colours moved along) has been drawn: a key is not kept from the screen by the passes, and the
// keys typed before the run are one run. Longer ones 200 ms after the last edit or scroll step,
// and only around the visible lines. Above 1,000,000 units the
// restyled range only loses its colours. A long text in a view not yet shown waits for the view
// to be shown: finding its visible lines lays them out, and a view is shown at another width
// than it is built with, which would lay a long line out all over again.
class PassSyntaxHighlighting : public SyntaxHighlighting {
public:
    explicit PassSyntaxHighlighting(CodeEditorCoordinator& coordinator);
    ~PassSyntaxHighlighting() override;

    void scheduleHighlighting() override;
    void applyHighlighting() override;
    void cancelPendingHighlighting() override;
    void viewShown() override;

    // A run waits: for the edit's repaint (a short text) or for a pause (a long one).
    bool hasPendingHighlighting() const { return m_pending.isActive() || m_turnsToWait > 0; }
    // A short text's run waits for the edit to be drawn.
    bool waitsForTheEditsRepaint() const { return m_turnsToWait > 0; }
    // What the next run restyles: the whole text, or the visible lines widened by 16,384 units
    // on each side and grown to whole lines.
    TextRange highlightRange() const;

private:
    // Colours move with the text of the edited line, as the layout's block-relative formats
    // would not: until a long text's deferred run, and for a short text so that the run right
    // after the edit finds the line's formats mostly right.
    void watch(QTextDocument* document);
    void moveFormats(int position, int removed, int added);

    QTimer m_pending;
    // A short text's run, a turn of the event loop after the edit's repaint (which takes one
    // after the edit); none left when the text is coloured meanwhile.
    std::unique_ptr<LaterThanRepaints> m_afterRepaints;
    int m_turnsToWait = 0;
    bool m_waitingForShow = false;
    QPointer<QTextDocument> m_watched;
    QMetaObject::Connection m_watch;
};

// Sets the runs' colours and bold as the layout formats of every block inside the range (which
// holds whole blocks), touching only blocks whose formats change.
void applyStyleRuns(QTextDocument& document, TextRange range, const QList<SyntaxStyleRun>& runs,
                    EditorTheme theme, const QPalette& palette);

} // namespace dunmoss
