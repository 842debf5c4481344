#pragma once

#include <QString>
#include <QStringView>

namespace dunmoss {

// One stretch of a text replaced: `removed`, found at `position`, became `inserted`. What an
// edit keeps instead of the whole text before and after it.
struct TextSplice {
    qsizetype position = 0;
    QString removed;
    QString inserted;

    bool changesNothing() const { return removed == inserted; }
    // The splice that takes the edit back.
    TextSplice inverse() const { return {position, inserted, removed}; }
    // True when `removed` stands at `position` of the text.
    bool appliesTo(QStringView text) const;
    // The text with `removed` replaced by `inserted`; the caller checked appliesTo().
    QString appliedTo(QString text) const;
    // The same change without the characters `removed` and `inserted` share at their start and
    // end (moving a line past an equal one changes nothing).
    TextSplice narrowed() const;

    friend bool operator==(const TextSplice&, const TextSplice&) = default;
};

// The smallest splice that turns `before` into `after`: everything between their common start
// and their common end, widened so that no surrogate pair is split. A splice of the whole text
// shares the two strings instead of copying them, and so does one of nearly all of a long text.
TextSplice spliceBetween(const QString& before, const QString& after);

} // namespace dunmoss
