#include "app/PrivacyPolicyView.h"

#include "editor/IconTable.h"
#include "platform/Localization.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

QLabel* wrapped(const QString& content) {
    auto* label = new QLabel(content);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

PrivacyPolicyView::PrivacyPolicyView(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("privacyPolicy"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(text(lkey("privacy.title")));
    setFixedSize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    auto* icon = new QLabel;
    icon->setPixmap(
        symbolIcon(QStringLiteral("hand.raised.fill"), palette().color(QPalette::WindowText), 22)
            .pixmap(22, 22));
    auto* title = new QLabel(text(lkey("privacy.title")));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    header->addWidget(icon);
    header->addSpacing(6);
    header->addWidget(title);
    header->addStretch(1);
    auto* done = new QPushButton(text(lkey("privacy.done")));
    done->setObjectName(QStringLiteral("privacyDone"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    header->addWidget(done);
    layout->addLayout(header);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    layout->addWidget(divider);

    auto* statement = new QWidget;
    auto* column = new QVBoxLayout(statement);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(22);
    auto* updated = wrapped(text(lkey("privacy.updated")));
    QFont caption = updated->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    updated->setFont(caption);
    useSecondaryTextColor(updated);
    column->addWidget(updated);
    column->addWidget(wrapped(text(lkey("privacy.introduction"))));
    const std::pair<const char*, const char*> sections[] = {
        {lkey("privacy.collection.title"), lkey("privacy.collection.body")},
        {lkey("privacy.files.title"), lkey("privacy.files.body")},
        {lkey("privacy.network.title"), lkey("privacy.network.body")},
        {lkey("privacy.storage.title"), lkey("privacy.storage.body")},
        {lkey("privacy.contact.title"), lkey("privacy.contact.body")},
    };
    for (const auto& [titleKey, bodyKey] : sections) {
        auto* section = new QVBoxLayout;
        section->setSpacing(7);
        auto* heading = wrapped(text(titleKey));
        QFont headline = heading->font();
        headline.setWeight(QFont::DemiBold);
        heading->setFont(headline);
        auto* body = wrapped(text(bodyKey));
        useSecondaryTextColor(body);
        section->addWidget(heading);
        section->addWidget(body);
        column->addLayout(section);
    }
    column->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("privacyStatement"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setWidget(statement);
    layout->addWidget(scroll, 1);
}

} // namespace dunmoss
