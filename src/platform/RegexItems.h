#pragma once

#include <QString>
#include <QStringView>

// How the analyses that read a pattern item by item, modelling what each item takes in (the
// folder search's prefilter and its line automaton), read escapes, groups and inline flags.
// Both read every one of them here, so that what one gives up on the other gives up on too;
// where one of them cannot model an item the other reads (a back-reference has no automaton),
// it says so where it reads the kind.
namespace dunmoss::regex_syntax {

struct EscapeItem {
    enum class Kind {
        // \b \B \A \z \Z: zero width, true or false by the text around alone.
        Assertion,
        // One character of a class, or a code point: \w \W \d \D \s \S \h \H \v \V \t \n \r
        // \f \a \e, \xhh \x{h...} \uhhhh \Uhhhhhhhh \N{name} \p{...} \P{...}.
        Character,
        // An escaped character that is no ASCII letter or digit, matched as itself.
        Literal,
        // \Q...\E: each character as itself.
        Quoted,
        // \1 to \9 (and more digits), \k<name>: what a group took.
        BackReference,
        // \X (a grapheme cluster) and \R (a line break, "\r\n" among them): several characters.
        Several,
        // Given up on: \G (true where the run began, which a run over part of a text moves),
        // octal and control escapes, anything malformed or not listed.
        Unknown,
    };
    Kind kind = Kind::Unknown;
    qsizetype end = -1; // after the escape; -1 when Unknown
};

// The escape whose backslash is at `at`.
EscapeItem escapeItemAt(QStringView p, qsizetype at);

struct GroupItem {
    enum class Kind {
        Comment,    // "(?#...)"; `end` after it
        LookAround, // "(?=", "(?!", "(?<=", "(?<!": zero width; `end` after the group
        Flags,      // "(?i)" alone: zero width; `end` after it
        Group,      // "(", "(?:", "(?>", "(?<name>", "(?i-s:": `end` where its inside begins
        Unknown,    // anything else, or not closed
    };
    Kind kind = Kind::Unknown;
    qsizetype end = -1;
};

// The group whose "(" is at `at`.
GroupItem groupItemAt(QStringView p, qsizetype at);

// Whether the pattern writes a surrogate on its own: an escape of one (\uD83D, \x{DE00},
// \U0000D83D, also inside a set) or a unit of one that is not half of a pair. ICU compares such a
// surrogate with one unit of the text, so two of them, or one beside a dot or a class, match a
// single character beyond the Basic Multilingual Plane, which an analysis reading a pair as one
// character does not model.
bool writesSurrogateHalf(QStringView p);

// The letters of every inline flag setting in the pattern, "(?i)", "(?-s:" and the like.
QString inlineFlagLetters(QStringView p);
// Whether both analyses read a pattern with these flag letters: "i" (taken as folding
// throughout, which lets more through), "s" (a dot takes in line feeds), "m" and "w" (which
// change only assertions). Free spacing ("x") changes how everything is written, and Unix lines
// ("d") what a dot and an anchor take: both give up on them, and on any other letter.
bool readsFlags(QStringView letters);

} // namespace dunmoss::regex_syntax
