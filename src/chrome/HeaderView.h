#pragma once

#include "window/HeaderContent.h"

#include <QWidget>
#include <array>

class QHBoxLayout;
class QLabel;
class QToolButton;

namespace dunmoss {

class ElidedLabel;
class ToolbarPopoverTrigger;

// The header bar at the top of an editor window: the active document's name and folder with its
// unsaved and changed-on-disk badges, thirteen icon controls (eight buttons, five popover
// triggers), the tab's language and the font size. It holds no document logic; the window hands
// it plain values after every change and the commands its controls run. Its only state is which
// popover is open.
class HeaderView : public QWidget {
    Q_OBJECT
public:
    enum class Popover { Recent, Theme, Language, Encoding, Tools };

    explicit HeaderView(QWidget* parent = nullptr);

    void setCommands(HeaderCommands commands);
    // Redraws from the window's values; an open popover is rebuilt and stays open.
    void setValues(const HeaderValues& values);
    const HeaderValues& values() const { return m_values; }

    bool isShowingPopover(Popover popover) const { return m_showing[index(popover)]; }
    // Opens or closes a popover, as its trigger or one of its rows does.
    void setShowingPopover(Popover popover, bool shown);
    ToolbarPopoverTrigger* trigger(Popover popover) const { return m_triggers[index(popover)]; }

    // The thirteen controls, left to right.
    QList<QToolButton*> controls() const { return m_controls; }

    QString titleText() const;
    QString folderText() const;
    bool showsUnsavedBadge() const;
    bool showsExternalChangeBadge() const;
    QString languageText() const;
    QString fontSizeText() const;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int index(Popover popover) { return int(popover); }
    QToolButton* addButton(QHBoxLayout* row, const char* titleKey, const char* symbol,
                           HeaderCommands::Action HeaderCommands::*command);
    ToolbarPopoverTrigger* addTrigger(QHBoxLayout* row, Popover popover, const char* titleKey,
                                      const char* symbol, int width);
    void applyPalette();
    void retranslate();

    HeaderCommands m_commands;
    HeaderValues m_values;
    std::array<bool, 5> m_showing{};
    std::array<ToolbarPopoverTrigger*, 5> m_triggers{};
    QList<QToolButton*> m_controls;
    QLabel* m_documentIcon = nullptr;
    ElidedLabel* m_title = nullptr;
    QLabel* m_unsavedBadge = nullptr;
    QLabel* m_externalBadge = nullptr;
    ElidedLabel* m_folder = nullptr;
    QLabel* m_languageIcon = nullptr;
    ElidedLabel* m_languageLabel = nullptr;
    QLabel* m_fontSize = nullptr;
    // The interface language the texts, and the open popover's rows, were last looked up in.
    QString m_language;
    QString m_popoverLanguage;
};

} // namespace dunmoss
