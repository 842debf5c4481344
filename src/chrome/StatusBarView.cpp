#include "chrome/StatusBarView.h"

#include "editor/ElidedLabel.h"
#include "editor/IconTable.h"
#include "editor/PaletteFollowing.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace dunmoss {

namespace {

QFrame* verticalDivider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedWidth(1);
    line->setObjectName(QStringLiteral("statusBarDivider"));
    useTextColor(line, [](const QPalette& palette) { return palette.color(QPalette::Mid); });
    return line;
}

ElidedLabel* captionLabel(QWidget* parent) {
    auto* label = new ElidedLabel(parent);
    applyCaptionStyle(label);
    return label;
}

void setLabel(ElidedLabel* label, const QString& text) {
    label->setText(text);
}

} // namespace

void applyCaptionStyle(QWidget* widget) {
    QFont font = widget->font();
    font.setPointSizeF(qMax(8.0, font.pointSizeF() - 1.0));
    widget->setFont(font);
    useSecondaryTextColor(widget);
}

StatusBarSymbolLabel::StatusBarSymbolLabel(const QString& symbolName, QWidget* parent)
    : QWidget(parent), m_symbolName(symbolName) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_symbol = new QLabel(this);
    m_text = captionLabel(this);
    layout->addWidget(m_symbol);
    layout->addWidget(m_text);
    updateSymbol();
}

void StatusBarSymbolLabel::setText(const QString& text) {
    setLabel(m_text, text);
}

QString StatusBarSymbolLabel::text() const {
    return m_text->text();
}

QString StatusBarSymbolLabel::displayedText() const {
    return m_text->displayedText();
}

void StatusBarSymbolLabel::updateSymbol() {
    const int size = qMax(10, m_text->fontMetrics().height() - 3);
    m_symbol->setPixmap(
        symbolPixmap(m_symbolName, size, secondaryLabelColor(palette()), devicePixelRatioF()));
}

void StatusBarSymbolLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        updateSymbol();
    QWidget::changeEvent(event);
}

StatusBarView::StatusBarView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("statusBar"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 7, 12, 7);
    row->setSpacing(14);

    m_cursor = new StatusBarSymbolLabel(QStringLiteral("text.cursor"), this);
    m_lines = captionLabel(this);
    m_characters = captionLabel(this);
    m_selection = captionLabel(this);
    m_largeFileMode = new StatusBarSymbolLabel(QStringLiteral("speedometer"), this);
    m_readOnly = new StatusBarSymbolLabel(QStringLiteral("lock"), this);
    m_bookmarks = new StatusBarSymbolLabel(QStringLiteral("bookmark.fill"), this);
    m_savedState = captionLabel(this);
    m_language = captionLabel(this);
    m_encoding = captionLabel(this);
    m_lineEnding = captionLabel(this);

    row->addWidget(m_cursor);
    row->addWidget(verticalDivider(this));
    row->addWidget(m_lines);
    row->addWidget(m_characters);
    row->addWidget(m_selection);
    row->addSpacerItem(new QSpacerItem(16, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    row->addWidget(m_largeFileMode);
    row->addWidget(m_readOnly);
    row->addWidget(m_bookmarks);
    row->addWidget(m_savedState);
    row->addWidget(m_language);
    row->addWidget(verticalDivider(this));
    row->addWidget(m_encoding);
    row->addWidget(m_lineEnding);

    m_order = {m_cursor,    m_lines,      m_characters, m_selection, m_largeFileMode, m_readOnly,
               m_bookmarks, m_savedState, m_language,   m_encoding,  m_lineEnding};
    for (QWidget* optional :
         {static_cast<QWidget*>(m_selection), static_cast<QWidget*>(m_largeFileMode),
          static_cast<QWidget*>(m_readOnly), static_cast<QWidget*>(m_bookmarks)})
        optional->setVisible(false);
    apply(statusBarTexts(StatusBarValues{}));
}

void StatusBarView::setValues(const StatusBarValues& values) {
    apply(statusBarTexts(values));
}

void StatusBarView::apply(const StatusBarTexts& texts) {
    if (m_hasTexts && texts == m_texts)
        return;
    m_texts = texts;
    m_hasTexts = true;
    m_cursor->setText(texts.cursor);
    setLabel(m_lines, texts.lines);
    setLabel(m_characters, texts.characters);
    setLabel(m_selection, texts.selection.value_or(QString()));
    m_selection->setVisible(texts.selection.has_value());
    m_largeFileMode->setText(texts.largeFileMode.value_or(QString()));
    m_largeFileMode->setVisible(texts.largeFileMode.has_value());
    m_readOnly->setText(texts.readOnly.value_or(QString()));
    m_readOnly->setVisible(texts.readOnly.has_value());
    m_bookmarks->setText(texts.bookmarks.value_or(QString()));
    m_bookmarks->setVisible(texts.bookmarks.has_value());
    setLabel(m_savedState, texts.savedState);
    setLabel(m_language, texts.language);
    setLabel(m_encoding, texts.encoding);
    setLabel(m_lineEnding, texts.lineEnding);
}

QStringList StatusBarView::visibleItemTexts() const {
    QStringList result;
    for (QWidget* widget : m_order) {
        if (widget->isHidden())
            continue;
        if (auto* label = qobject_cast<ElidedLabel*>(widget))
            result << label->text();
        else if (auto* symbol = qobject_cast<StatusBarSymbolLabel*>(widget))
            result << symbol->text();
    }
    return result;
}

QStringList StatusBarView::displayedItemTexts() const {
    QStringList result;
    for (QWidget* widget : m_order) {
        if (widget->isHidden())
            continue;
        if (auto* label = qobject_cast<ElidedLabel*>(widget))
            result << label->displayedText();
        else if (auto* symbol = qobject_cast<StatusBarSymbolLabel*>(widget))
            result << symbol->displayedText();
    }
    return result;
}

void StatusBarView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), barMaterialColor(palette()));
}

} // namespace dunmoss
