#pragma once

#include <QByteArrayView>
#include <QString>

namespace dunmoss {

// Whether a native file name or path is valid UTF-8: only then does its text form name the
// same file again (the bytes of any other name are changed by the conversion to text).
bool isValidUtf8Name(QByteArrayView native);

// A readable form of a native name or path that need not be valid UTF-8, for showing only: what
// is valid UTF-8 as it stands, every other byte as "\xNN" (upper-case hexadecimal).
QString readableFileName(QByteArrayView native);

} // namespace dunmoss
