#pragma once

#include "text/QueryPrefilter.h"

#include <QByteArrayView>
#include <QStringView>

namespace dunmoss {

// Finds where a prefilter lets a match be, at the speed of a vector scan. The prefilter must
// have a literal.
class PrefilterScan {
public:
    explicit PrefilterScan(const QueryPrefilter& prefilter);

    // The first index at or after `from` where the literal starts or, when it folds, a unit
    // beyond ASCII stands; -1 when there is none. Calls must not go back.
    qsizetype nextCandidate(QStringView text, qsizetype from);
    // The same over the bytes of UTF-8 text, a byte beyond ASCII standing for its character.
    qsizetype nextCandidate(QByteArrayView bytes, qsizetype from);

    // Whether a plain UTF-8 file of these bytes (one whose decoded text is exactly what the
    // bytes hold) can hold a match at all.
    bool mayMatchUtf8(QByteArrayView bytes) const;

private:
    template <typename Unit> qsizetype next(const Unit* units, qsizetype size, qsizetype from);

    QByteArray m_literal;
    bool m_folds;
    qsizetype m_literalAt = -1;
    qsizetype m_wideAt = -1;
    qsizetype m_literalFrom = -1;
    qsizetype m_wideFrom = -1;
};

} // namespace dunmoss
