#include "platform/LaterThanRepaints.h"

#include <QCoreApplication>
#include <QEvent>

namespace dunmoss {

namespace {

const QEvent::Type kRunEvent = QEvent::Type(QEvent::registerEventType());

} // namespace

LaterThanRepaints::LaterThanRepaints(std::function<void()> run, QObject* parent)
    : QObject(parent), m_run(std::move(run)) {}

void LaterThanRepaints::request() {
    if (m_requested)
        return;
    m_requested = true;
    // Widgets post their repaints at low priority too, and among equals the older goes first.
    QCoreApplication::postEvent(this, new QEvent(kRunEvent), Qt::LowEventPriority);
}

bool LaterThanRepaints::event(QEvent* event) {
    if (event->type() != kRunEvent)
        return QObject::event(event);
    m_requested = false;
    m_run();
    return true;
}

} // namespace dunmoss
