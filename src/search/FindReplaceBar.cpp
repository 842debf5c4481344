#include "search/FindReplaceBar.h"

#include "editor/ElidedLabel.h"
#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"
#include "window/MenuShortcuts.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

// The fields' widths: they grow to the ideal ones while the status has room too.
constexpr int kQueryMinimumWidth = 140;
constexpr int kQueryIdealWidth = 240;
constexpr int kReplaceMinimumWidth = 120;
constexpr int kReplaceIdealWidth = 220;
// The first row shares its room in these proportions, each part keeping at least what it needs
// (the replace group holds the field and its three buttons).
constexpr int kQueryStretch = 3;
constexpr int kReplaceGroupStretch = 5;
constexpr int kStatusStretch = 3;
// The status's least width beside the replace controls, enough for a count of matches and most
// reports; with the replace controls in the second row it has all the first row's room left.
constexpr int kWideStatusWidth = 220;
constexpr int kCompactStatusWidth = 90;

void run(const std::function<void()>& action) {
    if (action)
        action();
}

QFont captionFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(std::max<qreal>(base.pointSizeF() - 2.0, 7.0));
    return font;
}

} // namespace

FindReplaceBar::FindReplaceBar(FindReplaceBarActions actions, QWidget* parent)
    : QWidget(parent), m_actions(std::move(actions)) {
    setObjectName(QStringLiteral("findReplaceBar"));
    useBackgroundColor(this, barMaterialColor);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 8, 12, 8);
    column->setSpacing(6);
    m_firstRow = new QHBoxLayout;
    m_firstRow->setSpacing(8);
    column->addLayout(m_firstRow);
    QHBoxLayout* first = m_firstRow;

    auto* icon = new QLabel(this);
    useSymbol(icon, QStringLiteral("magnifyingglass"), 14, secondaryLabelColor);
    first->addWidget(icon);

    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("findQueryField"));
    m_query->setPlaceholderText(l("find.query.placeholder"));
    m_query->setMinimumWidth(kQueryMinimumWidth);
    m_query->setMaximumWidth(kQueryIdealWidth);
    m_query->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_query->installEventFilter(this);
    connect(m_query, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_actions.setQuery)
            m_actions.setQuery(text);
    });
    connect(m_query, &QLineEdit::returnPressed, this, [this] { run(m_actions.findNext); });
    first->addWidget(m_query, kQueryStretch);

    const auto historyButton = [](const char* labelKey, QMenu*& menu, QWidget* parent) {
        auto* button = new QToolButton(parent);
        button->setAutoRaise(true);
        useSymbol(button, QStringLiteral("clock"), 16, secondaryLabelColor);
        button->setToolTip(l(labelKey));
        button->setAccessibleName(l(labelKey));
        button->setPopupMode(QToolButton::InstantPopup);
        menu = new QMenu(button);
        button->setMenu(menu);
        return button;
    };
    first->addWidget(historyButton(lkey("find.history"), m_findHistoryMenu, this));

    const auto iconButton = [this](const char* titleKey, const char* symbol,
                                   const std::function<void()>* action) {
        auto* button = new QToolButton(this);
        useSymbol(button, QString::fromLatin1(symbol), 16, secondaryLabelColor);
        button->setToolTip(l(titleKey));
        button->setAccessibleName(l(titleKey));
        connect(button, &QToolButton::clicked, this, [action] { run(*action); });
        return button;
    };
    first->addWidget(iconButton(lkey("find.previous"), "chevron.up", &m_actions.findPrevious));
    first->addWidget(iconButton(lkey("find.next"), "chevron.down", &m_actions.findNext));

    // Tool buttons and narrower field minimums than a roomier desktop would use, so the rows fit
    // the window's smallest width.
    const auto textButton = [this](const char* key, const std::function<void()>* action,
                                   QWidget* parent) {
        auto* button = new QToolButton(parent);
        button->setText(l(key));
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        connect(button, &QToolButton::clicked, this, [action] { run(*action); });
        return button;
    };
    first->addWidget(textButton(lkey("find.all"), &m_actions.findAll, this));
    first->addWidget(
        textButton(lkey("find.open-documents"), &m_actions.findAllOpenDocuments, this));
    first->addWidget(textButton(lkey("find.mark-all"), &m_actions.markAll, this));
    first->addWidget(textButton(lkey("find.select-all"), &m_actions.selectAllMatches, this));

    // The replace controls: in the first row while it has room for them and the status, else at
    // the head of the second.
    m_replaceGroup = new QWidget(this);
    m_replaceGroup->setObjectName(QStringLiteral("findReplaceGroup"));
    auto* group = new QHBoxLayout(m_replaceGroup);
    group->setContentsMargins(0, 0, 0, 0);
    group->setSpacing(8);
    m_groupDivider = makeWindowDivider(Qt::Vertical, m_replaceGroup);
    m_groupDivider->setFixedHeight(18);
    group->addWidget(m_groupDivider);
    m_replace = new QLineEdit(m_replaceGroup);
    m_replace->setObjectName(QStringLiteral("findReplaceField"));
    m_replace->setPlaceholderText(l("find.replace.placeholder"));
    m_replace->setMinimumWidth(kReplaceMinimumWidth);
    m_replace->setMaximumWidth(kReplaceIdealWidth);
    m_replace->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_replace->installEventFilter(this);
    connect(m_replace, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_actions.setReplaceText)
            m_actions.setReplaceText(text);
    });
    group->addWidget(m_replace, 1);
    group->addWidget(
        historyButton(lkey("find.replace-history"), m_replaceHistoryMenu, m_replaceGroup));
    group->addWidget(textButton(lkey("find.replace"), &m_actions.replace, m_replaceGroup));
    group->addWidget(textButton(lkey("find.replace-all"), &m_actions.replaceAll, m_replaceGroup));
    m_replaceGroup->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    first->addWidget(m_replaceGroup, kReplaceGroupStretch);
    m_compactDivider = makeWindowDivider(Qt::Vertical, this);
    m_compactDivider->setFixedHeight(18);
    m_compactDivider->hide();

    m_status = new ElidedLabel(this);
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setFont(captionFont(font()));
    m_status->setMinimumWidth(kWideStatusWidth);
    m_status->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    useSecondaryTextColor(m_status);
    first->addWidget(m_status, kStatusStretch);
    first->addSpacing(8);
    QToolButton* close = makeCloseSymbolButton(l("find.close"), this);
    connect(close, &QToolButton::clicked, this, [this] { run(m_actions.close); });
    first->addWidget(close);

    auto* second = new QHBoxLayout;
    second->setSpacing(12);
    column->addLayout(second);
    m_secondRow = second;
    const auto toggle = [this, second](const char* key) {
        auto* box = new QCheckBox(l(key), this);
        box->setFont(captionFont(font()));
        connect(box, &QCheckBox::toggled, this, [this] { writeOptions(); });
        second->addWidget(box);
        return box;
    };
    m_regex = toggle(lkey("find.regex"));
    m_caseSensitive = toggle(lkey("find.case-sensitive"));
    m_wholeWord = toggle(lkey("find.whole-word"));
    second->addStretch(1);

    // Active while the bar is on screen: a hidden bar's shortcuts do not fire. Recorded with
    // the menus' keys so the settings window lists them as bound here.
    const QKeySequence nextKeys(Qt::CTRL | Qt::Key_G);
    const QKeySequence previousKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_G);
    MenuShortcuts::record(QStringLiteral("find.next"), nextKeys);
    MenuShortcuts::record(QStringLiteral("find.previous"), previousKeys);
    auto* next = new QShortcut(nextKeys, this);
    next->setContext(Qt::WindowShortcut);
    connect(next, &QShortcut::activated, this, [this] {
        if (isVisible())
            run(m_actions.findNext);
    });
    auto* previous = new QShortcut(previousKeys, this);
    previous->setContext(Qt::WindowShortcut);
    connect(previous, &QShortcut::activated, this, [this] {
        if (isVisible())
            run(m_actions.findPrevious);
    });

    refresh(FindState{}, QString());
}

int FindReplaceBar::wideWidth() const {
    const QMargins margins = layout()->contentsMargins();
    int width = margins.left() + margins.right();
    int items = 0;
    for (int i = 0; i < m_firstRow->count(); ++i) {
        QLayoutItem* item = m_firstRow->itemAt(i);
        width += item->widget() == m_status ? kWideStatusWidth : item->minimumSize().width();
        ++items;
    }
    if (m_compact) {
        // Measured without the divider it hides in the second row.
        width += m_replaceGroup->minimumSizeHint().width() + m_groupDivider->width() +
                 m_replaceGroup->layout()->spacing();
        ++items;
    }
    return width + m_firstRow->spacing() * (items - 1);
}

void FindReplaceBar::capReplaceGroup() {
    // The replace controls grow no wider than with the field at its ideal width: the rest of a
    // wide row goes to the status, so a long report (an expression's error) shows whole.
    QLayout* group = m_replaceGroup->layout();
    int width = 0;
    int items = 0;
    for (int i = 0; i < group->count(); ++i) {
        QLayoutItem* item = group->itemAt(i);
        if (item->isEmpty())
            continue;
        width += item->widget() == m_replace ? kReplaceIdealWidth : item->sizeHint().width();
        ++items;
    }
    m_replaceGroup->setMaximumWidth(width + group->spacing() * std::max(items - 1, 0));
}

void FindReplaceBar::arrangeRows() {
    capReplaceGroup();
    const bool compact = width() < wideWidth();
    if (compact == m_compact)
        return;
    m_compact = compact;
    m_status->setMinimumWidth(compact ? kCompactStatusWidth : kWideStatusWidth);
    if (compact) {
        m_firstRow->removeWidget(m_replaceGroup);
        m_groupDivider->hide();
        m_secondRow->insertWidget(0, m_replaceGroup);
        m_secondRow->insertWidget(1, m_compactDivider);
        m_compactDivider->show();
    } else {
        m_secondRow->removeWidget(m_replaceGroup);
        m_secondRow->removeWidget(m_compactDivider);
        m_compactDivider->hide();
        m_groupDivider->show();
        m_firstRow->insertWidget(m_firstRow->indexOf(m_status), m_replaceGroup,
                                 kReplaceGroupStretch);
    }
    capReplaceGroup();
}

bool FindReplaceBar::isCompact() const {
    return m_compact;
}

void FindReplaceBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrangeRows();
}

void FindReplaceBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    arrangeRows();
}

QWidget* FindReplaceBar::statusLabel() const {
    return m_status;
}

QString FindReplaceBar::statusText() const {
    return m_status->text();
}

void FindReplaceBar::writeOptions() {
    if (m_updating || !m_actions.setOptions)
        return;
    m_actions.setOptions(TextSearchOptions{m_regex->isChecked(), m_caseSensitive->isChecked(),
                                           m_wholeWord->isChecked()});
}

void FindReplaceBar::reportFocus(std::optional<FindField> field) {
    if (m_updating || field == m_focused)
        return;
    m_focused = field;
    if (m_actions.setFocusedField)
        m_actions.setFocusedField(field);
}

bool FindReplaceBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_query || watched == m_replace) {
        const FindField field = watched == m_query ? FindField::Query : FindField::Replace;
        if (event->type() == QEvent::FocusIn) {
            reportFocus(field);
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            // A menu or another window taking the keyboard for a moment is no move away.
            QWidget* next = QApplication::focusWidget();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
                next != m_query && next != m_replace)
                reportFocus(std::nullopt);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindReplaceBar::refreshHistoryMenu(QMenu* menu, const QStringList& entries,
                                        const std::function<void(const QString&)>& choose) {
    if (menu->property("entries").toStringList() == entries && !menu->actions().isEmpty())
        return;
    menu->clear();
    menu->setProperty("entries", entries);
    if (entries.isEmpty()) {
        menu->addAction(l("find.history.empty"))->setEnabled(false);
        return;
    }
    for (const QString& entry : entries) {
        QAction* action = menu->addAction(literalMnemonicText(entry));
        action->setData(entry);
        connect(action, &QAction::triggered, this, [choose, entry] {
            if (choose)
                choose(entry);
        });
    }
}

void FindReplaceBar::refresh(const FindState& find, const QString& message) {
    m_updating = true;
    if (m_query->text() != find.findQuery)
        m_query->setText(find.findQuery);
    if (m_replace->text() != find.replaceText)
        m_replace->setText(find.replaceText);
    m_regex->setChecked(find.findOptions.isRegex);
    m_caseSensitive->setChecked(find.findOptions.isCaseSensitive);
    m_wholeWord->setChecked(find.findOptions.isWholeWord);
    refreshHistoryMenu(m_findHistoryMenu, find.findHistory, m_actions.selectFindHistory);
    refreshHistoryMenu(m_replaceHistoryMenu, find.replaceHistory, m_actions.selectReplaceHistory);
    m_status->setText(message);
    // A text cut short at the bar's width (a long expression's error) reads whole here.
    m_status->setToolTip(literalToolTip(message));
    m_focused = find.focusedFindField;
    if (isVisible() && find.focusedFindField) {
        QLineEdit* field = *find.focusedFindField == FindField::Query ? m_query : m_replace;
        if (!field->hasFocus())
            field->setFocus(Qt::OtherFocusReason);
    }
    m_updating = false;
}

} // namespace dunmoss
