#pragma once

#include <QList>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <functional>

namespace dunmoss {

struct EditorTab;
class EditorWindowModel;

// A save to a location the person chose (Save As, the first save of an untitled tab) onto the
// file another tab of the window stands for, or is being saved to. At no moment do two tabs
// stand for one file: once the write is decided, before it is handed over, another tab with
// nothing unsaved closes, and one with unsaved work keeps its text as an untitled document, so
// nothing typed is lost and nothing of it can be written over the chosen file any more (no
// Save, Save All or autosave of it goes there). Its writes to that file still under way no
// longer give it that file; a Save As of its own elsewhere still does. When any of them has
// unsaved work, the person is asked first (Cancel by default), and a cancel writes nothing; the
// answer does what the question said, whatever was written meanwhile.
class SaveOverOpenTab {
public:
    explicit SaveOverOpenTab(EditorWindowModel& model) : m_model(model) {}

    // Runs the write, handing it its completion, unless the person cancels; `done` hears
    // whether the tab was written. Either may come later.
    using Write = std::function<void(std::function<void(bool)> written)>;
    void write(const QUuid& savedTabID, const QUrl& destination, Write write,
               std::function<void(bool)> done);

private:
    // The other tabs found again once the write is decided: each closes, or becomes untitled
    // when it holds unsaved work or was asked about as holding it; one only being saved there
    // keeps its own file.
    void letGo(const QList<QUuid>& tabIDs, const QSet<QUuid>& unsaved, const QUrl& destination);
    // The tab stands for the file, or a write of it under way gives it that file.
    bool holds(const EditorTab& tab, const QUrl& destination) const;

    EditorWindowModel& m_model;
};

} // namespace dunmoss
