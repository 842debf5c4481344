#include "window/WindowNotices.h"

namespace dunmoss {

bool raiseNotice(NoticeState& notices, const QString& cause, const QString& message,
                 const std::optional<KeptCopyOffer>& putBack) {
    const auto known = notices.reported.constFind(cause);
    if (known != notices.reported.cend() && *known == message)
        return false;
    notices.reported.insert(cause, message);
    for (WindowNotice& notice : notices.shown)
        if (notice.cause == cause) {
            notice.message = message;
            notice.putBack = putBack;
            return true;
        }
    notices.shown.append(WindowNotice{cause, message, putBack});
    return true;
}

bool dismissNotice(NoticeState& notices, const QString& cause) {
    return notices.shown.removeIf([&](const WindowNotice& n) { return n.cause == cause; }) > 0;
}

bool clearNoticeCause(NoticeState& notices, const QString& cause) {
    const bool dismissed = dismissNotice(notices, cause);
    return notices.reported.remove(cause) > 0 || dismissed;
}

QString autosaveNoticeCause(const QUuid& tabID) {
    return QLatin1String(kAutosaveNoticeCausePrefix) + tabID.toString(QUuid::WithoutBraces);
}

QString saveNoticeCause(const QUuid& tabID) {
    return QStringLiteral("save:") + tabID.toString(QUuid::WithoutBraces);
}

} // namespace dunmoss
