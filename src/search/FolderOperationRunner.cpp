#include "search/FolderOperationRunner.h"

#include "window/EditorWindowModel.h"

namespace dunmoss {

FolderOperationRunner& FolderOperationRunner::of(EditorWindowModel& model) {
    if (auto* runner =
            model.findChild<FolderOperationRunner*>(QString(), Qt::FindDirectChildrenOnly))
        return *runner;
    return *new FolderOperationRunner(&model);
}

FolderOperationRunner::FolderOperationRunner(QObject* parent)
    : QObject(parent), m_mailbox(std::make_shared<Mailbox>()),
      m_stop(std::make_shared<std::atomic_bool>(false)) {
    m_mailbox->runner = this;
}

FolderOperationRunner::~FolderOperationRunner() {
    // Once this returns no worker can post here any more; events already posted die with us.
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->runner = nullptr;
}

FolderOperationRunner::Generation FolderOperationRunner::begin() {
    // The previous generation's reading sees itself superseded.
    m_stop = std::make_shared<std::atomic_bool>(false);
    return m_requests.next();
}

void FolderOperationRunner::post(Mailbox& mailbox, std::function<void()> continuation) {
    const std::lock_guard lock(mailbox.mutex);
    if (mailbox.runner)
        QMetaObject::invokeMethod(mailbox.runner, std::move(continuation), Qt::QueuedConnection);
}

} // namespace dunmoss
