#pragma once

#include "platform/IcuConverter.h"

#include <QByteArrayView>
#include <QString>

namespace dunmoss {

enum class CjkTableDecodeResult {
    Decoded,
    Invalid,
    // The bytes hold a sequence the tables leave to ICU; decode them with the reference instead.
    NeedsReference,
};

// Fast strict decoding of GB 18030, Big5 and Shift JIS with lookup tables built once per process
// by asking ICU's own converter about every one- and two-byte sequence (and, for GB 18030, every
// four-byte sequence of the Basic Multilingual Plane). Every table entry is ICU's answer, and a
// sequence the tables cannot answer makes the caller use ICU, so the result always equals ICU's.
// Thread-safe; `charset` must be one of the three CJK charsets.
CjkTableDecodeResult decodeWithCjkTables(IcuCharset charset, QByteArrayView bytes, QString& out);

} // namespace dunmoss
