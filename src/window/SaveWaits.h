#pragma once

#include "text/EditorTab.h"

#include <QList>
#include <QtGlobal>
#include <algorithm>

namespace dunmoss {

// Writing megabytes of text takes the machine a while, and a session handed to the writer makes
// the next edit copy the text it holds: while edits go on, the longest a full save waits for them
// to pause grows by a second per megabyte of the window's texts past the first, up to this. The
// recovery snapshot never waits longer for them: it is what a kill leaves, and it holds every
// edit within two seconds whatever the window holds.
inline constexpr int kLongestSaveWaitMs = 5000;

inline int saveWaitForTexts(int baseMs, qsizetype characters) {
    constexpr qsizetype kMegabyte = 1 << 20;
    const qsizetype extra = std::max<qsizetype>(0, characters - kMegabyte) * 1000 / kMegabyte;
    return int(std::min<qsizetype>(baseMs + extra, std::max(baseMs, kLongestSaveWaitMs)));
}

// The same for the texts of a window's tabs.
inline int saveWaitForTabs(int baseMs, const QList<EditorTab>& tabs) {
    qsizetype characters = 0;
    for (const EditorTab& tab : tabs)
        characters += tab.document.text.size();
    return saveWaitForTexts(baseMs, characters);
}

} // namespace dunmoss
