#include "tools/Bookmarks.h"

#include "platform/Localization.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <algorithm>

namespace dunmoss {

int Bookmarks::currentLineNumber() const {
    const EditorTab& tab = keyboardTab(m_model.state());
    const qsizetype caret =
        std::clamp<qsizetype>(tab.selectedRange.location, 0, tab.document.text.size());
    return 1 + int(QStringView(tab.document.text).first(caret).count(u'\n'));
}

void Bookmarks::toggleBookmark() {
    const int line = currentLineNumber();
    const int index = m_model.keyboardTabIndex();
    bool removed = false;
    m_model.update([&](EditorWindowState& state) {
        std::set<int>& lines = state.tabs[index].bookmarkedLines;
        removed = lines.erase(line) > 0;
        if (!removed)
            lines.insert(line);
    });
    const QString key = removed ? QStringLiteral("tools.bookmark.removed.format")
                                : QStringLiteral("tools.bookmark.added.format");
    m_model.setFindMessage(localizedString(key).arg(line));
    m_model.persistSession();
}

void Bookmarks::clearBookmarks() {
    const int index = m_model.keyboardTabIndex();
    if (m_model.state().tabs.at(index).bookmarkedLines.empty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.bookmark.empty")));
        return;
    }
    m_model.update([&](EditorWindowState& state) { state.tabs[index].bookmarkedLines.clear(); });
    m_model.setFindMessage(localizedString(QStringLiteral("tools.bookmark.cleared")));
    m_model.persistSession();
}

void Bookmarks::goToAdjacentBookmark(bool previous) {
    const int index = m_model.keyboardTabIndex();
    const EditorTab& tab = m_model.state().tabs.at(index);
    const QString& text = tab.document.text;
    const int lines = lineCount(text);
    std::vector<int> valid;
    for (const int line : tab.bookmarkedLines) {
        if (line >= 1 && line <= lines)
            valid.push_back(line); // the set is already in ascending order
    }
    if (valid.empty()) {
        m_model.setFindMessage(localizedString(QStringLiteral("tools.bookmark.empty")));
        return;
    }
    const int caretLine = currentLineNumber();
    int target;
    if (previous) {
        const auto before = std::lower_bound(valid.begin(), valid.end(), caretLine);
        target = before == valid.begin() ? valid.back() : *std::prev(before);
    } else {
        const auto after = std::upper_bound(valid.begin(), valid.end(), caretLine);
        target = after == valid.end() ? valid.front() : *after;
    }

    qsizetype start = 0;
    for (int line = 1; line < target && start < text.size(); ++line) {
        const qsizetype feed = text.indexOf(u'\n', start);
        if (feed < 0)
            break;
        start = feed + 1;
    }
    const qsizetype feed = text.indexOf(u'\n', start);
    const qsizetype end = feed < 0 ? text.size() : feed;
    m_model.setSelection(std::min(start, text.size()), std::max<qsizetype>(end - start, 0), index);
    m_model.setFindMessage(
        localizedString(QStringLiteral("tools.bookmark.goto.format")).arg(target));
}

} // namespace dunmoss
