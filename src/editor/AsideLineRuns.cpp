#include "editor/AsideLineRuns.h"

#include "platform/MainThreadMailbox.h"

#include <QTextDocument>
#include <QThreadPool>

namespace dunmoss {

bool AsideLineRuns::Request::operator==(const Request& other) const {
    return block == other.block && revision == other.revision && width == other.width &&
           sameTextOption(option, other.option) && font == other.font && formats == other.formats;
}

AsideLineRuns::AsideLineRuns(QObject* owner, Arrived arrived)
    : m_mailbox(MainThreadMailbox::make(owner)), m_arrived(std::move(arrived)) {}

AsideLineRuns::~AsideLineRuns() {
    m_mailbox->close();
}

AsideLineRuns::Request AsideLineRuns::requestFor(const QTextBlock& block, qreal width,
                                                 const QTextOption& option) {
    const QTextDocument* doc = block.document();
    return {block, doc->revision(), width, option, doc->defaultFont(), block.layout()->formats()};
}

bool AsideLineRuns::start(const Request& request) {
    if (m_refused && *m_refused == request)
        return false;
    // One at a time: a request made meanwhile is made again when the running one comes back.
    if (m_running)
        return true;
    const quint64 ticket = m_requests.next();
    LaidOutAside::Inputs inputs =
        LaidOutAside::inputsOf(request.block, request.width, request.option);
    m_running = request;
    QThreadPool::globalInstance()->start(
        [this, mailbox = m_mailbox, ticket, inputs = std::move(inputs)] {
            auto made = std::make_shared<LaidOutAside>(LaidOutAside::make(inputs));
            mailbox->post([this, ticket, made] { receive(ticket, made); });
        });
    return true;
}

void AsideLineRuns::receive(quint64 ticket, const std::shared_ptr<LaidOutAside>& made) {
    if (!m_requests.isLatest(ticket) || !m_running)
        return;
    const Request request = *std::exchange(m_running, std::nullopt);
    m_arrived(request, made);
}

} // namespace dunmoss
