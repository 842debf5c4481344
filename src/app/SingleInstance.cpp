#include "app/SingleInstance.h"

#include "platform/InstanceLock.h"
#include "platform/Localization.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

// Between two tries while the running instance is not listening yet (starting, or its
// successor's turn has not come).
constexpr int kRetryMs = 100;
// A message larger than this is not a list of paths a launch would send.
constexpr qint64 kMaximumMessageBytes = 4 * 1024 * 1024;

QByteArray message(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Where the socket of a server name lives (a bare name goes to the temporary folder).
QString socketPath(const QString& serverName) {
    return QFileInfo(serverName).isAbsolute() ? serverName
                                              : QDir(QDir::tempPath()).filePath(serverName);
}

// A socket someone else made (possible in a shared temporary folder) is never talked to: the
// files a launch hands over would go to that user.
bool isOwnedByAnotherUser(const QString& path) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return status.st_uid != ::getuid();
}

// The folder a lock and socket may live in: this user's own, which nobody else can write to, so
// that nobody else can hold the lock or stand in for the socket. A missing folder is made private
// to this user (in the shared temporary folder the name is predictable: whoever made it first
// owns it, and one made by someone else is never used).
bool isPrivateFolder(const QString& folder) {
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno == ENOENT &&
        QDir().mkpath(QFileInfo(folder).absolutePath()))
        ::mkdir(native.constData(), 0700);
    struct stat status {};
    return ::lstat(native.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::getuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

struct Exchange {
    // The one-line answer; nothing when none came.
    std::optional<QByteArray> answer;
    // The request left this process: the other end reads it whenever it gets to it.
    bool delivered = false;
};

// Sends one line and waits for the one-line answer until the deadline, as long as the other end
// stays connected; `stillWaiting` runs about twice a second while no answer came.
Exchange exchange(const QString& serverName, const QByteArray& line, QDeadlineTimer deadline,
                  const std::function<void()>& stillWaiting = {}) {
    Exchange result;
    if (isOwnedByAnotherUser(socketPath(serverName)))
        return result;
    const auto remaining = [&] { return int(qMax<qint64>(deadline.remainingTime(), 0)); };
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(remaining()))
        return result;
    socket.write(line);
    if (!socket.waitForBytesWritten(remaining()))
        return result;
    result.delivered = true;
    QByteArray answer;
    for (;;) {
        // Also what a turn of the event loop (the waiting notice painting itself) took in: the
        // socket holds it already, and no new data will come to wait for.
        answer += socket.readAll();
        if (answer.contains('\n'))
            break;
        if (!socket.waitForReadyRead(qMin(remaining(), 500)) && socket.bytesAvailable() == 0) {
            // Gone (it ended or crashed), or out of time; else it is busy and is waited for.
            if (socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
                return result;
            if (stillWaiting)
                stillWaiting();
        }
    }
    result.answer = answer.left(answer.indexOf('\n'));
    return result;
}

} // namespace

QStringList SingleInstance::defaultServerNames() {
    const QByteArray overridden = qgetenv("DUNMOSS_INSTANCE_SOCKET");
    if (!overridden.isEmpty())
        return QString::fromLocal8Bit(overridden).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(settings.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    const QString user = QString::number(::getuid());
    const QString name = QStringLiteral("dunmoss-notepad-%1-%2").arg(user, digest);
    // The runtime folder belongs to the user alone. Else a folder of the user's own in the
    // shared temporary folder; should someone else have taken that name, one in the user's
    // data folder, where a socket works too as long as its path is short enough.
    QStringList names;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        names.append(QDir(runtime).filePath(name));
    names.append(QDir(QDir::tempPath()).filePath(QStringLiteral("dunmoss-notepad-") + user) + u'/' +
                 name);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        names.append(QDir(data).filePath(QStringLiteral("Dunmoss Notepad/")) + name);
    return names;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : SingleInstance(QStringList{std::move(serverName)}, parent) {}

SingleInstance::SingleInstance(QStringList serverNames, QObject* parent)
    : QObject(parent), m_candidates(std::move(serverNames)), m_serverName(m_candidates.value(0)) {}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock: once the lock is free, the socket at the name may be a
    // new instance's.
    release();
    m_lock.reset();
}

SingleInstance::Role SingleInstance::claim(const QStringList& absolutePaths) {
    m_requestDelivered = false;
    m_unlockableFolders.clear();
    for (const QString& name : m_candidates)
        if (const std::optional<Role> role = claimAt(name, absolutePaths))
            return *role;
    return Role::Unguarded;
}

std::optional<SingleInstance::Role> SingleInstance::claimAt(const QString& serverName,
                                                            const QStringList& absolutePaths) {
    const QString lockPath = socketPath(serverName) + QStringLiteral(".lock");
    // A lock someone else made would keep this launch waiting for nobody.
    const QString folder = QFileInfo(lockPath).absolutePath();
    if (!isPrivateFolder(folder) || isOwnedByAnotherUser(lockPath)) {
        m_unlockableFolders.append(folder);
        return std::nullopt;
    }
    // A live instance keeps its lock however long it runs or is busy; a process that is gone
    // holds none.
    auto lock = std::make_unique<InstanceLock>(lockPath);
    const QDeadlineTimer deadline(m_answerTimeoutMs);
    QElapsedTimer waited;
    waited.start();
    bool toldWaiting = false;
    const auto stillWaiting = [this, &toldWaiting, &waited] {
        if (!waited.hasExpired(kSlowAnswerMs))
            return;
        if (!toldWaiting)
            std::fputs(qPrintable(localizedString(QStringLiteral("instance.waiting")) + u'\n'),
                       stderr);
        toldWaiting = true;
        if (m_whileWaiting)
            m_whileWaiting();
    };
    m_serverName = serverName;
    for (;;) {
        const InstanceLock::Result locked = lock->tryLock();
        if (locked == InstanceLock::Result::Locked) {
            m_lock = std::move(lock);
            // Kept even when nobody can reach this process (listening failed): a later launch
            // then reports that, where it would otherwise write the same session.
            listen();
            return Role::Primary;
        }
        if (locked == InstanceLock::Result::Unavailable) {
            // No lock can be made here (an unwritable folder); the next place is tried.
            m_unlockableFolders.append(QFileInfo(socketPath(serverName)).absolutePath());
            return std::nullopt;
        }
        // A live instance holds the lock: it takes the files, even when it is busy a while.
        if (exchangePaths(absolutePaths, deadline, stillWaiting))
            return Role::HandedOver;
        if (deadline.hasExpired())
            return Role::Unanswered;
        QThread::msleep(kRetryMs);
        stillWaiting();
    }
}

QString SingleInstance::unguardedMessage() const {
    QStringList folders;
    for (const QString& folder : m_unlockableFolders)
        folders.append(QDir::toNativeSeparators(folder));
    return localizedString(QStringLiteral("instance.unguarded.format"))
        .arg(folders.join(QStringLiteral(", ")));
}

QString SingleInstance::unansweredMessage() const {
    const QString seconds = QString::number((m_answerTimeoutMs + 999) / 1000);
    return localizedString(m_requestDelivered
                               ? QStringLiteral("instance.unanswered.busy.format")
                               : QStringLiteral("instance.unanswered.unreachable.format"))
        .arg(seconds);
}

void SingleInstance::release() {
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

bool SingleInstance::reacquire() {
    if (m_server)
        return true;
    if (!m_lock)
        return false;
    return listen();
}

bool SingleInstance::exchangePaths(const QStringList& absolutePaths, QDeadlineTimer deadline,
                                   const std::function<void()>& stillWaiting) {
    QJsonObject request;
    request.insert(QStringLiteral("paths"), QJsonArray::fromStringList(absolutePaths));
    const Exchange done = exchange(m_serverName, message(request), deadline, stillWaiting);
    m_requestDelivered = m_requestDelivered || done.delivered;
    return done.answer && *done.answer == "ok";
}

bool SingleInstance::listen() {
    if (isOwnedByAnotherUser(socketPath(m_serverName)))
        return false;
    // This process holds the lock, so no live instance listens there: whatever socket file is
    // left was left by one that is gone.
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { receive(socket); });
        }
    });
    return true;
}

void SingleInstance::receive(QLocalSocket* socket) {
    if (socket->bytesAvailable() + socket->property("buffer").toByteArray().size() >
        kMaximumMessageBytes) {
        socket->abort();
        return;
    }
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0) {
        socket->setProperty("buffer", buffer);
        return;
    }
    socket->setProperty("buffer", QByteArray());
    const QJsonObject request = QJsonDocument::fromJson(buffer.left(end)).object();
    if (request.value(QStringLiteral("query")).toString() == QStringLiteral("report-tabs")) {
        if (m_reporter) {
            QJsonObject reply;
            reply.insert(QStringLiteral("tabs"), QJsonArray::fromStringList(m_reporter()));
            socket->write(message(reply));
        } else {
            socket->write("unavailable\n");
        }
        socket->flush();
        return;
    }
    const QJsonValue paths = request.value(QStringLiteral("paths"));
    if (!paths.isArray()) {
        socket->write("error\n");
        socket->flush();
        return;
    }
    // Only absolute local paths: the sender made them absolute against its own folder.
    QList<QUrl> urls;
    for (const QJsonValue& value : paths.toArray()) {
        const QString path = value.toString();
        if (!path.isEmpty() && QFileInfo(path).isAbsolute())
            urls.append(QUrl::fromLocalFile(QDir::cleanPath(path)));
    }
    socket->write("ok\n");
    socket->flush();
    if (paths.toArray().isEmpty())
        emit reopenRequested();
    else if (!urls.isEmpty())
        emit openFilesRequested(urls);
}

std::optional<QStringList> SingleInstance::queryOpenTabs(const QString& serverName, int timeoutMs) {
    QJsonObject query;
    query.insert(QStringLiteral("query"), QStringLiteral("report-tabs"));
    const std::optional<QByteArray> answer =
        exchange(serverName, message(query), QDeadlineTimer(timeoutMs)).answer;
    if (!answer)
        return std::nullopt;
    const QJsonValue tabs = QJsonDocument::fromJson(*answer).object().value(QStringLiteral("tabs"));
    if (!tabs.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue& value : tabs.toArray())
        out.append(value.toString());
    return out;
}

} // namespace dunmoss
