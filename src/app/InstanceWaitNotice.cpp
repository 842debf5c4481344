#include "app/InstanceWaitNotice.h"

#include "platform/Localization.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace dunmoss {

InstanceWaitNotice::InstanceWaitNotice(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setWindowTitle(QStringLiteral("Dunmoss Notepad"));
    // It only informs: the keyboard stays with whatever the person is doing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_label = new QLabel(localizedString(QStringLiteral("instance.waiting")), this);
    m_label->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    setMinimumWidth(360);
}

void InstanceWaitNotice::keepShowing() {
    if (!isVisible())
        show();
    QApplication::processEvents();
}

QString InstanceWaitNotice::text() const {
    return m_label->text();
}

} // namespace dunmoss
