#pragma once

#include "app/DefaultTextEditorAssociation.h"
#include "platform/Localization.h"
#include "text/EditorLanguage.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QMessageBox;
class QTabWidget;

namespace dunmoss {

class Defaults;
class PrivacyPolicyView;

// The settings window: General (always on top, default editor, privacy), Language, Editor and
// Shortcuts tabs in a fixed 560 by 430 window. Every control reads and writes the settings
// database directly, so the editor windows and the menus follow at once, and the controls follow
// changes made elsewhere. Dialogs are window-modal and opened with open(). Escape and Ctrl+W
// close it.
class AppSettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 560;
    static constexpr int kHeight = 430;

    // Starts a new instance in place of this one; on failure returns why (this one then keeps
    // running).
    using Relaunch = std::function<std::optional<QString>()>;

    AppSettingsView(Defaults& defaults, QStringList processArguments,
                    DefaultTextEditorAssociation* association, Relaunch relaunch,
                    QWidget* parent = nullptr);

    // Asks xdg-mime again; the status line follows when it answers.
    void refreshFileAssociationStatus();
    std::optional<DefaultTextFileAssociationStatus> fileAssociationStatus() const {
        return m_fileAssociationStatus;
    }
    static QString fileAssociationStatusText(int handled, int total, const Defaults& defaults);

    AppLanguagePreference languageSelection() const;
    // Applies and stores the choice, and offers a restart when one is needed.
    void setLanguageSelection(AppLanguagePreference preference);

    EditorLanguage selectedLanguageForEditorSettings() const { return m_selectedLanguage; }
    void setSelectedLanguageForEditorSettings(EditorLanguage language);
    // The selected language's width: its stored one (2 to 8) or the global width.
    int languageTabWidth() const;
    void setLanguageTabWidth(int width);

    // Texts follow the language preference; rebuilding keeps the shown tab.
    void rebuild();

    QTabWidget* tabs() const { return m_tabs; }

private:
    // A text in the language this window's settings choose.
    QString text(const char* key) const;
    QWidget* buildGeneralTab();
    QWidget* buildLanguageTab();
    QWidget* buildEditorTab();
    QWidget* buildShortcutsTab();
    void showFileAssociationStatus();
    void confirmMakeDefault();
    void runMakeDefaultTextEditor();
    void showRestartAlert();
    void restartNow();
    void showPrivacyPolicy();
    void showAlert(const QString& objectName, const QString& title, const QString& message);
    // Brings the controls in line with the stored settings after a change made elsewhere.
    void refreshControls();

    Defaults& m_defaults;
    QStringList m_arguments;
    DefaultTextEditorAssociation* m_association;
    Relaunch m_relaunch;
    EditorLanguage m_selectedLanguage = EditorLanguage::Swift;
    std::optional<DefaultTextFileAssociationStatus> m_fileAssociationStatus;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_associationStatusLabel = nullptr;
    QList<std::function<void()>> m_refreshers;
    bool m_rebuildScheduled = false;
};

} // namespace dunmoss
