#include "platform/Defaults.h"

#include "platform/DiskProgress.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QThread>
#include <QThreadPool>
#include <utility>

namespace dunmoss {

namespace {

const QString kDataMarker = QStringLiteral("@data");

QJsonValue toJson(const QVariant& value) {
    if (value.typeId() == QMetaType::QByteArray) {
        QJsonObject object;
        object.insert(kDataMarker, QString::fromLatin1(value.toByteArray().toBase64()));
        return object;
    }
    if (value.typeId() == QMetaType::QStringList) {
        QJsonArray array;
        for (const QString& s : value.toStringList())
            array.append(s);
        return array;
    }
    if (value.typeId() == QMetaType::QVariantList) {
        QJsonArray array;
        for (const QVariant& v : value.toList())
            array.append(toJson(v));
        return array;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        QJsonObject object;
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            object.insert(it.key(), toJson(it.value()));
        return object;
    }
    return QJsonValue::fromVariant(value);
}

QVariant fromJson(const QJsonValue& value) {
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        if (object.size() == 1 && object.contains(kDataMarker))
            return QByteArray::fromBase64(object.value(kDataMarker).toString().toLatin1());
        QVariantMap map;
        for (auto it = object.begin(); it != object.end(); ++it)
            map.insert(it.key(), fromJson(it.value()));
        return map;
    }
    if (value.isArray()) {
        QVariantList list;
        for (const QJsonValue& v : value.toArray())
            list.append(fromJson(v));
        return list;
    }
    if (value.isDouble()) {
        // Whole numbers come back as 64-bit integers, exactly (through a double they would lose
        // digits above 2^53); anything else, including whole numbers beyond that range, as a
        // double.
        const QVariant number = value.toVariant();
        if (number.typeId() == QMetaType::LongLong)
            return QVariant::fromValue<qint64>(number.toLongLong());
        return number.toDouble();
    }
    return value.toVariant();
}

QString encode(const QVariant& value) {
    QJsonArray wrapper;
    wrapper.append(toJson(value));
    const QByteArray json = QJsonDocument(wrapper).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QVariant decode(const QVariant& stored) {
    if (!stored.isValid())
        return {};
    const QString text = stored.toString();
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray("[") + text.toUtf8() + QByteArray("]"), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray() || doc.array().size() != 1)
        return text; // written by hand or by an older build: keep the raw text
    return fromJson(doc.array().at(0));
}

QString standardPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Dunmoss Notepad/settings.ini");
}

// QSettings' own form of a key, so that the values read are found as it finds them.
QString normalizedKey(const QString& key) {
    // Most keys are in that form already, and are looked up at every refresh of a window.
    const bool plain = !key.startsWith(u'/') && !key.endsWith(u'/') && !key.contains(u'\\') &&
                       !key.contains(QLatin1String("//"));
    if (plain)
        return key;
    QString normal;
    normal.reserve(key.size());
    for (const QChar c : key) {
        if (c == u'/' && (normal.isEmpty() || normal.endsWith(u'/')))
            continue;
        normal.append(c == u'\\' ? u'/' : c);
    }
    if (normal.endsWith(u'/'))
        normal.chop(1);
    return normal;
}

void removeFromMap(QVariantMap& map, const QString& key) {
    // As QSettings removes a key: with every key under it.
    if (key.isEmpty()) {
        map.clear();
        return;
    }
    map.remove(key);
    const QString group = key + u'/';
    for (auto it = map.lowerBound(group); it != map.end() && it.key().startsWith(group);)
        it = map.erase(it);
}

} // namespace

Defaults::Defaults(const QString& iniPath, QObject* parent)
    : QObject(parent), m_settings(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {
    // QSettings would write the file from the event loop after each change: the store writes it
    // on a pool thread instead.
    m_settings->installEventFilter(this);
    m_filePath = m_settings->fileName();
    QMutexLocker fileLock(&m_fileMutex);
    QMutexLocker lock(&m_mutex);
    rereadLocked();
}

Defaults::~Defaults() {
    while (m_writesUnderWay.load() > 0)
        QThread::yieldCurrentThread();
    QMutexLocker fileLock(&m_fileMutex);
    QMutexLocker lock(&m_mutex);
    // The QSettings writes what it was given when it goes, as it always did.
    for (const PendingWrite& write : std::as_const(m_pending)) {
        if (write.value)
            m_settings->setValue(write.key, *write.value);
        else
            m_settings->remove(write.key);
    }
    m_pending.clear();
}

bool Defaults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_settings.get() && event->type() == QEvent::UpdateRequest)
        return true;
    return QObject::eventFilter(watched, event);
}

void Defaults::rereadLocked() {
    m_persistent.clear();
    for (const QString& key : m_settings->allKeys())
        m_persistent.insert(key, m_settings->value(key));
    for (const PendingWrite& write : std::as_const(m_pending)) {
        if (write.value)
            m_persistent.insert(write.key, *write.value);
        else
            removeFromMap(m_persistent, write.key);
    }
}

bool Defaults::writeFileLocked(bool reread) {
    QList<PendingWrite> pending;
    {
        QMutexLocker lock(&m_mutex);
        pending.swap(m_pending);
    }
    for (const PendingWrite& write : std::as_const(pending)) {
        if (write.value)
            m_settings->setValue(write.key, *write.value);
        else
            m_settings->remove(write.key);
    }
    {
        // The settings file is synced as it is written: a wait on the disk like any other.
        const DiskStep step;
        m_settings->sync();
    }
    const bool written = m_settings->status() != QSettings::AccessError;
    if (reread) {
        QMutexLocker lock(&m_mutex);
        rereadLocked();
    }
    return written;
}

Defaults& Defaults::standard() {
    static Defaults* const instance = [] {
        auto* defaults = new Defaults(standardPath());
        // QSettings writes its file from the event loop of the thread it belongs to, so it
        // belongs to the main thread whoever asks first.
        if (const QCoreApplication* app = QCoreApplication::instance()) {
            defaults->moveToThread(app->thread());
            defaults->m_settings->moveToThread(app->thread());
        }
        // Never destroyed, so QSettings never writes on destruction: write what is pending when
        // the application object goes, after the event loop has ended and the last handler of
        // the quit has stored its values.
        qAddPostRoutine([] { Defaults::standard().synchronize(); });
        return defaults;
    }();
    return *instance;
}

template <typename Write> void Defaults::writeAndNotify(const QStringList& keys, Write write) {
    QStringList changedKeys;
    {
        QMutexLocker lock(&m_mutex);
        QVariantList before;
        for (const QString& key : keys)
            before.append(valueLocked(key));
        write();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (valueLocked(keys[i]) != before[i])
                changedKeys.append(keys[i]);
        }
    }
    // Outside the lock: a listener may read or write the store.
    for (const QString& key : changedKeys)
        emit changed(key);
}

QVariant Defaults::value(const QString& key) const {
    QMutexLocker lock(&m_mutex);
    return valueLocked(key);
}

QVariant Defaults::valueLocked(const QString& key) const {
    auto arg = m_argumentDomain.constFind(key);
    if (arg != m_argumentDomain.constEnd())
        return arg.value();
    QVariant stored = persistentValueLocked(key);
    if (stored.isValid())
        return stored;
    return m_registered.value(key);
}

bool Defaults::contains(const QString& key) const {
    return value(key).isValid();
}

QVariant Defaults::persistentValue(const QString& key) const {
    QMutexLocker lock(&m_mutex);
    return persistentValueLocked(key);
}

QVariant Defaults::persistentValueLocked(const QString& key) const {
    return decode(m_persistent.value(normalizedKey(key)));
}

std::optional<QString> Defaults::stringValue(const QString& key) const {
    const QVariant v = value(key);
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

QString Defaults::string(const QString& key, const QString& fallback) const {
    return stringValue(key).value_or(fallback);
}

bool Defaults::boolean(const QString& key, bool fallback) const {
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().toLower();
        if (s == QLatin1String("true") || s == QLatin1String("yes") || s == QLatin1String("1"))
            return true;
        if (s == QLatin1String("false") || s == QLatin1String("no") || s == QLatin1String("0"))
            return false;
        return fallback;
    }
    return v.toBool();
}

qint64 Defaults::integer(const QString& key, qint64 fallback) const {
    const QVariant v = value(key);
    if (!v.isValid())
        return fallback;
    bool ok = false;
    const qint64 i = v.toLongLong(&ok);
    return ok ? i : fallback;
}

std::optional<QStringList> Defaults::stringList(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList();
    if (v.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList list;
    for (const QVariant& item : v.toList()) {
        if (item.typeId() != QMetaType::QString)
            return std::nullopt;
        list.append(item.toString());
    }
    return list;
}

std::optional<QByteArray> Defaults::data(const QString& key) const {
    const QVariant v = value(key);
    if (v.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return v.toByteArray();
}

void Defaults::setValue(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        remove(key);
        return;
    }
    const QString encoded = encode(value);
    writeAndNotify({key}, [&] {
        const QString normal = normalizedKey(key);
        m_persistent.insert(normal, encoded);
        m_pending.append(PendingWrite{normal, encoded});
    });
    scheduleWriteCheck();
}

void Defaults::remove(const QString& key) {
    writeAndNotify({key}, [&] {
        const QString normal = normalizedKey(key);
        removeFromMap(m_persistent, normal);
        m_pending.append(PendingWrite{normal, std::nullopt});
    });
    scheduleWriteCheck();
}

void Defaults::scheduleWriteCheck() {
    // One write for a run of changes, after the change that asked has returned.
    if (m_writeCheckScheduled.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            ++m_writesUnderWay;
            QThreadPool::globalInstance()->start([this] {
                m_writeCheckScheduled = false;
                QString failedPath;
                {
                    QMutexLocker fileLock(&m_fileMutex);
                    if (!writeFileLocked(false)) {
                        if (!std::exchange(m_writeFailureReported, true))
                            failedPath = m_filePath;
                    } else {
                        m_writeFailureReported = false;
                    }
                }
                if (!failedPath.isEmpty())
                    QMetaObject::invokeMethod(
                        this, [this, failedPath] { emit writeFailed(failedPath); },
                        Qt::QueuedConnection);
                --m_writesUnderWay;
            });
        },
        Qt::QueuedConnection);
}

void Defaults::registerDefaults(const QVariantMap& values) {
    QMutexLocker lock(&m_mutex);
    for (auto it = values.begin(); it != values.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariantMap Defaults::argumentDomain() const {
    QMutexLocker lock(&m_mutex);
    return m_argumentDomain;
}

void Defaults::setArgumentDomain(const QVariantMap& domain) {
    QStringList keys = argumentDomain().keys() + domain.keys();
    keys.removeDuplicates();
    writeAndNotify(keys, [&] { m_argumentDomain = domain; });
}

void Defaults::removeArgumentDomain() {
    setArgumentDomain({});
}

bool Defaults::synchronize() {
    QString failedPath;
    {
        QMutexLocker fileLock(&m_fileMutex);
        if (writeFileLocked(true)) {
            m_writeFailureReported = false;
            return true;
        }
        if (!std::exchange(m_writeFailureReported, true))
            failedPath = m_filePath;
    }
    if (!failedPath.isEmpty())
        emit writeFailed(failedPath);
    return false;
}

QString Defaults::filePath() const {
    return m_filePath;
}

} // namespace dunmoss
