#include "app/DunmossNotepadApp.h"

#include "app/AppSettingsView.h"
#include "app/ApplicationActions.h"
#include "app/ApplicationDelegate.h"
#include "app/CommandLine.h"
#include "app/EditorWindowChrome.h"
#include "app/EditorWindowPresence.h"
#include "app/SavingBeforeQuit.h"
#include "app/SettingsWindow.h"
#include "chrome/EditorWindowView.h"
#include "chrome/WindowColorScheme.h"
#include "chrome/WindowLevel.h"
#include "platform/Defaults.h"
#include "platform/NotificationBus.h"
#include "platform/TerminationSignals.h"
#include "search/FindStepRunner.h"
#include "text/EditorTheme.h"
#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"
#include "window/LaunchReadAhead.h"
#include "window/WindowNotices.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <chrono>
#include <utility>

namespace dunmoss {

DunmossNotepadApp::DunmossNotepadApp(const QStringList& arguments, QObject* parent)
    : DunmossNotepadApp(arguments, Defaults::standard(), parent) {}

DunmossNotepadApp::DunmossNotepadApp(const QStringList& arguments, Defaults& defaults,
                                     QObject* parent)
    : QObject(parent), m_defaults(defaults), m_arguments(arguments) {
    if (arrayContainsString(arguments, QString::fromLatin1(kUiTestingArgument)))
        defaults.setValue(alwaysOnTopKey(arguments), false);
    const QPointer<DunmossNotepadApp> app = this;
    m_delegate = new ApplicationDelegate(
        arguments,
        [app] {
            if (app)
                app->openFallbackWindow();
        },
        NotificationBus::shared(), this);
    connect(qApp, &QCoreApplication::aboutToQuit, m_delegate,
            &ApplicationDelegate::applicationWillTerminate);
    // The setting reaches every editor window; each follow-up re-reads it, so switching it off
    // and on again quickly leaves the windows on top.
    Defaults* store = &defaults;
    setAlwaysOnTopApplier([store, arguments](bool enabled, bool bringToFront) {
        applyAlwaysOnTopToEditorWindows(enabled, bringToFront, [store, arguments] {
            return alwaysOnTopEnabled(*store, arguments);
        });
    });
    openSettingsAction() = [store] { showSettingsWindow(*store); };
    auto* saving = new SavingBeforeQuit(defaults, this);
    saveBeforeQuitAction() = [saving](std::function<void()> then) {
        saving->start(std::move(then));
    };
    connect(&defaults, &Defaults::writeFailed, this,
            &DunmossNotepadApp::reportSettingsWriteFailure);
    // Menus, the settings window and the toolkit's dialogs take the theme's scheme, as the
    // windows do, and follow every change of it.
    const auto followTheme = [store] {
        applyApplicationColorScheme(store->string(QString::fromLatin1(kEditorThemeKey)));
    };
    followTheme();
    connect(&defaults, &Defaults::changed, this, [followTheme](const QString& key) {
        if (key == QLatin1String(kEditorThemeKey))
            followTheme();
    });
    m_languagePreference = storedLanguagePreference(defaults);
    if (m_languagePreference != AppLanguagePreference::System)
        QLocale::setDefault(sceneLocale(m_languagePreference));
    // The toolkit's own texts (its file panels, the fields' context menus) in the same language.
    if (interfaceLanguage(defaults) == QLatin1String("zh-Hans")) {
        auto* toolkit = new QTranslator(this);
        if (toolkit->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(toolkit);
        else
            delete toolkit;
    }
}

DunmossNotepadApp::~DunmossNotepadApp() {
    // The applier and the settings window use this application's settings store.
    setAlwaysOnTopApplier({});
    openSettingsAction() = nullptr;
    saveBeforeQuitAction() = nullptr;
    delete settingsWindow();
    applyApplicationColorScheme(QString());
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
    options.recoveryDirectory = m_recoveryDirectory;
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
    if (m_untoldSettingsFailure)
        window->model().presentNotice(QString::fromLatin1(kSettingsWriteNoticeCause),
                                      *std::exchange(m_untoldSettingsFailure, std::nullopt));
    return window;
}

void DunmossNotepadApp::reportSettingsWriteFailure(const QString& path) {
    const QString message =
        localizedString(QStringLiteral("settings.save.failed.format")).arg(path);
    qWarning("Dunmoss Notepad: %s", qUtf8Printable(message));
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget)) {
            // News nobody asked for: the message bar, which leaves the keyboard alone.
            window->model().presentNotice(QString::fromLatin1(kSettingsWriteNoticeCause), message);
            return;
        }
    m_untoldSettingsFailure = message;
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

EditorWindowView* DunmossNotepadApp::start(const QStringList& paths,
                                           const QStringList& unnamedPaths) {
    const QList<QUrl> urls = fileURLsFromArguments(paths);
    // The files are read while the window is built; what its open has not taken by the end of
    // the launch checks is not kept.
    LaunchReadAhead::start(urls);
    connect(m_delegate, &ApplicationDelegate::launchChecksFinished, this,
            [] { LaunchReadAhead::dropUntaken(); });
    EditorWindowView* window = openEditorWindow();
    m_delegate->applicationDidFinishLaunching();
    for (const QString& path : unnamedPaths)
        window->model().presentError(unnamedFileMessage(path));
    m_delegate->openURLsAtLaunch(urls);
    return window;
}

void DunmossNotepadApp::saveSessionsAndQuit() {
    // Keys the window system handed over before the signal, while the window was busy, are
    // typed first (another signal waits: its notifier is left out).
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers);
    // A Replace All under way ends first and the keys typed while it ran follow it: the last
    // save holds the text the person would have seen. A search that takes more than a third of
    // the time a stalled disk is given is dropped instead.
    const auto commandsEndBy = std::chrono::steady_clock::now() +
                               std::chrono::milliseconds(TerminationSignals::kStalledMs / 3);
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            if (FindStepRunner* runner = window->model().attachment<FindStepRunner>())
                runner->endBeforeQuit(commandsEndBy);
    // The windows write what they keep as a quit does, painted and keeping the keys typed
    // meanwhile; the program ends once the disk has taken it (or has stopped answering, see
    // TerminationSignals). Nobody is asked: the person may be gone (logout, shutdown), and a
    // question would hold the program up and take the keys typed next.
    quitApplicationWithoutAsking();
}

void DunmossNotepadApp::quitOnTerminationSignals() {
    auto* terminations = new TerminationSignals(this);
    connect(terminations, &TerminationSignals::received, this,
            &DunmossNotepadApp::saveSessionsAndQuit);
}

QStringList DunmossNotepadApp::openFilePaths() {
    QStringList paths;
    for (QWidget* widget : editorWindows())
        if (auto* window = qobject_cast<EditorWindowView*>(widget))
            for (const EditorTab& tab : window->model().state().tabs)
                if (tab.fileURL)
                    paths.append(tab.fileURL->toLocalFile());
    return paths;
}

QList<QUrl> DunmossNotepadApp::fileURLsFromArguments(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& path : paths)
        if (!path.isEmpty())
            urls.append(QUrl::fromLocalFile(QFileInfo(QDir::current(), path).absoluteFilePath()));
    return urls;
}

} // namespace dunmoss
