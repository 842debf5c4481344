#include "session/SessionFiles.h"

#include "platform/FileError.h"
#include "platform/FileStat.h"
#include "platform/Localization.h"
#include "session/SessionWriter.h"
#include "session/StrictJson.h"
#include "text/EditorTab.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"
#include "window/WindowInteraction.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <algorithm>

namespace dunmoss {

namespace {

QStringList jsonNameFilters() {
    return {localizedString(QStringLiteral("session-file.panel.filter")) +
            QStringLiteral(" (*.json)")};
}

void requireAbsolute(const QString& path) {
    if (path.isEmpty() || !QDir::isAbsolutePath(path))
        throw JsonDecodeError(
            localizedString(QStringLiteral("session-file.relative-path.format")).arg(path));
}

QByteArray readSessionFileBytes(const QString& path) {
    const std::optional<FileStatus> status = statPath(path);
    if (!status)
        throw FileError(FileErrorCode::FileReadNoSuchFile, path);
    if (status->kind != FileKind::Regular)
        throw FileError(FileErrorCode::FileReadUnknown, path,
                        localizedString(QStringLiteral("text-file.not-regular")));
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw FileError::fromErrno(errno ? errno : EIO, path, false);
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(FileErrorCode::FileReadUnknown, path, file.errorString());
    return data;
}

// Written by the background writer, which waits for the disk; the window hears how it went.
// Always written, even when this process wrote the same list there before: the file may have
// gone since.
void writeSessionFile(EditorWindowModel& window, const EditorSessionFile& file,
                      const QString& path) {
    auto sink = std::make_shared<SessionWriteSink>();
    QPointer<EditorWindowModel> model(&window);
    // The writer keeps the sink while it calls this, so the pointer holds.
    SessionWriteSink* const outcomes = sink.get();
    sink->deliver = [model, outcomes] {
        for (const SessionWriteOutcome& outcome : outcomes->takeOutcomes()) {
            if (!model)
                return;
            try {
                if (outcome.failure)
                    std::rethrow_exception(outcome.failure);
                model->setFindMessage(localizedString(QStringLiteral("session.saved")));
            } catch (const std::exception& error) {
                model->setErrorMessage(localizedErrorDescription(error));
            }
        }
    };
    SessionWriter::shared().submit(path, storedBytes(encodeSessionFile(file), true),
                                   std::move(sink));
}

} // namespace

QByteArray encodeSessionFile(const EditorSessionFile& file) {
    QJsonObject object;
    object.insert(QStringLiteral("files"), QJsonArray::fromStringList(file.files));
    if (file.activeFile)
        object.insert(QStringLiteral("activeFile"), *file.activeFile);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

EditorSessionFile decodeSessionFile(const QByteArray& data) {
    const StrictJsonObject object = StrictJsonObject::parse(data);
    EditorSessionFile file;
    for (const QJsonValue& value : object.requiredArray(QStringLiteral("files"))) {
        const QString path = StrictJsonObject::stringValue(value, QStringLiteral("files"));
        requireAbsolute(path);
        file.files.append(path);
    }
    file.activeFile = object.optionalString(QStringLiteral("activeFile"));
    if (file.activeFile)
        requireAbsolute(*file.activeFile);
    return file;
}

void SessionFiles::saveSessionFile() {
    EditorSessionFile content;
    for (const EditorTab& tab : m_model.state().tabs)
        if (tab.fileURL)
            content.files.append(tab.fileURL->toLocalFile());
    if (content.files.isEmpty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("session.empty")));
        return;
    }
    WindowInteraction* person = m_model.interaction();
    if (!person)
        return;
    SavePanelOptions options;
    options.suggestedName = QString::fromLatin1(kDefaultSessionFileName);
    options.kind = FilePanelKind::Sessions;
    options.nameFilters = jsonNameFilters();
    options.canCreateDirectories = true;
    QPointer<EditorWindowModel> model(&m_model);
    person->chooseSaveLocation(options, [model](std::optional<QUrl> url) {
        if (!model || !url || !url->isLocalFile())
            return;
        // The window as it is when the answer comes.
        EditorSessionFile file;
        for (const EditorTab& tab : model->state().tabs)
            if (tab.fileURL)
                file.files.append(tab.fileURL->toLocalFile());
        const EditorTab& active = activeTab(model->state());
        if (active.fileURL)
            file.activeFile = active.fileURL->toLocalFile();
        writeSessionFile(*model, file, url->toLocalFile());
    });
}

void SessionFiles::openSessionFile() {
    WindowInteraction* person = m_model.interaction();
    if (!person)
        return;
    OpenPanelOptions options;
    options.kind = FilePanelKind::Sessions;
    options.nameFilters = jsonNameFilters();
    options.allowsMultipleSelection = false;
    QPointer<EditorWindowModel> model(&m_model);
    person->chooseFilesToOpen(options, [this, model](QList<QUrl> urls) {
        if (!model || urls.isEmpty() || !urls.first().isLocalFile())
            return;
        openSessionFileAt(urls.first().toLocalFile());
    });
}

void SessionFiles::openSessionFileAt(const QString& path) {
    EditorSessionFile file;
    try {
        file = decodeSessionFile(readSessionFileBytes(path));
    } catch (const std::exception& error) {
        m_model.setErrorMessage(localizedErrorDescription(error));
        return;
    }

    // The lone pristine untitled tab gives way to the files; when none opens it is replaced
    // by a fresh one and the window starts over.
    QList<EditorTab> before = m_model.state().tabs;
    const std::optional<QUuid> pristine = removePristineUntitledTab(before);
    QList<OpenRequest> requests;
    for (const QString& filePath : file.files)
        requests.append(OpenRequest{QUrl::fromLocalFile(filePath), std::nullopt, std::nullopt});
    QPointer<EditorWindowModel> model(&m_model);
    m_model.opening().openDocuments(requests, [model, pristine, file](const OpenOutcome&) {
        if (!model)
            return;
        const EditorWindowState& state = model->state();
        // Still the lone pristine tab (nothing typed into it while the files loaded).
        QList<EditorTab> now = state.tabs;
        if (pristine && removePristineUntitledTab(now) == pristine) {
            model->forgetTab(*pristine);
            model->update([](EditorWindowState& s) {
                s.tabs = tabsOrNewUntitled({});
                s.activeTabID = s.tabs.first().id;
                s.panels.showWelcome = true;
                s.split.splitMode = SplitEditorMode::Single;
                s.split.secondaryTabID.reset();
                s.split.compareTabID.reset();
                s.split.showCompareView = false;
            });
        } else if (file.activeFile) {
            const QUrl activeURL = QUrl::fromLocalFile(*file.activeFile);
            // The tab opened for the very path listed, found without asking the disk; another
            // path to the same file only when none was (each asks the disk twice per tab).
            auto active =
                std::find_if(state.tabs.cbegin(), state.tabs.cend(),
                             [&](const EditorTab& tab) { return tab.fileURL == activeURL; });
            if (active == state.tabs.cend())
                active =
                    std::find_if(state.tabs.cbegin(), state.tabs.cend(), [&](const EditorTab& tab) {
                        return isSameFileLocation(tab.fileURL, activeURL);
                    });
            if (active != state.tabs.cend())
                model->setActiveTabID(active->id);
        }
        model->setFindMessage(localizedString(QStringLiteral("session.opened.format"))
                                  .arg(localizedCount(file.files.size(), kCountedFiles)));
        model->persistSession();
    });
}

} // namespace dunmoss
