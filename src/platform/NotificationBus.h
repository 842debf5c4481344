#pragma once

#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <QUuid>

namespace dunmoss {

// One batch of files the system handed to the application; its identifier lets exactly one
// editor window open it.
struct DunmossOpenURLRequest {
    QUuid id;
    QList<QUrl> urls;
};

// The process-wide notifications between the application and its editor windows, with typed
// signals. Open requests are also kept here until a window claims them: a request posted while
// no window listens yet (one only asked for, or still starting) waits for the first window that
// finishes its start-up, and the claim makes sure no two windows open the same batch. Main thread
// only.
class NotificationBus : public QObject {
    Q_OBJECT
public:
    static NotificationBus& shared();

    // Keeps the request until claimed and tells every listening window.
    DunmossOpenURLRequest postOpenURLRequest(const QList<QUrl>& urls);
    // A plain list of files, opened by every window that receives it; nothing is kept.
    void postOpenURLList(const QList<QUrl>& urls);
    void postApplicationWillTerminate();

    // True exactly once per identifier: the caller now owns the request and opens it.
    bool claimOpenURLRequest(const QUuid& id);
    bool isOpenURLRequestHandled(const QUuid& id) const { return m_handled.contains(id); }
    // Requests nobody has claimed yet, oldest first.
    const QList<DunmossOpenURLRequest>& unclaimedOpenURLRequests() const { return m_unclaimed; }

    // Back to the launch state (tests).
    void reset();

signals:
    void openURLRequestPosted(const dunmoss::DunmossOpenURLRequest& request);
    void openURLListPosted(const QList<QUrl>& urls);
    void applicationWillTerminate();

private:
    QList<DunmossOpenURLRequest> m_unclaimed;
    // Identifiers are never removed: a late window must not open a batch a second time.
    QSet<QUuid> m_handled;
};

} // namespace dunmoss
