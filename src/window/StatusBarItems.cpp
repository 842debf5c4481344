#include "window/StatusBarItems.h"

#include "platform/ByteCountFormatter.h"
#include "platform/Localization.h"
#include "text/LanguageCatalogue.h"

namespace dunmoss {

namespace {

QString format(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

} // namespace

StatusBarTexts statusBarTexts(const StatusBarValues& values) {
    if (values.statistics)
        return statusBarTexts(values, *values.statistics);
    return statusBarTexts(values, computeStatusTextStatistics(values.text, values.selectedRange));
}

StatusBarTexts statusBarTexts(const StatusBarValues& values, const StatusTextStatistics& stats) {
    StatusBarTexts texts;
    texts.cursor = format("status.cursor.format").arg(stats.line).arg(stats.column);
    texts.lines = format("status.lines.format").arg(stats.lineCount);
    texts.characters = format("status.characters.format").arg(stats.characterCount);
    if (stats.selectedLength >= 1)
        texts.selection = format("status.selection.format")
                              .arg(stats.selectedLength)
                              .arg(stats.selectedLineCount);
    if (values.isLargeFileMode)
        texts.largeFileMode = format("status.large-file-mode");
    if (values.isReadOnly)
        texts.readOnly = format("status.read-only");
    if (values.bookmarkedLineCount >= 1)
        texts.bookmarks = format("status.bookmarks.format").arg(values.bookmarkedLineCount);
    texts.savedState = values.isDirty ? format("document.unsaved-badge") : format("status.saved");
    texts.language = localizedString(displayName(values.language));
    texts.encoding = localizedString(displayKey(values.encoding));
    texts.lineEnding = localizedString(displayKey(values.lineEnding));
    return texts;
}

QString largeFileBannerMessage(std::optional<qint64> byteCount, qint64 previewBytes) {
    const auto localizer = [](const QString& key) { return localizedString(key); };
    const QString whole =
        byteCount ? formatFileByteCount(*byteCount, localizer) : format("large-file.unknown-size");
    return format("large-file.banner.format")
        .arg(whole, formatFileByteCount(previewBytes, localizer));
}

} // namespace dunmoss
