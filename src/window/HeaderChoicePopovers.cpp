#include "window/HeaderChoicePopovers.h"

#include "platform/Localization.h"
#include "text/EditorTheme.h"
#include "text/LanguageCatalogue.h"

#include <QFileInfo>

namespace dunmoss {

namespace {

QString themeTitleKey(EditorTheme theme) {
    switch (theme) {
    case EditorTheme::System:
        return QString::fromLatin1(lkey("theme.system"));
    case EditorTheme::Light:
        return QString::fromLatin1(lkey("theme.light"));
    case EditorTheme::Graphite:
        return QString::fromLatin1(lkey("theme.graphite"));
    case EditorTheme::Midnight:
        return QString::fromLatin1(lkey("theme.midnight"));
    }
    return QString();
}

// Calls the closure with the value, when it is set.
template <typename Value>
std::function<void()> handing(const std::function<void(Value)>& closure, Value value) {
    return [closure, value] {
        if (closure)
            closure(value);
    };
}

QList<ToolbarPopoverRow> encodingChoices(const std::optional<TextFileEncoding>& current,
                                         const std::function<void(TextFileEncoding)>& closure,
                                         const std::function<void()>& close) {
    QList<ToolbarPopoverRow> rows;
    for (const TextFileEncoding encoding : allTextFileEncodings())
        rows.append(ToolbarPopoverRow::makeChoice(displayKey(encoding), current == encoding,
                                                  closingFirst(close, handing(closure, encoding))));
    return rows;
}

} // namespace

ToolbarPopoverContent themePopoverContent(const HeaderValues& values,
                                          const HeaderCommands& commands,
                                          const std::function<void()>& close) {
    ToolbarPopoverContent content;
    for (const EditorTheme theme : allEditorThemes()) {
        const QString raw = rawValue(theme);
        content.elements.append(ToolbarPopoverRow::makeChoice(
            themeTitleKey(theme), values.themeRawValue == raw,
            closingFirst(close, handing<const QString&>(commands.setThemeRawValue, raw))));
    }
    return content;
}

ToolbarPopoverContent languagePopoverContent(const HeaderValues& values,
                                             const HeaderCommands& commands,
                                             const std::function<void()>& close) {
    using Override = std::optional<EditorLanguage>;
    const Override current = values.tab.languageOverride;
    ToolbarPopoverContent content;
    content.elements.append(ToolbarPopoverRow::makeChoice(
        QString::fromLatin1(lkey("language.auto")), !current,
        closingFirst(close, handing(commands.setLanguageOverride, Override()))));
    for (const EditorLanguage language : allEditorLanguages())
        content.elements.append(ToolbarPopoverRow::makeChoice(
            displayName(language), current == language,
            closingFirst(close, handing(commands.setLanguageOverride, Override(language)))));
    return content;
}

ToolbarPopoverContent encodingPopoverContent(const HeaderValues& values,
                                             const HeaderCommands& commands,
                                             const std::function<void()>& close) {
    const PlainTextDocument& document = values.tab.document;
    ToolbarPopoverContent content;
    content.elements.append(
        ToolbarPopoverSection{QString::fromLatin1(lkey("encoding.title")),
                              encodingChoices(document.encoding, commands.setEncoding, close)});

    QList<ToolbarPopoverRow> lineEndings;
    for (const TextLineEnding lineEnding : allTextLineEndings())
        lineEndings.append(ToolbarPopoverRow::makeChoice(
            displayKey(lineEnding), document.lineEnding == lineEnding,
            closingFirst(close, handing(commands.setLineEnding, lineEnding))));
    content.elements.append(
        ToolbarPopoverSection{QString::fromLatin1(lkey("line-ending.title")), lineEndings});

    if (values.tab.fileURL)
        content.elements.append(ToolbarPopoverSection{
            QString::fromLatin1(lkey("encoding.reopen.title")),
            encodingChoices(std::nullopt, commands.reopenWithEncoding, close)});
    return content;
}

ToolbarPopoverContent recentFilesPopoverContent(const HeaderValues& values,
                                                const HeaderCommands& commands,
                                                const std::function<void()>& close) {
    ToolbarPopoverContent content;
    if (values.recentFiles.isEmpty()) {
        content.elements.append(ToolbarPopoverRow::makeEmptyState(
            QString::fromLatin1(lkey("recent.empty")), QStringLiteral("clock")));
        return content;
    }
    for (const QUrl& url : values.recentFiles) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded);
        const QFileInfo info(path);
        content.elements.append(ToolbarPopoverRow::makeFileAction(
            info.fileName(), info.path(), QStringLiteral("doc.text"),
            closingFirst(close, handing<const QUrl&>(commands.openRecent, url))));
    }
    return content;
}

} // namespace dunmoss
