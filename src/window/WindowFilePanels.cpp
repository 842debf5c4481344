#include "window/WindowFilePanels.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/QuestionHold.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowInteraction.h"

#include <QFileInfo>

namespace dunmoss {

void WindowFilePanels::chooseSaveLocation(const QString& suggestedName,
                                          std::function<void(std::optional<QUrl>)> done,
                                          const std::optional<QUrl>& folder) const {
    WindowInteraction* interaction = m_model.interaction();
    if (!interaction) {
        done(std::nullopt);
        return;
    }
    SavePanelOptions options;
    options.suggestedName = suggestedName.isEmpty()
                                ? localizedString(QStringLiteral("document.default-filename"))
                                : suggestedName;
    options.folder = folder;
    options.message = localizedString(QStringLiteral("panel.save.message"));
    options.canCreateDirectories = true;
    // The file the person picks may be one a tab holds: it is not written behind their back
    // while they choose (nor while the panel asks whether to replace it).
    interaction->chooseSaveLocation(options, [hold = QuestionHold::open(m_model),
                                              done = std::move(done)](std::optional<QUrl> url) {
        hold->close();
        if (url && url->isEmpty())
            url.reset();
        done(url);
    });
}

void WindowFilePanels::chooseFilesToOpen(std::function<void(QList<QUrl>)> done) const {
    WindowInteraction* interaction = m_model.interaction();
    if (!interaction) {
        done({});
        return;
    }
    OpenPanelOptions options;
    // Files are most often opened next to the one being worked on.
    const EditorTab& current = keyboardTab(m_model.state());
    if (current.fileURL && current.fileURL->isLocalFile())
        options.folder =
            QUrl::fromLocalFile(QFileInfo(current.fileURL->toLocalFile()).absolutePath());
    options.message = localizedString(QStringLiteral("panel.open.message"));
    options.allowsMultipleSelection = true;
    interaction->chooseFilesToOpen(options, std::move(done));
}

void WindowFilePanels::chooseFolder(const std::optional<QString>& message,
                                    std::function<void(std::optional<QUrl>)> done,
                                    const std::optional<QUrl>& folder) const {
    WindowInteraction* interaction = m_model.interaction();
    if (!interaction) {
        done(std::nullopt);
        return;
    }
    FolderPanelOptions options;
    options.message = message.value_or(localizedString(QStringLiteral("panel.folder.message")));
    options.canCreateDirectories = false;
    options.folder = folder;
    interaction->chooseFolder(options, std::move(done));
}

} // namespace dunmoss
