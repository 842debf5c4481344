#pragma once

#include "window/DocumentOpening.h"
#include "window/EditorWindowModel.h"

#include <QTest>
#include <gtest/gtest.h>

namespace dunmoss::test {

// Files are read on a pool thread and shown a turn of the event loop later: lets every open the
// window was asked for run to its end.
inline void waitForOpening(const EditorWindowModel& model) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !model.opening().isOpening(); }, 30'000));
}

} // namespace dunmoss::test
