#pragma once

#include "text/EditorTheme.h"
#include "text/TextCounts.h"

#include <QPointer>
#include <QTextBlock>
#include <QWidget>
#include <functional>
#include <optional>
#include <set>

namespace dunmoss {

class ShortcutTextView;

// The strip left of the text with the number of every visible line and a dot beside each
// bookmarked one. Its width grows with the digits of the line count.
//
// Labels: a block of the document gets a label when it starts a line (after a line feed, or at
// the start); a block that starts after a U+2029 of the file, and every further fragment of a
// wrapped line, gets none, so each line keeps exactly one number. The one exception is the top
// of the view: the first fragment that reaches into it always carries the number of its line,
// so a view scrolled into the middle of a long wrapped line still shows which line that is.
class LineNumberRulerView : public QWidget {
    Q_OBJECT
public:
    struct Label {
        qsizetype number = 0;
        QRectF rect;
        bool bookmarked = false;
        friend bool operator==(const Label&, const Label&) = default;
    };

    LineNumberRulerView(ShortcutTextView* textView, EditorTheme theme, qreal fontSize,
                        std::set<int> bookmarkedLines, QWidget* parent = nullptr);

    QPointer<ShortcutTextView> textView;
    // The line starts of the shown document's authoritative text, kept in step with its edits.
    std::function<const TextCounts*()> countsSource;

    EditorTheme theme() const { return m_theme; }
    void setTheme(EditorTheme theme);
    qreal fontSize() const { return m_fontSize; }
    // Recomputes the thickness as well.
    void setFontSize(qreal size);
    const std::set<int>& bookmarkedLines() const { return m_bookmarkedLines; }
    void setBookmarkedLines(std::set<int> lines);

    // The text changed: the width follows the digits of the line count.
    void noteTextChanged();
    // Asks the text view for room when the digit count changed.
    void updateThickness();

    int lineNumberDigitCount();
    // Room for the given number of digits drawn in the given width each, with the margins
    // beside the labels; never less than 8 per digit plus 30, nor less than 56.
    static int thicknessForDigits(int digits, qreal digitWidth);
    // Sized from the font the labels are drawn in, so that large sizes keep every digit.
    int requiredThickness();
    int ruleThickness() const { return m_ruleThickness; }
    // 1-based number of the line holding the character at the index.
    qsizetype lineNumberAt(qsizetype characterIndex);
    // The number of the line holding the first character of the topmost visible fragment.
    qsizetype firstVisibleLineNumber();
    qreal labelLineHeight() const;
    QFont labelFont() const;
    QColor backgroundColor() const;

    // The labels drawn for a dirty rectangle, in the ruler's coordinates.
    QList<Label> labels(const QRect& dirty);
    // The text view repaints this band (a typed line): the band is repainted here too unless
    // it lies in the last band painted and the labels there are the ones painted then.
    void updateBand(const QRect& band);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The topmost line fragment that reaches into the view: its block, its index in the block's
    // layout, its top in viewport coordinates and the position of its first character.
    struct Fragment {
        QTextBlock block;
        int line = 0;
        qreal top = 0;
        qsizetype position = 0;
    };
    Fragment firstVisibleFragment() const;
    const LineStartIndex* currentLines() const;
    // The band last painted on its own and its labels; any other paint over it forgets them.
    QRect m_bandAsked;
    QRect m_bandPainted;
    QList<Label> m_bandLabels;
    // What the band's labels follow from when they were last found unchanged: Qt asks for the
    // typed line's band and then the caret's within one key, and the second answer is the first.
    struct BandState {
        int revision = -1;
        int scroll = 0;
        qreal height = 0;
        QRect painted;
        friend bool operator==(const BandState&, const BandState&) = default;
    };
    BandState bandState() const;
    BandState m_bandUnchangedAt;

    EditorTheme m_theme;
    qreal m_fontSize;
    std::set<int> m_bookmarkedLines;
    int m_ruleThickness = 56;
    // The label font and its measures, made again only when the size or the desktop's fonts
    // change: the thickness is asked for at every key, the line height at every repaint.
    struct LabelMeasures {
        QFont font;
        qreal widestDigit = 0;
        qreal lineHeight = 0;
    };
    const LabelMeasures& labelMeasures() const;
    mutable std::optional<LabelMeasures> m_labelMeasures;
};

} // namespace dunmoss
