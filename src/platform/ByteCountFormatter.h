#pragma once

#include <QString>
#include <functional>

namespace dunmoss {

// A file size for people, in decimal units (1 KB = 1000 bytes): "Zero KB", "1 byte",
// "999 bytes", "2 KB", "1.5 MB", "2.35 GB". Whole kilobytes; one decimal for megabytes; two
// for larger units; trailing zeros dropped.
QString formatFileByteCount(qint64 byteCount);
// The same with the unit words taken from the given localiser (key in, format string out).
QString formatFileByteCount(qint64 byteCount,
                            const std::function<QString(const QString&)>& localizer);

} // namespace dunmoss
