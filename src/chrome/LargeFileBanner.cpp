#include "chrome/LargeFileBanner.h"

#include "chrome/StatusBarView.h"
#include "editor/IconTable.h"
#include "platform/Localization.h"
#include "window/StatusBarItems.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace dunmoss {

LargeFileBanner::LargeFileBanner(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("largeFileBanner"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 7, 12, 7);
    row->setSpacing(10);
    m_symbol = new QLabel(this);
    m_message = new QLabel(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    applyCaptionStyle(m_message);
    // At most two lines.
    m_message->setMaximumHeight(m_message->fontMetrics().lineSpacing() * 2 + 2);
    row->addWidget(m_symbol, 0, Qt::AlignVCenter);
    row->addWidget(m_message, 1, Qt::AlignVCenter);
    setValues(std::nullopt, kPreviewBytes);
}

void LargeFileBanner::setValues(std::optional<qint64> byteCount, qint64 previewBytes) {
    setMessage(largeFileBannerMessage(byteCount, previewBytes), QStringLiteral("speedometer"));
}

void LargeFileBanner::setBinary() {
    setMessage(localizedString(QStringLiteral("binary-file.banner")), QStringLiteral("lock"));
}

void LargeFileBanner::setMessage(const QString& text, const QString& symbol) {
    if (m_message->text() != text)
        m_message->setText(text);
    if (m_symbolName != symbol) {
        m_symbolName = symbol;
        updateSymbol();
    }
}

QString LargeFileBanner::message() const {
    return m_message->text();
}

void LargeFileBanner::updateSymbol() {
    const int size = qMax(12, m_message->fontMetrics().height());
    m_symbol->setPixmap(symbolPixmap(m_symbolName, size, systemOrange(), devicePixelRatioF()));
}

void LargeFileBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QColor tint = systemOrange();
    tint.setAlphaF(0.08);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(rect(), tint);
}

void LargeFileBanner::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        updateSymbol();
    QWidget::changeEvent(event);
}

} // namespace dunmoss
