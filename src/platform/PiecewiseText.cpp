#include "platform/PiecewiseText.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace dunmoss {

namespace {

// What ICU is given is three pieces, each at most one unit longer than kPieceUnits where its
// end is moved off a pair.
using Filler = std::array<char16_t, 3 * (PiecewiseText::kPieceUnits + 1)>;

const Filler& filler(bool odd) {
    static const Filler even = [] {
        Filler units;
        units.fill(u'\xFFFF');
        return units;
    }();
    static const Filler other = [] {
        Filler units;
        units.fill(u'\xFFFE');
        return units;
    }();
    return odd ? other : even;
}

const PiecewiseText& sourceOf(const UText* ut) {
    return *static_cast<const PiecewiseText*>(ut->context);
}

// Where piece `k` starts: a multiple of the piece size, or one unit after it inside a pair.
int64_t pieceStart(QStringView text, int64_t k) {
    const int64_t at = std::min<int64_t>(text.size(), k * PiecewiseText::kPieceUnits);
    if (at > 0 && at < text.size() && text[at - 1].isHighSurrogate() && text[at].isLowSurrogate())
        return at + 1;
    return at;
}

UText* U_CALLCONV clonePiecewise(UText* dest, const UText* src, UBool, UErrorCode* status) {
    dest = utext_setup(dest, 0, status);
    if (U_FAILURE(*status))
        return dest;
    // As ICU's own shallow clone: every field but how the copy was allocated.
    const int32_t flags = dest->flags;
    void* extra = dest->pExtra;
    std::memcpy(static_cast<void*>(dest), src, std::min(src->sizeOfStruct, dest->sizeOfStruct));
    dest->flags = flags;
    dest->pExtra = extra;
    // Clones of clones alternate, so a back-reference's two readers get different filler.
    dest->b = src->b + 1;
    return dest;
}

int64_t U_CALLCONV piecewiseLength(UText* ut) {
    return ut->a;
}

UBool U_CALLCONV accessPiecewise(UText* ut, int64_t index, UBool forward) {
    const PiecewiseText& source = sourceOf(ut);
    const int64_t length = ut->a;
    index = std::clamp<int64_t>(index, 0, length);
    // The piece holding the unit to be read: at the index going forward, before it going back.
    const int64_t unit =
        std::clamp<int64_t>(forward ? index : index - 1, 0, std::max<int64_t>(length - 1, 0));
    int64_t k = unit / PiecewiseText::kPieceUnits;
    if (unit < pieceStart(source.text, k))
        --k;
    const int64_t start = pieceStart(source.text, std::max<int64_t>(k - 1, 0));
    const int64_t limit = pieceStart(source.text, k + 2);
    // What ICU read of the pieces it leaves: from where it came in to where it stands now.
    // Reading on through them it read that far; jumping away it read at least that far.
    const int64_t stood = ut->chunkNativeStart + std::clamp(ut->chunkOffset, 0, ut->chunkLength);
    const int64_t read = std::max(std::abs(stood - ut->c), PiecewiseText::kLeastUnitsAMove);
    ut->c = index;
    const bool real = !source.onPiece || source.onPiece(source.context, read);
    ut->chunkContents = real ? reinterpret_cast<const UChar*>(source.text.utf16()) + start
                             : reinterpret_cast<const UChar*>(filler(ut->b % 2).data());
    ut->chunkNativeStart = start;
    ut->chunkNativeLimit = limit;
    ut->chunkLength = int32_t(limit - start);
    ut->nativeIndexingLimit = ut->chunkLength;
    ut->chunkOffset = int32_t(index - start);
    return forward ? index < length : index > 0;
}

int32_t U_CALLCONV extractPiecewise(UText* ut, int64_t start, int64_t limit, UChar* dest,
                                    int32_t capacity, UErrorCode* status) {
    if (U_FAILURE(*status))
        return 0;
    const QStringView text = sourceOf(ut).text;
    start = std::clamp<int64_t>(start, 0, text.size());
    limit = std::clamp<int64_t>(limit, start, text.size());
    const int32_t length = int32_t(limit - start);
    std::memcpy(dest, text.utf16() + start, sizeof(UChar) * size_t(std::min(length, capacity)));
    if (length > capacity)
        *status = U_BUFFER_OVERFLOW_ERROR;
    else if (length == capacity)
        *status = U_STRING_NOT_TERMINATED_WARNING;
    else
        dest[length] = 0;
    return length;
}

void U_CALLCONV closePiecewise(UText*) {}

const UTextFuncs kFuncs = [] {
    UTextFuncs funcs{};
    funcs.tableSize = sizeof(UTextFuncs);
    funcs.clone = clonePiecewise;
    funcs.nativeLength = piecewiseLength;
    funcs.access = accessPiecewise;
    funcs.extract = extractPiecewise;
    funcs.close = closePiecewise;
    return funcs;
}();

} // namespace

void openPiecewiseText(UText* ut, const PiecewiseText* source, UErrorCode* status) {
    utext_setup(ut, 0, status);
    if (U_FAILURE(*status))
        return;
    ut->pFuncs = &kFuncs;
    ut->context = source;
    ut->a = source->text.size();
    ut->b = 0;
    ut->c = 0;
    ut->providerProperties = 0;
    ut->chunkContents = reinterpret_cast<const UChar*>(source->text.utf16());
    ut->chunkNativeStart = ut->chunkNativeLimit = 0;
    ut->chunkLength = ut->chunkOffset = ut->nativeIndexingLimit = 0;
}

} // namespace dunmoss
