#pragma once

#include <QString>

class QFont;
class QLabel;
class QListView;
class QVBoxLayout;
class QWidget;

namespace dunmoss {

class SearchResultListModel;

// The pieces the search center and the folder search panel are built from alike.

// The font two points smaller, never under 7 points.
QFont searchCaptionFont(const QFont& base);
// An empty caption-sized label in the secondary text colour that shows its text as it is.
QLabel* captionLabel(QWidget* parent);
// A 14-point symbol in the secondary text colour.
QLabel* symbolLabel(const QString& symbol, QWidget* parent);

// Puts the panel on the bar colour and returns its column, with no margins or spacing.
QVBoxLayout* makeBarPanelColumn(QWidget* panel, const QString& objectName);

// A frameless list of search results, one uniform row each, over a new model it owns.
QListView* makeSearchResultList(const QString& objectName, QWidget* parent,
                                SearchResultListModel** model);

} // namespace dunmoss
