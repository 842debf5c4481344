#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace dunmoss {

// One running instance per user and settings store. The first launch listens on a local socket;
// a later launch hands its files to it (an empty list asks it to bring a window forward) and
// ends. A socket left behind by an instance that crashed is removed before listening. The check
// and the listening happen under a lock file, so two launches at once cannot both become the
// running instance.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        // This process listens and receives later launches' files.
        Primary,
        // The running instance took the files; this process should end.
        HandedOver,
        // Neither: no socket could be had; this process runs on its own.
        Alone,
    };

    // The socket: $DUNMOSS_INSTANCE_SOCKET when set (tests), else a name in the user's runtime
    // folder (or the temporary folder) made of the user id and the settings location, so that
    // separate settings stores never share an instance.
    static QString defaultServerName();

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Hands the absolute paths over when an instance runs, else becomes the running instance.
    Role claim(const QStringList& absolutePaths);
    const QString& serverName() const { return m_serverName; }

    // Stops listening, so that a launch made now becomes the running instance itself (used
    // before this process starts its successor).
    void release();
    // Listens again after release() when no other instance took the name meanwhile.
    bool reacquire();
    bool isListening() const { return m_server != nullptr; }

    // Answers a running instance's "report-tabs" query with these paths (automated testing
    // only: the program sets it under its testing flag). Nothing is answered while unset.
    void setTabReporter(std::function<QStringList()> reporter) { m_reporter = std::move(reporter); }

    // Client side of the query above: the running instance's open files, or nothing when it did
    // not answer.
    static std::optional<QStringList> queryOpenTabs(const QString& serverName, int timeoutMs);

signals:
    void openFilesRequested(const QList<QUrl>& urls);
    void reopenRequested();

private:
    bool handOver(const QStringList& absolutePaths);
    bool listen();
    void receive(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
    std::function<QStringList()> m_reporter;
};

} // namespace dunmoss
