#pragma once

#include "tools/ToolSheetDialog.h"

namespace dunmoss {

// The text toolbox: the eight actions under their three section captions; the chosen index is
// the action's place in allTextToolboxActions().
class TextToolboxSheet : public ToolSheetDialog {
    Q_OBJECT
public:
    explicit TextToolboxSheet(QWidget* parent = nullptr);
};

} // namespace dunmoss
