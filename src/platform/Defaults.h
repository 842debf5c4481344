#pragma once

#include <QMutex>
#include <QObject>
#include <QSettings>
#include <QVariant>
#include <QVariantMap>
#include <atomic>
#include <memory>
#include <optional>

namespace dunmoss {

// The user's settings database. Three domains are searched in order: the volatile argument
// domain (this process only), the persistent domain (an INI file per user) and the registered
// defaults. Values keep their type across launches (they are stored as JSON text), so a
// one-element string list reads back as a list. Keys are used verbatim.
//
// Safe to use from several threads (the localised-string lookup reads it from background work).
// `changed(key)` is emitted, on the writing thread, only when the value read for the key
// changes, so a listener that stores the value it was told about ends the chain.
class Defaults : public QObject {
    Q_OBJECT
public:
    // An INI file at the given path (tests use a temporary one).
    explicit Defaults(const QString& iniPath, QObject* parent = nullptr);
    ~Defaults() override;

    // The process-wide store under the XDG config folder.
    static Defaults& standard();

    QVariant value(const QString& key) const;
    bool contains(const QString& key) const;
    std::optional<QString> stringValue(const QString& key) const;
    QString string(const QString& key, const QString& fallback = {}) const;
    bool boolean(const QString& key, bool fallback = false) const;
    qint64 integer(const QString& key, qint64 fallback = 0) const;
    // The value as a list of strings; nothing when absent or when it is not a list of strings.
    std::optional<QStringList> stringList(const QString& key) const;
    std::optional<QByteArray> data(const QString& key) const;

    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    void registerDefaults(const QVariantMap& values);

    // The persistent domain alone.
    QVariant persistentValue(const QString& key) const;

    // The volatile argument domain, which wins over the persistent one for this process.
    QVariantMap argumentDomain() const;
    void setArgumentDomain(const QVariantMap& domain);
    void removeArgumentDomain();

    // Writes pending values now; false when the file could not be written.
    bool synchronize();
    QString filePath() const;

signals:
    void changed(const QString& key);
    // The settings file could not be written (a folder in its place, a folder without write
    // permission): what is set lasts only for this run. Emitted once, and again only after a
    // write has succeeded in between. Writes are checked on the store's thread soon after
    // each change.
    void writeFailed(const QString& path);

private:
    QVariant valueLocked(const QString& key) const;
    QVariant persistentValueLocked(const QString& key) const;
    // Runs `write` under the lock and reports the keys whose value it changed.
    template <typename Write> void writeAndNotify(const QStringList& keys, Write write);
    void scheduleWriteCheck();

    mutable QMutex m_mutex;
    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_argumentDomain;
    QVariantMap m_registered;
    std::atomic<bool> m_writeCheckScheduled = false;
    bool m_writeFailureReported = false;
};

} // namespace dunmoss
