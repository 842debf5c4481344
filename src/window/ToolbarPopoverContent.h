#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <variant>

namespace dunmoss {

// What one popover of the header shows, as plain values: rows, and titled sections of rows. The
// popover widgets draw it as it is and keep no state of their own; the header builds it anew
// from the window's values whenever it is shown or the window changes.
struct ToolbarPopoverRow {
    enum class Kind { Action, FileAction, Choice, Toggle, EmptyState };

    Kind kind = Kind::Action;
    // Looked up when drawn; file entries show `title` and `subtitle` unchanged instead.
    QString titleKey;
    QString title;
    QString subtitle;
    QString systemImage;
    // Choice: the row is the current value.
    bool isSelected = false;
    // Toggle: the setting's current value, and how to write it.
    bool isOn = false;
    std::function<void(bool)> setOn;
    // Action, file entry and choice: runs when the row is clicked.
    std::function<void()> action;

    static ToolbarPopoverRow makeAction(const QString& titleKey, const QString& systemImage,
                                        std::function<void()> action);
    static ToolbarPopoverRow makeFileAction(const QString& title, const QString& subtitle,
                                            const QString& systemImage,
                                            std::function<void()> action);
    static ToolbarPopoverRow makeChoice(const QString& titleKey, bool isSelected,
                                        std::function<void()> action);
    static ToolbarPopoverRow makeToggle(const QString& titleKey, const QString& systemImage,
                                        bool isOn, std::function<void(bool)> setOn);
    static ToolbarPopoverRow makeEmptyState(const QString& titleKey, const QString& systemImage);

    // The symbol drawn: a choice shows "checkmark" when selected and "circle" otherwise.
    QString shownSymbol() const;
    // The text drawn: the key looked up, or the file's name as it is.
    QString shownTitle() const;
};

struct ToolbarPopoverSection {
    QString titleKey;
    QList<ToolbarPopoverRow> rows;
};

using ToolbarPopoverElement = std::variant<ToolbarPopoverRow, ToolbarPopoverSection>;

struct ToolbarPopoverContent {
    QList<ToolbarPopoverElement> elements;
    // Space between the elements.
    int spacing = 8;
    // Taller content scrolls; without a limit only the screen bounds it.
    std::optional<int> maximumHeight;
    // Space above and below the elements, inside the scrolling part.
    int verticalPadding = 0;
};

// Every row in order, the rows of each section in place of the section.
QList<ToolbarPopoverRow> flattenedRows(const ToolbarPopoverContent& content);

// An action for a row that closes its popover first, then runs the command: the popover is gone
// before any panel, sheet or message of the command appears.
std::function<void()> closingFirst(std::function<void()> close, std::function<void()> command);

} // namespace dunmoss
