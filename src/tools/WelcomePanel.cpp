#include "tools/WelcomePanel.h"

#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "editor/WindowDivider.h"
#include "platform/Localization.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QLabel* heading(const QString& key, QWidget* parent) {
    auto* label = new QLabel(localizedString(key), parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    useSecondaryTextColor(label);
    return label;
}

QPixmap roundedIcon(int size, qreal ratio) {
    QPixmap source = QApplication::windowIcon().pixmap(QSize(size, size), ratio);
    // Without an application icon (tests, an uninstalled build) the document symbol stands in.
    if (source.isNull())
        source =
            symbolPixmap(QStringLiteral("doc.richtext"), size, QColor(0x8e, 0x8e, 0x93), ratio);
    QPixmap rounded(source.size());
    rounded.setDevicePixelRatio(source.devicePixelRatio());
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, size, size), 8, 8);
    painter.setClipPath(clip);
    painter.drawPixmap(0, 0, source);
    return rounded;
}

// A start action: symbol and title, semibold, on the control background in a rounded shape.
QPushButton* actionButton(const QString& titleKey, const QString& symbol, QWidget* parent) {
    auto* button = new QPushButton(localizedString(titleKey), parent);
    useSymbol(button, symbol, 16, buttonLabelColor);
    button->setObjectName(QStringLiteral("welcome.") + titleKey);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    QFont font = button->font();
    font.setWeight(QFont::DemiBold);
    button->setFont(font);
    // A style sheet reads the palette once: it is written again for every new palette.
    followPalette(button, [button] {
        const QPalette palette = inheritedPalette(button);
        const QString sheet =
            QStringLiteral("QPushButton { text-align: left; padding: 8px 10px; border-radius: 6px; "
                           "background: %1; color: %2; } QPushButton:hover { background: %3; }")
                .arg(palette.color(QPalette::Button).name(QColor::HexArgb),
                     palette.color(QPalette::ButtonText).name(QColor::HexArgb),
                     palette.color(QPalette::Midlight).name(QColor::HexArgb));
        if (button->styleSheet() != sheet)
            button->setStyleSheet(sheet);
    });
    return button;
}

// A recent file: its name over its folder's path, each on one line.
QPushButton* recentRow(const QUrl& url, QWidget* parent) {
    auto* row = new QPushButton(parent);
    row->setFlat(true);
    row->setCursor(Qt::PointingHandCursor);
    row->setToolTip(literalToolTip(url.path()));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(8, 7, 8, 7);
    layout->setSpacing(10);
    auto* symbol = new QLabel(row);
    symbol->setFixedWidth(20);
    symbol->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    useSymbol(symbol, QStringLiteral("doc.text"), 16, secondaryLabelColor);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    const QString path = url.path();
    auto* name = new QLabel(QFileInfo(path).fileName(), row);
    name->setTextFormat(Qt::PlainText);
    auto* folder = new QLabel(row);
    folder->setTextFormat(Qt::PlainText);
    QFont caption = folder->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    folder->setFont(caption);
    useSecondaryTextColor(folder);
    const QString folderPath = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    folder->setText(folder->fontMetrics().elidedText(folderPath, Qt::ElideMiddle, 420));
    name->setAttribute(Qt::WA_TransparentForMouseEvents);
    folder->setAttribute(Qt::WA_TransparentForMouseEvents);
    symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    texts->addWidget(name);
    texts->addWidget(folder);
    layout->addWidget(symbol);
    layout->addLayout(texts, 1);
    row->setMinimumHeight(name->sizeHint().height() + folder->sizeHint().height() + 16);
    return row;
}

} // namespace

WelcomePanel::WelcomePanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("welcomePanel"));
    setFocusPolicy(Qt::StrongFocus);
    useBackgroundColor(this, baseColor);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(22, 18, 22, 18);
    header->setSpacing(12);
    auto* icon = new QLabel(this);
    icon->setFixedSize(36, 36);
    icon->setPixmap(roundedIcon(36, devicePixelRatioF()));
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new QLabel(localizedString(QStringLiteral("welcome.title")), this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    auto* subtitle = new QLabel(localizedString(QStringLiteral("welcome.subtitle")), this);
    QFont captionFont = subtitle->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.9);
    subtitle->setFont(captionFont);
    useSecondaryTextColor(subtitle);
    titles->addWidget(title);
    titles->addWidget(subtitle);
    auto* closeButton = new QToolButton(this);
    closeButton->setObjectName(QStringLiteral("welcomeClose"));
    closeButton->setAutoRaise(true);
    useSymbol(closeButton, QStringLiteral("xmark"), 16, secondaryLabelColor);
    closeButton->setToolTip(localizedString(QStringLiteral("find.close")));
    closeButton->setAccessibleName(closeButton->toolTip());
    header->addWidget(icon);
    header->addLayout(titles);
    header->addStretch(1);
    header->addWidget(closeButton, 0, Qt::AlignTop);
    column->addLayout(header);
    column->addWidget(makeWindowDivider(Qt::Horizontal, this));

    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    // The start actions scroll rather than squeeze when panels above leave little height.
    auto* startScroll = new QScrollArea(this);
    startScroll->setFrameShape(QFrame::NoFrame);
    startScroll->setWidgetResizable(true);
    startScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    startScroll->setFixedWidth(260);
    // Tab walks from button to button; a scroll area in the chain would swallow a Return.
    startScroll->setFocusPolicy(Qt::NoFocus);
    auto* start = new QWidget(startScroll);
    auto* startColumn = new QVBoxLayout(start);
    startColumn->setContentsMargins(22, 22, 22, 22);
    startColumn->setSpacing(14);
    startColumn->addWidget(heading(QStringLiteral("welcome.start"), start));
    struct Action {
        const char* key;
        const char* symbol;
        std::function<void()> WelcomePanel::*action;
    };
    const Action actions[] = {
        {"command.new", "doc.badge.plus", &WelcomePanel::newDocument},
        {"command.open", "folder", &WelcomePanel::openDocument},
        {"workspace.open", "folder.badge.plus", &WelcomePanel::openWorkspace},
        {"command.command-palette", "command", &WelcomePanel::commandPalette},
        {"tools.toolbox", "wand.and.sparkles", &WelcomePanel::textToolbox},
    };
    for (const Action& action : actions) {
        QPushButton* button = actionButton(QString::fromLatin1(action.key),
                                           QString::fromLatin1(action.symbol), start);
        const auto member = action.action;
        connect(button, &QPushButton::clicked, this, [this, member] {
            if (this->*member)
                (this->*member)();
        });
        startColumn->addWidget(button);
    }
    startColumn->addStretch(1);
    startScroll->setWidget(start);
    row->addWidget(startScroll);
    row->addWidget(makeWindowDivider(Qt::Vertical, this));

    auto* recent = new QWidget(this);
    auto* recentColumn = new QVBoxLayout(recent);
    recentColumn->setContentsMargins(22, 22, 22, 22);
    recentColumn->setSpacing(12);
    recentColumn->addWidget(heading(QStringLiteral("command.recent"), recent));
    m_recentBody = new QStackedWidget(recent);
    auto* emptyLabel = new QWidget(m_recentBody);
    auto* emptyRow = new QHBoxLayout(emptyLabel);
    emptyRow->setContentsMargins(0, 8, 0, 8);
    auto* clock = new QLabel(emptyLabel);
    useSymbol(clock, QStringLiteral("clock"), 16, secondaryLabelColor);
    auto* emptyText = new QLabel(localizedString(QStringLiteral("recent.empty")), emptyLabel);
    emptyText->setObjectName(QStringLiteral("welcomeRecentEmpty"));
    useSecondaryTextColor(emptyText);
    emptyRow->addWidget(clock);
    emptyRow->addWidget(emptyText, 1);
    auto* emptyPage = new QWidget(m_recentBody);
    auto* emptyPageColumn = new QVBoxLayout(emptyPage);
    emptyPageColumn->setContentsMargins(0, 0, 0, 0);
    emptyPageColumn->addWidget(emptyLabel);
    emptyPageColumn->addStretch(1);
    auto* scroll = new QScrollArea(m_recentBody);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    auto* rows = new QWidget(scroll);
    m_recentRows = new QVBoxLayout(rows);
    m_recentRows->setContentsMargins(0, 0, 0, 0);
    m_recentRows->setSpacing(2);
    m_recentRows->addStretch(1);
    scroll->setWidget(rows);
    m_recentBody->addWidget(emptyPage);
    m_recentBody->addWidget(scroll);
    recentColumn->addWidget(m_recentBody, 1);
    row->addWidget(recent, 1);
    column->addLayout(row, 1);

    connect(closeButton, &QToolButton::clicked, this, [this] {
        if (close)
            close();
    });
}

void WelcomePanel::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Outside a dialog a button leaves Return to its parent: here it presses the button chosen.
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        enter && button && isAncestorOf(button)) {
        button->animateClick();
        event->accept();
        return;
    }
    // Shortcuts and navigation keep their meaning; Space on a button never gets here.
    const bool command =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QString text = event->text();
    const bool types = !text.isEmpty() && (text.at(0).isPrint() || enter);
    if (command || !types || !startTyping) {
        QWidget::keyPressEvent(event);
        return;
    }
    startTyping(*event);
    event->accept();
}

void WelcomePanel::setRecentFiles(const QList<QUrl>& urls) {
    if (urls == m_recent && !m_rowsBehind && (m_recentBody->currentIndex() == 1) == !urls.isEmpty())
        return;
    m_recent = urls;
    m_rowsBehind = true;
    if (isVisible())
        makeRecentRows();
}

void WelcomePanel::showEvent(QShowEvent* event) {
    if (m_rowsBehind)
        makeRecentRows();
    QWidget::showEvent(event);
}

void WelcomePanel::makeRecentRows() {
    m_rowsBehind = false;
    while (m_recentRows->count() > 1) {
        QLayoutItem* item = m_recentRows->takeAt(0);
        delete item->widget();
        delete item;
    }
    for (int i = 0; i < m_recent.size(); ++i) {
        const QUrl url = m_recent.at(i);
        QPushButton* row = recentRow(url, m_recentRows->parentWidget());
        row->setObjectName(QStringLiteral("welcomeRecent%1").arg(i));
        connect(row, &QPushButton::clicked, this, [this, url] {
            if (openRecent)
                openRecent(url);
        });
        m_recentRows->insertWidget(i, row);
    }
    m_recentBody->setCurrentIndex(m_recent.isEmpty() ? 0 : 1);
}

} // namespace dunmoss
