#include "tools/WorkspacePanel.h"

#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QLabel* captionLabel(const QString& text, QWidget* parent, bool secondary, qreal scale = 0.9) {
    auto* label = new QLabel(text, parent);
    // The root's name and the listing's message show names as they are.
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    label->setFont(font);
    if (secondary)
        useSecondaryTextColor(label);
    return label;
}

QToolButton* iconButton(const QString& symbol, const QString& key, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    useSymbol(button, symbol, 16, secondaryLabelColor);
    button->setToolTip(localizedString(key));
    button->setAccessibleName(button->toolTip());
    return button;
}

} // namespace

QString WorkspacePanel::entryName(const QString& path) {
    const QString name = path.section(QLatin1Char('/'), -1);
    return name.isEmpty() ? path : name;
}

WorkspacePanel::WorkspacePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("workspacePanel"));
    useBackgroundColor(this, baseColor);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    useBackgroundColor(header, barMaterialColor);
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(12, 9, 12, 9);
    headerRow->setSpacing(8);
    auto* symbol = new QLabel(header);
    useSymbol(symbol, QStringLiteral("sidebar.left"), 14, labelColor);
    auto* title = new QLabel(localizedString(QStringLiteral("workspace.title")), header);
    QFont titleFont = title->font();
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    QToolButton* open =
        iconButton(QStringLiteral("folder.badge.plus"), QStringLiteral("workspace.open"), header);
    QToolButton* refreshButton =
        iconButton(QStringLiteral("arrow.clockwise"), QStringLiteral("workspace.refresh"), header);
    QToolButton* closeButton =
        iconButton(QStringLiteral("xmark"), QStringLiteral("find.close"), header);
    open->setObjectName(QStringLiteral("workspaceOpen"));
    refreshButton->setObjectName(QStringLiteral("workspaceRefresh"));
    closeButton->setObjectName(QStringLiteral("workspaceClose"));
    headerRow->addWidget(symbol);
    headerRow->addWidget(title);
    headerRow->addStretch(1);
    headerRow->addWidget(open);
    headerRow->addWidget(refreshButton);
    headerRow->addWidget(closeButton);
    column->addWidget(header);

    m_body = new QStackedWidget(this);
    // With a root: its name and message, a divider, then the tree or the empty text.
    auto* withRoot = new QWidget(m_body);
    auto* rootColumn = new QVBoxLayout(withRoot);
    rootColumn->setContentsMargins(0, 0, 0, 0);
    rootColumn->setSpacing(0);
    auto* rootBlock = new QVBoxLayout;
    rootBlock->setContentsMargins(12, 8, 12, 8);
    rootBlock->setSpacing(3);
    m_rootName = captionLabel(QString(), withRoot, false);
    QFont nameFont = m_rootName->font();
    nameFont.setWeight(QFont::DemiBold);
    m_rootName->setFont(nameFont);
    m_message = captionLabel(QString(), withRoot, true, 0.8);
    m_message->setObjectName(QStringLiteral("workspaceMessage"));
    rootBlock->addWidget(m_rootName);
    rootBlock->addWidget(m_message);
    rootColumn->addLayout(rootBlock);
    rootColumn->addWidget(makeWindowDivider(Qt::Horizontal, withRoot));
    m_treeOrEmpty = new QStackedWidget(withRoot);
    m_tree = new QTreeWidget(m_treeOrEmpty);
    m_tree->setObjectName(QStringLiteral("workspaceTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setContentsMargins(8, 6, 8, 6);
    QFont treeFont = m_tree->font();
    treeFont.setPointSizeF(treeFont.pointSizeF() * 0.9);
    m_tree->setFont(treeFont);
    followPalette(m_tree, [this] {
        const QColor secondary = secondaryLabelColor(inheritedPalette(m_tree));
        m_folderSymbol = symbolIcon(QStringLiteral("folder"), secondary);
        m_fileSymbol = symbolIcon(QStringLiteral("doc.text"), secondary);
        for (auto row = m_rows.cbegin(); row != m_rows.cend(); ++row)
            row.key()->setIcon(0, rowSymbol(*row.value()));
    });
    auto* emptyTree = new QWidget(m_treeOrEmpty);
    emptyTree->setObjectName(QStringLiteral("workspaceNoFiles"));
    auto* emptyTreeColumn = new QVBoxLayout(emptyTree);
    emptyTreeColumn->setContentsMargins(12, 12, 12, 12);
    emptyTreeColumn->addWidget(
        captionLabel(localizedString(QStringLiteral("workspace.empty")), emptyTree, true));
    emptyTreeColumn->addStretch();
    m_treeOrEmpty->addWidget(m_tree);
    m_treeOrEmpty->addWidget(emptyTree);
    rootColumn->addWidget(m_treeOrEmpty, 1);

    // Without a root: the empty text and a button to open one.
    auto* noRoot = new QWidget(m_body);
    auto* noRootColumn = new QVBoxLayout(noRoot);
    noRootColumn->setContentsMargins(12, 12, 12, 12);
    noRootColumn->setSpacing(12);
    noRootColumn->addWidget(
        captionLabel(localizedString(QStringLiteral("workspace.empty")), noRoot, true));
    auto* openButton = new QPushButton(localizedString(QStringLiteral("workspace.open")), noRoot);
    openButton->setObjectName(QStringLiteral("workspaceOpenButton"));
    noRootColumn->addWidget(openButton, 0, Qt::AlignLeft);
    noRootColumn->addStretch();
    m_body->addWidget(withRoot);
    m_body->addWidget(noRoot);
    m_body->setCurrentIndex(1);
    column->addWidget(m_body, 1);

    const auto call = [](const std::function<void()>& action) {
        if (action)
            action();
    };
    connect(open, &QToolButton::clicked, this, [this, call] { call(openWorkspace); });
    connect(openButton, &QPushButton::clicked, this, [this, call] { call(openWorkspace); });
    connect(refreshButton, &QToolButton::clicked, this, [this, call] { call(refresh); });
    connect(closeButton, &QToolButton::clicked, this, [this, call] { call(close); });
    connect(m_tree, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* row) {
        const WorkspaceItem* item = m_rows.value(row);
        if (row->childCount() == 0 && item && item->children)
            fill(row, *item->children);
    });
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* row) { openRow(row); });
    // Return on the chosen row (and a double click, which opens an already open file again,
    // harmlessly).
    connect(m_tree, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* row) { openRow(row); });
}

void WorkspacePanel::openRow(QTreeWidgetItem* row) {
    const WorkspaceItem* item = m_rows.value(row);
    if (item && !item->isDirectory && item->isOpenable && openItem)
        openItem(*item);
}

void WorkspacePanel::display(const std::optional<QUrl>& rootURL, const QList<WorkspaceItem>& items,
                             const QString& message, bool isListing) {
    m_message->setText(message);
    if (rootURL == m_root && items.isSharedWith(m_items)) {
        m_treeOrEmpty->setCurrentIndex(m_items.isEmpty() && !isListing ? 1 : 0);
        return;
    }
    // What the person had open in the tree of this root, found again by path in the new one.
    QSet<QString> expanded;
    QString current;
    const int scrolled = m_tree->verticalScrollBar()->value();
    const bool sameRoot = rootURL == m_root;
    if (sameRoot) {
        for (auto it = m_rows.cbegin(); it != m_rows.cend(); ++it)
            if (it.key()->isExpanded())
                expanded.insert(it.value()->id);
        if (const WorkspaceItem* item = m_rows.value(m_tree->currentItem()))
            current = item->id;
    }
    m_root = rootURL;
    m_body->setCurrentIndex(rootURL ? 0 : 1);
    const QString rootPath = rootURL ? rootURL->path() : QString();
    m_rootName->setText(rootURL
                            ? entryName(rootPath.endsWith(QLatin1Char('/')) && rootPath.size() > 1
                                            ? rootPath.chopped(1)
                                            : rootPath)
                            : QString());
    m_tree->clear();
    m_rows.clear();
    m_items = items;
    fill(nullptr, m_items);
    m_treeOrEmpty->setCurrentIndex(m_items.isEmpty() && !isListing ? 1 : 0);
    if (!sameRoot)
        return;
    reopenFolders(nullptr, expanded);
    if (QTreeWidgetItem* row = rowWithID(nullptr, current))
        m_tree->setCurrentItem(row);
    // The scroll range follows the rows only once they are laid out.
    m_tree->doItemsLayout();
    m_tree->verticalScrollBar()->setValue(scrolled);
}

void WorkspacePanel::reopenFolders(QTreeWidgetItem* parent, const QSet<QString>& expanded) {
    if (expanded.isEmpty())
        return;
    const int count = parent ? parent->childCount() : m_tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* row = parent ? parent->child(i) : m_tree->topLevelItem(i);
        const WorkspaceItem* item = m_rows.value(row);
        if (!item || !item->isDirectory || !expanded.contains(item->id))
            continue;
        row->setExpanded(true); // fills its rows
        reopenFolders(row, expanded);
    }
}

QTreeWidgetItem* WorkspacePanel::rowWithID(QTreeWidgetItem* parent, const QString& id) const {
    if (id.isEmpty())
        return nullptr;
    const int count = parent ? parent->childCount() : m_tree->topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* row = parent ? parent->child(i) : m_tree->topLevelItem(i);
        const WorkspaceItem* item = m_rows.value(row);
        if (item && item->id == id)
            return row;
        // Only open folders hold rows; the chosen row was reachable, so it lies in one.
        if (row->isExpanded())
            if (QTreeWidgetItem* found = rowWithID(row, id))
                return found;
    }
    return nullptr;
}

QIcon WorkspacePanel::rowSymbol(const WorkspaceItem& item) const {
    return item.isDirectory ? m_folderSymbol : m_fileSymbol;
}

void WorkspacePanel::fill(QTreeWidgetItem* parent, const QList<WorkspaceItem>& items) {
    QList<QTreeWidgetItem*> rows;
    rows.reserve(items.size());
    for (const WorkspaceItem& item : items) {
        auto* row = new QTreeWidgetItem({entryName(item.id)});
        row->setIcon(0, rowSymbol(item));
        row->setToolTip(0, literalToolTip(item.id));
        if (!item.isOpenable) {
            // Listed so that it is not missed, in italics as what cannot be opened.
            QFont font = row->font(0);
            font.setItalic(true);
            row->setFont(0, font);
            row->setToolTip(0,
                            literalToolTip(item.id + u'\n' +
                                           localizedString(QStringLiteral("workspace.unnamed"))));
        }
        if (item.isDirectory && item.children && !item.children->isEmpty())
            row->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        m_rows.insert(row, &item);
        rows.append(row);
    }
    if (parent)
        parent->addChildren(rows);
    else
        m_tree->addTopLevelItems(rows);
}

} // namespace dunmoss
