#include "text/EditorTheme.h"

#include "platform/Defaults.h"

#include <QCoreApplication>

namespace dunmoss {

namespace {

AlwaysOnTopApplier& applierSlot() {
    static AlwaysOnTopApplier applier;
    return applier;
}

QStringList processArguments() {
    // Without an application object there are no arguments to read (and Qt would warn).
    if (!QCoreApplication::instance())
        return {};
    return QCoreApplication::arguments();
}

} // namespace

const QList<EditorTheme>& allEditorThemes() {
    static const QList<EditorTheme> all{EditorTheme::System, EditorTheme::Light,
                                        EditorTheme::Graphite, EditorTheme::Midnight};
    return all;
}

QString rawValue(EditorTheme theme) {
    switch (theme) {
    case EditorTheme::Light:
        return QStringLiteral("light");
    case EditorTheme::Graphite:
        return QStringLiteral("graphite");
    case EditorTheme::Midnight:
        return QStringLiteral("midnight");
    case EditorTheme::System:
        break;
    }
    return QStringLiteral("system");
}

std::optional<EditorTheme> editorThemeFromRawValue(const QString& raw) {
    for (EditorTheme theme : allEditorThemes())
        if (rawValue(theme) == raw)
            return theme;
    return std::nullopt;
}

ColorScheme colorScheme(EditorTheme theme) {
    switch (theme) {
    case EditorTheme::Light:
    case EditorTheme::Graphite:
        return ColorScheme::Light;
    case EditorTheme::Midnight:
        return ColorScheme::Dark;
    case EditorTheme::System:
        break;
    }
    return ColorScheme::None;
}

EditorTheme storedEditorTheme(const Defaults& defaults) {
    const auto raw = defaults.stringValue(QString::fromLatin1(kEditorThemeKey));
    if (!raw)
        return EditorTheme::System;
    return editorThemeFromRawValue(*raw).value_or(EditorTheme::System);
}

EditorTheme storedEditorTheme() {
    return storedEditorTheme(Defaults::standard());
}

bool arrayContainsString(const QStringList& list, const QString& string) {
    for (const QString& element : list)
        if (element == string)
            return true;
    return false;
}

bool isUiTestingProcess() {
    return arrayContainsString(processArguments(), QString::fromLatin1(kUiTestingArgument));
}

QString alwaysOnTopKey(const QStringList& arguments) {
    return QString::fromLatin1(
        arrayContainsString(arguments, QString::fromLatin1(kUiTestingArgument))
            ? kUiTestingAlwaysOnTopKey
            : kAlwaysOnTopKey);
}

QString alwaysOnTopKey() {
    return alwaysOnTopKey(processArguments());
}

bool alwaysOnTopEnabled(const Defaults& defaults, const QStringList& arguments) {
    return defaults.boolean(alwaysOnTopKey(arguments), false);
}

bool alwaysOnTopEnabled() {
    return alwaysOnTopEnabled(Defaults::standard(), processArguments());
}

void setAlwaysOnTopApplier(AlwaysOnTopApplier applier) {
    applierSlot() = std::move(applier);
}

void setAlwaysOnTop(bool enabled, bool bringToFront, Defaults& defaults,
                    const QStringList& arguments) {
    defaults.setValue(alwaysOnTopKey(arguments), enabled);
    // Copied so that an applier replacing itself while it runs stays safe.
    const AlwaysOnTopApplier applier = applierSlot();
    if (applier)
        applier(enabled, enabled && bringToFront);
}

void setAlwaysOnTop(bool enabled, bool bringToFront) {
    setAlwaysOnTop(enabled, bringToFront, Defaults::standard(), processArguments());
}

} // namespace dunmoss
