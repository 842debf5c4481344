#include "window/DocumentFileWriter.h"

#include "text/TextFileLoader.h"

namespace dunmoss {

QByteArray encodedDocumentBytes(const PlainTextDocument& document, const QUrl& destination) {
    try {
        return fileDataForSaving(document);
    } catch (const FileError& error) {
        throw FileError(error.code(), destination.toLocalFile(), error.systemMessage());
    }
}

} // namespace dunmoss
