#include "chrome/HeaderView.h"

#include "chrome/ToolbarPopover.h"
#include "editor/ElidedLabel.h"
#include "editor/IconTable.h"
#include "platform/Localization.h"
#include "window/HeaderChoicePopovers.h"
#include "window/ToolsPopover.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

constexpr int kControlSymbol = 16;
constexpr int kDocumentSymbol = 20;
const QColor kBadgeRed(255, 59, 48);

QFont adjustedFont(QFont font, qreal delta, QFont::Weight weight = QFont::Normal) {
    font.setPointSizeF(qMax(7.0, font.pointSizeF() + delta));
    font.setWeight(weight);
    return font;
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// Whether every value the popovers read is the same.
bool sameForPopovers(const HeaderValues& a, const HeaderValues& b) {
    return a.themeRawValue == b.themeRawValue && a.autoSaveEnabled == b.autoSaveEnabled &&
           a.wordWrapEnabled == b.wordWrapEnabled &&
           a.showInvisiblesEnabled == b.showInvisiblesEnabled &&
           a.alwaysOnTopEnabled == b.alwaysOnTopEnabled && a.recentFiles == b.recentFiles &&
           a.isRecordingMacro == b.isRecordingMacro && a.tab.id == b.tab.id &&
           a.tab.fileURL == b.tab.fileURL && a.tab.languageOverride == b.tab.languageOverride &&
           a.tab.document.encoding == b.tab.document.encoding &&
           a.tab.document.lineEnding == b.tab.document.lineEnding;
}

const char* const kSymbolProperty = "headerSymbol";
const char* const kTitleKeyProperty = "headerTitleKey";

} // namespace

HeaderView::HeaderView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("headerView"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(16, 10, 16, 10);
    row->setSpacing(12);

    m_documentIcon = new QLabel(this);
    m_documentIcon->setObjectName(QStringLiteral("documentIcon"));
    row->addWidget(m_documentIcon);

    // The title block: name and badges over the folder; both lines end in an ellipsis when the
    // bar is short of room.
    auto* titleBlock = new QWidget(this);
    auto* titleColumn = new QVBoxLayout(titleBlock);
    titleColumn->setContentsMargins(0, 0, 0, 0);
    titleColumn->setSpacing(2);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    m_title = new ElidedLabel(titleBlock);
    m_title->setObjectName(QStringLiteral("headerTitle"));
    m_title->setFont(adjustedFont(m_title->font(), 0.5, QFont::DemiBold));
    m_unsavedBadge = new QLabel(titleBlock);
    m_unsavedBadge->setObjectName(QStringLiteral("unsavedBadge"));
    m_externalBadge = new QLabel(titleBlock);
    m_externalBadge->setObjectName(QStringLiteral("externalChangeBadge"));
    for (QLabel* badge : {m_unsavedBadge, m_externalBadge}) {
        badge->setFont(adjustedFont(badge->font(), -1.5));
        badge->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        badge->hide();
    }
    titleRow->addWidget(m_title, 0);
    titleRow->addWidget(m_unsavedBadge);
    titleRow->addWidget(m_externalBadge);
    titleRow->addStretch(1);
    m_folder = new ElidedLabel(titleBlock);
    m_folder->setObjectName(QStringLiteral("headerFolder"));
    m_folder->setFont(adjustedFont(m_folder->font(), -1.5));
    titleColumn->addLayout(titleRow);
    titleColumn->addWidget(m_folder);
    titleBlock->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    titleBlock->setMinimumWidth(16);
    row->addWidget(titleBlock, 1);
    row->addSpacing(16);

    auto* controls = new QHBoxLayout;
    controls->setSpacing(6);
    addButton(controls, lkey("command.new"), "doc.badge.plus", &HeaderCommands::newDocument);
    addButton(controls, lkey("command.open"), "folder", &HeaderCommands::openDocument);
    addButton(controls, lkey("command.command-palette"), "command", &HeaderCommands::quickOpen);
    addTrigger(controls, Popover::Recent, lkey("command.recent"), "clock", 300);
    addTrigger(controls, Popover::Theme, lkey("theme.title"), "circle.lefthalf.filled", 230);
    addTrigger(controls, Popover::Language, lkey("language.title"), "curlybraces", 250);
    addTrigger(controls, Popover::Encoding, lkey("encoding.title"), "character.cursor.ibeam", 240);
    addTrigger(controls, Popover::Tools, lkey("tools.title"), "wrench.and.screwdriver", 310);
    addButton(controls, lkey("command.save"), "square.and.arrow.down",
              &HeaderCommands::saveDocument);
    addButton(controls, lkey("command.reload"), "arrow.clockwise", &HeaderCommands::reloadDocument);
    addButton(controls, lkey("command.find"), "magnifyingglass", &HeaderCommands::showFind);
    addButton(controls, lkey("command.font-smaller"), "textformat.size.smaller",
              &HeaderCommands::decreaseFont);
    addButton(controls, lkey("command.font-larger"), "textformat.size.larger",
              &HeaderCommands::increaseFont);
    row->addLayout(controls);

    auto* language = new QHBoxLayout;
    language->setSpacing(4);
    m_languageIcon = new QLabel(this);
    m_languageLabel = new ElidedLabel(this);
    m_languageLabel->setObjectName(QStringLiteral("headerLanguage"));
    m_languageLabel->setFont(adjustedFont(m_languageLabel->font(), -0.5));
    m_languageLabel->setMaximumWidth(160);
    language->addWidget(m_languageIcon);
    language->addWidget(m_languageLabel);
    row->addLayout(language);

    m_fontSize = new QLabel(this);
    m_fontSize->setObjectName(QStringLiteral("headerFontSize"));
    m_fontSize->setFont(adjustedFont(m_fontSize->font(), -1.5));
    row->addWidget(m_fontSize);
    for (QWidget* label : {static_cast<QWidget*>(m_folder), static_cast<QWidget*>(m_languageLabel),
                           static_cast<QWidget*>(m_fontSize)})
        useSecondaryTextColor(label);

    applyPalette();
    setValues(m_values);
}

QToolButton* HeaderView::addButton(QHBoxLayout* row, const char* titleKey, const char* symbol,
                                   HeaderCommands::Action HeaderCommands::*command) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(titleKey));
    button->setProperty(kSymbolProperty, QString::fromLatin1(symbol));
    button->setProperty(kTitleKeyProperty, QString::fromLatin1(titleKey));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(kControlSymbol, kControlSymbol));
    // The keyboard stays in the text: a click, or the window's activation, never gives it to a
    // header control; the menus and the palette reach every command from the keyboard.
    button->setFocusPolicy(Qt::NoFocus);
    // Never disabled: the window's operation decides whether the command applies.
    connect(button, &QToolButton::clicked, this, [this, command] {
        const HeaderCommands::Action& action = m_commands.*command;
        if (action)
            action();
    });
    row->addWidget(button);
    m_controls.append(button);
    return button;
}

ToolbarPopoverTrigger* HeaderView::addTrigger(QHBoxLayout* row, Popover popover,
                                              const char* titleKey, const char* symbol, int width) {
    auto* trigger = new ToolbarPopoverTrigger(QString::fromLatin1(titleKey),
                                              QString::fromLatin1(symbol), width, this);
    trigger->isPresented = [this, popover] { return isShowingPopover(popover); };
    trigger->setPresented = [this, popover](bool shown) { setShowingPopover(popover, shown); };
    const auto close = [this, popover] { setShowingPopover(popover, false); };
    trigger->popoverContent = [this, popover, close]() -> ToolbarPopoverContent {
        switch (popover) {
        case Popover::Recent:
            return recentFilesPopoverContent(m_values, m_commands, close);
        case Popover::Theme:
            return themePopoverContent(m_values, m_commands, close);
        case Popover::Language:
            return languagePopoverContent(m_values, m_commands, close);
        case Popover::Encoding:
            return encodingPopoverContent(m_values, m_commands, close);
        case Popover::Tools:
            return toolsPopoverContent(m_values, m_commands, close);
        }
        return {};
    };
    m_triggers[index(popover)] = trigger;
    row->addWidget(trigger);
    m_controls.append(trigger);
    return trigger;
}

void HeaderView::setCommands(HeaderCommands commands) {
    m_commands = std::move(commands);
}

void HeaderView::setShowingPopover(Popover popover, bool shown) {
    if (m_showing[index(popover)] == shown)
        return;
    m_showing[index(popover)] = shown;
    m_triggers[index(popover)]->sync();
}

void HeaderView::setValues(const HeaderValues& values) {
    // An open popover is built again only when what it shows changed, so that a window update
    // that concerns none of its rows (a session save, say) keeps its rows and their focus.
    const bool popoversChanged = !sameForPopovers(m_values, values);
    m_values = values;
    const EditorTab& tab = m_values.tab;
    m_title->setText(headerTitle(tab));
    m_folder->setText(headerFolderLine(tab));
    m_unsavedBadge->setVisible(m_values.showsUnsavedBadge);
    m_externalBadge->setVisible(dunmoss::showsExternalChangeBadge(tab));
    m_languageLabel->setText(headerLanguageName(tab));
    m_fontSize->setText(headerFontSizeText(m_values.fontSize));
    // The lookups follow a change of the interface language at once.
    const QString language = rawValue(storedLanguagePreference());
    if (language != m_language) {
        m_language = language;
        retranslate();
    }
    if (popoversChanged || language != m_popoverLanguage) {
        m_popoverLanguage = language;
        for (ToolbarPopoverTrigger* trigger : m_triggers)
            if (trigger->popover() && trigger->popover()->isVisible())
                trigger->sync();
    }
}

void HeaderView::retranslate() {
    m_unsavedBadge->setText(localizedString(QStringLiteral("document.unsaved-badge")));
    m_externalBadge->setText(localizedString(QStringLiteral("document.external-change.badge")));
    for (QToolButton* control : m_controls) {
        if (auto* trigger = qobject_cast<ToolbarPopoverTrigger*>(control)) {
            trigger->retranslate();
            continue;
        }
        const QString title = localizedString(control->property(kTitleKeyProperty).toString());
        control->setToolTip(title);
        control->setAccessibleName(title);
    }
}

void HeaderView::applyPalette() {
    const QColor secondary = secondaryLabelColor(palette());
    const QColor primary = palette().color(QPalette::ButtonText);
    const qreal ratio = devicePixelRatioF();
    m_documentIcon->setPixmap(
        symbolPixmap(QStringLiteral("doc.text"), kDocumentSymbol, secondary, ratio));
    m_languageIcon->setPixmap(symbolPixmap(QStringLiteral("curlybraces"), 14, secondary, ratio));
    setTextColor(m_unsavedBadge, systemOrange());
    setTextColor(m_externalBadge, kBadgeRed);
    for (QToolButton* control : m_controls) {
        const QVariant symbol = control->property(kSymbolProperty);
        if (symbol.isValid())
            control->setIcon(symbolIcon(symbol.toString(), primary, kControlSymbol));
    }
}

void HeaderView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyPalette();
    else if (event->type() == QEvent::LanguageChange)
        retranslate();
}

void HeaderView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), barMaterialColor(palette()));
}

QString HeaderView::titleText() const {
    return m_title->text();
}

QString HeaderView::folderText() const {
    return m_folder->text();
}

bool HeaderView::showsUnsavedBadge() const {
    return !m_unsavedBadge->isHidden();
}

bool HeaderView::showsExternalChangeBadge() const {
    return !m_externalBadge->isHidden();
}

QString HeaderView::languageText() const {
    return m_languageLabel->text();
}

QString HeaderView::fontSizeText() const {
    return m_fontSize->text();
}

} // namespace dunmoss
