#pragma once

#include "window/TabStripItems.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QUuid>
#include <QWidget>
#include <functional>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QToolButton;
class QWidget;

namespace dunmoss {

class EditorWindowModel;

// The look the side panels share: a header row on the bar colour with a symbol and a title,
// the text styles, and the tab picker.

QFont captionFont(const QFont& base);
QFont secondCaptionFont(const QFont& base);
QFont subheadlineFont(const QFont& base);
QFont headlineFont(const QFont& base);
QFont monospacedCaptionFont(const QFont& base);

// A bar on the bar colour whose symbols (icon labels and buttons made here) are drawn again in
// the text colour of the palette it inherits, so a change of colour scheme reaches them.
class PanelBar : public QWidget {
public:
    explicit PanelBar(QWidget* parent = nullptr);
    // Shows the symbol in the label, now and after every palette change.
    void setSymbol(QLabel* label, const QString& symbolName, int size);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void drawSymbols();
};

// A header row: the symbol and the localised title (semibold), with the given padding. Further
// widgets go into the returned layout, after a stretch the caller adds.
QWidget* makePanelHeader(const QString& symbolName, const QString& titleKey, int horizontalPadding,
                         int verticalPadding, QWidget* parent, QHBoxLayout** layout,
                         const QFont& font);

// An icon-only borderless button with its label as tooltip and accessible name.
QToolButton* makeIconButton(const QString& symbolName, const QString& labelKey, QWidget* parent);

// The entries of a picker of the window's tabs: their titles, tagged by identifier. Kept in line
// with the tabs at a few comparisons per tab, so a keystroke costs the picker next to nothing
// however many tabs are open; the entries are made again only when tabs came, went or moved.
class TabPickerEntries {
public:
    // Brings the picker's entries in line with the tabs and shows the selected identifier,
    // without emitting its signals.
    void update(QComboBox* picker, const QList<EditorTab>& tabs, const QUuid& selected);

private:
    TabStripItemFeed m_titles;
    // The identifiers of the picker's entries, in its order.
    QList<QUuid> m_shownIDs;
};

// Runs `refresh` once on the turn of the event loop after the model changed, however often it
// changed meanwhile, and never in the middle of the operation that changed it.
void refreshAfterModelChanges(EditorWindowModel& model, QObject* owner,
                              std::function<void()> refresh);

} // namespace dunmoss
