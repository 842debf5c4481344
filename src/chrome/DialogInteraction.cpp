#include "chrome/DialogInteraction.h"

#include "chrome/DialogHost.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "tools/SnippetLibrarySheet.h"
#include "tools/TextToolboxSheet.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QSettings>
#include <map>
#include <memory>
#include <utility>

namespace dunmoss {

namespace {

// Every dialog is raised on the window's open sheet, if any, and gives the keyboard back to it.
template <typename Dialog, typename... Args> Dialog* makeDialog(QWidget* window, Args... args) {
    QWidget* host = dialogHost(window);
    auto* dialog = new Dialog(args..., host);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    QObject::connect(dialog, &QDialog::finished, host, [host] { returnKeyboardTo(host); });
    return dialog;
}

// Runs `finished` with the dialog's result, or `gone` when the dialog is destroyed unfinished
// (with the sheet it was raised on) while `asker` lives: a completion runs exactly once.
template <typename Finished, typename Gone>
void answerOnce(QDialog* dialog, const QObject* asker, Finished finished, Gone gone) {
    auto pending = std::make_shared<bool>(true);
    QObject::connect(dialog, &QDialog::finished, dialog, [pending, finished](int result) {
        if (std::exchange(*pending, false))
            finished(result);
    });
    QObject::connect(dialog, &QObject::destroyed, asker, [pending, gone] {
        if (std::exchange(*pending, false))
            gone();
    });
}

// What the file panels remember between showings (view mode, column widths, sidebar places,
// the folders gone through), shared by every panel of the run.
QByteArray& rememberedPanelState() {
    static QByteArray state;
    return state;
}

// A file panel writes that state to the toolkit's own settings file whenever it goes, with a lock
// file and a synced rename on the window's thread: on a slow disk the window froze. The toolkit's
// settings are pointed at a place inside the program, which it can read (there is nothing) but
// never write, and the state is kept in memory instead.
void keepPanelStateOffDisk() {
    static const bool kept = [] {
        QSettings::setPath(QSettings::defaultFormat(), QSettings::UserScope,
                           QStringLiteral(":/dunmoss-toolkit-settings"));
        return true;
    }();
    Q_UNUSED(kept);
}

QFileDialog* makeFileDialog(QWidget* window, const QString& message) {
    keepPanelStateOffDisk();
    auto* dialog = makeDialog<QFileDialog>(window);
    if (!message.isEmpty())
        dialog->setWindowTitle(message);
    if (!rememberedPanelState().isEmpty())
        dialog->restoreState(rememberedPanelState());
    QObject::connect(dialog, &QDialog::finished, dialog,
                     [dialog] { rememberedPanelState() = dialog->saveState(); });
    return dialog;
}

// The folder last chosen in each kind of file panel, in either direction, by any window.
QString& lastChosenFolder(FilePanelKind kind, QFileDialog::AcceptMode mode) {
    static std::map<std::pair<FilePanelKind, QFileDialog::AcceptMode>, QString> folders;
    return folders[{kind, mode}];
}

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// Starts the panel in `folder`, else where this kind of panel was last answered, else at home.
// Never where Qt would: the last folder any panel showed, such as the program's own backups.
void startIn(QFileDialog* dialog, const std::optional<QUrl>& folder, FilePanelKind kind) {
    QString* last = &lastChosenFolder(kind, dialog->acceptMode());
    const QString given = folder && folder->isLocalFile() ? folder->toLocalFile() : QString();
    dialog->setDirectory(isFolder(given) ? given : isFolder(*last) ? *last : QDir::homePath());
    QObject::connect(dialog, &QFileDialog::filesSelected, dialog, [last](const QStringList& files) {
        if (!files.isEmpty())
            *last = QFileInfo(files.first()).absolutePath();
    });
}

// Opens a panel that answers with one location: the first one chosen, nothing when cancelled.
void openForOneURL(QFileDialog* dialog, const QObject* asker,
                   std::function<void(std::optional<QUrl>)> done) {
    answerOnce(
        dialog, asker,
        [dialog, done](int result) {
            const QList<QUrl> urls = dialog->selectedUrls();
            if (result == QDialog::Accepted && !urls.isEmpty())
                done(urls.first());
            else
                done(std::nullopt);
        },
        [done] { done(std::nullopt); });
    dialog->open();
}

} // namespace

DialogInteraction::DialogInteraction(QWidget* window)
    : m_window(window), m_asker(std::make_unique<QObject>()) {}

DialogInteraction::~DialogInteraction() = default;

void DialogInteraction::chooseSaveLocation(const SavePanelOptions& options,
                                           std::function<void(std::optional<QUrl>)> done) {
    if (!m_window) {
        done(std::nullopt);
        return;
    }
    QFileDialog* dialog = makeFileDialog(m_window, options.message);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
    if (!options.nameFilters.isEmpty())
        dialog->setNameFilters(options.nameFilters);
    startIn(dialog, options.folder, options.kind);
    dialog->selectFile(options.suggestedName);
    openForOneURL(dialog, m_asker.get(), std::move(done));
}

void DialogInteraction::chooseFilesToOpen(const OpenPanelOptions& options,
                                          std::function<void(QList<QUrl>)> done) {
    if (!m_window) {
        done({});
        return;
    }
    QFileDialog* dialog = makeFileDialog(m_window, options.message);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                        : QFileDialog::ExistingFile);
    if (!options.nameFilters.isEmpty())
        dialog->setNameFilters(options.nameFilters);
    startIn(dialog, options.folder, options.kind);
    answerOnce(
        dialog, m_asker.get(),
        [dialog, done](int result) {
            done(result == QDialog::Accepted ? dialog->selectedUrls() : QList<QUrl>());
        },
        [done] { done({}); });
    dialog->open();
}

void DialogInteraction::chooseFolder(const FolderPanelOptions& options,
                                     std::function<void(std::optional<QUrl>)> done) {
    if (!m_window) {
        done(std::nullopt);
        return;
    }
    QFileDialog* dialog = makeFileDialog(m_window, options.message);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setOption(QFileDialog::ReadOnly, !options.canCreateDirectories);
    // Never the folder the program happened to be started in.
    const bool known = options.folder && options.folder->isLocalFile() &&
                       QFileInfo(options.folder->toLocalFile()).isDir();
    dialog->setDirectory(known ? options.folder->toLocalFile() : QDir::homePath());
    openForOneURL(dialog, m_asker.get(), std::move(done));
}

void DialogInteraction::showAlert(const AlertRequest& request, std::function<void(int)> done) {
    if (!m_window) {
        done(-1);
        return;
    }
    auto* box = makeDialog<QMessageBox>(m_window);
    useParentWindowPalette(box);
    box->setIcon(QMessageBox::Warning);
    box->setText(request.title);
    box->setInformativeText(request.message);
    // Titles and messages quote file names and paths.
    showLiterally(box);
    QList<QAbstractButton*> buttons;
    for (const AlertButton& button : request.buttons) {
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (button.role == AlertButton::Role::Cancel)
            role = QMessageBox::RejectRole;
        else if (button.role == AlertButton::Role::Destructive)
            role = QMessageBox::DestructiveRole;
        QPushButton* added = box->addButton(literalMnemonicText(button.title), role);
        if (button.role == AlertButton::Role::Default && !box->defaultButton())
            box->setDefaultButton(added);
        buttons.append(added);
    }
    if (buttons.isEmpty())
        buttons.append(box->addButton(QMessageBox::Ok));
    // Without a safe default, Return would press the first button, which may discard work.
    if (!box->defaultButton())
        for (qsizetype i = 0; i < request.buttons.size(); ++i)
            if (request.buttons.at(i).role == AlertButton::Role::Cancel) {
                box->setDefaultButton(static_cast<QPushButton*>(buttons.at(i)));
                break;
            }
    // The message wraps to the width of the question above it: a short question would leave the
    // message a narrow column and the box too narrow for its title.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(box->fontMetrics().averageCharWidth() * 56, 0,
                                      QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    const qsizetype offered = request.buttons.size();
    answerOnce(
        box, m_asker.get(),
        [box, buttons, offered, done](int) {
            const qsizetype index = buttons.indexOf(box->clickedButton());
            done(index >= 0 && index < offered ? static_cast<int>(index) : -1);
        },
        [done] { done(-1); });
    box->open();
}

void DialogInteraction::runPrintDialog(QPrinter* printer, std::function<void(bool)> done) {
    if (!m_window || !printer) {
        done(false);
        return;
    }
    auto* dialog = makeDialog<QPrintDialog>(m_window, printer);
    answerOnce(
        dialog, m_asker.get(), [done](int result) { done(result == QDialog::Accepted); },
        [done] { done(false); });
    dialog->open();
}

void DialogInteraction::showToolSheet(ToolSheet sheet, std::function<void(int)> done) {
    if (!m_window) {
        done(-1);
        return;
    }
    ToolSheetDialog* dialog = nullptr;
    switch (sheet) {
    case ToolSheet::TextToolbox:
        dialog = makeDialog<TextToolboxSheet>(m_window);
        break;
    case ToolSheet::SnippetLibrary:
        dialog = makeDialog<SnippetLibrarySheet>(m_window);
        break;
    }
    answerOnce(
        dialog, m_asker.get(),
        [dialog, done](int result) {
            done(result == QDialog::Accepted ? dialog->chosenIndex() : -1);
        },
        [done] { done(-1); });
    dialog->open();
}

} // namespace dunmoss
