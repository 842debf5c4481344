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

    // Writes pending values now, on the calling thread, and reads what others wrote to the
    // file meanwhile; false when the file could not be written.
    bool synchronize();
    QString filePath() const;

signals:
    void changed(const QString& key);
    // The settings file could not be written (a folder in its place, a folder without write
    // permission): what is set lasts only for this run. Emitted once, and again only after a
    // write has succeeded in between, on the store's thread. Each run of changes is written on
    // a pool thread soon after it, so no thread that reads or sets a value waits for the disk.
    void writeFailed(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A change not yet handed to the file's QSettings: a value, or nothing for a removal.
    struct PendingWrite {
        QString key;
        std::optional<QString> value;
    };
    QVariant valueLocked(const QString& key) const;
    QVariant persistentValueLocked(const QString& key) const;
    // Runs `write` under the lock and reports the keys whose value it changed.
    template <typename Write> void writeAndNotify(const QStringList& keys, Write write);
    void scheduleWriteCheck();
    // Hands the pending changes to the file and writes it; with `reread`, what the file holds
    // then becomes what is read. Under m_fileMutex.
    bool writeFileLocked(bool reread);
    // The persistent domain as the file's QSettings holds it, with the pending changes on top.
    void rereadLocked();

    // Guards what is read and set: the domains and the pending changes. Never held while the
    // file is written.
    mutable QMutex m_mutex;
    // Guards the file's QSettings and the failure report; held while the file is written.
    QMutex m_fileMutex;
    std::unique_ptr<QSettings> m_settings;
    QString m_filePath;
    // What the persistent domain holds, read by every lookup instead of the QSettings.
    QVariantMap m_persistent;
    QList<PendingWrite> m_pending;
    // Writes on pool threads not yet over; the store waits for them when it goes.
    std::atomic<int> m_writesUnderWay = 0;
    QVariantMap m_argumentDomain;
    QVariantMap m_registered;
    std::atomic<bool> m_writeCheckScheduled = false;
    bool m_writeFailureReported = false;
};

} // namespace dunmoss
