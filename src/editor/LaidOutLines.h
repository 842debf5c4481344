#pragma once

#include <QFont>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <QTextOption>
#include <memory>
#include <optional>
#include <utility>

class QTextBlock;

namespace dunmoss {
class KeptCharAttributes;
class OverlongWords;
} // namespace dunmoss

namespace dunmoss {

// The lines one block was broken into, kept so that the block can take them back instead of being
// broken anew. Qt's plain-text layout throws every block's lines away whenever a view takes the
// document or sets its width, even the width it had, and breaking a line of millions of
// characters into lines takes a large part of a second. Kept lines are taken back only under the
// same text, width, margin, fonts, formats and options as they were made with.
class LaidOutLines {
public:
    LaidOutLines() = default;

    // Whether lines can be kept and given back at all: only with the Qt version whose private
    // text engine this was verified with, both at build and at run time. Otherwise nothing is
    // kept and every block is broken into lines by Qt's own layout, on the main thread.
    static bool canKeep();

    // The lines the block's layout holds now, which it was given with `option` at the plain-text
    // layout's `width`; none when it holds none.
    static LaidOutLines of(const QTextBlock& block, qreal width, const QTextOption& option);

    bool isEmpty() const { return !m_data; }
    qsizetype lineCount() const;
    // The length of the text they are for, and the width they were made at.
    qsizetype textLength() const;
    qreal width() const;
    // These lines moved by an edit inside one of them (at `position`, `removed` characters
    // replaced by `added`): the line holding it grows or shrinks and the later ones move. Lines to
    // show while the right ones are made, which fit no block. None when the edit reaches over
    // the end of a line or leaves one empty.
    std::optional<LaidOutLines> movedBy(int position, int removed, int added) const;
    // The block, whose text is the one these lines were made for changed by an edit (at
    // `position`, `removed` characters replaced by `added`), laid out again around it in its own
    // layout with `option` at the plain-text layout's `width`: the lines before the edit's are
    // kept, and from two lines before it on lines are made anew until one starts where one of
    // these, moved by the edit, starts past it, which leaves the rest as they were, moved. Past
    // `budget` lines after the edit the rest stand in, moved, the first of them cut short where
    // the new ones end. Lines that fit no block, to show while the whole block is laid
    // out again; none when these are none or were made for another length.
    // The block's character attributes, worked out before any line is made, come from
    // `attributes` when given.
    std::optional<LaidOutLines> relaidAround(const QTextBlock& block, qreal width,
                                             const QTextOption& option, const OverlongWords* words,
                                             int position, int removed, int added, int budget,
                                             KeptCharAttributes* attributes = nullptr) const;
    // The option the block was laid out with.
    QTextOption option() const;

    // Whether these are the lines the block would be broken into now, with `option` at `width`.
    // With `textUnchanged` the caller vouches that the block's text is the one they were made
    // from (nothing was typed since), which is then not read and compared again: on a line of
    // millions of characters that is most of the cost.
    bool fit(const QTextBlock& block, qreal width, const QTextOption& option,
             bool textUnchanged = false) const;
    // The same, but made at whatever width and under whatever formats (colours): lines to show
    // while the right ones are being made.
    bool standInFor(const QTextBlock& block, const QTextOption& option) const;
    // Gives the block's layout, which holds no lines, these lines and the option.
    void restoreInto(const QTextBlock& block) const;
    // Whether the block's layout holds these very lines now, with their option: given to it,
    // they would show the same picture.
    bool areShownBy(const QTextBlock& block) const;
    // The lines the block's layout holds now, whatever they were made for; none when it holds
    // none. Read before a change's lines replace them.
    static LaidOutLines shownBy(const QTextBlock& block);
    // The band of the block (from the top of one line to the bottom of another) that holds an
    // edit (at `position`, `removed` characters replaced by `added`) and every line in which
    // these lines differ from `before`, the lines shown before the edit, once those after it are
    // moved by it; with a line more on either side, as glyphs may reach into the next line. None
    // when they differ in number or in the height of a line, which moves everything below.
    std::optional<std::pair<qreal, qreal>> bandChangedFrom(const LaidOutLines& before, int position,
                                                           int removed, int added) const;

private:
    struct Data;
    std::shared_ptr<const Data> m_data;
};

// A block laid out on another thread, from a copy of what its layout needs: the lines and the
// shaping that made them, which the block's own layout can take over.
class LaidOutAside {
public:
    struct Inputs {
        QString text;
        QFont font;
        QTextOption option;
        QList<QTextLayout::FormatRange> formats;
        qreal width = 0;
        qreal margin = 0;
    };
    // What the block's layout needs, copied on its document's thread.
    static Inputs inputsOf(const QTextBlock& block, qreal width, const QTextOption& option);
    // Lays a copy of the block out; on any thread.
    static LaidOutAside make(const Inputs& inputs);

    const LaidOutLines& lines() const { return m_lines; }
    // Gives the block, which was just given these lines (they fit it), the shaping that made
    // them; only the first block asking gets it.
    void giveShapingTo(const QTextBlock& block);

private:
    struct Shaping;
    LaidOutLines m_lines;
    std::shared_ptr<Shaping> m_shaping;
};

// QTextOption has no comparison of its own.
bool sameTextOption(const QTextOption& a, const QTextOption& b);

// Lays the block out as the plain-text layout does with `option` at the layout's `width` (for a
// document no view shows yet), breaking anywhere at once the lines that start a word too long
// for any line (see OverlongWords.h).
void layOutLikePlainText(const QTextBlock& block, qreal width, const QTextOption& option);
// The same with the block's overlong words, when it has any, already found.
void layOutLikePlainText(const QTextBlock& block, qreal width, const QTextOption& option,
                         const OverlongWords* words);

// Splits the block's text into the runs its layout shapes one by one, which every question about
// a position in the block needs first (a caret asked for before the block is laid out); a
// layout that keeps its shaping keeps them until it is laid out.
void itemize(const QTextBlock& block);

// Lets go of the font engines the block's layout found on this thread; what it shaped stays.
void forgetFontEngines(const QTextBlock& block);

} // namespace dunmoss
