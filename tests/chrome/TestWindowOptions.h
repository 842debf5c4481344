#pragma once

#include "chrome/EditorWindowView.h"
#include "platform/Defaults.h"

#include <QString>

namespace dunmoss::test {

// A whole editor window's options as the program makes them, on the test's own settings.
inline EditorWindowView::Options testWindowOptions(Defaults& defaults) {
    EditorWindowView::Options options;
    options.defaults = &defaults;
    options.processArguments = {QStringLiteral("dunmoss-notepad")};
    return options;
}

} // namespace dunmoss::test
