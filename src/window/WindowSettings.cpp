#include "window/WindowSettings.h"

#include "platform/Defaults.h"
#include "text/EditorTheme.h"

namespace dunmoss {

namespace {

const QString kSavedMacroSteps = QStringLiteral("automation.saved-macro.steps");
const QString kTheme = QStringLiteral("editor.theme");
const QString kAutoSave = QStringLiteral("editor.autosave.enabled");
const QString kWordWrap = QStringLiteral("editor.word-wrap.enabled");
const QString kShowInvisibles = QStringLiteral("editor.show-invisibles.enabled");
const QString kTabWidth = QStringLiteral("editor.tab-width");
const QString kFontSize = QStringLiteral("editor.font-size");

} // namespace

WindowSettings::WindowSettings(Defaults& defaults, const QStringList& processArguments)
    : m_defaults(defaults),
      m_alwaysOnTopKey(dunmoss::alwaysOnTopKey(processArguments)) {}

QString WindowSettings::savedMacroStepsRaw() const {
    return m_defaults.string(kSavedMacroSteps);
}

void WindowSettings::setSavedMacroStepsRaw(const QString& value) {
    m_defaults.setValue(kSavedMacroSteps, value);
}

QString WindowSettings::themeRawValue() const {
    return m_defaults.string(kTheme, QStringLiteral("system"));
}

void WindowSettings::setThemeRawValue(const QString& value) {
    m_defaults.setValue(kTheme, value);
}

bool WindowSettings::autoSaveEnabled() const {
    return m_defaults.boolean(kAutoSave, true);
}

void WindowSettings::setAutoSaveEnabled(bool enabled) {
    m_defaults.setValue(kAutoSave, enabled);
}

bool WindowSettings::wordWrapEnabled() const {
    return m_defaults.boolean(kWordWrap, true);
}

void WindowSettings::setWordWrapEnabled(bool enabled) {
    m_defaults.setValue(kWordWrap, enabled);
}

bool WindowSettings::showInvisiblesEnabled() const {
    return m_defaults.boolean(kShowInvisibles, false);
}

void WindowSettings::setShowInvisiblesEnabled(bool enabled) {
    m_defaults.setValue(kShowInvisibles, enabled);
}

int WindowSettings::tabWidth() const {
    return int(m_defaults.integer(kTabWidth, 4));
}

void WindowSettings::setTabWidth(int width) {
    m_defaults.setValue(kTabWidth, width);
}

double WindowSettings::fontSize() const {
    bool ok = false;
    const double size = m_defaults.value(kFontSize).toDouble(&ok);
    return ok ? size : 14.0;
}

void WindowSettings::setFontSize(double size) {
    m_defaults.setValue(kFontSize, size);
}

bool WindowSettings::alwaysOnTopEnabled() const {
    return m_defaults.boolean(m_alwaysOnTopKey, false);
}

void WindowSettings::setAlwaysOnTopEnabled(bool enabled) {
    m_defaults.setValue(m_alwaysOnTopKey, enabled);
}

} // namespace dunmoss
