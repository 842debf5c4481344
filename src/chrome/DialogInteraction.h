#pragma once

#include "window/WindowInteraction.h"

#include <QPointer>
#include <memory>

class QObject;
class QWidget;

namespace dunmoss {

// The window model's questions answered by a person through real dialogs: window-modal file
// dialogs, message boxes and the print dialog, each opened with open() so the event loop keeps
// running. Every completion runs exactly once, when the dialog finishes; a dialog whose window
// has gone answers as cancelled.
class DialogInteraction : public WindowInteraction {
public:
    explicit DialogInteraction(QWidget* window);
    ~DialogInteraction() override;

    void chooseSaveLocation(const SavePanelOptions& options,
                            std::function<void(std::optional<QUrl>)> done) override;
    void chooseFilesToOpen(const OpenPanelOptions& options,
                           std::function<void(QList<QUrl>)> done) override;
    void chooseFolder(const FolderPanelOptions& options,
                      std::function<void(std::optional<QUrl>)> done) override;
    void showAlert(const AlertRequest& request, std::function<void(int)> done) override;
    void runPrintDialog(QPrinter* printer, std::function<void(bool)> done) override;
    void showToolSheet(ToolSheet sheet, std::function<void(int)> done) override;

private:
    QPointer<QWidget> m_window;
    // Lives as long as this: a dialog destroyed unanswered (with the sheet it was raised on)
    // answers as cancelled, but not once the window's own teardown has begun.
    std::unique_ptr<QObject> m_asker;
};

} // namespace dunmoss
