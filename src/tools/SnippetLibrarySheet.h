#pragma once

#include "tools/ToolSheetDialog.h"

namespace dunmoss {

// The snippet library: the built-in snippets with their descriptions and one-line previews;
// the chosen index is the snippet's place in builtInSnippets().
class SnippetLibrarySheet : public ToolSheetDialog {
    Q_OBJECT
public:
    explicit SnippetLibrarySheet(QWidget* parent = nullptr);
};

} // namespace dunmoss
