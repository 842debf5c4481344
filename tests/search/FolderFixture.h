#pragma once

#include "FindFixture.h"
#include "search/FolderOperationRunner.h"
#include "search/FolderSearchOperations.h"

#include <QCoreApplication>
#include <QDir>
#include <QSemaphore>
#include <atomic>

namespace dunmoss::test {

// A window and a private folder tree to search, replace in and restore.
class FolderFixture : public FindFixture {
protected:
    void SetUp() override {
        FindFixture::SetUp();
        ASSERT_TRUE(tree.isValid());
    }
    void TearDown() override {
        if (runnerExists())
            runner().beforeWork = nullptr;
        FolderOperationRunner::waitForBackgroundWork();
    }

    QString path(const QString& name) const { return tree.filePath(name); }
    QUrl root() const { return QUrl::fromLocalFile(tree.path()); }
    void put(const QString& name, const QByteArray& bytes) const {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void setInputs(const QString& query, const QString& replacement = {},
                   TextSearchOptions options = {}) {
        ops().setQuery(query);
        ops().setReplaceText(replacement);
        ops().setTextOptions(options);
    }
    void useFolder(const QUrl& folder) {
        model->update([&](EditorWindowState& s) { s.folderSearch.folderSearchURL = folder; });
    }
    // Lets every piece of folder work and its continuation run, including follow-up pieces.
    void settle() {
        for (int round = 0; round < 20; ++round) {
            FolderOperationRunner::waitForBackgroundWork();
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    // Holds every writing piece of work until released.
    void holdWrites() {
        runner().beforeWork = [this](bool writes) {
            if (writes) {
                heldWrites.fetch_add(1);
                gate.acquire();
            }
        };
    }
    // Waits (without a time limit on the outcome) until a held write is waiting at the gate.
    void waitUntilHeld(int count = 1) {
        while (heldWrites.load() < count) {
            QCoreApplication::sendPostedEvents();
            QThread::yieldCurrentThread();
        }
    }

    FolderSearchOperations ops() { return FolderSearchOperations(*model); }
    FolderOperationRunner& runner() { return FolderOperationRunner::of(*model); }
    bool runnerExists() const { return model != nullptr; }
    const FolderSearchState& folder() const { return state().folderSearch; }

    QTemporaryDir tree;
    QSemaphore gate;
    std::atomic_int heldWrites{0};
};

} // namespace dunmoss::test
