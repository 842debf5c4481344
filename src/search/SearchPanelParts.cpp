#include "search/SearchPanelParts.h"

#include "editor/IconTable.h"
#include "editor/PaletteFollowing.h"
#include "search/SearchResultListModel.h"
#include "search/SearchResultRowDelegate.h"

#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

#include <algorithm>

namespace dunmoss {

QFont searchCaptionFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(std::max<qreal>(base.pointSizeF() - 2.0, 7.0));
    return font;
}

QLabel* captionLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(searchCaptionFont(label->font()));
    // Captions show names, paths and messages that quote them.
    label->setTextFormat(Qt::PlainText);
    useSecondaryTextColor(label);
    return label;
}

QLabel* symbolLabel(const QString& symbol, QWidget* parent) {
    auto* label = new QLabel(parent);
    useSymbol(label, symbol, 14, secondaryLabelColor);
    return label;
}

QVBoxLayout* makeBarPanelColumn(QWidget* panel, const QString& objectName) {
    panel->setObjectName(objectName);
    useBackgroundColor(panel, barMaterialColor);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    return column;
}

QListView* makeSearchResultList(const QString& objectName, QWidget* parent,
                                SearchResultListModel** model) {
    auto* list = new QListView(parent);
    list->setObjectName(objectName);
    list->setUniformItemSizes(true);
    list->setFrameShape(QFrame::NoFrame);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setMouseTracking(true);
    *model = new SearchResultListModel(list);
    list->setModel(*model);
    QObject::connect(*model, &SearchResultListModel::rowsReplacedInPlace, list->viewport(),
                     qOverload<>(&QWidget::update));
    list->setItemDelegate(new SearchResultRowDelegate(list));
    return list;
}

} // namespace dunmoss
