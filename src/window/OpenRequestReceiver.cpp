#include "window/OpenRequestReceiver.h"

#include "window/EditorWindowModel.h"
#include "window/IncomingFiles.h"

#include <QPointer>
#include <QTimer>

namespace dunmoss {

OpenRequestReceiver::OpenRequestReceiver(EditorWindowModel& model,
                                         std::function<bool()> isKeyWindow, NotificationBus& bus,
                                         QObject* parent)
    : QObject(parent), m_model(model), m_isKeyWindow(std::move(isKeyWindow)), m_bus(bus),
      m_claims(new QObject(this)) {
    connect(&bus, &NotificationBus::openURLRequestPosted, this,
            &OpenRequestReceiver::receiveRequest);
    connect(&bus, &NotificationBus::openURLListPosted, this, &OpenRequestReceiver::receiveList);
}

void OpenRequestReceiver::startListening() {
    m_listening = true;
    // Copied: opening may post or claim and so change the bus's list.
    const QList<DunmossOpenURLRequest> waiting = m_bus.unclaimedOpenURLRequests();
    for (const DunmossOpenURLRequest& request : waiting)
        claimAndOpen(request);
}

void OpenRequestReceiver::stopListening() {
    m_listening = false;
    delete m_claims;
    m_claims = new QObject(this);
    m_pendingClaims = 0;
}

void OpenRequestReceiver::receiveRequest(const DunmossOpenURLRequest& request) {
    if (!m_listening)
        return;
    if (m_isKeyWindow && m_isKeyWindow()) {
        claimAndOpen(request);
        return;
    }
    ++m_pendingClaims;
    const QPointer<OpenRequestReceiver> self = this;
    QTimer::singleShot(kClaimDelayMs, m_claims, [self, request] {
        if (!self)
            return;
        --self->m_pendingClaims;
        if (self->m_listening)
            self->claimAndOpen(request);
    });
}

void OpenRequestReceiver::receiveList(const QList<QUrl>& urls) {
    if (m_listening)
        IncomingFiles(m_model).openURLs(urls);
}

void OpenRequestReceiver::claimAndOpen(const DunmossOpenURLRequest& request) {
    if (m_bus.claimOpenURLRequest(request.id))
        IncomingFiles(m_model).openURLs(request.urls);
}

} // namespace dunmoss
