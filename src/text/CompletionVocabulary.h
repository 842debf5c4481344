#pragma once

#include "text/EditorLanguage.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace dunmoss {

// The common function names offered as completions for a language, in order.
const QStringList& completionApiList(EditorLanguage language);
// The keywords (or tag or property names) offered for a language, in order.
const QStringList& completionKeywordList(EditorLanguage language);
// From the word before "(" (exact, case-sensitive) to a one-line signature.
const QHash<QString, QString>& parameterHintTable(EditorLanguage language);

} // namespace dunmoss
