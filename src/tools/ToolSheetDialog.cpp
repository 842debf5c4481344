#include "tools/ToolSheetDialog.h"

#include "editor/IconTable.h"
#include "editor/PaletteFollowing.h"
#include "platform/Localization.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

constexpr int kSymbolColumnWidth = 26;

QFrame* makeDivider(QWidget* parent, int leadingInset = 0) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);
    line->setContentsMargins(leadingInset, 0, 0, 0);
    return line;
}

const char* const kEntryName = "toolSheetEntry";
const char* const kSecondaryProperty = "toolSheetSecondaryText";
const char* const kSymbolProperty = "toolSheetSymbol";

QLabel* makeLabel(const QString& text, QWidget* parent, qreal sizeFactor, bool semibold,
                  bool secondary) {
    auto* label = new QLabel(parent);
    // Snippet previews hold markup such as "<!doctype html>": shown as typed, never rendered.
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * sizeFactor);
    if (semibold)
        font.setWeight(QFont::DemiBold);
    label->setFont(font);
    // An entry's labels sit on a button with a style sheet, which passes no palette on: the
    // sheet colours them itself.
    const bool onEntry = parent->objectName() == QLatin1String(kEntryName);
    if (onEntry)
        label->setProperty(kSecondaryProperty, secondary);
    else if (secondary)
        useSecondaryTextColor(label);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

} // namespace

QString sheetTitle(QString menuTitle) {
    if (menuTitle.endsWith(u'\u2026'))
        menuTitle.chop(1);
    else if (menuTitle.endsWith(QLatin1String("...")))
        menuTitle.chop(3);
    return menuTitle.trimmed();
}

ToolSheetDialog::ToolSheetDialog(const QString& title, const QString& systemImage,
                                 const QList<ToolSheetSection>& sections, const Style& style,
                                 QWidget* parent)
    : QDialog(parent) {
    useParentWindowPalette(this);
    setWindowTitle(title);
    setFixedSize(style.size);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(16, 16, 16, 16);
    header->setSpacing(10);
    auto* symbol = new QLabel(this);
    useSymbol(symbol, systemImage, 18, labelColor);
    header->addWidget(symbol);
    QLabel* heading = makeLabel(title, this, 1.1, true, false);
    heading->setObjectName(QStringLiteral("toolSheetTitle"));
    header->addWidget(heading);
    header->addStretch(1);
    QToolButton* close = makeCloseSymbolButton(localizedString("find.close"), this);
    close->setAccessibleName(localizedString("find.close"));
    connect(close, &QToolButton::clicked, this, &QDialog::reject);
    header->addWidget(close);
    column->addLayout(header);
    column->addWidget(makeDivider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* list = new QWidget(scroll);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, style.sectionSpacing, 0, style.sectionSpacing);
    rows->setSpacing(style.sectionSpacing);
    int index = 0;
    for (const ToolSheetSection& section : sections) {
        auto* sectionColumn = new QVBoxLayout;
        sectionColumn->setSpacing(style.sectionSpacing > 0 ? 5 : 0);
        if (!section.title.isEmpty()) {
            QLabel* caption = makeLabel(section.title, list, 0.85, true, true);
            caption->setContentsMargins(16, 0, 16, 0);
            sectionColumn->addWidget(caption);
        }
        for (const ToolSheetEntry& entry : section.entries) {
            sectionColumn->addWidget(makeEntry(entry, index++, style.entryVerticalPadding));
            if (style.dividers)
                sectionColumn->addWidget(makeDivider(list, 54));
        }
        rows->addLayout(sectionColumn);
    }
    rows->addStretch(1);
    scroll->setWidget(list);
    column->addWidget(scroll, 1);
    followPalette(this, [this] { colourEntries(); });
}

QWidget* ToolSheetDialog::makeEntry(const ToolSheetEntry& entry, int index, int verticalPadding) {
    auto* button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(kEntryName));
    button->setFlat(true);
    button->setAutoDefault(true);
    button->setAccessibleName(entry.title);
    button->setCursor(Qt::PointingHandCursor);
    auto* row = new QHBoxLayout(button);
    row->setContentsMargins(16, verticalPadding, 16, verticalPadding);
    row->setSpacing(12);
    auto* symbol = new QLabel(button);
    symbol->setFixedWidth(kSymbolColumnWidth);
    symbol->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    symbol->setProperty(kSymbolProperty, entry.systemImage);
    symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    row->addWidget(symbol, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(makeLabel(entry.title, button, 1.0, true, false));
    QLabel* detail = makeLabel(entry.detail, button, 0.85, false, true);
    detail->setWordWrap(true);
    texts->addWidget(detail);
    if (!entry.preview.isEmpty()) {
        QLabel* preview = makeLabel(entry.preview, button, 0.85, false, true);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(preview->font().pointSizeF());
        preview->setFont(mono);
        preview->setWordWrap(true);
        texts->addWidget(preview);
    }
    row->addLayout(texts, 1);
    button->setMinimumHeight(row->sizeHint().height());
    connect(button, &QPushButton::clicked, this, [this, index] {
        m_chosen = index;
        accept();
    });
    m_entries.append(button);
    return button;
}

void ToolSheetDialog::colourEntries() {
    // A widget with a style sheet takes its colours from it, so they are written into it.
    const QPalette sheet = palette();
    const auto css = [](const QColor& c) {
        return QStringLiteral("rgba(%1, %2, %3, %4)")
            .arg(c.red())
            .arg(c.green())
            .arg(c.blue())
            .arg(c.alpha());
    };
    const QString style =
        QStringLiteral("QPushButton#%1 { border: none; border-radius: 6px; text-align: left; }"
                       "QPushButton#%1:hover, QPushButton#%1:focus { background: %2; }"
                       "QLabel { color: %3; } QLabel[%4=\"true\"] { color: %5; }")
            .arg(QString::fromLatin1(kEntryName), css(sheet.color(QPalette::Midlight)),
                 css(sheet.color(QPalette::WindowText)), QString::fromLatin1(kSecondaryProperty),
                 css(secondaryLabelColor(sheet)));
    for (QWidget* entry : std::as_const(m_entries)) {
        if (entry->styleSheet() != style)
            entry->setStyleSheet(style);
        for (QLabel* label : entry->findChildren<QLabel*>()) {
            const QString symbol = label->property(kSymbolProperty).toString();
            if (!symbol.isEmpty())
                label->setPixmap(
                    symbolPixmap(symbol, 20, secondaryLabelColor(sheet), devicePixelRatioF()));
        }
    }
}

void ToolSheetDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Return picks the focused entry: the first one to begin with.
    if (!m_entries.isEmpty() && !m_entries.contains(focusWidget()))
        m_entries.first()->setFocus(Qt::OtherFocusReason);
}

void ToolSheetDialog::keyPressEvent(QKeyEvent* event) {
    const qsizetype at = m_entries.indexOf(focusWidget());
    if (at >= 0 && (event->key() == Qt::Key_Down || event->key() == Qt::Key_Up)) {
        const qsizetype next = event->key() == Qt::Key_Down ? std::min(at + 1, m_entries.size() - 1)
                                                            : std::max<qsizetype>(at - 1, 0);
        m_entries.at(next)->setFocus(Qt::TabFocusReason);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace dunmoss
