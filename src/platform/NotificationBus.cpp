#include "platform/NotificationBus.h"

namespace dunmoss {

NotificationBus& NotificationBus::shared() {
    static NotificationBus* bus = new NotificationBus;
    return *bus;
}

DunmossOpenURLRequest NotificationBus::postOpenURLRequest(const QList<QUrl>& urls) {
    const DunmossOpenURLRequest request{QUuid::createUuid(), urls};
    m_unclaimed.append(request);
    emit openURLRequestPosted(request);
    return request;
}

void NotificationBus::postOpenURLList(const QList<QUrl>& urls) {
    emit openURLListPosted(urls);
}

void NotificationBus::postApplicationWillTerminate() {
    emit applicationWillTerminate();
}

bool NotificationBus::claimOpenURLRequest(const QUuid& id) {
    if (m_handled.contains(id))
        return false;
    m_handled.insert(id);
    m_unclaimed.removeIf([&id](const DunmossOpenURLRequest& request) { return request.id == id; });
    return true;
}

void NotificationBus::reset() {
    m_unclaimed.clear();
    m_handled.clear();
}

} // namespace dunmoss
