#pragma once

#include <QList>
#include <QUrl>
#include <QUuid>
#include <functional>

namespace dunmoss {

class EditorWindowModel;

// A save to a location the person chose (Save As, the first save of an untitled tab) onto the
// file another tab of the window stands for. Afterwards no two tabs stand for one file: once
// the write succeeded, another tab with nothing unsaved closes, and one with unsaved work keeps
// its text as an untitled document, so nothing typed is lost. When any of them has unsaved
// work, the person is asked first (Cancel by default), and a cancel writes nothing.
class SaveOverOpenTab {
public:
    explicit SaveOverOpenTab(EditorWindowModel& model) : m_model(model) {}

    // Runs the write, handing it its completion, unless the person cancels; `done` hears
    // whether the tab was written. Either may come later.
    using Write = std::function<void(std::function<void(bool)> written)>;
    void write(const QUuid& savedTabID, const QUrl& destination, Write write,
               std::function<void(bool)> done);

private:
    // The other tabs found again after the write: each closes, or becomes untitled when it
    // holds unsaved work.
    void letGo(const QList<QUuid>& tabIDs, const QUrl& destination);

    EditorWindowModel& m_model;
};

} // namespace dunmoss
