#pragma once

#include <QTextBlock>
#include <vector>

namespace dunmoss {

// The character attributes of one long block (where its graphemes and line-break opportunities
// are, which characters are blanks), kept from one edit to the next. After every edit of a block
// Qt works them out for the whole block again, and first makes and clears room to shape every
// one of its characters: in a block of tens of thousands of characters that is most of what a
// typed key costs. Kept, only those around an edit are worked out again.
//
// Only with the Qt version whose private text engine this was verified with; otherwise the
// block's layout works them out itself, as before.
class KeptCharAttributes {
public:
    // Keeps the attributes the block's layout holds now, if it holds any.
    void keepFrom(const QTextBlock& block);
    // Gives the block's layout, which holds none since its text was changed by an edit (at
    // `position` in the block, `removed` characters replaced by `added`; none for the same
    // text), the kept ones moved by the edit, with those around it worked out anew, and keeps
    // the result. When the kept ones are not for the block's text before the edit, or where
    // the text around the edit makes the attributes further away depend on it, the layout
    // works out its own, which are kept. Returns whether the kept ones were mended.
    bool giveTo(const QTextBlock& block, int position, int removed, int added);
    void forget();

    // The attributes the block's layout holds now; none when it holds none (for tests).
    static std::vector<unsigned char> heldBy(const QTextBlock& block);

private:
    QTextBlock m_block;
    // One per character of the text the layout holds (the block's, with any mark shown at its
    // end).
    std::vector<unsigned char> m_attributes;
};

} // namespace dunmoss
