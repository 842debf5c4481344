#pragma once

#include "platform/NotificationBus.h"

#include <QObject>
#include <functional>

namespace dunmoss {

class EditorWindowModel;

// A window's receiver of the system's open requests. It listens only between the end of its
// window's start-up (so a restored session cannot replace the tabs it opens) and the window's
// close. On starting to listen it takes every request nobody has claimed yet. A request that
// arrives while listening is claimed at once by the active window; any other window waits 0.15 s
// and claims it only if no window did meanwhile. The wait belongs to this receiver: a window that
// closes or goes away during it claims nothing, and the request stays for another window.
class OpenRequestReceiver : public QObject {
    Q_OBJECT
public:
    static constexpr int kClaimDelayMs = 150;

    // `isKeyWindow` tells whether the window is the active one when a request arrives.
    OpenRequestReceiver(EditorWindowModel& model, std::function<bool()> isKeyWindow,
                        NotificationBus& bus = NotificationBus::shared(),
                        QObject* parent = nullptr);

    bool isListening() const { return m_listening; }
    // Start-up finished: opens every unclaimed request, then handles new ones.
    void startListening();
    // The window closes: no new request is handled and no waiting claim goes ahead.
    void stopListening();
    int pendingClaimCount() const { return m_pendingClaims; }

private:
    void receiveRequest(const DunmossOpenURLRequest& request);
    void receiveList(const QList<QUrl>& urls);
    void claimAndOpen(const DunmossOpenURLRequest& request);

    EditorWindowModel& m_model;
    std::function<bool()> m_isKeyWindow;
    NotificationBus& m_bus;
    bool m_listening = false;
    int m_pendingClaims = 0;
    // Parent of the waiting claims, replaced when they are cancelled.
    QObject* m_claims = nullptr;
};

} // namespace dunmoss
