#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// The eight one-click transformations of the text toolbox, in the sheet's order.
enum class TextToolboxAction {
    RemoveDuplicateLines,
    ReverseLines,
    ExtractURLs,
    ExtractEmails,
    Base64Encode,
    Base64Decode,
    UrlEncode,
    UrlDecode,
};

// How the sheet shows an action: its section, title and detail keys and its symbol.
struct TextToolboxActionInfo {
    TextToolboxAction action;
    QString rawValue;
    QString sectionKey;
    QString titleKey;
    QString detailKey;
    QString systemImage;
};

// All eight, in order.
const QList<TextToolboxActionInfo>& allTextToolboxActions();
const TextToolboxActionInfo& textToolboxActionInfo(TextToolboxAction action);
// Exactly the eight case names; anything else gives nothing.
std::optional<TextToolboxAction> textToolboxActionFromRawValue(const QString& raw);
// The section keys in display order.
const QList<QString>& textToolboxSections();

} // namespace dunmoss
