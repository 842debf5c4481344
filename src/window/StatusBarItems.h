#pragma once

#include "platform/TextRange.h"
#include "text/EditorLanguage.h"
#include "text/StatusStatistics.h"
#include "text/TextEncoding.h"

#include <QString>
#include <optional>

namespace dunmoss {

// The values the status bar is built from, all of the active tab.
struct StatusBarValues {
    QString text;
    TextRange selectedRange;
    TextFileEncoding encoding = TextFileEncoding::Utf8;
    TextLineEnding lineEnding = TextLineEnding::LineFeed;
    EditorLanguage language = EditorLanguage::PlainText;
    bool isDirty = false;
    bool isReadOnly = false;
    bool isLargeFileMode = false;
    qint64 bookmarkedLineCount = 0;
    // Computed from the text's counts; absent, from a pass over `text`.
    std::optional<StatusTextStatistics> statistics;
};

// The status bar's texts, left to right; an absent item is not shown.
struct StatusBarTexts {
    QString cursor;
    QString lines;
    QString characters;
    std::optional<QString> selection;
    std::optional<QString> largeFileMode;
    std::optional<QString> readOnly;
    std::optional<QString> bookmarks;
    QString savedState;
    QString language;
    QString encoding;
    QString lineEnding;

    friend bool operator==(const StatusBarTexts&, const StatusBarTexts&) = default;
};

StatusBarTexts statusBarTexts(const StatusBarValues& values);
StatusBarTexts statusBarTexts(const StatusBarValues& values, const StatusTextStatistics& stats);

// The banner's message: the whole file's size (or the localised unknown size) and the preview
// size, both written as file sizes.
QString largeFileBannerMessage(std::optional<qint64> byteCount, qint64 previewBytes);

} // namespace dunmoss
