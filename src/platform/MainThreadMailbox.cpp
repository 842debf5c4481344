#include "platform/MainThreadMailbox.h"

#include <QThread>

namespace dunmoss {

bool MainThreadMailbox::post(std::function<void()> continuation,
                             const std::function<void(QThread*)>& handOver) {
    const std::lock_guard lock(m_mutex);
    if (!m_receiver)
        return false;
    if (handOver)
        handOver(m_receiver->thread());
    QMetaObject::invokeMethod(m_receiver, std::move(continuation), Qt::QueuedConnection);
    return true;
}

void MainThreadMailbox::close() {
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

} // namespace dunmoss
