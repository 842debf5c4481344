#include "window/ToolbarPopoverContent.h"

#include "platform/Localization.h"

namespace dunmoss {

ToolbarPopoverRow ToolbarPopoverRow::makeAction(const QString& titleKey, const QString& systemImage,
                                                std::function<void()> action) {
    ToolbarPopoverRow row;
    row.kind = Kind::Action;
    row.titleKey = titleKey;
    row.systemImage = systemImage;
    row.action = std::move(action);
    return row;
}

ToolbarPopoverRow ToolbarPopoverRow::makeFileAction(const QString& title, const QString& subtitle,
                                                    const QString& systemImage,
                                                    std::function<void()> action) {
    ToolbarPopoverRow row;
    row.kind = Kind::FileAction;
    row.title = title;
    row.subtitle = subtitle;
    row.systemImage = systemImage;
    row.action = std::move(action);
    return row;
}

ToolbarPopoverRow ToolbarPopoverRow::makeChoice(const QString& titleKey, bool isSelected,
                                                std::function<void()> action) {
    ToolbarPopoverRow row;
    row.kind = Kind::Choice;
    row.titleKey = titleKey;
    row.isSelected = isSelected;
    row.action = std::move(action);
    return row;
}

ToolbarPopoverRow ToolbarPopoverRow::makeToggle(const QString& titleKey, const QString& systemImage,
                                                bool isOn, std::function<void(bool)> setOn) {
    ToolbarPopoverRow row;
    row.kind = Kind::Toggle;
    row.titleKey = titleKey;
    row.systemImage = systemImage;
    row.isOn = isOn;
    row.setOn = std::move(setOn);
    return row;
}

ToolbarPopoverRow ToolbarPopoverRow::makeEmptyState(const QString& titleKey,
                                                    const QString& systemImage) {
    ToolbarPopoverRow row;
    row.kind = Kind::EmptyState;
    row.titleKey = titleKey;
    row.systemImage = systemImage;
    return row;
}

QString ToolbarPopoverRow::shownSymbol() const {
    if (kind == Kind::Choice)
        return isSelected ? QStringLiteral("checkmark") : QStringLiteral("circle");
    return systemImage;
}

QString ToolbarPopoverRow::shownTitle() const {
    return kind == Kind::FileAction ? title : localizedString(titleKey);
}

QList<ToolbarPopoverRow> flattenedRows(const ToolbarPopoverContent& content) {
    QList<ToolbarPopoverRow> rows;
    for (const ToolbarPopoverElement& element : content.elements) {
        if (const auto* row = std::get_if<ToolbarPopoverRow>(&element))
            rows.append(*row);
        else
            rows.append(std::get<ToolbarPopoverSection>(element).rows);
    }
    return rows;
}

std::function<void()> closingFirst(std::function<void()> close, std::function<void()> command) {
    return [close = std::move(close), command = std::move(command)] {
        if (close)
            close();
        if (command)
            command();
    };
}

} // namespace dunmoss
