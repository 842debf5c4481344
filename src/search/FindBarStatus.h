#pragma once

#include "text/TextSearch.h"

#include <QString>
#include <QUuid>

namespace dunmoss {

class EditorWindowModel;
struct EditorWindowState;

// The find bar's status line: what the last command said about the tab whose pane has the
// keyboard, while the query and options are still those it answered. Another tab's answer, or an
// answer to an older query, is not shown.
QString findBarStatus(const EditorWindowState& state);

// Records what a find command says about the tab, for the query and options it ran with.
void reportFindStatus(EditorWindowModel& model, const QUuid& tabID, const QString& query,
                      const TextSearchOptions& options, const QString& text);

} // namespace dunmoss
