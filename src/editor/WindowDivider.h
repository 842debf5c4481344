#pragma once

#include <Qt>

class QFrame;
class QWidget;

namespace dunmoss {

// A thin separator line between two rows (horizontal) or two columns (vertical).
QFrame* makeWindowDivider(Qt::Orientation orientation, QWidget* parent);

} // namespace dunmoss
