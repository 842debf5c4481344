#pragma once

#include "platform/FileError.h"
#include "text/PlainTextDocument.h"

#include <QByteArray>
#include <QUrl>

namespace dunmoss {

// The bytes a document is written as: LF turned into its line ending, then encoded without
// loss. Throws FileError (FileWriteInapplicableStringEncoding, naming the file) when a
// character cannot be held by the encoding. Documents are then written with writeAtomically
// by the window's writer (see DocumentWriteQueue).
QByteArray encodedDocumentBytes(const PlainTextDocument& document, const QUrl& destination);

} // namespace dunmoss
