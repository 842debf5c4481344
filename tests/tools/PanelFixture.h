#pragma once

#include "platform/Localization.h"
#include "window/TabUndoRegistry.h"
#include "window/WindowFixture.h"

#include <QUndoStack>

namespace dunmoss::test {

// A window whose tabs a test lays out by name and text; the first tab is active.
class PanelFixture : public WindowFixture {
protected:
    QList<QUuid> setTabs(const QList<std::pair<QString, QString>>& namesAndTexts) {
        QList<EditorTab> tabs;
        for (const auto& [name, text] : namesAndTexts) {
            EditorTab tab = untitledTab();
            tab.document.text = text;
            tab.savedSnapshot = text;
            if (!name.isEmpty())
                tab.fileURL = QUrl::fromLocalFile(path(name));
            tabs.append(tab);
        }
        model->update([&](EditorWindowState& s) {
            s.tabs = tabs;
            s.activeTabID = tabs.first().id;
        });
        QList<QUuid> ids;
        for (const EditorTab& tab : tabs)
            ids.append(tab.id);
        sessionSaves = 0;
        return ids;
    }

    void activate(const QUuid& id) { model->setActiveTabID(id); }
    void closeTab(const QUuid& id) {
        model->update([&](EditorWindowState& s) {
            s.tabs.removeIf([&](const EditorTab& tab) { return tab.id == id; });
        });
    }
    void select(qsizetype location, qsizetype length = 0) {
        model->setSelection(location, length, model->activeTabIndex());
    }
    const EditorTab& tabWith(const QUuid& id) const { return *model->tab(id); }
    QUndoStack* undoStack(const QUuid& id) const {
        return model->undoRegistry().undoStackForTab(id);
    }
    static QString text(const char* key) { return localizedString(QString::fromLatin1(key)); }
};

} // namespace dunmoss::test
