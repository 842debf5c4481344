#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace dunmoss {

class Defaults;

// Values that may grow past what a settings file should hold live in files of their own beside
// it, written by the SessionWriter; older versions kept them under settings keys.

// The path of the named file in the settings file's folder.
QString pathBesideSettings(const Defaults& defaults, const char* fileName);

// The file's bytes; nothing when it is missing, unreadable or no regular file (a FIFO put there
// would block the start for ever).
std::optional<QByteArray> readRegularFile(const QString& path);

// Moves a value an older version kept under the key out of the settings: the bytes replace the
// file's when `writeFile` is set, then the key goes. The key stays, and false is answered, when
// the file cannot be written, so the value keeps a home.
bool moveSettingsValueToFile(Defaults& defaults, const QString& key, const QByteArray& bytes,
                             const QString& path, bool writeFile);

} // namespace dunmoss
