#pragma once

#include "platform/Localization.h"

#include <QLocale>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace dunmoss {

class ApplicationDelegate;
class Defaults;
class EditorWindowModel;
class EditorWindowView;

// The application: reads the launch arguments and the interface-language preference once,
// opens editor windows (1060 by 720) with the menu bar, and hands the paths named on the
// command line to the first window.
class DunmossNotepadApp : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 1060;
    static constexpr int kDefaultHeight = 720;
    static constexpr int kFallbackMinimumWidth = 720;
    static constexpr int kFallbackMinimumHeight = 520;

    // Under "--dunmoss-ui-testing" (a whole argument) the testing always-on-top setting is reset
    // to off; the user's own setting is never touched.
    DunmossNotepadApp(const QStringList& arguments, Defaults& defaults, QObject* parent = nullptr);
    explicit DunmossNotepadApp(const QStringList& arguments, QObject* parent = nullptr);
    ~DunmossNotepadApp() override;

    AppLanguagePreference languagePreference() const { return m_languagePreference; }
    // "zh-Hans", "en", or the system's locale for the system choice.
    static QLocale sceneLocale(AppLanguagePreference preference);

    // A new window of the editor window group, shown.
    EditorWindowView* openEditorWindow();
    // A window the application builds when no group window can be had: titled with
    // "welcome.title", at least 720 by 520, centred.
    EditorWindowView* openFallbackWindow();

    // Where windows keep the recovery snapshot; the standard folder until set.
    void setRecoveryDirectory(const QString& directory) { m_recoveryDirectory = directory; }

    // Opens the first window, finishes the launch through the delegate and hands it the given
    // files, which the first window opens once its start-up is done. Each of `unnamedPaths`
    // (files whose names are not valid UTF-8, see CommandLine) is reported in that window.
    EditorWindowView* start(const QStringList& paths, const QStringList& unnamedPaths = {});

    ApplicationDelegate& delegate() const { return *m_delegate; }

    // A termination signal (logout, shutdown, a closed terminal): every window writes what it
    // keeps as a quit does (the windows painted, the keys typed meanwhile kept), then the
    // windows close without asking anything and the program quits.
    void saveSessionsAndQuit();
    // From now on SIGTERM, SIGHUP and SIGINT call saveSessionsAndQuit.
    void quitOnTerminationSignals();

    // The files open in every editor window, in window and tab order (automated testing).
    static QStringList openFilePaths();

    // The paths as file URLs (relative ones against the working directory), in order.
    static QList<QUrl> fileURLsFromArguments(const QStringList& paths);

private:
    EditorWindowView* makeWindow(bool sceneHosted);
    // Told to the first editor window, or to the next one made when none is open.
    void reportSettingsWriteFailure(const QString& path);

    Defaults& m_defaults;
    QStringList m_arguments;
    AppLanguagePreference m_languagePreference;
    ApplicationDelegate* m_delegate = nullptr;
    QString m_recoveryDirectory;
    std::optional<QString> m_untoldSettingsFailure;
};

} // namespace dunmoss
