#include "chrome/WindowMessages.h"

#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/ExternalChanges.h"
#include "window/KeptCopyPutBack.h"
#include "window/WindowDerivedValues.h"

#include <QPointer>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

std::optional<MessageBarEntry> externalChangeEntry(EditorWindowModel& model) {
    const std::optional<QUuid> asked = model.state().decisions.externalChangeTabID;
    const EditorTab* tab = asked ? model.tab(*asked) : nullptr;
    if (!tab)
        return std::nullopt;
    const QUuid tabID = tab->id;
    const QPointer<EditorWindowModel> window = &model;
    const auto answer = [window, tabID](void (ExternalChanges::*decide)(const QUuid&)) {
        return [window, tabID, decide] {
            if (window) {
                ExternalChanges changes(*window);
                (changes.*decide)(tabID);
            }
        };
    };
    MessageBarEntry entry;
    entry.key = QStringLiteral("external-change:") + tabID.toString(QUuid::WithoutBraces);
    const bool gone = tab->fileURL && !statPath(tab->fileURL->toLocalFile());
    if (gone) {
        // Nothing to reload from: only keeping the text is an answer.
        entry.text = localizedString(QStringLiteral("document.external-change.deleted.format"))
                         .arg(displayTitle(*tab));
    } else {
        entry.text = externalChangeAlertMessage(model.state());
        entry.buttons.append({text("document.external-change.reload"),
                              answer(&ExternalChanges::externalChangeReload)});
    }
    entry.buttons.append(
        {text("document.external-change.keep"), answer(&ExternalChanges::externalChangeKeep)});
    entry.dismiss = [window, tabID] {
        if (window && window->state().decisions.externalChangeTabID == tabID)
            ExternalChanges(*window).dismissExternalChange();
    };
    return entry;
}

} // namespace

QList<MessageBarEntry> windowMessageBarEntries(EditorWindowModel& model) {
    QList<MessageBarEntry> entries;
    if (std::optional<MessageBarEntry> question = externalChangeEntry(model))
        entries.append(std::move(*question));
    const QPointer<EditorWindowModel> window = &model;
    for (const WindowNotice& notice : model.state().notices.shown) {
        MessageBarEntry entry;
        entry.key = notice.cause;
        entry.text = notice.message;
        entry.dismiss = [window, cause = notice.cause] {
            if (window)
                window->dismissNotice(cause);
        };
        const QString keptCopyPrefix = QString::fromLatin1(kKeptCopyNoticeCausePrefix);
        if (notice.putBack && notice.cause.startsWith(keptCopyPrefix)) {
            const QUuid tabID(QStringView(notice.cause).sliced(keptCopyPrefix.size()));
            entry.buttons.append(
                {text("document.kept-copy.put-back"), [window, tabID, offer = *notice.putBack] {
                     if (window)
                         putKeptCopyBack(*window, tabID, offer);
                 }});
        }
        entries.append(std::move(entry));
    }
    return entries;
}

} // namespace dunmoss
