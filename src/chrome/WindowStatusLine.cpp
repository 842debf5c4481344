#include "chrome/WindowStatusLine.h"

#include "chrome/StatusBarView.h"
#include "editor/IconTable.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

namespace dunmoss {

WindowStatusLine::WindowStatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("windowStatusLine"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 5, 12, 5);
    row->setSpacing(10);
    m_message = new QLabel(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyCaptionStyle(m_message);
    m_dismiss =
        makeCloseSymbolButton(localizedString(QStringLiteral("window.status-line.dismiss")), this);
    m_dismiss->setObjectName(QStringLiteral("windowStatusLineDismiss"));
    row->addWidget(m_message, 1, Qt::AlignVCenter);
    row->addWidget(m_dismiss, 0, Qt::AlignVCenter);
    connect(m_dismiss, &QToolButton::clicked, this, &WindowStatusLine::dismissRequested);
}

void WindowStatusLine::setMessage(const QString& message) {
    if (m_message->text() != message)
        m_message->setText(message);
}

QString WindowStatusLine::message() const {
    return m_message->text();
}

int WindowStatusLine::oneLineHeight() const {
    WindowStatusLine probe(parentWidget());
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.hide();
    probe.setMessage(QStringLiteral("X"));
    return probe.sizeHint().height();
}

void WindowStatusLine::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), barMaterialColor(palette()));
}

} // namespace dunmoss
