#pragma once

#include <QStringView>
#include <cstdint>
#include <unicode/utext.h>

namespace dunmoss {

// UTF-16 text handed to ICU a few pieces at a time, so that ICU comes back to us each time its
// reading moves on by a piece or more, wherever in its matching it is: inside a back-reference's
// compare or an optimised loop, where no other callback comes. ICU is given the piece it reads
// with one on either side, so reading back and forth across a piece edge comes back only once.
// Piece edges never split a surrogate pair.
struct PiecewiseText {
    static constexpr int64_t kPieceUnits = 1024;
    // What a move to other pieces counts at least, however little ICU read before it.
    static constexpr int64_t kLeastUnitsAMove = 64;

    QStringView text;
    // Asked each time ICU moves on to other pieces, with the units it read of those it leaves:
    // how far it came through them, at least kLeastUnitsAMove. Once it returns false, every piece
    // read after holds one noncharacter over and over instead (U+FFFF or U+FFFE, alternating from
    // clone to clone, so a back-reference's two readers never agree), and the run ends soon after:
    // what it finds then means nothing.
    bool (*onPiece)(void* context, int64_t units) = nullptr;
    void* context = nullptr;
};

// Opens `ut` (set up with UTEXT_INITIALIZER) over the source, which must outlive it and every
// clone ICU makes of it.
void openPiecewiseText(UText* ut, const PiecewiseText* source, UErrorCode* status);

} // namespace dunmoss
