#pragma once

#include "platform/LatestRequest.h"
#include "text/DocumentOutlineItem.h"
#include "text/EditorLanguage.h"

#include <QList>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;
class QListView;
class QStackedWidget;

namespace dunmoss {

class EditorWindowModel;
class OutlineItemsModel;

// The outline panel beside the editor: the active tab's declarations, headings or keys; a
// click selects the item's text. The outline is extracted again only when the text or its
// language changed; a text over kImmediateLimit only after a pause in typing, and off the main
// thread.
class DocumentOutlinePanel : public QWidget {
    Q_OBJECT
public:
    // The width it starts at beside the editor, which may then be dragged wider or narrower.
    static constexpr int kWidth = 280;
    // Extraction is linear, but a text dense with landmarks (a plain text of short declaration
    // lines) takes about 1 ms per 1,000 characters, most of it making the items.
    static constexpr qsizetype kImmediateLimit = 10'000;
    static constexpr int kPauseMilliseconds = 150;

    explicit DocumentOutlinePanel(EditorWindowModel& model, QWidget* parent = nullptr);

    void refresh();

    const QList<DocumentOutlineItem>& items() const { return m_items; }
    QListView* list() const { return m_list; }
    QLabel* emptyLabel() const { return m_empty; }
    // Acts as a click on the row.
    void openRow(int row);

private:
    void schedule();
    void showItems(const QList<DocumentOutlineItem>& items);

    EditorWindowModel& m_model;
    OutlineItemsModel* m_itemsModel = nullptr;
    QListView* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QStackedWidget* m_content = nullptr;
    QTimer m_pause;
    QString m_text;
    EditorLanguage m_language{};
    bool m_hasText = false;
    LatestRequest m_requests;
    QList<DocumentOutlineItem> m_items;
};

} // namespace dunmoss
