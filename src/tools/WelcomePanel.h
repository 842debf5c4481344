#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>
#include <functional>

class QKeyEvent;
class QStackedWidget;
class QVBoxLayout;

namespace dunmoss {

// The welcome panel of a window with nothing to edit: the application's icon, title and
// subtitle, five start actions and the recent files, each opening with one click. It shows what
// it is given and calls its actions. It takes the keyboard while it stands in for the editor, so
// text typed before the person chose anything starts the document instead of being lost.
class WelcomePanel : public QWidget {
    Q_OBJECT
public:
    explicit WelcomePanel(QWidget* parent = nullptr);

    // Newest first; rebuilt only when the list differs from the one shown, and while the panel
    // is hidden (a window with tabs open records a file at every open) only once it is shown.
    void setRecentFiles(const QList<QUrl>& urls);
    const QList<QUrl>& recentFiles() const { return m_recent; }

    std::function<void()> newDocument;
    std::function<void()> openDocument;
    std::function<void()> openWorkspace;
    std::function<void()> commandPalette;
    std::function<void()> textToolbox;
    std::function<void(const QUrl&)> openRecent;
    std::function<void()> close;
    // A key that types text, pressed on the panel or on one of its buttons.
    std::function<void(const QKeyEvent&)> startTyping;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void makeRecentRows();

    QStackedWidget* m_recentBody = nullptr;
    QVBoxLayout* m_recentRows = nullptr;
    QList<QUrl> m_recent;
    // The rows show an older list than m_recent.
    bool m_rowsBehind = false;
};

} // namespace dunmoss
