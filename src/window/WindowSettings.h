#pragma once

#include <QString>
#include <QStringList>

namespace dunmoss {

class Defaults;

// The stored settings an editor window reads and writes. They live in the settings database and
// are shared by every window and the settings window; nothing is cached here.
class WindowSettings {
public:
    // The always-on-top key is chosen once, from the process arguments given.
    WindowSettings(Defaults& defaults, const QStringList& processArguments);

    Defaults& defaults() const { return m_defaults; }

    QString savedMacroStepsRaw() const;
    void setSavedMacroStepsRaw(const QString& value);
    QString themeRawValue() const;
    void setThemeRawValue(const QString& value);
    bool autoSaveEnabled() const;
    void setAutoSaveEnabled(bool enabled);
    bool wordWrapEnabled() const;
    void setWordWrapEnabled(bool enabled);
    bool showInvisiblesEnabled() const;
    void setShowInvisiblesEnabled(bool enabled);
    int tabWidth() const;
    void setTabWidth(int width);
    double fontSize() const;
    void setFontSize(double size);
    bool alwaysOnTopEnabled() const;
    void setAlwaysOnTopEnabled(bool enabled);
    const QString& alwaysOnTopKey() const { return m_alwaysOnTopKey; }

private:
    Defaults& m_defaults;
    QString m_alwaysOnTopKey;
};

} // namespace dunmoss
