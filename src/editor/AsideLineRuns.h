#pragma once

#include "editor/LaidOutLines.h"
#include "platform/LatestRequest.h"

#include <QFont>
#include <QList>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextOption>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace dunmoss {

class MainThreadMailbox;

// The lines of one block at a time made on a pool thread (see LaidOutAside) for a document's
// layout, which hears of them on its own thread while it exists.
class AsideLineRuns {
public:
    // What a block's lines are made from, as far as telling one request from another needs.
    struct Request {
        QTextBlock block;
        int revision = 0;
        qreal width = 0;
        QTextOption option;
        QFont font;
        QList<QTextLayout::FormatRange> formats;
        bool operator==(const Request& other) const;
    };
    using Arrived = std::function<void(const Request&, const std::shared_ptr<LaidOutAside>&)>;

    // `owner`: the layout, whose thread hears of the lines and whose end drops them.
    AsideLineRuns(QObject* owner, Arrived arrived);
    ~AsideLineRuns();
    AsideLineRuns(const AsideLineRuns&) = delete;
    AsideLineRuns& operator=(const AsideLineRuns&) = delete;

    // The block as it is now, laid out with `option` at the layout's `width`.
    static Request requestFor(const QTextBlock& block, qreal width, const QTextOption& option);

    // True while lines are being made (started here for the request when none are); false when
    // lines made for this very request did not fit before, so the caller lays it out itself.
    bool start(const Request& request);
    // The lines made for the request did not fit the block it still is.
    void refuse(const Request& request) { m_refused = request; }
    bool isRunning() const { return m_running.has_value(); }

private:
    void receive(quint64 ticket, const std::shared_ptr<LaidOutAside>& made);

    std::shared_ptr<MainThreadMailbox> m_mailbox;
    Arrived m_arrived;
    std::optional<Request> m_running;
    LatestRequest m_requests;
    std::optional<Request> m_refused;
};

} // namespace dunmoss
