#include "chrome/DialogInteraction.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

template <typename Dialog> Dialog* openDialog(QWidget& window) {
    QApplication::processEvents();
    for (Dialog* dialog : window.findChildren<Dialog*>())
        if (dialog->isVisible())
            return dialog;
    return nullptr;
}

// Activates a window and waits until the window system sends it the keys.
bool hasKeyboard(QWidget* window) {
    window->activateWindow();
    return QTest::qWaitFor(
        [window] { return QGuiApplication::focusWindow() == window->windowHandle(); });
}

} // namespace

TEST(DialogInteraction, AlertAnswersWithTheButtonIndex) {
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    std::optional<int> answer;
    AlertRequest request{QStringLiteral("Discard?"),
                         QStringLiteral("Unsaved changes."),
                         {{QStringLiteral("Save"), AlertButton::Role::Default},
                          {QStringLiteral("Discard"), AlertButton::Role::Destructive},
                          {QStringLiteral("Cancel"), AlertButton::Role::Cancel}}};
    interaction.showAlert(request, [&](int index) { answer = index; });
    EXPECT_FALSE(answer); // window-modal: the answer comes when the person clicks
    QMessageBox* box = openDialog<QMessageBox>(window);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    for (QAbstractButton* button : box->buttons())
        if (button->text() == QStringLiteral("Discard"))
            button->click();
    QApplication::processEvents();
    EXPECT_EQ(answer, 1);

    answer.reset();
    interaction.showAlert(request, [&](int index) { answer = index; });
    box = openDialog<QMessageBox>(window);
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(answer, 2); // Escape chooses the cancel button
}

TEST(DialogInteraction, AlertShowsNamesAsTypedInTheWindowsColours) {
    QWidget window;
    QPalette dark = window.palette();
    dark.setColor(QPalette::Window, QColor(0x24, 0x25, 0x28));
    window.setPalette(dark);
    window.show();
    DialogInteraction interaction(&window);
    AlertRequest request{QStringLiteral("Save <b>a&b</b>.txt?"),
                         QStringLiteral("The file <h1>BIG<i>x.txt changed on disk."),
                         {{QStringLiteral("Keep"), AlertButton::Role::Cancel}}};
    interaction.showAlert(request, [](int) {});
    QMessageBox* box = openDialog<QMessageBox>(window);
    ASSERT_NE(box, nullptr);
    int texts = 0;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        ++texts;
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
    }
    EXPECT_EQ(texts, 2);
    EXPECT_EQ(box->palette().color(QPalette::Window), dark.color(QPalette::Window));
    box->reject();
}

TEST(DialogInteraction, ReturnNeverPressesADestructiveButton) {
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    std::optional<int> answer;
    AlertRequest request{QStringLiteral("Reload?"),
                         QStringLiteral("Unsaved changes are lost."),
                         {{QStringLiteral("Reload"), AlertButton::Role::Destructive},
                          {QStringLiteral("Cancel"), AlertButton::Role::Cancel}}};
    interaction.showAlert(request, [&](int index) { answer = index; });
    QMessageBox* box = openDialog<QMessageBox>(window);
    ASSERT_NE(box, nullptr);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : box,
                    Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(answer, 1);
}

TEST(DialogInteraction, CancelledPanelsAnswerNothingOnce) {
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    int calls = 0;
    std::optional<QUrl> saved = QUrl(QStringLiteral("file:///unset"));
    SavePanelOptions options;
    options.suggestedName = QStringLiteral("Untitled.txt");
    interaction.chooseSaveLocation(options, [&](std::optional<QUrl> url) {
        ++calls;
        saved = url;
    });
    QFileDialog* dialog = openDialog<QFileDialog>(window);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->reject();
    QApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(saved);

    QList<QUrl> opened{QUrl(QStringLiteral("file:///unset"))};
    interaction.chooseFilesToOpen({}, [&](QList<QUrl> urls) { opened = urls; });
    dialog = openDialog<QFileDialog>(window);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFiles);
    dialog->reject();
    QApplication::processEvents();
    EXPECT_TRUE(opened.isEmpty());
}

// Qt writes a closed panel's state to its own settings file, with a lock file and a synced rename
// on the window's thread. The next panel still shows what the person chose in the last one.
TEST(DialogInteraction, AClosedPanelWritesNothingToDiskYetTheNextKeepsItsView) {
    const QString toolkitFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/QtProject.conf");
    QFile::remove(toolkitFile);
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    interaction.chooseSaveLocation({}, [](std::optional<QUrl>) {});
    QPointer<QFileDialog> dialog = openDialog<QFileDialog>(window);
    ASSERT_NE(dialog, nullptr);
    const QFileDialog::ViewMode chosen =
        dialog->viewMode() == QFileDialog::Detail ? QFileDialog::List : QFileDialog::Detail;
    dialog->setViewMode(chosen);
    dialog->reject();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(dialog.isNull());
    EXPECT_FALSE(QFile::exists(toolkitFile));
    EXPECT_FALSE(QFile::exists(toolkitFile + QStringLiteral(".lock")));

    interaction.chooseFilesToOpen({}, [](QList<QUrl>) {});
    dialog = openDialog<QFileDialog>(window);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->viewMode(), chosen);
    dialog->reject();
    QApplication::processEvents();
}

TEST(DialogInteraction, TheSavePanelOpensInTheFolderItIsGiven) {
    QTemporaryDir home;
    ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("project/docs")));
    const QString folder = home.filePath(QStringLiteral("project/docs"));
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    std::optional<QUrl> saved;
    SavePanelOptions options;
    options.suggestedName = QStringLiteral("plan.txt");
    options.folder = QUrl::fromLocalFile(folder);
    interaction.chooseSaveLocation(options, [&](std::optional<QUrl> url) { saved = url; });
    QFileDialog* dialog = openDialog<QFileDialog>(window);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(folder).canonicalPath());
    static_cast<QDialog*>(dialog)->accept(); // as the Save button does
    QApplication::processEvents();
    ASSERT_TRUE(saved);
    EXPECT_EQ(QDir(QFileInfo(saved->toLocalFile()).absolutePath()).canonicalPath(),
              QDir(folder).canonicalPath());
    EXPECT_EQ(saved->fileName(), QStringLiteral("plan.txt"));
}

// Qt starts a panel given no folder where any panel last was: after Restore Backup, in the
// program's own backups. Each kind of panel starts where that kind was last answered, else at
// home.
TEST(DialogInteraction, FilePanelsStartWhereTheirKindWasLastAnsweredNeverInAnothersFolder) {
    QTemporaryDir root;
    const QDir folders(root.path());
    for (const char* name : {"backups", "docs", "elsewhere"})
        ASSERT_TRUE(folders.mkpath(QString::fromLatin1(name)));
    const QString docs = folders.filePath(QStringLiteral("docs"));
    const QString elsewhere = folders.filePath(QStringLiteral("elsewhere"));
    QWidget window;
    window.show();
    DialogInteraction interaction(&window);
    const auto shows = [](QFileDialog* dialog, const QString& folder) {
        return QDir(dialog->directory()).canonicalPath() == QDir(folder).canonicalPath();
    };
    const auto close = [](QFileDialog* dialog) {
        dialog->reject();
        QApplication::processEvents();
    };
    // Where a backup is restored from.
    const auto visitBackups = [&] {
        interaction.chooseFolder(
            {{}, false, QUrl::fromLocalFile(folders.filePath(QStringLiteral("backups")))},
            [](std::optional<QUrl>) {});
        QFileDialog* backups = openDialog<QFileDialog>(window);
        ASSERT_NE(backups, nullptr);
        close(backups);
    };
    const auto openPanel = [&](const std::optional<QUrl>& folder) {
        OpenPanelOptions options;
        options.folder = folder;
        interaction.chooseFilesToOpen(options, [](QList<QUrl>) {});
        return openDialog<QFileDialog>(window);
    };
    const auto savePanel = [&](FilePanelKind kind) {
        SavePanelOptions options;
        options.suggestedName = QStringLiteral("plan.txt");
        options.kind = kind;
        interaction.chooseSaveLocation(options, [](std::optional<QUrl>) {});
        return openDialog<QFileDialog>(window);
    };

    visitBackups();
    QFileDialog* panel = openPanel(std::nullopt);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(shows(panel, QDir::homePath())) << panel->directory().path().toStdString();
    close(panel);
    // The current document's folder comes first.
    panel = openPanel(QUrl::fromLocalFile(elsewhere));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(shows(panel, elsewhere)) << panel->directory().path().toStdString();
    close(panel);

    visitBackups();
    panel = savePanel(FilePanelKind::Documents);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(shows(panel, QDir::homePath())) << panel->directory().path().toStdString();
    panel->setDirectory(docs);
    panel->selectFile(QStringLiteral("plan.txt"));
    static_cast<QDialog*>(panel)->accept(); // as the Save button does
    QApplication::processEvents();

    visitBackups();
    panel = savePanel(FilePanelKind::Documents);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(shows(panel, docs)) << panel->directory().path().toStdString();
    close(panel);
    // Saving a session is another kind: where a document was saved is not its folder.
    panel = savePanel(FilePanelKind::Sessions);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(shows(panel, QDir::homePath())) << panel->directory().path().toStdString();
    close(panel);
}

// A question asked while a sheet is open is the sheet's: closed, the window manager gives the
// keyboard back to the sheet (the window it was raised on), not to the window the sheet blocks.
TEST(DialogInteraction, AnAlertRaisedOverASheetGivesTheKeyboardBackToIt) {
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* sheet = new QDialog(&window);
    sheet->setWindowModality(Qt::WindowModal);
    auto* field = new QLineEdit(sheet);
    sheet->open();
    ASSERT_TRUE(hasKeyboard(sheet));
    field->setFocus();
    DialogInteraction interaction(&window);
    AlertRequest request{
        QStringLiteral("Nothing to run."), {}, {{QStringLiteral("OK"), AlertButton::Role::Cancel}}};
    std::optional<int> answer;
    interaction.showAlert(request, [&](int index) { answer = index; });
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(hasKeyboard(box));
    QWidget* raisedOn = box->parentWidget()->window();
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(answer, 0);
    // What the window manager does when a dialog goes.
    ASSERT_TRUE(hasKeyboard(raisedOn));
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_A);
    EXPECT_EQ(field->text(), QStringLiteral("a"));

    // Gone with its sheet before an answer, it answers as dismissed, once.
    int calls = 0;
    answer.reset();
    interaction.showAlert(request, [&](int index) {
        ++calls;
        answer = index;
    });
    ASSERT_TRUE(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()));
    delete sheet;
    QApplication::processEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(answer, -1);
}

TEST(DialogInteraction, WithoutItsWindowEveryQuestionIsCancelled) {
    auto* window = new QWidget;
    DialogInteraction interaction(window);
    delete window;
    std::optional<int> alert;
    interaction.showAlert({}, [&](int index) { alert = index; });
    EXPECT_EQ(alert, -1);
    bool printed = true;
    interaction.runPrintDialog(nullptr, [&](bool ok) { printed = ok; });
    EXPECT_FALSE(printed);
}

TEST(DialogInteraction, AShortQuestionLeavesItsMessageRoomToRead) {
    QWidget window;
    window.resize(1060, 720);
    window.show();
    DialogInteraction interaction(&window);
    // The folder replacement's confirmation: a short question, a sentence of explanation.
    AlertRequest request{QStringLiteral("Replace in Folder?"),
                         QStringLiteral("5 replacements in 4 files. A backup of every changed "
                                        "file is kept."),
                         {{QStringLiteral("Replace"), AlertButton::Role::Default},
                          {QStringLiteral("Cancel"), AlertButton::Role::Cancel}}};
    interaction.showAlert(request, [](int) {});
    QMessageBox* box = openDialog<QMessageBox>(window);
    ASSERT_NE(box, nullptr);
    QTest::qWait(0);
    QLabel* message = nullptr;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (label->text() == request.message)
            message = label;
    ASSERT_NE(message, nullptr);
    // It wrapped to the width of the question: five lines in a box too narrow for its title.
    EXPECT_LE(message->height(), 3 * message->fontMetrics().lineSpacing());
    box->reject();
}
