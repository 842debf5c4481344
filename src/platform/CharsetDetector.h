#pragma once

#include <QByteArrayView>
#include <QStringList>
#include <optional>

namespace dunmoss {

// ICU's statistical charset detector, asked to choose only among given charsets. Names are the
// detector's own ("GB18030", "Big5", "Shift_JIS", ...). Thread-safe (one detector per call).
//
// Returns the index in `allowedCharsets` of the most confident match the detector reports among
// them, or nothing when it reports none of them with any confidence.
std::optional<qsizetype> detectCharsetAmong(QByteArrayView bytes,
                                            const QStringList& allowedCharsets);

} // namespace dunmoss
