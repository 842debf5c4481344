#pragma once

#include "platform/TextRange.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <array>
#include <optional>

namespace dunmoss {

// Which search a search-center list or run belongs to. The raw value is the case name.
enum class SearchCenterScope { CurrentDocument, OpenDocuments, Folder };

inline constexpr std::array<SearchCenterScope, 3> kAllSearchCenterScopes{
    SearchCenterScope::CurrentDocument, SearchCenterScope::OpenDocuments,
    SearchCenterScope::Folder};

inline QString rawValue(SearchCenterScope scope) {
    switch (scope) {
    case SearchCenterScope::OpenDocuments:
        return QStringLiteral("openDocuments");
    case SearchCenterScope::Folder:
        return QStringLiteral("folder");
    case SearchCenterScope::CurrentDocument:
        break;
    }
    return QStringLiteral("currentDocument");
}

// Exactly one of the three raw values, case-sensitive; anything else gives nothing.
inline std::optional<SearchCenterScope> searchCenterScopeFromRawValue(const QString& raw) {
    for (SearchCenterScope scope : kAllSearchCenterScopes)
        if (rawValue(scope) == raw)
            return scope;
    return std::nullopt;
}

// One hit as the search center holds it, whichever search found it.
struct SearchCenterResult {
    QString id;
    SearchCenterScope scope = SearchCenterScope::CurrentDocument;
    // The group (file) the hit belongs to, with what is shown for it.
    QString groupID;
    QString groupTitle;
    QString groupSubtitle;
    // The tab the hit lies in; nothing for folder hits.
    std::optional<QUuid> tabID;
    // Nothing for a hit in an untitled tab or one no longer open.
    std::optional<QUrl> fileURL;
    // UTF-16 range in the tab's text; nothing for folder hits.
    std::optional<TextRange> range;
    qsizetype line = 0;
    qsizetype column = 0;
    QString preview;

    friend bool operator==(const SearchCenterResult&, const SearchCenterResult&) = default;
};

// The results sharing one group identifier, in their original order.
struct SearchCenterResultGroup {
    // The results' groupID.
    QString id;
    QString title;
    QString subtitle;
    QList<SearchCenterResult> results;

    friend bool operator==(const SearchCenterResultGroup&,
                           const SearchCenterResultGroup&) = default;
};

// One recorded search.
struct SearchCenterRun {
    QUuid id;
    SearchCenterScope scope = SearchCenterScope::CurrentDocument;
    // Trimmed of whitespace and newlines at both ends.
    QString query;
    QList<SearchCenterResult> results;
    QDateTime createdAt;

    friend bool operator==(const SearchCenterRun&, const SearchCenterRun&) = default;
};

// One match of a find across all open tabs. Line and column are 1-based.
struct OpenDocumentSearchResult {
    QUuid id;
    QUuid tabID;
    // The tab's file name, or the untitled title.
    QString title;
    TextRange range;
    qsizetype line = 0;
    qsizetype column = 0;
    // The text of the match's line.
    QString preview;

    friend bool operator==(const OpenDocumentSearchResult&,
                           const OpenDocumentSearchResult&) = default;
};

} // namespace dunmoss
