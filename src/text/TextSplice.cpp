#include "text/TextSplice.h"

#include <algorithm>
#include <cstring>

namespace dunmoss {

namespace {

// Compared in blocks first: memcmp is many times faster than a loop over the units, and a tool
// on a long text spends most of its time here.
constexpr qsizetype kBlock = 256;

// A change of a long text that leaves less than an eighth of it alone at its ends (Replace All
// throughout) keeps the two whole texts, shared rather than copied: the copies would be nearly
// as long, and making them is a wait of its own.
constexpr qsizetype kSharedTextLength = 64 * 1024;

qsizetype commonPrefixLength(QStringView a, QStringView b) {
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype at = 0;
    while (at + kBlock <= shorter &&
           std::memcmp(a.data() + at, b.data() + at, kBlock * sizeof(QChar)) == 0)
        at += kBlock;
    while (at < shorter && a[at] == b[at])
        ++at;
    return at;
}

qsizetype commonSuffixLength(QStringView a, QStringView b, qsizetype limit) {
    qsizetype length = 0;
    while (length + kBlock <= limit &&
           std::memcmp(a.data() + a.size() - length - kBlock, b.data() + b.size() - length - kBlock,
                       kBlock * sizeof(QChar)) == 0)
        length += kBlock;
    while (length < limit && a[a.size() - 1 - length] == b[b.size() - 1 - length])
        ++length;
    return length;
}

} // namespace

bool TextSplice::appliesTo(QStringView text) const {
    return position >= 0 && position <= text.size() && removed.size() <= text.size() - position &&
           text.sliced(position, removed.size()) == removed;
}

QString TextSplice::appliedTo(QString text) const {
    if (position == 0 && removed.size() == text.size())
        return inserted;
    text.replace(position, removed.size(), inserted);
    return text;
}

TextSplice TextSplice::narrowed() const {
    const TextSplice inner = spliceBetween(removed, inserted);
    return {position + inner.position, inner.removed, inner.inserted};
}

TextSplice spliceBetween(const QString& before, const QString& after) {
    qsizetype prefix = commonPrefixLength(before, after);
    if (prefix > 0 && before[prefix - 1].isHighSurrogate())
        --prefix;
    const qsizetype limit = std::min(before.size(), after.size()) - prefix;
    qsizetype suffix = commonSuffixLength(before, after, limit);
    if (suffix > 0 && before[before.size() - suffix].isLowSurrogate())
        --suffix;
    const bool nearlyAll = std::min(before.size(), after.size()) >= kSharedTextLength &&
                           prefix + suffix < std::min(before.size(), after.size()) / 8;
    if ((prefix == 0 && suffix == 0) || nearlyAll)
        return {0, before, after};
    return {prefix, before.sliced(prefix, before.size() - prefix - suffix),
            after.sliced(prefix, after.size() - prefix - suffix)};
}

} // namespace dunmoss
