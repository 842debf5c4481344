#pragma once

#include "text/WorkspaceItem.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace dunmoss {

// The workspace sidebar: a header with open, refresh and close, the root's name and message,
// and the folder tree, whose folders fill in when first expanded (so a large tree costs only
// what is looked at). A click or Return on a file opens it. A new tree of the same root keeps
// the folders that were open, the chosen row and the scroll position. While a listing runs the
// tree shown stays, and "no files" is never shown beside it. Without a root it offers to open
// one. It shows the values it is given and calls its actions; it changes nothing itself.
class WorkspacePanel : public QWidget {
    Q_OBJECT
public:
    // The width it starts at beside the editor, which may then be dragged wider or narrower.
    static constexpr int kWidth = 280;

    explicit WorkspacePanel(QWidget* parent = nullptr);

    // Rebuilds only what differs from the values shown.
    void display(const std::optional<QUrl>& rootURL, const QList<WorkspaceItem>& items,
                 const QString& message, bool isListing = false);

    std::function<void()> openWorkspace;
    std::function<void()> refresh;
    std::function<void(const WorkspaceItem&)> openItem;
    std::function<void()> close;

    QTreeWidget* tree() const { return m_tree; }
    // A row's name: the last path component, or the whole path when that is empty.
    static QString entryName(const QString& path);

private:
    void fill(QTreeWidgetItem* parent, const QList<WorkspaceItem>& items);
    QIcon rowSymbol(const WorkspaceItem& item) const;
    void openRow(QTreeWidgetItem* row);
    // Opens again the folders named in `expanded` below `parent` (the top level when null).
    void reopenFolders(QTreeWidgetItem* parent, const QSet<QString>& expanded);
    QTreeWidgetItem* rowWithID(QTreeWidgetItem* parent, const QString& id) const;

    QStackedWidget* m_body = nullptr;
    QLabel* m_rootName = nullptr;
    QLabel* m_message = nullptr;
    QStackedWidget* m_treeOrEmpty = nullptr;
    QTreeWidget* m_tree = nullptr;
    std::optional<QUrl> m_root;
    // Kept unchanged while shown: the rows point into it.
    QList<WorkspaceItem> m_items;
    QHash<QTreeWidgetItem*, const WorkspaceItem*> m_rows;
    // The rows' symbols in the secondary colour of the tree's palette.
    QIcon m_folderSymbol;
    QIcon m_fileSymbol;
};

} // namespace dunmoss
