#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace dunmoss {

class Defaults;
class StoredValue;

// Values that may grow past what a settings file should hold live in files of their own beside
// it, written by the SessionWriter; older versions kept them under settings keys.

// The path of the named file in the settings file's folder.
QString pathBesideSettings(const Defaults& defaults, const char* fileName);

// The file's bytes; nothing when it is missing, unreadable or no regular file (a FIFO put there
// would block the start for ever).
std::optional<QByteArray> readRegularFile(const QString& path);

// Moves a value an older version kept under the key out of the settings. With a value, the
// background writer replaces the file's bytes with it and the key goes once the file holds it;
// when the write fails the key stays, so the value keeps a home and the next start moves it
// again. Without one (the file holds the value already) the key goes at once. Main thread;
// never waits for the disk.
void moveSettingsValueToFile(Defaults& defaults, const QString& key,
                             std::shared_ptr<const StoredValue> value, const QString& path);

} // namespace dunmoss
