#pragma once

#include "text/TextEdit.h"

#include <ostream>

namespace dunmoss {

// Readable failure messages for edit results.
inline void PrintTo(const TextEdit& edit, std::ostream* out) {
    *out << '"' << edit.text.toStdString() << "\" {" << edit.selection.location << ", "
         << edit.selection.length << '}';
}

inline void PrintTo(const SpliceEdit& edit, std::ostream* out) {
    *out << edit.splice.position << ": \"" << edit.splice.removed.toStdString() << "\" > \""
         << edit.splice.inserted.toStdString() << "\" {" << edit.selection.location << ", "
         << edit.selection.length << '}';
}

inline void PrintTo(const TextRange& range, std::ostream* out) {
    *out << '{' << range.location << ", " << range.length << '}';
}

} // namespace dunmoss
