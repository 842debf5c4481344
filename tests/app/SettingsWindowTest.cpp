// The settings window offscreen: every control against its stored setting, the language choice
// with its restart offer, the association status line and the shortcut list.
#include "app/AppSettingsView.h"
#include "app/EditorMenuBar.h"
#include "app/PrivacyPolicyView.h"
#include "app/SettingsShortcuts.h"
#include "platform/Defaults.h"
#include "search/FindReplaceBar.h"
#include "text/EditorTheme.h"
#include "text/LanguageCatalogue.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

using namespace dunmoss;

namespace {

class SettingsWindow : public ::testing::Test {
protected:
    // No xdg-mime is reachable: the status queries fail at once and touch nothing.
    void SetUp() override {
        path = qgetenv("PATH");
        qputenv("PATH", dir.filePath(QStringLiteral("no-tools")).toUtf8());
        make({});
    }
    void TearDown() override {
        view.reset();
        qputenv("PATH", path);
    }

    void make(QStringList arguments) {
        view.reset();
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        association = new DefaultTextEditorAssociation(QStringList{"text/plain", "text/x-log"});
        view = std::make_unique<AppSettingsView>(*defaults, arguments, association, [this] {
            ++relaunches;
            return relaunchFailure;
        });
    }

    template <typename T> T* child(const char* name) const {
        T* widget = view->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // The window-modal box with that name, once it has been opened.
    QMessageBox* dialog(const char* name) const {
        QCoreApplication::processEvents();
        for (auto* box : view->findChildren<QMessageBox*>(QString::fromLatin1(name)))
            if (box->isVisible())
                return box;
        return nullptr;
    }
    void answer(const char* dialogName, const char* buttonName) {
        QMessageBox* box = dialog(dialogName);
        ASSERT_NE(box, nullptr) << dialogName;
        box->findChild<QPushButton*>(QString::fromLatin1(buttonName))->click();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    void pickLanguage(AppLanguagePreference preference) {
        child<QRadioButton>(("language." + rawValue(preference)).toLatin1().constData())->click();
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    QByteArray path;
    std::unique_ptr<Defaults> defaults;
    DefaultTextEditorAssociation* association = nullptr;
    std::unique_ptr<AppSettingsView> view;
    int relaunches = 0;
    std::optional<QString> relaunchFailure;
};

} // namespace

TEST_F(SettingsWindow, FourTabsInAFixedWindow) {
    EXPECT_EQ(view->size(), QSize(560, 430));
    ASSERT_EQ(view->tabs()->count(), 4);
    EXPECT_EQ(view->tabs()->tabText(3),
              localizedString(QStringLiteral("settings.shortcuts.title")));
    EXPECT_EQ(view->windowTitle(), localizedString(QStringLiteral("settings.title")));
}

TEST_F(SettingsWindow, EditorControlsWriteTheirSettingsAndFollowOutsideChanges) {
    auto* theme = child<QComboBox>("theme");
    EXPECT_EQ(theme->currentData().toString(), QStringLiteral("system"));
    theme->activated(3);
    EXPECT_EQ(defaults->string(kEditorThemeKey), QStringLiteral("midnight"));
    // An unknown stored theme selects nothing and is left as stored.
    defaults->setValue(kEditorThemeKey, QStringLiteral("neon"));
    EXPECT_EQ(theme->currentIndex(), -1);
    EXPECT_EQ(defaults->string(kEditorThemeKey), QStringLiteral("neon"));

    auto* slider = child<QSlider>("fontSize");
    EXPECT_EQ(slider->value(), 14);
    slider->setValue(20);
    EXPECT_EQ(defaults->value(QStringLiteral("editor.font-size")).toDouble(), 20.0);
    defaults->setValue(QStringLiteral("editor.font-size"), 13.0);
    EXPECT_EQ(child<QLabel>("fontSizeValue")->text(), QStringLiteral("13 pt"));
    EXPECT_EQ(slider->value(), 13);

    struct Toggle {
        const char* name;
        const char* key;
        bool initial;
    };
    for (const Toggle& t : {Toggle{"wordWrap", "editor.word-wrap.enabled", true},
                            Toggle{"showInvisibles", "editor.show-invisibles.enabled", false},
                            Toggle{"autoSave", "editor.autosave.enabled", true},
                            Toggle{"alwaysOnTop", "window.always-on-top.enabled", false}}) {
        auto* box = child<QCheckBox>(t.name);
        EXPECT_EQ(box->isChecked(), t.initial) << t.name;
        box->click();
        EXPECT_EQ(defaults->boolean(QString::fromLatin1(t.key), t.initial), !t.initial) << t.name;
        defaults->setValue(QString::fromLatin1(t.key), t.initial);
        EXPECT_EQ(box->isChecked(), t.initial) << t.name;
    }

    auto* tabWidth = child<QSpinBox>("tabWidth");
    EXPECT_EQ(tabWidth->value(), 4);
    tabWidth->setValue(6);
    EXPECT_EQ(defaults->integer(kGlobalTabWidthKey), 6);
}

TEST_F(SettingsWindow, LanguageTabWidthFallsBackToTheGlobalWidth) {
    defaults->setValue(kGlobalTabWidthKey, 6);
    auto* stepper = child<QSpinBox>("languageTabWidth");
    EXPECT_EQ(view->selectedLanguageForEditorSettings(), EditorLanguage::Swift);
    struct Case {
        std::optional<int> stored;
        int shown;
    };
    for (const Case& c :
         {Case{std::nullopt, 6}, Case{0, 6}, Case{-3, 6}, Case{1, 2}, Case{12, 8}, Case{5, 5}}) {
        if (c.stored)
            defaults->setValue(languageTabWidthKey(EditorLanguage::Swift), *c.stored);
        else
            defaults->remove(languageTabWidthKey(EditorLanguage::Swift));
        EXPECT_EQ(view->languageTabWidth(), c.shown) << c.stored.value_or(-99);
        EXPECT_EQ(stepper->value(), c.shown);
    }
    // The first step stores a value; from then on the global width no longer counts.
    defaults->remove(languageTabWidthKey(EditorLanguage::Swift));
    stepper->stepUp();
    EXPECT_EQ(defaults->integer(languageTabWidthKey(EditorLanguage::Swift)), 7);
    defaults->setValue(kGlobalTabWidthKey, 3);
    EXPECT_EQ(stepper->value(), 7);

    // Another language shows its own width, here the global one.
    auto* language = child<QComboBox>("editorLanguage");
    language->activated(language->findData(int(EditorLanguage::Python)));
    EXPECT_EQ(view->selectedLanguageForEditorSettings(), EditorLanguage::Python);
    EXPECT_EQ(stepper->value(), 3);
}

TEST_F(SettingsWindow, AlwaysOnTopUnderTheTestingFlagWritesOnlyTheTestingKey) {
    make({QStringLiteral("dunmoss-notepad"), QString::fromLatin1(kUiTestingArgument)});
    child<QCheckBox>("alwaysOnTop")->click();
    EXPECT_TRUE(defaults->boolean(kUiTestingAlwaysOnTopKey));
    EXPECT_FALSE(defaults->contains(kAlwaysOnTopKey));
}

TEST_F(SettingsWindow, AssociationStatusLine) {
    auto* label = child<QLabel>("fileAssociationStatus");
    struct Case {
        int handled;
        const char* key;
    };
    for (const Case& c : {Case{2, "settings.file-association.status.default"},
                          Case{0, "settings.file-association.status.not-default"}}) {
        emit association->statusChanged({c.handled, 2});
        EXPECT_EQ(label->text(), localizedString(QString::fromLatin1(c.key), *defaults));
    }
    const QColor secondary = label->palette().color(QPalette::WindowText);
    emit association->statusChanged({2, 2});
    const QColor green = label->palette().color(QPalette::WindowText);
    EXPECT_NE(green, secondary);
    emit association->statusChanged({1, 2});
    EXPECT_EQ(label->text(),
              localizedString(QStringLiteral("settings.file-association.status.partial.format"),
                              *defaults)
                  .arg(1)
                  .arg(2));
    EXPECT_TRUE(label->text().contains(QLatin1Char('1')) &&
                label->text().contains(QLatin1Char('2')));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), secondary);
}

TEST_F(SettingsWindow, LanguageChoicesAndTheRestartOffer) {
    // The first choice ever made needs a restart; Later keeps it stored and runs nothing.
    pickLanguage(AppLanguagePreference::English);
    EXPECT_EQ(defaults->string(kLanguagePreferenceKey), QStringLiteral("english"));
    answer("restartAlert", "restartLater");
    EXPECT_EQ(relaunches, 0);

    // The same language again: no offer, still stored.
    pickLanguage(AppLanguagePreference::English);
    EXPECT_EQ(dialog("restartAlert"), nullptr);
    EXPECT_EQ(defaults->string(kLanguagePreferenceKey), QStringLiteral("english"));

    // Restart now relaunches; the window's own texts already follow the new choice.
    pickLanguage(AppLanguagePreference::SimplifiedChinese);
    answer("restartAlert", "restartNow");
    EXPECT_EQ(relaunches, 1);
    EXPECT_EQ(dialog("restartFailed"), nullptr);
    EXPECT_EQ(view->windowTitle(), QStringLiteral("设置"));
    EXPECT_EQ(defaults->stringList(kAppleLanguagesKey), QStringList{QStringLiteral("zh-Hans")});

    // A relaunch that could not start the new process leaves this one running and says why.
    relaunchFailure = QStringLiteral("no such program");
    pickLanguage(AppLanguagePreference::English);
    answer("restartAlert", "restartNow");
    EXPECT_EQ(relaunches, 2);
    QMessageBox* failed = dialog("restartFailed");
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->informativeText(), QStringLiteral("no such program"));
}

TEST_F(SettingsWindow, ShortcutRowsShowTheKeysTheMenusAndFindBarBind) {
    QUndoStack stack;
    EditMenuContext context;
    context.activeUndoStack = [&stack] { return &stack; };
    EditorMenuBar menu(std::move(context), *defaults);
    FindReplaceBar findBar(FindReplaceBarActions{});
    const QList<SettingsShortcutRow> rows = settingsShortcutRows();
    ASSERT_EQ(rows.size(), 26);
    for (const SettingsShortcutRow& row : rows) {
        EXPECT_FALSE(row.keyText.isEmpty()) << row.titleKey.toStdString();
        if (QAction* item = menu.actionForKey(row.titleKey))
            EXPECT_EQ(row.keyText, item->shortcut().toString(QKeySequence::NativeText))
                << row.titleKey.toStdString();
        else
            EXPECT_TRUE(row.titleKey.startsWith(QStringLiteral("find.")))
                << row.titleKey.toStdString();
    }
    // Linux key names.
    EXPECT_EQ(rows[3].keyText, QStringLiteral("Ctrl+Shift+S"));
    EXPECT_EQ(rows[10].keyText, QStringLiteral("Ctrl+G"));
    EXPECT_EQ(rows[17].keyText, QStringLiteral("Ctrl+Alt+Shift+\\"));
    EXPECT_EQ(rows[20].keyText, QStringLiteral("Ctrl+Alt+Up"));

    view->rebuild();
    auto* list = child<QTableWidget>("shortcuts");
    ASSERT_EQ(list->rowCount(), 26);
    EXPECT_EQ(list->item(4, 0)->text(), localizedString(QStringLiteral("command.save-all")));
    EXPECT_EQ(list->item(4, 1)->text(), QStringLiteral("Ctrl+Alt+S"));
}

TEST_F(SettingsWindow, PrivacySheetOpensAndReturnClosesIt) {
    view->show();
    child<QPushButton>("openPrivacy")->click();
    auto* sheet = view->findChild<PrivacyPolicyView*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->size(), QSize(600, 540));
    EXPECT_NE(sheet->findChild<QScrollArea*>(), nullptr);
    // The statement claims no connection this build does not make: the updater has no source.
    bool saysNoConnection = false;
    for (QLabel* label : sheet->findChildren<QLabel*>()) {
        EXPECT_FALSE(label->text().contains(QStringLiteral("update check"), Qt::CaseInsensitive))
            << label->text().toStdString();
        saysNoConnection = saysNoConnection || label->text().startsWith(
                                                   "Dunmoss Notepad makes no network connections.");
    }
    EXPECT_TRUE(saysNoConnection);
    EXPECT_TRUE(localizedStringInLproj(QStringLiteral("privacy.network.body"), "zh-Hans")
                    ->startsWith(QStringLiteral("Dunmoss Notepad 不建立任何网络连接。")));
    QTest::keyClick(sheet, Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
}
