#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace dunmoss {

class EditorWindowModel;

// The window's three file panels, set up the same way every time they are shown. Without an
// interaction every panel answers as cancelled.
class WindowFilePanels {
public:
    explicit WindowFilePanels(EditorWindowModel& model) : m_model(model) {}

    // The save panel, showing `folder` first when given; an empty suggested name proposes the
    // localised default file name.
    void chooseSaveLocation(const QString& suggestedName,
                            std::function<void(std::optional<QUrl>)> done,
                            const std::optional<QUrl>& folder = std::nullopt) const;
    // The open panel, several files at once, showing the folder of the file being worked on;
    // empty when cancelled.
    void chooseFilesToOpen(std::function<void(QList<QUrl>)> done) const;
    // The folder panel with the caller's message, or the default one, showing `folder` first
    // when given.
    void chooseFolder(const std::optional<QString>& message,
                      std::function<void(std::optional<QUrl>)> done,
                      const std::optional<QUrl>& folder = std::nullopt) const;

private:
    EditorWindowModel& m_model;
};

} // namespace dunmoss
