#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <sys/stat.h>
#include <unistd.h>

namespace dunmoss {

namespace {

constexpr int kHandOverTimeoutMs = 3000;
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

// Sends one line and returns the one-line answer, or nothing.
std::optional<QByteArray> exchange(const QString& serverName, const QByteArray& line,
                                   int timeoutMs) {
    if (isOwnedByAnotherUser(socketPath(serverName)))
        return std::nullopt;
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(line);
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(timeoutMs))
            return std::nullopt;
        answer += socket.readAll();
    }
    return answer.left(answer.indexOf('\n'));
}

} // namespace

QString SingleInstance::defaultServerName() {
    const QByteArray overridden = qgetenv("DUNMOSS_INSTANCE_SOCKET");
    if (!overridden.isEmpty())
        return QString::fromLocal8Bit(overridden);
    const QString settings =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(settings.toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
    const QString name =
        QStringLiteral("dunmoss-notepad-%1-%2").arg(QString::number(::getuid()), digest);
    // The runtime folder belongs to the user alone; the temporary one is shared, so the socket
    // there is made accessible to its owner only.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return name;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::claim(const QStringList& absolutePaths) {
    const QString lockPath = socketPath(m_serverName) + QStringLiteral(".lock");
    QLockFile lock(lockPath);
    // A lock left by a crashed launch is taken over once it is stale.
    lock.setStaleLockTime(10'000);
    const bool locked = lock.tryLock(kHandOverTimeoutMs);
    if (handOver(absolutePaths))
        return Role::HandedOver;
    if (!locked)
        return Role::Alone;
    return listen() ? Role::Primary : Role::Alone;
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
    // Someone answering on the name is the running instance now.
    if (exchange(m_serverName, message(QJsonObject{{QStringLiteral("ping"), true}}), 500))
        return false;
    return listen();
}

bool SingleInstance::handOver(const QStringList& absolutePaths) {
    QJsonObject request;
    request.insert(QStringLiteral("paths"), QJsonArray::fromStringList(absolutePaths));
    const std::optional<QByteArray> answer =
        exchange(m_serverName, message(request), kHandOverTimeoutMs);
    return answer && *answer == "ok";
}

bool SingleInstance::listen() {
    if (isOwnedByAnotherUser(socketPath(m_serverName)))
        return false;
    // Nobody answered above: whatever socket file is there was left by a crash.
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
    const std::optional<QByteArray> answer = exchange(serverName, message(query), timeoutMs);
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
