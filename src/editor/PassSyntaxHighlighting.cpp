#include "editor/PassSyntaxHighlighting.h"

#include "editor/CodeEditorCoordinator.h"
#include "editor/LongLineDocumentLayout.h"
#include "editor/ShortcutTextView.h"
#include "editor/SyntaxColors.h"
#include "text/SyntaxColouring.h"

#include <QGuiApplication>
#include <QTextBlock>
#include <QTextDocument>
#include <array>
#include <utility>

namespace dunmoss {

namespace {

// One character format per combination of role (or none) and bold.
class StyleFormats {
public:
    StyleFormats(EditorTheme theme, const QPalette& palette) {
        for (int role = 0; role <= kSyntaxColorRoleCount; ++role) {
            for (int bold = 0; bold < 2; ++bold) {
                QTextCharFormat& format = m_formats[size_t(index(role, bold))];
                if (role > 0)
                    format.setForeground(
                        syntaxRoleColor(SyntaxColorRole(role - 1), theme, palette));
                if (bold)
                    format.setFontWeight(QFont::Bold);
            }
        }
    }

    const QTextCharFormat& operator[](const SyntaxStyle& style) const {
        return m_formats[size_t(index(style.role ? int(*style.role) + 1 : 0, style.bold))];
    }

private:
    static int index(int role, bool bold) { return role * 2 + (bold ? 1 : 0); }
    std::array<QTextCharFormat, (kSyntaxColorRoleCount + 1) * 2> m_formats;
};

// Blocks whose formats are already right are left alone, so that a keystroke lays out again
// only the lines whose colours changed.
void applyRuns(QTextDocument& document, TextRange range, const QList<SyntaxStyleRun>& runs,
               const StyleFormats& formats) {
    qsizetype next = 0;
    // That layout keeps a block's shaping ranges itself: a block with no ranges at all has
    // nothing to change when it is to have no colours, as most of a plain text's lines are.
    const bool keepsShaping = qobject_cast<LongLineDocumentLayout*>(document.documentLayout());
    QTextBlock block = document.findBlock(int(range.location));
    // Each block starts where the one before it ends: asking a block for its position walks
    // the document's tree, at every block of every pass.
    for (qsizetype start = block.isValid() ? block.position() : 0;
         block.isValid() && start < range.end(); start += block.length(), block = block.next()) {
        const qsizetype end = start + block.length() - 1; // without the separator
        while (next < runs.size() && runs[next].end() <= start)
            ++next;
        QList<QTextLayout::FormatRange> wanted;
        for (qsizetype i = next; i < runs.size() && runs[i].location < end; ++i) {
            const qsizetype from = std::max(runs[i].location, start);
            const qsizetype to = std::min(runs[i].end(), end);
            if (to > from)
                wanted.append({int(from - start), int(to - from), formats[runs[i].style]});
        }
        if (keepsShaping && wanted.isEmpty() && block.layout() &&
            block.layout()->formats().isEmpty())
            continue;
        setBlockFormats(block, wanted);
    }
}

} // namespace

void applyStyleRuns(QTextDocument& document, TextRange range, const QList<SyntaxStyleRun>& runs,
                    EditorTheme theme, const QPalette& palette) {
    applyRuns(document, range, runs, StyleFormats(theme, palette));
}

PassSyntaxHighlighting::PassSyntaxHighlighting(CodeEditorCoordinator& coordinator)
    : SyntaxHighlighting(coordinator) {
    m_pending.setSingleShot(true);
    m_pending.setInterval(kDeferredColouringDelayMs);
    QObject::connect(&m_pending, &QTimer::timeout, [this] {
        if (this->coordinator().textView)
            applyHighlighting();
    });
    m_afterRepaints = std::make_unique<LaterThanRepaints>([this] {
        if (m_turnsToWait <= 0)
            return;
        // Run in the turn that drew the edit, the passes would still keep the screen and the
        // next key waiting that long.
        if (--m_turnsToWait > 0) {
            m_afterRepaints->request();
            return;
        }
        if (this->coordinator().textView)
            applyHighlighting();
    });
}

PassSyntaxHighlighting::~PassSyntaxHighlighting() {
    QObject::disconnect(m_watch);
}

void PassSyntaxHighlighting::watch(QTextDocument* document) {
    if (document == m_watched)
        return;
    QObject::disconnect(m_watch);
    m_watched = document;
    if (document)
        m_watch = QObject::connect(document, &QTextDocument::contentsChange, document,
                                   [this](int position, int removed, int added) {
                                       moveFormats(position, removed, added);
                                   });
}

void PassSyntaxHighlighting::moveFormats(int position, int removed, int added) {
    // Short texts are coloured again right after this, but the edited line is laid out first:
    // with its colours moved it is usually right already and not laid out a second time.
    if (!m_watched)
        return;
    const QTextBlock block = m_watched->findBlock(position);
    if (!block.isValid() || !block.layout() || m_watched->findBlock(position + added) != block)
        return;
    const int at = position - block.position();
    // Text typed right after a coloured character takes its colour, as in a styled text.
    const auto map = [&](int x, bool isEnd) {
        if (x < at)
            return x;
        if (x >= at + removed && !(isEnd && x == at))
            return x - removed + added;
        return at + added;
    };
    const QList<QTextLayout::FormatRange> formats = block.layout()->formats();
    QList<QTextLayout::FormatRange> moved;
    moved.reserve(formats.size());
    for (const QTextLayout::FormatRange& range : formats) {
        const int start = map(range.start, false);
        const int end = map(range.start + range.length, true);
        if (end > start)
            moved.append({start, end - start, range.format});
    }
    setBlockFormats(block, moved);
}

void PassSyntaxHighlighting::cancelPendingHighlighting() {
    m_pending.stop();
    m_turnsToWait = 0;
    m_waitingForShow = false;
}

void PassSyntaxHighlighting::viewShown() {
    if (std::exchange(m_waitingForShow, false))
        applyHighlighting();
}

void PassSyntaxHighlighting::scheduleHighlighting() {
    CodeEditorCoordinator& c = coordinator();
    if (!c.textView || !c.storage())
        return;
    m_pending.stop();
    watch(c.document());
    if (c.textLength() <= kImmediateColouringLimit) {
        // The edit's colours moved with its text meanwhile (moveFormats), so the repaint that
        // shows the key shows them mostly right already.
        m_turnsToWait = 2;
        m_afterRepaints->request();
        return;
    }
    // Every further edit or scroll step restarts the wait.
    m_pending.start();
}

TextRange PassSyntaxHighlighting::highlightRange() const {
    const CodeEditorCoordinator& c = coordinator();
    const QString& text = c.storage()->text();
    if (text.size() <= kImmediateColouringLimit || !c.textView || !c.textView->viewport())
        return {0, text.size()};
    const QWidget* viewport = c.textView->viewport();
    const qsizetype first = c.textView->cursorForPosition(QPoint(0, 0)).position();
    const qsizetype last =
        c.textView->cursorForPosition(QPoint(viewport->width(), viewport->height())).position();
    const qsizetype from = std::min(first, last);
    const qsizetype to = std::max(first, last);
    if (text.size() > kColouringPassLimit) {
        // No pattern runs over such a text, so the range needs no whole lines: finding where a
        // line of millions of characters starts and ends would cost more than the rest.
        const qsizetype start = std::max<qsizetype>(from - kVisibleColouringMargin, 0);
        return {start, std::min(text.size(), to + kVisibleColouringMargin) - start};
    }
    return lineRangeAround(text, from, to - from, kVisibleColouringMargin);
}

void PassSyntaxHighlighting::applyHighlighting() {
    m_pending.stop();
    m_turnsToWait = 0;
    m_waitingForShow = false;
    CodeEditorCoordinator& c = coordinator();
    TextStorage* storage = c.storage();
    QTextDocument* document = c.document();
    if (!c.textView || !storage || !document)
        return;
    watch(document);
    if (storage->length() > kImmediateColouringLimit && !c.textView->isVisible()) {
        m_waitingForShow = true;
        return;
    }
    // Nothing is restyled while an input method composes; its commit schedules a run.
    if (c.textView->hasMarkedText())
        return;
    if (storage->length() == 0) {
        c.bracketHighlightRanges.clear();
        c.textView->setBracketMarks({}, QColor());
        return;
    }
    c.isApplyingHighlighting = true;
    const TextRange range = highlightRange();
    c.activeHighlightRange = range;
    applyStyleRuns(*document, range, syntaxStyleRuns(storage->text(), range, c.language), c.theme,
                   QGuiApplication::palette());
    // The bracket marks follow the caret, which a run may follow.
    c.highlightMatchingBrackets();
    c.activeHighlightRange.reset();
    c.isApplyingHighlighting = false;
}

} // namespace dunmoss
