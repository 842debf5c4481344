#pragma once

#include "ScriptedInteraction.h"
#include "platform/Defaults.h"
#include "window/DocumentSaving.h"
#include "window/DocumentWriteQueue.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace dunmoss::test {

// A window model on a private settings file and folder, with a scripted person and counters
// for the operations later subsystems attach.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        defaults = std::make_unique<Defaults>(dir.filePath(QStringLiteral("settings.ini")));
        model = std::make_unique<EditorWindowModel>(
            *defaults, EditorWindowModel::Options{true,
                                                  {QStringLiteral("dunmoss-notepad")},
                                                  dir.filePath(QStringLiteral("Recovery"))});
        model->setInteraction(&person);
        WindowSeams& seams = model->seams();
        seams.persistSession = [this] {
            ++sessionSaves;
            if (failSessionSave)
                throw std::runtime_error("session store unavailable");
        };
        seams.persistSessionAndWait = [this] {
            ++sessionSaves;
            return failSessionSave ? QStringList{QStringLiteral("session store unavailable")}
                                   : QStringList();
        };
        seams.recordRecentFile = [this](const QUrl& url) { recentFiles.append(url); };
        seams.refreshFindResultsAfterEdit = [this] { ++findRefreshes; };
        seams.scheduleRecoverySnapshot = [this] { ++snapshotRequests; };
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    QUrl writeFile(const QString& name, const QByteArray& bytes) const {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        return QUrl::fromLocalFile(path(name));
    }

    static QByteArray readFile(const QUrl& url) {
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return file.readAll();
    }

    const EditorWindowState& state() const { return model->state(); }
    const EditorTab& tabAt(int index) const { return model->state().tabs.at(index); }
    const EditorTab& active() const { return activeTab(model->state()); }

    static bool runningAsRoot() { return ::geteuid() == 0; }

    // The window's writer is done, and the window has heard of everything it wrote.
    void written() { model->saving().writes().waitForWrites(); }

    QTemporaryDir dir;
    std::unique_ptr<Defaults> defaults;
    std::unique_ptr<EditorWindowModel> model;
    ScriptedInteraction person;
    int sessionSaves = 0;
    bool failSessionSave = false;
    QList<QUrl> recentFiles;
    int findRefreshes = 0;
    int snapshotRequests = 0;
};

} // namespace dunmoss::test
