#include "tools/TextToolboxAction.h"

#include "platform/Localization.h"

namespace dunmoss {

const QList<TextToolboxActionInfo>& allTextToolboxActions() {
    using A = TextToolboxAction;
    static const QList<TextToolboxActionInfo> actions = [] {
        const auto info = [](A action, const char* raw, const char* section, const char* title,
                             const char* detail, const char* symbol) {
            return TextToolboxActionInfo{action,
                                         QLatin1String(raw),
                                         QLatin1String(section),
                                         QLatin1String(title),
                                         QLatin1String(detail),
                                         QLatin1String(symbol)};
        };
        return QList<TextToolboxActionInfo>{
            info(A::RemoveDuplicateLines, "removeDuplicateLines", lkey("tools.toolbox.lines"),
                 lkey("tools.toolbox.unique-lines"), lkey("tools.toolbox.unique-lines.detail"),
                 "line.3.horizontal.decrease"),
            info(A::ReverseLines, "reverseLines", lkey("tools.toolbox.lines"),
                 lkey("tools.toolbox.reverse-lines"), lkey("tools.toolbox.reverse-lines.detail"),
                 "arrow.up.arrow.down"),
            info(A::ExtractURLs, "extractURLs", lkey("tools.toolbox.extract"),
                 lkey("tools.toolbox.extract-urls"), lkey("tools.toolbox.extract-urls.detail"),
                 "link"),
            info(A::ExtractEmails, "extractEmails", lkey("tools.toolbox.extract"),
                 lkey("tools.toolbox.extract-emails"), lkey("tools.toolbox.extract-emails.detail"),
                 "envelope"),
            info(A::Base64Encode, "base64Encode", lkey("tools.toolbox.encode"),
                 lkey("tools.toolbox.base64-encode"), lkey("tools.toolbox.base64-encode.detail"),
                 "textformat.123"),
            info(A::Base64Decode, "base64Decode", lkey("tools.toolbox.encode"),
                 lkey("tools.toolbox.base64-decode"), lkey("tools.toolbox.base64-decode.detail"),
                 "textformat.123"),
            info(A::UrlEncode, "urlEncode", lkey("tools.toolbox.encode"),
                 lkey("tools.toolbox.url-encode"), lkey("tools.toolbox.url-encode.detail"),
                 "curlybraces"),
            info(A::UrlDecode, "urlDecode", lkey("tools.toolbox.encode"),
                 lkey("tools.toolbox.url-decode"), lkey("tools.toolbox.url-decode.detail"),
                 "curlybraces"),
        };
    }();
    return actions;
}

const TextToolboxActionInfo& textToolboxActionInfo(TextToolboxAction action) {
    return allTextToolboxActions().at(int(action));
}

std::optional<TextToolboxAction> textToolboxActionFromRawValue(const QString& raw) {
    for (const TextToolboxActionInfo& info : allTextToolboxActions()) {
        if (info.rawValue == raw)
            return info.action;
    }
    return std::nullopt;
}

const QList<QString>& textToolboxSections() {
    static const QList<QString> sections{QLatin1String(lkey("tools.toolbox.lines")),
                                         QLatin1String(lkey("tools.toolbox.extract")),
                                         QLatin1String(lkey("tools.toolbox.encode"))};
    return sections;
}

} // namespace dunmoss
