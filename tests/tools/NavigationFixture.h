#pragma once

#include "tools/NavigationOperations.h"
#include "tools/PanelCommands.h"
#include "tools/ToolCommands.h"
#include "tools/WorkspaceListing.h"
#include "window/WindowCommandHandlers.h"
#include "window/WindowCommandTable.h"
#include "window/WindowFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <memory>

namespace dunmoss::test {

// A window model with the window's command record and the navigation operations installed,
// with helpers to build folder trees and wait for the background listing.
class NavigationFixture : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        table = std::make_unique<WindowCommandTable>(*model);
        WindowCommandHandlers::install(*table, *model);
        installToolCommands(*table, *model);
        installPanelCommands(*table, *model);
        installNavigationOperations(*table, *model);
        commands = table->makeWindowCommands();
    }

    QUrl makeFolder(const QString& name) const {
        EXPECT_TRUE(QDir().mkpath(path(name)));
        return QUrl::fromLocalFile(path(name));
    }

    // Waits until no listing runs, and until the workspace message is no longer the
    // listing's.
    bool waitForListing() const {
        WorkspaceListing& listing = WorkspaceListing::of(*model);
        return QTest::qWaitFor([&] { return !listing.isListing(); }, 20000);
    }

    std::unique_ptr<WindowCommandTable> table;
    EditorCommands commands;
};

} // namespace dunmoss::test
