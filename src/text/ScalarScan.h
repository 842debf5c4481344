#pragma once

#include <QStringView>

namespace dunmoss {

// Calls `visit` with each of the first `limit` Unicode scalars of the text; an unpaired
// surrogate counts as itself.
template <typename Visit> void forEachScalar(QStringView text, qsizetype limit, Visit visit) {
    const auto* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype size = text.size();
    qsizetype seen = 0;
    for (qsizetype i = 0; i < size && seen < limit; ++seen) {
        char32_t scalar = s[i++];
        if ((scalar & 0xFC00) == 0xD800 && i < size && (s[i] & 0xFC00) == 0xDC00)
            scalar = 0x10000 + ((scalar - 0xD800) << 10) + (char32_t(s[i++]) - 0xDC00);
        visit(scalar);
    }
}

// DEL and the C1 controls, which no text file of ours holds.
inline bool isDeleteOrC1Control(char32_t scalar) {
    return scalar >= 0x7F && scalar <= 0x9F;
}

} // namespace dunmoss
