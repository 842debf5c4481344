#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace dunmoss {

class InstanceLock;

// One running instance per user and settings store, so that one process alone writes the
// session. The running instance holds a lock file in the user's runtime folder (or, when no lock
// can be made there, in a folder of the user's own) for as long as it lives; a later launch hands
// its files to it over a local socket beside the lock (an empty list asks it to bring a window
// forward) and ends. A launch never takes over from a live instance, however long that one is
// busy: it waits for the answer, and when none comes in time it reports and ends. Only a lock
// left by an instance that is gone (crashed) is taken over, and only then is the socket it left
// removed. Where no lock can be made at all, a launch cannot know it is alone and should not run.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Role {
        // This process listens and receives later launches' files.
        Primary,
        // The running instance took the files; this process should end.
        HandedOver,
        // No lock could be made in any of the places tried: this process cannot know whether
        // another one runs and writes the same session; it should report it and end.
        Unguarded,
        // A running instance holds the lock but did not answer in time; this process should
        // report it and end.
        Unanswered,
    };

    // How long a launch waits for a busy running instance to answer.
    static constexpr int kDefaultAnswerTimeoutMs = 60'000;

    // The sockets to try, in order: those of $DUNMOSS_INSTANCE_SOCKET when set (tests; several
    // separated as in PATH), else a name made of the user id and the settings location (so that
    // separate settings stores never share an instance) in the user's runtime folder, then in a
    // folder "dunmoss-notepad-<user id>" of the temporary folder, then in the user's data folder.
    // A place is used only in a folder that belongs to this user and that nobody else can write
    // to (a missing one is made so), and never with a lock someone else made.
    static QStringList defaultServerNames();

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    // Tries each name in turn, going to the next only when no lock can be made for one.
    explicit SingleInstance(QStringList serverNames, QObject* parent = nullptr);
    ~SingleInstance() override;

    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds; }
    // Called on the launch's thread once it has waited about kSlowAnswerMs for a busy running
    // instance, and then about twice a second until the wait ends: to show a notice and keep it
    // painted (the wait blocks the thread).
    void setWhileWaiting(std::function<void()> whileWaiting) {
        m_whileWaiting = std::move(whileWaiting);
    }
    static constexpr int kSlowAnswerMs = 3000;
    // Hands the absolute paths over when an instance runs, else becomes the running instance.
    // Blocks while a running instance is busy, up to the answer timeout.
    Role claim(const QStringList& absolutePaths);
    const QString& serverName() const { return m_serverName; }
    // After Unanswered: the request reached the running instance, which will act on it once it
    // is free (else it could not be reached at all).
    bool requestDelivered() const { return m_requestDelivered; }
    // The report for an Unanswered claim, in the interface language.
    QString unansweredMessage() const;
    // The report for an Unguarded claim: the folders where no lock could be made.
    QString unguardedMessage() const;

    // Stops listening while keeping the lock: a launch made now (this process's successor)
    // waits for this process to end and then becomes the running instance.
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
    // Sends the paths to the running instance; true once it said it took them.
    bool exchangePaths(const QStringList& absolutePaths, QDeadlineTimer deadline,
                       const std::function<void()>& stillWaiting);
    // The claim at one name; nothing when no lock can be made there.
    std::optional<Role> claimAt(const QString& serverName, const QStringList& absolutePaths);
    bool listen();
    void receive(QLocalSocket* socket);

    QStringList m_candidates;
    QString m_serverName;
    QStringList m_unlockableFolders;
    std::function<void()> m_whileWaiting;
    int m_answerTimeoutMs = kDefaultAnswerTimeoutMs;
    bool m_requestDelivered = false;
    std::unique_ptr<InstanceLock> m_lock;
    QLocalServer* m_server = nullptr;
    std::function<QStringList()> m_reporter;
};

} // namespace dunmoss
