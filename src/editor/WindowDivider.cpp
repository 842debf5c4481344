#include "editor/WindowDivider.h"

#include "editor/PaletteFollowing.h"

#include <QFrame>
#include <QPalette>

namespace dunmoss {

QFrame* makeWindowDivider(Qt::Orientation orientation, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("windowDivider"));
    line->setFrameShape(orientation == Qt::Horizontal ? QFrame::HLine : QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    useTextColor(line, [](const QPalette& palette) { return palette.color(QPalette::Mid); });
    return line;
}

} // namespace dunmoss
