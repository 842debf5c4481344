#pragma once

#include <QByteArrayView>

namespace dunmoss {

// The double-byte Chinese encodings whose character sets are split into a level of common
// ideographs and rarer ones: GB 2312's first level within GB 18030 (B0A1 to D7FE), Big5's first
// level (A440 to C67E), and CNS 11643's first plane within EUC-TW (its two-byte codes; the
// four-byte codes of the other planes are the rarer ones).
enum class IdeographTable { Gb18030, Big5, EucTw };

// How many ideographs of a reading of the bytes come from the common level and how many from
// the rarer ones; symbols, punctuation and GB 18030's four-byte codes count in neither. Text
// really written in one of these encodings draws nearly all of its ideographs from the common
// level; another encoding's bytes read in it land among the rarer ones as often as not. The
// bytes must decode in the encoding: they are walked by their lead bytes only.
struct IdeographLevels {
    qsizetype common = 0;
    qsizetype rare = 0;
};

IdeographLevels ideographLevels(QByteArrayView bytes, IdeographTable table);

} // namespace dunmoss
