#pragma once

#include "platform/TextRange.h"

#include <QString>
#include <QUuid>

namespace dunmoss {

// One landmark of a document (declaration, heading, key, tag, selector) in the outline.
struct DocumentOutlineItem {
    // New for every item.
    QUuid id;
    // The name as matched, untrimmed.
    QString title;
    // A short kind label, such as the matched keyword.
    QString detail;
    // 1-based line of the start of the whole match.
    int line = 1;
    // The whole match, which the outline panel selects.
    TextRange range;

    friend bool operator==(const DocumentOutlineItem&, const DocumentOutlineItem&) = default;
};

} // namespace dunmoss
