#include "tools/PanelChrome.h"

#include "editor/IconTable.h"
#include "platform/LaterThanRepaints.h"
#include "platform/Localization.h"
#include "text/EditorTab.h"
#include "window/EditorWindowModel.h"
#include "window/WindowDerivedValues.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSignalBlocker>
#include <QToolButton>
#include <algorithm>
#include <memory>

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

PanelBar::PanelBar(QWidget* parent) : QWidget(parent) {}

void PanelBar::setSymbol(QLabel* label, const QString& symbolName, int size) {
    label->setProperty("symbolName", symbolName);
    label->setProperty("symbolSize", size);
    drawSymbols();
}

void PanelBar::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), barMaterialColor(palette()));
}

void PanelBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        drawSymbols();
}

void PanelBar::drawSymbols() {
    const QColor color = palette().color(QPalette::WindowText);
    for (QLabel* label : findChildren<QLabel*>()) {
        const QString symbol = label->property("symbolName").toString();
        if (!symbol.isEmpty())
            label->setPixmap(symbolPixmap(symbol, label->property("symbolSize").toInt(), color,
                                          devicePixelRatioF()));
    }
    for (QToolButton* button : findChildren<QToolButton*>()) {
        const QString symbol = button->property("symbolName").toString();
        if (!symbol.isEmpty())
            button->setIcon(symbolIcon(symbol, color, 14));
    }
}

QWidget* makePanelHeader(const QString& symbolName, const QString& titleKey, int horizontalPadding,
                         int verticalPadding, QWidget* parent, QHBoxLayout** layout,
                         const QFont& font) {
    auto* header = new PanelBar(parent);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    row->setSpacing(6);
    auto* icon = new QLabel(header);
    header->setSymbol(icon, symbolName, QFontMetrics(font).height());
    auto* title = new QLabel(localizedString(titleKey), header);
    title->setObjectName(QStringLiteral("panelTitle"));
    title->setFont(font);
    row->addWidget(icon);
    row->addWidget(title);
    *layout = row;
    return header;
}

QToolButton* makeIconButton(const QString& symbolName, const QString& labelKey, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setProperty("symbolName", symbolName);
    button->setIcon(symbolIcon(symbolName, parent->palette().color(QPalette::WindowText), 14));
    button->setIconSize(QSize(14, 14));
    button->setToolTip(localizedString(labelKey));
    button->setAccessibleName(localizedString(labelKey));
    button->setObjectName(labelKey);
    return button;
}

void TabPickerEntries::update(QComboBox* picker, const QList<EditorTab>& tabs,
                              const QUuid& selected) {
    const QSignalBlocker blocker(picker);
    const TabStripItemFeed::Change change = m_titles.update(tabs, selected);
    const QList<TabStripItem>& items = m_titles.items();
    if (picker->count() != m_shownIDs.size()) {
        // Entries made elsewhere: all of them again.
        picker->clear();
        m_shownIDs.clear();
    }
    if (change.reordered || m_shownIDs.size() != items.size()) {
        // Only the stretch between the entries that kept their places at both ends is made
        // again: a tab opened or closed among thousands is one entry.
        const qsizetype before = m_shownIDs.size(), after = items.size();
        qsizetype head = 0, tail = 0;
        while (head < std::min(before, after) && m_shownIDs[head] == items[head].id)
            ++head;
        while (tail < std::min(before, after) - head &&
               m_shownIDs[before - 1 - tail] == items[after - 1 - tail].id)
            ++tail;
        if (before - tail > head)
            picker->model()->removeRows(int(head), int(before - tail - head));
        for (qsizetype i = head; i < after - tail; ++i)
            picker->insertItem(int(i), items[i].title, items[i].id);
        for (const qsizetype i : change.retitled)
            if (i < head || i >= after - tail)
                picker->setItemText(int(i), items[i].title);
        m_shownIDs.resize(0);
        m_shownIDs.reserve(after);
        for (const TabStripItem& item : items)
            m_shownIDs.append(item.id);
    } else {
        for (const qsizetype i : change.retitled)
            picker->setItemText(int(i), items[i].title);
    }
    const int current = picker->currentIndex();
    if (current >= 0 && items[current].id == selected)
        return;
    const auto found = std::find_if(items.cbegin(), items.cend(),
                                    [&](const TabStripItem& item) { return item.id == selected; });
    picker->setCurrentIndex(found == items.cend() ? -1 : int(found - items.cbegin()));
}

void refreshAfterModelChanges(EditorWindowModel& model, QObject* owner,
                              std::function<void()> refresh) {
    // After the repaints the change brought, as the window's own refresh.
    auto* later = new LaterThanRepaints(std::move(refresh), owner);
    QObject::connect(&model, &EditorWindowModel::changed, later, &LaterThanRepaints::request);
}

} // namespace dunmoss
