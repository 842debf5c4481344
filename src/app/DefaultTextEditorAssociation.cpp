#include "app/DefaultTextEditorAssociation.h"

#include "platform/Localization.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace dunmoss {

namespace {

const QString kTool = QStringLiteral("xdg-mime");

} // namespace

const QStringList& handledTextContentTypes() {
    static const QStringList types = {QStringLiteral("text/plain")};
    return types;
}

bool isDesktopFileInstalled() {
    // The folders xdg-mime searches, read from the environment as it reads them.
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QDir::homePath() + QStringLiteral("/.local/share");
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    const QStringList folders =
        QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders)
        if (QFileInfo(folder + QStringLiteral("/applications/") +
                      QString::fromLatin1(kDesktopFileName))
                .isFile())
            return true;
    return false;
}

QString DefaultTextFileAssociationError::localizedDescription() const {
    switch (kind) {
    case Kind::MissingBundleIdentifier:
        return localizedString(QStringLiteral("settings.file-association.error.bundle-id"));
    case Kind::ToolMissing:
        return localizedString(QStringLiteral("settings.file-association.error.no-tool"));
    case Kind::Failed:
        break;
    }
    return localizedString(QStringLiteral("settings.file-association.error.status.format"))
        .arg(typeIdentifier)
        .arg(status);
}

DefaultTextEditorAssociation::DefaultTextEditorAssociation(QStringList types, QObject* parent)
    : QObject(parent), m_types(std::move(types)) {}

DefaultTextEditorAssociation::~DefaultTextEditorAssociation() {
    for (QProcess* process : findChildren<QProcess*>()) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

void DefaultTextEditorAssociation::runTool(
    const QStringList& arguments,
    std::function<void(std::optional<int> status, QByteArray output)> done) {
    auto* process = new QProcess(this);
    auto finish =
        std::make_shared<std::function<void(std::optional<int>, QByteArray)>>(std::move(done));
    // Exactly one of the endings below reports; the others find `finish` emptied.
    const auto report = [process, finish](std::optional<int> status, QByteArray output) {
        if (!*finish)
            return;
        auto callback = std::move(*finish);
        *finish = nullptr;
        process->deleteLater();
        callback(status, std::move(output));
    };
    connect(process, &QProcess::finished, this,
            [process, report](int exitCode, QProcess::ExitStatus exitStatus) {
                report(exitStatus == QProcess::NormalExit ? exitCode : -1,
                       process->readAllStandardOutput());
            });
    // A crash or a kill after the timeout ends in `finished` above.
    connect(process, &QProcess::errorOccurred, this, [report](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            report(std::nullopt, {});
    });
    auto* timeout = new QTimer(process);
    timeout->setSingleShot(true);
    connect(timeout, &QTimer::timeout, process, [process] { process->kill(); });
    timeout->start(kToolTimeoutMs);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start(kTool, arguments, QIODevice::ReadOnly);
}

void DefaultTextEditorAssociation::refreshStatus() {
    queryNext(m_queries.next(), 0, 0);
}

void DefaultTextEditorAssociation::queryNext(quint64 generation, int index, int handled) {
    if (!m_queries.isLatest(generation))
        return;
    if (index >= m_types.size()) {
        emit statusChanged({handled, int(m_types.size())});
        return;
    }
    runTool({QStringLiteral("query"), QStringLiteral("default"), m_types.at(index)},
            [this, generation, index, handled](std::optional<int> status, QByteArray output) {
                // Several ids may come back, the first being the one used.
                const QByteArray first = output.trimmed().split('\n').value(0).trimmed();
                const bool isOurs = status == 0 && first == kDesktopFileName;
                queryNext(generation, index + 1, handled + (isOurs ? 1 : 0));
            });
}

void DefaultTextEditorAssociation::makeDefaultTextEditor() {
    if (!isDesktopFileInstalled()) {
        // Reported after the caller's own bookkeeping, like every other outcome.
        QTimer::singleShot(0, this, [this] {
            emit registrationFinished(DefaultTextFileAssociationError{
                DefaultTextFileAssociationError::Kind::MissingBundleIdentifier, {}, 0});
        });
        return;
    }
    registerFrom(0);
}

void DefaultTextEditorAssociation::registerFrom(int index) {
    if (index >= m_types.size()) {
        emit registrationFinished(std::nullopt);
        return;
    }
    const QString type = m_types.at(index);
    runTool({QStringLiteral("default"), QString::fromLatin1(kDesktopFileName), type},
            [this, index, type](std::optional<int> status, QByteArray) {
                using Kind = DefaultTextFileAssociationError::Kind;
                if (!status) {
                    emit registrationFinished(
                        DefaultTextFileAssociationError{Kind::ToolMissing, type, 0});
                    return;
                }
                if (*status != 0) {
                    emit registrationFinished(
                        DefaultTextFileAssociationError{Kind::Failed, type, *status});
                    return;
                }
                registerFrom(index + 1);
            });
}

} // namespace dunmoss
