#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QPrinter;

namespace dunmoss {

// What a file panel is for. Without a folder of its own (or when it is gone) a panel starts in
// the folder last chosen in a panel of the same kind and direction, else in the home folder.
enum class FilePanelKind { Documents, Sessions };

struct SavePanelOptions {
    QString suggestedName;
    // The folder the panel shows first.
    std::optional<QUrl> folder;
    FilePanelKind kind = FilePanelKind::Documents;
    QString message;
    // Name filters in QFileDialog form, first one preselected.
    QStringList nameFilters;
    bool canCreateDirectories = true;
};

struct OpenPanelOptions {
    // The folder the panel shows first.
    std::optional<QUrl> folder;
    FilePanelKind kind = FilePanelKind::Documents;
    QString message;
    QStringList nameFilters;
    bool allowsMultipleSelection = true;
};

struct FolderPanelOptions {
    QString message;
    bool canCreateDirectories = false;
    // The folder the panel shows first; without one (or when it is gone) the home folder.
    std::optional<QUrl> folder;
};

struct AlertButton {
    enum class Role { Default, Cancel, Destructive };
    QString title;
    Role role = Role::Default;
};

// The tool sheets that offer a list of entries to pick one from.
enum class ToolSheet { TextToolbox, SnippetLibrary };

struct AlertRequest {
    QString title;
    QString message;
    QList<AlertButton> buttons;
};

// Everything the window model needs from a person. The real view answers with window-modal
// dialogs opened with open(); tests answer from a script. Each call hands its answer to the
// completion exactly once, either before returning or later; the model never assumes which,
// and looks its tabs up again by identifier when an answer arrives.
class WindowInteraction {
public:
    virtual ~WindowInteraction() = default;

    // Nothing when the person cancels.
    virtual void chooseSaveLocation(const SavePanelOptions& options,
                                    std::function<void(std::optional<QUrl>)> done) = 0;
    // An empty list when the person cancels.
    virtual void chooseFilesToOpen(const OpenPanelOptions& options,
                                   std::function<void(QList<QUrl>)> done) = 0;
    virtual void chooseFolder(const FolderPanelOptions& options,
                              std::function<void(std::optional<QUrl>)> done) = 0;
    // The index of the button chosen; -1 when the alert was dismissed without one.
    virtual void showAlert(const AlertRequest& request, std::function<void(int)> done) = 0;
    // Lets the person set up the printer the model created; true to print. The printer stays
    // alive until the completion has run.
    virtual void runPrintDialog(QPrinter* printer, std::function<void(bool)> done) = 0;
    // The index of the entry chosen, in the sheet's own order; -1 when the sheet was dismissed.
    // Where no sheet can be shown, every sheet counts as dismissed.
    virtual void showToolSheet(ToolSheet sheet, std::function<void(int)> done) { done(-1); }
};

} // namespace dunmoss
