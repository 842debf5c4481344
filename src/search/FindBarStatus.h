#pragma once

#include "text/TextSearch.h"

#include <QString>
#include <QUuid>

namespace dunmoss {

class EditorWindowModel;

// The find bar's status line: what the last command said about the tab whose pane has the
// keyboard, while the query and options are still those it answered and the edit it followed is
// not undone. Another tab's answer, an answer to an older query, or one about a text taken back
// by Undo is not shown.
QString findBarStatus(const EditorWindowModel& model);

// Records what a find command says about the tab, for the query and options it ran with.
void reportFindStatus(EditorWindowModel& model, const QUuid& tabID, const QString& query,
                      const TextSearchOptions& options, const QString& text);

} // namespace dunmoss
