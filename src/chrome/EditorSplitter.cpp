#include "chrome/EditorSplitter.h"

#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace dunmoss {

namespace {

class DividerHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(contentsRect(), palette().color(QPalette::Mid));
    }
};

} // namespace

EditorSplitter::EditorSplitter(QWidget* parent) : QSplitter(Qt::Horizontal, parent) {
    setObjectName(QStringLiteral("editorSplitter"));
    setHandleWidth(1);
    setChildrenCollapsible(false);
    setOpaqueResize(true);
}

QSplitterHandle* EditorSplitter::createHandle() {
    return new DividerHandle(orientation(), this);
}

PanelHolder::PanelHolder(int startWidth, int floorWidth, QWidget* parent)
    : QWidget(parent), m_startWidth(startWidth), m_floorWidth(floorWidth) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    hide();
}

QSize PanelHolder::sizeHint() const {
    const QSize content = QWidget::sizeHint();
    return {m_startWidth > 0 ? m_startWidth : content.width(), content.height()};
}

QSize PanelHolder::minimumSizeHint() const {
    const QSize content = QWidget::minimumSizeHint();
    if (m_startWidth <= 0)
        return content;
    return {std::clamp(content.width(), std::min(m_floorWidth, m_startWidth), m_startWidth),
            content.height()};
}

} // namespace dunmoss
