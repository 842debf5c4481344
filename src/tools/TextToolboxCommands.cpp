#include "tools/TextToolboxCommands.h"

#include "platform/Localization.h"
#include "text/TextToolbox.h"
#include "tools/ToolPipeline.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"
#include "window/WindowErrors.h"
#include "window/WindowInteraction.h"

#include <QPointer>

namespace dunmoss {

namespace {

void setPresented(EditorWindowModel& model, bool presented) {
    model.update(
        [presented](EditorWindowState& state) { state.panels.showTextToolbox = presented; });
}

// An action that leaves the text as it was leaves the selection too, so it adds no undo step
// (the engines select their whole range even when it came out unchanged).
ToolRequest toolboxRequest(TextEdit (*transform)(const QString&, TextRange), const char* actionKey,
                           const char* statusKey) {
    return ToolPipeline::selectionTransform(
        [transform](const QString& text, TextRange selection) {
            TextEdit edit = transform(text, selection);
            if (edit.text == text)
                edit.selection = selection;
            return edit;
        },
        actionKey, statusKey);
}

// Base64 decoding can fail: the alert replaces whatever is on show, and the tool ends there.
ToolRequest base64DecodeRequest() {
    ToolRequest request = toolboxRequest(base64DecodeText, lkey("tools.toolbox.base64-decode"),
                                         lkey("tools.toolbox.base64-decoded"));
    request.failureMessage = [](const std::exception& error) {
        if (dynamic_cast<const TextToolboxError*>(&error))
            return localizedString(QStringLiteral("tools.toolbox.base64-invalid"));
        return localizedErrorDescription(error);
    };
    return request;
}

} // namespace

void TextToolboxCommands::setTextToolboxPresented(bool presented) {
    const bool wasPresented = m_model.state().panels.showTextToolbox;
    setPresented(m_model, presented);
    if (!presented || wasPresented)
        return;
    const QPointer<EditorWindowModel> window = &m_model;
    const auto answered = [window](int index) {
        if (!window || !window->state().panels.showTextToolbox)
            return;
        const QList<TextToolboxActionInfo>& actions = allTextToolboxActions();
        if (index >= 0 && index < actions.size())
            TextToolboxCommands(*window).performToolboxAction(actions.at(index).action);
        else
            setPresented(*window, false);
    };
    if (WindowInteraction* person = m_model.interaction())
        person->showToolSheet(ToolSheet::TextToolbox, answered);
    else
        answered(-1);
}

void TextToolboxCommands::performToolboxAction(TextToolboxAction action) {
    using A = TextToolboxAction;
    ToolPipeline pipeline(m_model);
    const auto extract = [this](const QString& pattern, IcuRegex::Options options,
                                const QString& titleKey) {
        const QString title = localizedString(titleKey);
        QString found;
        try {
            found = extractMatches(pattern, keyboardTab(m_model.state()).document.text, options)
                        .value_or(QString());
        } catch (const RegexError& error) {
            // Matching that stopped found nothing for certain: say so, open no tab.
            setPresented(m_model, false);
            m_model.presentError(localizedErrorDescription(error));
            return;
        }
        extractMatchesToNewTab(title, found);
    };
    switch (action) {
    case A::RemoveDuplicateLines:
        pipeline.run(toolboxRequest(uniqueLines, lkey("tools.toolbox.unique-lines"),
                                    lkey("tools.toolbox.unique-lines.done")));
        break;
    case A::ReverseLines:
        pipeline.run(toolboxRequest(reverseLines, lkey("tools.toolbox.reverse-lines"),
                                    lkey("tools.toolbox.reverse-lines.done")));
        break;
    case A::ExtractURLs:
        extract(kUrlExtractionPattern, IcuRegex::NoOptions,
                QStringLiteral("tools.toolbox.extract-urls.title"));
        return;
    case A::ExtractEmails:
        extract(kEmailExtractionPattern, IcuRegex::CaseInsensitive,
                QStringLiteral("tools.toolbox.extract-emails.title"));
        return;
    case A::Base64Encode:
        pipeline.run(toolboxRequest(base64EncodeText, lkey("tools.toolbox.base64-encode"),
                                    lkey("tools.toolbox.base64-encoded")));
        break;
    case A::Base64Decode:
        pipeline.run(base64DecodeRequest());
        break;
    case A::UrlEncode:
        pipeline.run(toolboxRequest(urlEncodeText, lkey("tools.toolbox.url-encode"),
                                    lkey("tools.toolbox.url-encoded")));
        break;
    case A::UrlDecode:
        pipeline.run(toolboxRequest(urlDecodeText, lkey("tools.toolbox.url-decode"),
                                    lkey("tools.toolbox.url-decoded")));
        break;
    }
    setPresented(m_model, false);
}

void TextToolboxCommands::extractMatchesToNewTab(const QString& title, const QString& text) {
    EditorTab tab = untitledTab();
    tab.document.text = text.isEmpty()
                            ? localizedString(QStringLiteral("tools.toolbox.extract-empty")) + u'\n'
                            : text;
    tab.savedSnapshot = tab.document.text;
    m_model.update([&](EditorWindowState& state) {
        state.activeTabID = tab.id;
        state.tabs.append(tab);
        state.panels.showTextToolbox = false;
        state.findMessage = title;
    });
    m_model.persistSession();
}

} // namespace dunmoss
