#include "tools/PanelChrome.h"

#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/IconTable.h"
#include "window/WindowDerivedValues.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>

namespace dunmoss {

namespace {

QFont resized(const QFont& base, qreal delta, QFont::Weight weight = QFont::Normal) {
    QFont font = base;
    font.setPointSizeF(qMax(7.0, base.pointSizeF() + delta));
    font.setWeight(weight);
    return font;
}

} // namespace

QFont captionFont(const QFont& base) {
    return resized(base, -1.5);
}

QFont secondCaptionFont(const QFont& base) {
    return resized(base, -2.0);
}

QFont subheadlineFont(const QFont& base) {
    return resized(base, -0.5, QFont::DemiBold);
}

QFont headlineFont(const QFont& base) {
    return resized(base, 0, QFont::DemiBold);
}

QFont monospacedCaptionFont(const QFont& base) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(qMax(7.0, base.pointSizeF() - 1.5));
    return font;
}

QWidget* makePanelHeader(const QString& symbolName, const QString& titleKey, int horizontalPadding,
                         int verticalPadding, QWidget* parent, QHBoxLayout** layout,
                         const QFont& font) {
    auto* header = new QWidget(parent);
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, barMaterialColor(palette));
    header->setPalette(palette);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(8);
    auto* icon = new QLabel(header);
    const int size = QFontMetrics(font).height();
    icon->setPixmap(symbolPixmap(symbolName, size, palette.color(QPalette::WindowText),
                                 header->devicePixelRatioF()));
    auto* title = new QLabel(localizedString(titleKey), header);
    title->setObjectName(QStringLiteral("panelTitle"));
    title->setFont(font);
    row->addWidget(icon);
    row->addWidget(title);
    row->setSpacing(6);
    *layout = row;
    return header;
}

QToolButton* makeIconButton(const QString& symbolName, const QString& labelKey, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(symbolIcon(symbolName, parent->palette().color(QPalette::WindowText), 14));
    button->setIconSize(QSize(14, 14));
    button->setToolTip(localizedString(labelKey));
    button->setAccessibleName(localizedString(labelKey));
    button->setObjectName(labelKey);
    return button;
}

void updateTabPicker(QComboBox* picker, const QList<EditorTab>& tabs, const QUuid& selected) {
    const QSignalBlocker blocker(picker);
    bool same = picker->count() == tabs.size();
    for (qsizetype i = 0; same && i < tabs.size(); ++i)
        same = picker->itemData(int(i)).toUuid() == tabs.at(i).id &&
               picker->itemText(int(i)) == displayTitle(tabs.at(i));
    if (!same) {
        picker->clear();
        for (const EditorTab& tab : tabs)
            picker->addItem(displayTitle(tab), tab.id);
    }
    picker->setCurrentIndex(picker->findData(selected));
}

} // namespace dunmoss
