// The toolkit's own texts speak the interface language: in Simplified Chinese the open panel's
// buttons and a field's context menu are Chinese too; in English they stay English.
#include "ProgramDriving.h"
#include "app/DunmossNotepadApp.h"
#include "chrome/EditorWindowView.h"
#include "platform/Localization.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

class ToolkitLanguage : public ProgramFixture {
protected:
    void TearDown() override {
        app.reset();
        ProgramFixture::TearDown();
    }
    void launchIn(AppLanguagePreference language) {
        applyLanguagePreference(language, *defaults);
        app = std::make_unique<DunmossNotepadApp>(QStringList{QStringLiteral("dunmoss-notepad")},
                                                  *defaults);
        app->setRecoveryDirectory(dir.filePath(QStringLiteral("Recovery")));
        window = app->start({});
        ASSERT_TRUE(window);
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->hasCompletedStartUp(); }));
        settle();
    }
    // Ctrl+O, then the texts of the open panel's cancel button and of its file name field's
    // context menu; the panel is cancelled again.
    QStringList openPanelTexts() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
        QFileDialog* panel = nullptr;
        EXPECT_TRUE(QTest::qWaitFor([&] {
            panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            return panel && panel->isVisible();
        }));
        if (!panel)
            return {};
        QStringList texts;
        if (auto* buttons = panel->findChild<QDialogButtonBox*>())
            if (QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel))
                texts << cancel->text();
        if (auto* name = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            std::unique_ptr<QMenu> menu(name->createStandardContextMenu());
            for (QAction* action : menu->actions())
                if (!action->isSeparator())
                    texts << action->text();
        }
        panel->reject();
        settle();
        return texts;
    }
    static bool hasChinese(const QString& text) {
        for (const QChar c : text)
            if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
                return true;
        return false;
    }

    std::unique_ptr<DunmossNotepadApp> app;
    EditorWindowView* window = nullptr;
};

} // namespace

TEST_F(ToolkitLanguage, TheToolkitsOwnTextsSpeakTheInterfaceLanguage) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_zh_CN.qm")))
        GTEST_SKIP() << "the toolkit's translations are not installed (scripts/setup)";
    launchIn(AppLanguagePreference::SimplifiedChinese);
    const QStringList chinese = openPanelTexts();
    ASSERT_GE(chinese.size(), 2);
    for (const QString& text : chinese)
        EXPECT_TRUE(hasChinese(text)) << qPrintable(text);

    // Back in English after a restart, which the language change asks for.
    app.reset();
    for (QWidget* shown : editorWindows())
        delete shown;
    settle();
    reset();
    launchIn(AppLanguagePreference::English);
    const QStringList english = openPanelTexts();
    ASSERT_GE(english.size(), 2);
    for (const QString& text : english)
        EXPECT_FALSE(hasChinese(text)) << qPrintable(text);
}
