#include "search/SearchPanelParts.h"

#include "editor/IconTable.h"
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
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryLabelColor(palette));
    label->setPalette(palette);
    return label;
}

QLabel* symbolLabel(const QString& symbol, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(symbolPixmap(symbol, 14, secondaryLabelColor(parent->palette()),
                                  parent->devicePixelRatioF()));
    return label;
}

QVBoxLayout* makeBarPanelColumn(QWidget* panel, const QString& objectName) {
    panel->setObjectName(objectName);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, barMaterialColor(palette));
    panel->setPalette(palette);
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
    list->setItemDelegate(new SearchResultRowDelegate(list));
    return list;
}

} // namespace dunmoss
