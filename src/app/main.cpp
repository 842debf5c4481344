// Dunmoss Notepad: a tabbed plain-text and source-code editor.
#include "app/DunmossNotepadApp.h"
#include "window/IconTable.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dunmoss Notepad"));
    QApplication::setDesktopFileName(QStringLiteral("dunmoss-notepad"));
    dunmoss::configureIconThemeFallback();
    // The installed icon: from the icon theme, else next to the installed binary.
    QIcon icon = QIcon::fromTheme(QStringLiteral("dunmoss-notepad"));
    if (icon.isNull())
        icon = QIcon(QApplication::applicationDirPath() +
                     QStringLiteral("/../share/icons/hicolor/256x256/apps/dunmoss-notepad.png"));
    QApplication::setWindowIcon(icon);

    const QStringList arguments = QApplication::arguments();
    dunmoss::DunmossNotepadApp app(arguments);
    QStringList paths;
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments[i].startsWith(QLatin1String("--")))
            paths.append(arguments[i]);
    app.start(paths);
    return QApplication::exec();
}
