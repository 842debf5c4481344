#include "app/DunmossNotepadApp.h"

#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "platform/Defaults.h"
#include "text/EditorTheme.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/EditorWindowView.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace dunmoss {

DunmossNotepadApp::DunmossNotepadApp(const QStringList& arguments, QObject* parent)
    : DunmossNotepadApp(arguments, Defaults::standard(), parent) {}

DunmossNotepadApp::DunmossNotepadApp(const QStringList& arguments, Defaults& defaults,
                                     QObject* parent)
    : QObject(parent), m_defaults(defaults), m_arguments(arguments) {
    if (arrayContainsString(arguments, QString::fromLatin1(kUiTestingArgument)))
        defaults.setValue(alwaysOnTopKey(arguments), false);
    m_languagePreference = storedLanguagePreference(defaults);
    if (m_languagePreference != AppLanguagePreference::System)
        QLocale::setDefault(sceneLocale(m_languagePreference));
}

QLocale DunmossNotepadApp::sceneLocale(AppLanguagePreference preference) {
    switch (preference) {
    case AppLanguagePreference::SimplifiedChinese:
        return QLocale(QStringLiteral("zh-Hans"));
    case AppLanguagePreference::English:
        return QLocale(QStringLiteral("en"));
    case AppLanguagePreference::System:
        break;
    }
    return QLocale::system();
}

EditorWindowView* DunmossNotepadApp::makeWindow(bool sceneHosted) {
    EditorWindowView::Options options;
    options.isSceneHosted = sceneHosted;
    options.defaults = &m_defaults;
    options.processArguments = m_arguments;
    std::function<void()> openWindow;
    if (sceneHosted) {
        const QPointer<DunmossNotepadApp> app = this;
        openWindow = [app] {
            if (app)
                app->openEditorWindow();
        };
    }
    auto* window = new EditorWindowView(options);
    installApplicationChrome(*window, m_defaults, std::move(openWindow));
    window->setLocale(sceneLocale(m_languagePreference));
    return window;
}

EditorWindowView* DunmossNotepadApp::openEditorWindow() {
    EditorWindowView* window = makeWindow(true);
    window->resize(kDefaultWidth, kDefaultHeight);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

EditorWindowView* DunmossNotepadApp::openFallbackWindow() {
    EditorWindowView* window = makeWindow(false);
    window->resize(kDefaultWidth, kDefaultHeight);
    window->setMinimumSize(kFallbackMinimumWidth, kFallbackMinimumHeight);
    window->setWindowTitle(localizedString(QStringLiteral("welcome.title")));
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), window->size());
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

EditorWindowView* DunmossNotepadApp::start(const QStringList& paths) {
    const QPointer<DunmossNotepadApp> app = this;
    fallbackWindowAction() = [app] {
        if (app)
            app->openFallbackWindow();
    };
    EditorWindowView* window = openEditorWindow();
    openFiles(window->model(), fileURLsFromArguments(paths));
    return window;
}

void DunmossNotepadApp::openFiles(EditorWindowModel& model, const QList<QUrl>& urls) {
    if (urls.isEmpty())
        return;
    // Like the open panel: a file that needed the last-resort decoding keeps its warning even
    // when files opened after it clear the status line, and the session is saved once.
    bool anyFallback = false;
    for (const QUrl& url : urls)
        anyFallback =
            model.opening().openDocument(url, std::nullopt, std::nullopt, false) || anyFallback;
    if (anyFallback)
        model.setFindMessage(localizedString(QStringLiteral("encoding.fallback.warning")));
    model.persistSession();
}

QList<QUrl> DunmossNotepadApp::fileURLsFromArguments(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        if (!path.isEmpty())
            urls.append(QUrl::fromLocalFile(QFileInfo(QDir::current(), path).absoluteFilePath()));
    return urls;
}

} // namespace dunmoss
