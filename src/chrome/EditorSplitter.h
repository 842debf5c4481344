#pragma once

#include <QSplitter>
#include <QWidget>

namespace dunmoss {

// The editor area's row: elements side by side with a one-pixel line in the theme's divider
// colour between each two, which the mouse can drag (the toolkit widens the part that can be
// grabbed to a few pixels on either side). Elements are never collapsed by a drag.
class EditorSplitter : public QSplitter {
public:
    explicit EditorSplitter(QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};

// A side panel's place in the row: it starts at the panel's own width and shrinks to the floor,
// or to what the panel's controls need up to that starting width. Without a starting width it
// asks what its content asks.
class PanelHolder : public QWidget {
public:
    PanelHolder(int startWidth, int floorWidth, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int m_startWidth;
    int m_floorWidth;
};

} // namespace dunmoss
