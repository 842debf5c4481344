#include "window/DocumentOpening.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "platform/SecurityScopedAccess.h"
#include "text/EditorTab.h"
#include "text/TextFileLoader.h"
#include "window/EditorWindowModel.h"
#include "window/TabSelection.h"
#include "window/WindowErrors.h"
#include "window/WindowFilePanels.h"

#include <QDir>
#include <QPointer>
#include <memory>

namespace dunmoss {

namespace {

bool isInsideFolder(const QUrl& file, const QUrl& folder) {
    const QString filePath = QDir::cleanPath(file.toLocalFile());
    const QString folderPath = QDir::cleanPath(folder.toLocalFile());
    if (filePath.isEmpty() || folderPath.isEmpty())
        return false;
    if (filePath == folderPath)
        return true;
    const QString prefix =
        folderPath.endsWith(QLatin1Char('/')) ? folderPath : folderPath + QLatin1Char('/');
    return filePath.startsWith(prefix);
}

// Reading a FIFO or a device would block or never end, and a folder has no text: such items
// are refused before anything is read. A missing or unreadable item is left to the loader,
// which reports it in its own words.
std::optional<QString> refusalForNonRegularFile(const QString& path) {
    const std::optional<FileStatus> status = statPath(path);
    if (!status || status->kind == FileKind::Regular)
        return std::nullopt;
    QString name = QFileInfo(path).fileName();
    if (name.isEmpty())
        name = path;
    return localizedString(QStringLiteral("document.open.not-a-regular-file.format")).arg(name);
}

} // namespace

bool DocumentOpening::openDocument(const QUrl& url, std::optional<int> line,
                                   std::optional<TextRange> selection, bool persist) {
    m_model.update([](EditorWindowState& state) { state.panels.showWelcome = false; });

    bool usedFallback = false;
    std::optional<int> existing;
    const EditorWindowState& state = m_model.state();
    for (int index = 0; index < state.tabs.size(); ++index) {
        const EditorTab& candidate = state.tabs.at(index);
        if (candidate.fileURL && isSameFileLocation(candidate.fileURL, url)) {
            existing = index;
            break;
        }
    }

    if (existing) {
        m_model.setActiveTabID(state.tabs.at(*existing).id);
        m_model.recordRecentFile(url);
    } else {
        std::optional<LoadedPlainTextDocument> loaded;
        std::optional<QString> refusal;
        try {
            if (!url.isLocalFile())
                throw FileError(FileErrorCode::FileReadUnsupportedScheme, url.toString());
            withSecurityScopedAccess(url, [&] {
                refusal = refusalForNonRegularFile(url.toLocalFile());
                if (!refusal)
                    loaded = loadTextFile(url);
            });
        } catch (const std::exception& error) {
            m_model.presentError(localizedErrorDescription(error));
            return false;
        }
        if (refusal) {
            m_model.presentError(*refusal);
            return false;
        }
        const EditorTab tab = makeTabForLoadedFile(url, *loaded);
        usedFallback = loaded->document.decodedViaFallback;
        appendTabsReplacingPristineTab({tab}, tab.id);
        m_model.recordRecentFile(url);
    }

    const int active = m_model.activeTabIndex();
    if (line) {
        const TextRange range =
            lineSelectionRange(m_model.state().tabs.at(active).document.text, *line);
        m_model.setSelection(range.location, range.length, active);
    } else if (selection) {
        m_model.setSelection(selection->location, selection->length, active);
    }
    m_model.setFindMessage(usedFallback ? fallbackDecodingWarning({url}) : QString());
    if (persist)
        m_model.persistSession();
    return usedFallback;
}

void DocumentOpening::openDocumentsFromPanel() {
    QPointer<EditorWindowModel> model(&m_model);
    WindowFilePanels(m_model).chooseFilesToOpen([model](const QList<QUrl>& urls) {
        if (!model || urls.isEmpty())
            return;
        model->update([](EditorWindowState& state) { state.panels.showWelcome = false; });
        QList<QUrl> fallbacks;
        for (const QUrl& url : urls)
            if (model->opening().openDocument(url, std::nullopt, std::nullopt, false))
                fallbacks.append(url);
        if (!fallbacks.isEmpty())
            model->setFindMessage(fallbackDecodingWarning(fallbacks));
        model->persistSession();
    });
}

void DocumentOpening::withSecurityScopedAccess(const QUrl& url,
                                               const std::function<void()>& body) const {
    const WorkspaceState& workspace = m_model.state().workspace;
    std::unique_ptr<SecurityScopedAccess> folderAccess;
    if (workspace.workspaceRootURL && !workspace.activeWorkspaceAccessURL &&
        isInsideFolder(url, *workspace.workspaceRootURL))
        folderAccess = std::make_unique<SecurityScopedAccess>(*workspace.workspaceRootURL);
    SecurityScopedAccess fileAccess(url);
    body();
}

void DocumentOpening::appendTabsReplacingPristineTab(const QList<EditorTab>& tabs,
                                                     std::optional<QUuid> activeTabID) {
    if (tabs.isEmpty())
        return;
    std::optional<QUuid> removed;
    m_model.update([&](EditorWindowState& state) {
        removed = removePristineUntitledTab(state.tabs);
        state.tabs.append(tabs);
        if (activeTabID)
            state.activeTabID = *activeTabID;
    });
    if (removed)
        m_model.forgetTab(*removed);
}

QString fallbackDecodingWarning(const QList<QUrl>& files) {
    QStringList names;
    for (const QUrl& file : files)
        names.append(file.fileName().isEmpty() ? file.toLocalFile() : file.fileName());
    if (names.size() == 1)
        return localizedString(QStringLiteral("encoding.fallback.warning.format"))
            .arg(names.first());
    return localizedString(QStringLiteral("encoding.fallback.warning.many.format"))
        .arg(localizedCount(names.size(), kCountedFiles),
             names.join(localizedString(QStringLiteral("encoding.fallback.name-separator"))));
}

} // namespace dunmoss
