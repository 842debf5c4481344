#include "tools/SnippetLibrary.h"

#include "platform/Localization.h"
#include "tools/ToolPipeline.h"
#include "window/EditorWindowModel.h"
#include "window/WindowInteraction.h"

#include <QPointer>
#include <algorithm>

namespace dunmoss {

namespace {

void setPresented(EditorWindowModel& model, bool presented) {
    model.update(
        [presented](EditorWindowState& state) { state.panels.showSnippetSheet = presented; });
}

} // namespace

void SnippetLibrary::setSnippetSheetPresented(bool presented) {
    const bool wasPresented = m_model.state().panels.showSnippetSheet;
    setPresented(m_model, presented);
    if (!presented || wasPresented)
        return;
    const QPointer<EditorWindowModel> window = &m_model;
    const auto answered = [window](int index) {
        if (!window || !window->state().panels.showSnippetSheet)
            return;
        const QList<EditorSnippet>& snippets = builtInSnippets();
        if (index >= 0 && index < snippets.size())
            SnippetLibrary(*window).insertSnippetIntoActiveTab(snippets.at(index));
        else
            setPresented(*window, false);
    };
    if (WindowInteraction* person = m_model.interaction())
        person->showToolSheet(ToolSheet::SnippetLibrary, answered);
    else
        answered(-1);
}

void SnippetLibrary::insertSnippetIntoActiveTab(const EditorSnippet& snippet) {
    setPresented(m_model, false);
    ToolRequest request;
    request.transform = [inserted = snippet.text](const QString& text, TextRange selection) {
        // A stale range is clamped: past the end inserts at the end, a negative length is 0.
        const qsizetype start = std::clamp<qsizetype>(selection.location, 0, text.size());
        const qsizetype count =
            std::min(std::max<qsizetype>(selection.length, 0), text.size() - start);
        QString result = text;
        result.replace(start, count, inserted);
        return TextEdit{std::move(result), TextRange{start + inserted.size(), 0}};
    };
    request.actionKey = QLatin1String(lkey("tools.snippets.insert.action"));
    request.statusText = localizedString(QStringLiteral("tools.snippets.inserted"));
    ToolPipeline(m_model).run(request);
}

} // namespace dunmoss
