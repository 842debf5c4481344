#include "tools/JsonTools.h"

#include "platform/Localization.h"
#include "text/JsonFormatter.h"
#include "text/TextToolbox.h"
#include "tools/ToolPipeline.h"
#include "window/WindowErrors.h"

namespace dunmoss {

namespace {

ToolRequest jsonRequest(QString (*transform)(const QString&), const char* actionKey,
                        const char* statusKey) {
    ToolRequest request;
    request.transform = [transform](const QString& text, TextRange) {
        return TextEdit{transform(text), TextRange{0, 0}};
    };
    request.actionKey = QLatin1String(actionKey);
    request.statusText = localizedString(QLatin1String(statusKey));
    // A reading error already says that the text is not valid JSON, and where.
    request.failureMessage = [](const std::exception& error) {
        if (const auto* json = dynamic_cast<const JsonError*>(&error))
            return json->localizedDescription();
        return localizedString(QStringLiteral("tools.json.invalid.format"))
            .arg(localizedErrorDescription(error));
    };
    return request;
}

} // namespace

void JsonTools::formatJSONInActiveTab() {
    ToolPipeline(m_model).run(
        jsonRequest(prettyPrintJSON, lkey("tools.json-pretty"), lkey("tools.json-pretty.done")));
}

void JsonTools::minifyJSONInActiveTab() {
    ToolPipeline(m_model).run(
        jsonRequest(minifyJSON, lkey("tools.json-minify"), lkey("tools.json-minify.done")));
}

} // namespace dunmoss
