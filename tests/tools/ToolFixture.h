#pragma once

#include "platform/Localization.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowFixture.h"

#include <QTest>
#include <QUndoStack>

namespace dunmoss::test {

// A window holding one tab whose text, selections and file name a test sets, with the tab's
// undo stack and the status line at hand.
class ToolFixture : public WindowFixture {
protected:
    // `ranges` beyond the first are further selections; the first is the primary one.
    void setTab(const QString& text, QList<TextRange> ranges = {{0, 0}},
                const QString& fileName = {}, bool readOnly = false) {
        EditorTab tab = untitledTab();
        tab.document.text = text;
        tab.savedSnapshot = text;
        tab.selectedRanges = ranges;
        tab.selectedRange = ranges.first();
        tab.isReadOnly = readOnly;
        if (!fileName.isEmpty())
            tab.fileURL = QUrl::fromLocalFile(path(fileName));
        model->update([&](EditorWindowState& s) {
            s.tabs = {tab};
            s.activeTabID = tab.id;
        });
        sessionSaves = 0;
    }

    // A session save after an edit that follows another save closely comes a moment later.
    void waitForSessionSave() {
        static_cast<void>(
            QTest::qWaitFor([this] { return !model->hasPendingSessionSave(); }, 5000));
    }

    QUndoStack* undoStack() { return model->undoRegistry().undoStackForTab(active().id); }
    const QString& text() const { return active().document.text; }
    TextRange selection() const { return active().selectedRange; }
    const QString& status() const { return state().findMessage; }
    static QString text(const char* key) { return localizedString(QString::fromLatin1(key)); }
    void startRecording() {
        model->update([](EditorWindowState& s) {
            s.macros.isRecordingMacro = true;
            s.macros.recordedMacroSteps.clear();
        });
    }
    const QList<EditorMacroStep>& recorded() const { return state().macros.recordedMacroSteps; }
};

} // namespace dunmoss::test
