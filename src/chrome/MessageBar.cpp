#include "chrome/MessageBar.h"

#include "chrome/StatusBarView.h"
#include "editor/IconTable.h"
#include "platform/Localization.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace dunmoss {

namespace {

// What a row shows; a row whose look is unchanged keeps its widgets (and the pointer over them).
bool sameLook(const MessageBarEntry& a, const MessageBarEntry& b) {
    if (a.key != b.key || a.text != b.text || a.buttons.size() != b.buttons.size())
        return false;
    for (qsizetype i = 0; i < a.buttons.size(); ++i)
        if (a.buttons.at(i).title != b.buttons.at(i).title)
            return false;
    return true;
}

} // namespace

MessageBar::MessageBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("messageBar"));
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    m_column = new QVBoxLayout(this);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
}

void MessageBar::setEntries(const QList<MessageBarEntry>& entries) {
    bool unchanged = entries.size() == m_entries.size();
    for (qsizetype i = 0; unchanged && i < entries.size(); ++i)
        unchanged = sameLook(entries.at(i), m_entries.at(i));
    // The buttons call the entries' current actions, so unchanged rows need nothing more.
    m_entries = entries;
    if (unchanged)
        return;
    // A row may be the one whose button is being clicked: it goes once the click is over.
    for (QWidget* row : std::as_const(m_rows)) {
        row->hide();
        m_column->removeWidget(row);
        row->deleteLater();
    }
    m_rows.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        QWidget* row = makeRow(int(i), m_entries.at(i));
        m_column->addWidget(row);
        m_rows.append(row);
    }
}

QWidget* MessageBar::makeRow(int index, const MessageBarEntry& entry) {
    auto* row = new QWidget(this);
    row->setFocusPolicy(Qt::NoFocus);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(12, 6, 12, 6);
    line->setSpacing(10);

    auto* symbol = new QLabel(row);
    const int size = qMax(12, fontMetrics().height());
    symbol->setPixmap(symbolPixmap(QStringLiteral("exclamationmark.triangle"), size, systemOrange(),
                                   devicePixelRatioF()));
    auto* text = new QLabel(entry.text, row);
    text->setObjectName(QStringLiteral("messageBarText"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    applyCaptionStyle(text);
    line->addWidget(symbol, 0, Qt::AlignVCenter);
    line->addWidget(text, 1, Qt::AlignVCenter);

    const auto act = [this, index](auto pick) {
        // The entry as it is now: the bar may have been given new actions since it was built.
        if (index < m_entries.size())
            pick(m_entries.at(index));
    };
    for (qsizetype b = 0; b < entry.buttons.size(); ++b) {
        auto* button = new QPushButton(entry.buttons.at(b).title, row);
        // Only a click answers: the keyboard stays where the person was typing.
        button->setFocusPolicy(Qt::NoFocus);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [act, b] {
            act([b](const MessageBarEntry& current) {
                if (b < current.buttons.size() && current.buttons.at(b).action)
                    current.buttons.at(b).action();
            });
        });
        line->addWidget(button, 0, Qt::AlignVCenter);
    }
    QToolButton* close =
        makeCloseSymbolButton(localizedString(QStringLiteral("window.message-bar.close")), row);
    connect(close, &QToolButton::clicked, this, [act] {
        act([](const MessageBarEntry& current) {
            if (current.dismiss)
                current.dismiss();
        });
    });
    line->addWidget(close, 0, Qt::AlignVCenter);
    return row;
}

namespace {

int windowWidth(const QWidget* bar) {
    return bar->parentWidget() ? bar->parentWidget()->width() : bar->width();
}

} // namespace

QSize MessageBar::sizeHint() const {
    QSize hint = QWidget::sizeHint();
    if (!m_entries.isEmpty() && hasHeightForWidth())
        hint.setHeight(heightForWidth(windowWidth(this)));
    return hint;
}

int MessageBar::oneLineHeight() const {
    MessageBar probe(parentWidget());
    probe.setAttribute(Qt::WA_DontShowOnScreen);
    probe.hide();
    probe.setEntries(
        {{QStringLiteral("probe"), QStringLiteral("X"), {{QStringLiteral("X"), {}}}, [] {}}});
    return probe.sizeHint().height();
}

QStringList MessageBar::texts() const {
    QStringList out;
    for (const MessageBarEntry& entry : m_entries)
        out.append(entry.text);
    return out;
}

QList<QAbstractButton*> MessageBar::buttons(int message) const {
    if (message < 0 || message >= m_rows.size())
        return {};
    return m_rows.at(message)->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
}

void MessageBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QColor tint = systemOrange();
    tint.setAlphaF(0.10);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(rect(), tint);
}

} // namespace dunmoss
