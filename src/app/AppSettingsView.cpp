#include "app/AppSettingsView.h"

#include "app/PrivacyPolicyView.h"
#include "editor/IconTable.h"
#include "editor/LiteralText.h"
#include "editor/PaletteFollowing.h"
#include "platform/Defaults.h"
#include "text/EditorTheme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

// The tabs' symbols in the colour of their labels, again after every change of the palette.
void useTabSymbols(QTabWidget* tabs, QList<const char*> symbols) {
    followPalette(tabs, [tabs, symbols] {
        const QColor color = labelColor(inheritedPalette(tabs));
        for (int i = 0; i < symbols.size() && i < tabs->count(); ++i)
            tabs->setTabIcon(i, symbolIcon(QString::fromLatin1(symbols.at(i)), color));
    });
}

// A button with a symbol drawn in its label's colour.
QPushButton* symbolButton(const char* symbol, const QString& label) {
    auto* button = new QPushButton(label);
    useSymbol(button, QString::fromLatin1(symbol), 16, buttonLabelColor);
    return button;
}

QWidget* padded(QWidget* content, int margin) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(content);
    return page;
}

} // namespace

AppSettingsView::AppSettingsView(Defaults& defaults, QStringList processArguments,
                                 DefaultTextEditorAssociation* association, Relaunch relaunch,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), m_defaults(defaults), m_arguments(std::move(processArguments)),
      m_association(association), m_relaunch(std::move(relaunch)) {
    setObjectName(QStringLiteral("settingsWindow"));
    m_association->setParent(this);
    setFixedSize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    connect(m_association, &DefaultTextEditorAssociation::statusChanged, this,
            [this](DefaultTextFileAssociationStatus status) {
                m_fileAssociationStatus = status;
                showFileAssociationStatus();
            });
    connect(m_association, &DefaultTextEditorAssociation::registrationFinished, this,
            [this](std::optional<DefaultTextFileAssociationError> error) {
                if (error)
                    showAlert(QStringLiteral("fileAssociationError"),
                              text(lkey("settings.file-association.failed.title")),
                              error->localizedDescription());
                refreshFileAssociationStatus();
            });
    connect(&m_defaults, &Defaults::changed, this, [this] { refreshControls(); });
    // Closed as a dialog or a tab is.
    for (const QKeySequence::StandardKey key : {QKeySequence::Cancel, QKeySequence::Close}) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    rebuild();
    refreshFileAssociationStatus();
}

void AppSettingsView::rebuild() {
    m_rebuildScheduled = false;
    const int shown = m_tabs ? m_tabs->currentIndex() : 0;
    delete m_tabs;
    m_refreshers.clear();
    setWindowTitle(text(lkey("settings.title")));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("settingsTabs"));
    m_tabs->addTab(padded(buildGeneralTab(), 20), text(lkey("settings.general.title")));
    m_tabs->addTab(padded(buildLanguageTab(), 20), text(lkey("settings.language.title")));
    m_tabs->addTab(padded(buildEditorTab(), 20), text(lkey("settings.editor.title")));
    m_tabs->addTab(padded(buildShortcutsTab(), 12), text(lkey("settings.shortcuts.title")));
    useTabSymbols(m_tabs, {"gearshape", "globe", "text.cursor", "keyboard"});
    m_tabs->setCurrentIndex(shown);
    layout()->addWidget(m_tabs);
    showFileAssociationStatus();
}

void AppSettingsView::refreshControls() {
    for (const auto& refresh : m_refreshers)
        refresh();
}

QWidget* AppSettingsView::buildGeneralTab() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);

    auto* window = new QGroupBox(text(lkey("settings.window.title")));
    auto* windowRows = new QVBoxLayout(window);
    auto* onTop = new QCheckBox(text(lkey("window.always-on-top")));
    onTop->setObjectName(QStringLiteral("alwaysOnTop"));
    windowRows->addWidget(onTop);
    const auto readOnTop = [this, onTop] {
        const QSignalBlocker blocker(onTop);
        onTop->setChecked(alwaysOnTopEnabled(m_defaults, m_arguments));
    };
    readOnTop();
    m_refreshers.append(readOnTop);
    // setAlwaysOnTop stores the flag under the key the arguments choose and moves the windows.
    connect(onTop, &QCheckBox::toggled, this,
            [this](bool on) { setAlwaysOnTop(on, false, m_defaults, m_arguments); });
    column->addWidget(window);

    auto* association = new QGroupBox(text(lkey("settings.file-association.title")));
    auto* associationRows = new QVBoxLayout(association);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel(text(lkey("settings.file-association.status"))));
    statusRow->addStretch(1);
    m_associationStatusLabel = new QLabel;
    m_associationStatusLabel->setObjectName(QStringLiteral("fileAssociationStatus"));
    statusRow->addWidget(m_associationStatusLabel);
    associationRows->addLayout(statusRow);
    auto* buttons = new QHBoxLayout;
    auto* makeDefault =
        symbolButton("doc.text", text(lkey("settings.file-association.make-default")));
    makeDefault->setObjectName(QStringLiteral("makeDefault"));
    connect(makeDefault, &QPushButton::clicked, this, &AppSettingsView::confirmMakeDefault);
    auto* refresh =
        symbolButton("arrow.clockwise", text(lkey("settings.file-association.refresh")));
    refresh->setObjectName(QStringLiteral("refreshAssociation"));
    connect(refresh, &QPushButton::clicked, this, &AppSettingsView::refreshFileAssociationStatus);
    buttons->addWidget(makeDefault);
    buttons->addWidget(refresh);
    buttons->addStretch(1);
    associationRows->addLayout(buttons);
    column->addWidget(association);

    auto* privacy = new QGroupBox(text(lkey("settings.privacy.title")));
    auto* privacyRows = new QVBoxLayout(privacy);
    auto* summary = new QLabel(text(lkey("settings.privacy.summary")));
    summary->setWordWrap(true);
    useSecondaryTextColor(summary);
    privacyRows->addWidget(summary);
    auto* open = symbolButton("hand.raised", text(lkey("settings.privacy.open")));
    open->setObjectName(QStringLiteral("openPrivacy"));
    connect(open, &QPushButton::clicked, this, &AppSettingsView::showPrivacyPolicy);
    auto* openRow = new QHBoxLayout;
    openRow->addWidget(open);
    openRow->addStretch(1);
    privacyRows->addLayout(openRow);
    column->addWidget(privacy);
    column->addStretch(1);
    return page;
}

QWidget* AppSettingsView::buildLanguageTab() {
    auto* box = new QGroupBox(text(lkey("settings.language.title")));
    auto* rows = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    const QList<std::pair<AppLanguagePreference, const char*>> choices = {
        {AppLanguagePreference::System, lkey("settings.language.system")},
        {AppLanguagePreference::SimplifiedChinese, lkey("settings.language.zh-Hans")},
        {AppLanguagePreference::English, lkey("settings.language.en")},
    };
    for (const auto& [preference, key] : choices) {
        auto* radio = new QRadioButton(text(key));
        radio->setObjectName(QStringLiteral("language.") + rawValue(preference));
        group->addButton(radio, int(preference));
        rows->addWidget(radio);
    }
    const auto read = [this, group] {
        const QSignalBlocker blocker(group);
        if (QAbstractButton* button = group->button(int(languageSelection())))
            button->setChecked(true);
    };
    read();
    m_refreshers.append(read);
    connect(group, &QButtonGroup::idClicked, this,
            [this](int id) { setLanguageSelection(AppLanguagePreference(id)); });
    auto* note = new QLabel(text(lkey("settings.language.restart-note")));
    note->setWordWrap(true);
    QFont caption = note->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    note->setFont(caption);
    useSecondaryTextColor(note);
    rows->addSpacing(8);
    rows->addWidget(note);
    rows->addStretch(1);
    return box;
}

AppLanguagePreference AppSettingsView::languageSelection() const {
    return storedLanguagePreference(m_defaults);
}

void AppSettingsView::setLanguageSelection(AppLanguagePreference preference) {
    const bool restartNeeded = applyLanguagePreference(preference, m_defaults);
    m_defaults.setValue(QString::fromLatin1(kLanguagePreferenceKey), rawValue(preference));
    // This window's texts follow the new preference; rebuilt once the click has finished.
    if (!m_rebuildScheduled) {
        m_rebuildScheduled = true;
        QTimer::singleShot(0, this, &AppSettingsView::rebuild);
    }
    if (restartNeeded)
        showRestartAlert();
}

void AppSettingsView::showRestartAlert() {
    auto* alert = new QMessageBox(this);
    alert->setObjectName(QStringLiteral("restartAlert"));
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Information);
    alert->setText(text(lkey("settings.language.restart.title")));
    alert->setInformativeText(text(lkey("settings.language.restart.message")));
    QPushButton* now =
        alert->addButton(text(lkey("settings.language.restart.quit")), QMessageBox::AcceptRole);
    now->setObjectName(QStringLiteral("restartNow"));
    QPushButton* later =
        alert->addButton(text(lkey("settings.language.restart.later")), QMessageBox::RejectRole);
    later->setObjectName(QStringLiteral("restartLater"));
    alert->setDefaultButton(now);
    connect(now, &QPushButton::clicked, this, [this] {
        // After the alert has gone, so a failure alert can take its place.
        QTimer::singleShot(0, this, &AppSettingsView::restartNow);
    });
    alert->open();
}

void AppSettingsView::restartNow() {
    const std::optional<QString> failure = m_relaunch ? m_relaunch() : std::nullopt;
    if (failure)
        showAlert(QStringLiteral("restartFailed"),
                  text(lkey("settings.language.restart.failed.title")), *failure);
}

void AppSettingsView::refreshFileAssociationStatus() {
    m_association->refreshStatus();
}

QString AppSettingsView::fileAssociationStatusText(int handled, int total,
                                                   const Defaults& defaults) {
    const auto text = [&defaults](const char* key) {
        return localizedString(QString::fromLatin1(key), defaults);
    };
    if (handled == total)
        return text(lkey("settings.file-association.status.default"));
    if (handled == 0)
        return text(lkey("settings.file-association.status.not-default"));
    return text(lkey("settings.file-association.status.partial.format")).arg(handled).arg(total);
}

QString AppSettingsView::text(const char* key) const {
    return localizedString(QString::fromLatin1(key), m_defaults);
}

void AppSettingsView::showFileAssociationStatus() {
    if (!m_associationStatusLabel)
        return;
    if (!m_fileAssociationStatus) {
        m_associationStatusLabel->setText(text(lkey("settings.file-association.status.checking")));
    } else {
        const auto [handled, total] = *m_fileAssociationStatus;
        m_associationStatusLabel->setText(fileAssociationStatusText(handled, total, m_defaults));
    }
    // Green once every type opens here, the secondary colour otherwise.
    const bool isDefault = m_fileAssociationStatus && m_fileAssociationStatus->handledTypeCount ==
                                                          m_fileAssociationStatus->totalTypeCount;
    QPalette palette = m_associationStatusLabel->palette();
    palette.setColor(QPalette::WindowText,
                     isDefault ? QColor(0x28, 0xa7, 0x45) : secondaryLabelColor(this->palette()));
    m_associationStatusLabel->setPalette(palette);
}

void AppSettingsView::confirmMakeDefault() {
    auto* confirm = new QMessageBox(this);
    confirm->setObjectName(QStringLiteral("fileAssociationConfirmation"));
    confirm->setAttribute(Qt::WA_DeleteOnClose);
    confirm->setWindowModality(Qt::WindowModal);
    confirm->setIcon(QMessageBox::Question);
    confirm->setText(text(lkey("settings.file-association.confirm.title")));
    confirm->setInformativeText(text(lkey("settings.file-association.confirm.message")));
    QPushButton* set = confirm->addButton(text(lkey("settings.file-association.confirm.set")),
                                          QMessageBox::AcceptRole);
    set->setObjectName(QStringLiteral("confirmSet"));
    confirm->addButton(text(lkey("document.close-cancel")), QMessageBox::RejectRole);
    confirm->setDefaultButton(set);
    connect(set, &QPushButton::clicked, this, &AppSettingsView::runMakeDefaultTextEditor);
    confirm->open();
}

void AppSettingsView::runMakeDefaultTextEditor() {
    m_association->makeDefaultTextEditor();
}

void AppSettingsView::showPrivacyPolicy() {
    auto* sheet = new PrivacyPolicyView(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void AppSettingsView::showAlert(const QString& objectName, const QString& title,
                                const QString& message) {
    auto* alert = new QMessageBox(this);
    alert->setObjectName(objectName);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    alert->setIcon(QMessageBox::Warning);
    alert->setText(title);
    alert->setInformativeText(message);
    // A failure quotes the program's path.
    showLiterally(alert);
    alert->addButton(text(lkey("error.ok")), QMessageBox::RejectRole);
    alert->open();
}

} // namespace dunmoss
