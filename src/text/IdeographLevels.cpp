#include "text/IdeographLevels.h"

#include <cstdint>

namespace dunmoss {

namespace {

enum class Kind { Common, Rare, Other };

// Length and kind of the character whose lead byte is at `p` (a non-ASCII byte).
int gb18030Character(const uint8_t* p, qsizetype left, Kind& kind) {
    if (left >= 2 && p[1] >= 0x30 && p[1] <= 0x39) {
        kind = Kind::Other; // four-byte codes: every script outside GBK, by no level
        return 4;
    }
    const uint8_t trail = left >= 2 ? p[1] : 0;
    if (p[0] >= 0xB0 && p[0] <= 0xD7 && trail >= 0xA1)
        kind = Kind::Common;
    else if (p[0] >= 0xA1 && p[0] <= 0xA9)
        kind = Kind::Other; // symbols, kana, Greek, Cyrillic, box drawing
    else
        kind = Kind::Rare;
    return 2;
}

int big5Character(const uint8_t* p, qsizetype left, Kind& kind) {
    const uint8_t trail = left >= 2 ? p[1] : 0;
    if ((p[0] >= 0xA4 && p[0] <= 0xC5) || (p[0] == 0xC6 && trail <= 0x7E))
        kind = Kind::Common;
    else if (p[0] >= 0xA1 && p[0] <= 0xA3)
        kind = Kind::Other;
    else
        kind = Kind::Rare;
    return 2;
}

int eucTwCharacter(const uint8_t* p, qsizetype left, Kind& kind) {
    if (p[0] == 0x8E) {
        // A single shift to plane 1 (8E A1) repeats the two-byte codes; the others are rarer.
        const bool planeOne = left >= 3 && p[1] == 0xA1;
        kind = planeOne ? (p[2] >= 0xC4 ? Kind::Common : Kind::Other) : Kind::Rare;
        return 4;
    }
    // The ideographs of plane 1 start at row 0x44; the rows before hold symbols.
    kind = p[0] >= 0xC4 ? Kind::Common : Kind::Other;
    return 2;
}

} // namespace

IdeographLevels ideographLevels(QByteArrayView bytes, IdeographTable table) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const qsizetype size = bytes.size();
    IdeographLevels levels;
    for (qsizetype i = 0; i < size;) {
        if (data[i] < 0x80) {
            ++i;
            continue;
        }
        Kind kind = Kind::Other;
        const qsizetype left = size - i;
        switch (table) {
        case IdeographTable::Gb18030:
            i += gb18030Character(data + i, left, kind);
            break;
        case IdeographTable::Big5:
            i += big5Character(data + i, left, kind);
            break;
        case IdeographTable::EucTw:
            i += eucTwCharacter(data + i, left, kind);
            break;
        }
        levels.common += kind == Kind::Common;
        levels.rare += kind == Kind::Rare;
    }
    return levels;
}

} // namespace dunmoss
