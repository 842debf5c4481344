// The Editor and Shortcuts tabs of the settings window.
#include "app/AppSettingsView.h"
#include "app/SettingsShortcuts.h"
#include "editor/IconTable.h"
#include "platform/Defaults.h"
#include "text/EditorTheme.h"
#include "text/LanguageCatalogue.h"
#include "window/WindowSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <cmath>

namespace dunmoss {

namespace {

constexpr int kMinimumFontSize = 10;
constexpr int kMaximumFontSize = 28;

// A stepper: the label carries the value, the box only steps it.
QSpinBox* stepper(int minimum, int maximum) {
    auto* box = new QSpinBox;
    box->setRange(minimum, maximum);
    box->setSingleStep(1);
    box->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    box->setMaximumWidth(72);
    return box;
}

} // namespace

void AppSettingsView::setSelectedLanguageForEditorSettings(EditorLanguage language) {
    m_selectedLanguage = language;
    refreshControls();
}

int AppSettingsView::languageTabWidth() const {
    return dunmoss::languageTabWidth(
        m_selectedLanguage, WindowSettings(m_defaults, m_arguments).tabWidth(), m_defaults);
}

void AppSettingsView::setLanguageTabWidth(int width) {
    dunmoss::setLanguageTabWidth(width, m_selectedLanguage, m_defaults);
}

QWidget* AppSettingsView::buildEditorTab() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto settings = std::make_shared<WindowSettings>(m_defaults, m_arguments);

    auto* theme = new QComboBox;
    theme->setObjectName(QStringLiteral("theme"));
    const char* const themeKeys[] = {lkey("theme.system"), lkey("theme.light"),
                                     lkey("theme.graphite"), lkey("theme.midnight")};
    for (EditorTheme value : allEditorThemes())
        theme->addItem(text(themeKeys[int(value)]), rawValue(value));
    form->addRow(text(lkey("theme.title")), theme);
    // An unknown stored theme selects nothing and stays stored until a theme is picked.
    m_refreshers.append([theme, settings] {
        const QSignalBlocker blocker(theme);
        theme->setCurrentIndex(theme->findData(settings->themeRawValue()));
    });
    connect(theme, &QComboBox::activated, this, [theme, settings](int index) {
        settings->setThemeRawValue(theme->itemData(index).toString());
    });

    auto* sizeRow = new QHBoxLayout;
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QStringLiteral("fontSize"));
    slider->setRange(kMinimumFontSize, kMaximumFontSize);
    slider->setSingleStep(1);
    slider->setPageStep(1);
    auto* sizeLabel = new QLabel;
    sizeLabel->setObjectName(QStringLiteral("fontSizeValue"));
    sizeLabel->setFixedWidth(48);
    sizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    useSecondaryTextColor(sizeLabel);
    sizeRow->addWidget(slider, 1);
    sizeRow->addWidget(sizeLabel);
    form->addRow(text(lkey("settings.editor.font-size")), sizeRow);
    m_refreshers.append([this, slider, sizeLabel, settings] {
        double size = settings->fontSize();
        // A size that is not a number shows (and slides) as the default.
        if (!std::isfinite(size))
            size = 14.0;
        const QSignalBlocker blocker(slider);
        slider->setValue(int(std::clamp(size, double(kMinimumFontSize), double(kMaximumFontSize))));
        sizeLabel->setText(
            text(lkey("settings.editor.font-size.value.format")).arg(qlonglong(std::trunc(size))));
    });
    connect(slider, &QSlider::valueChanged, this,
            [settings](int value) { settings->setFontSize(double(value)); });

    const auto toggle = [&](const char* key, const char* name, bool (WindowSettings::*read)() const,
                            void (WindowSettings::*write)(bool)) {
        auto* box = new QCheckBox(text(key));
        box->setObjectName(QString::fromLatin1(name));
        form->addRow(QString(), box);
        m_refreshers.append([box, settings, read] {
            const QSignalBlocker blocker(box);
            box->setChecked(((*settings).*read)());
        });
        connect(box, &QCheckBox::toggled, this,
                [settings, write](bool on) { ((*settings).*write)(on); });
    };
    toggle(lkey("tools.word-wrap"), "wordWrap", &WindowSettings::wordWrapEnabled,
           &WindowSettings::setWordWrapEnabled);
    toggle(lkey("tools.show-invisibles"), "showInvisibles", &WindowSettings::showInvisiblesEnabled,
           &WindowSettings::setShowInvisiblesEnabled);
    toggle(lkey("tools.autosave"), "autoSave", &WindowSettings::autoSaveEnabled,
           &WindowSettings::setAutoSaveEnabled);

    auto* tabLabel = new QLabel;
    auto* tabWidth = stepper(kMinimumLanguageTabWidth, kMaximumLanguageTabWidth);
    tabWidth->setObjectName(QStringLiteral("tabWidth"));
    form->addRow(tabLabel, tabWidth);
    m_refreshers.append([this, tabLabel, tabWidth, settings] {
        const int width = settings->tabWidth();
        tabLabel->setText(text(lkey("settings.editor.tab-width.format")).arg(width));
        const QSignalBlocker blocker(tabWidth);
        tabWidth->setValue(width);
    });
    connect(tabWidth, &QSpinBox::valueChanged, this,
            [settings](int value) { settings->setTabWidth(value); });

    auto* language = new QComboBox;
    language->setObjectName(QStringLiteral("editorLanguage"));
    for (EditorLanguage value : allEditorLanguages())
        language->addItem(localizedString(displayName(value), m_defaults), int(value));
    form->addRow(text(lkey("settings.editor.language-defaults")), language);
    connect(language, &QComboBox::activated, this, [this, language](int index) {
        setSelectedLanguageForEditorSettings(EditorLanguage(language->itemData(index).toInt()));
    });

    auto* languageLabel = new QLabel;
    auto* languageWidth = stepper(kMinimumLanguageTabWidth, kMaximumLanguageTabWidth);
    languageWidth->setObjectName(QStringLiteral("languageTabWidth"));
    form->addRow(languageLabel, languageWidth);
    m_refreshers.append([this, language, languageLabel, languageWidth] {
        const QSignalBlocker languageBlocker(language);
        language->setCurrentIndex(language->findData(int(m_selectedLanguage)));
        const int width = languageTabWidth();
        languageLabel->setText(
            text(lkey("settings.editor.language-tab-width.format"))
                .arg(localizedString(displayName(m_selectedLanguage), m_defaults))
                .arg(width));
        const QSignalBlocker blocker(languageWidth);
        languageWidth->setValue(width);
    });
    connect(languageWidth, &QSpinBox::valueChanged, this,
            [this](int value) { setLanguageTabWidth(value); });

    refreshControls();
    return page;
}

QWidget* AppSettingsView::buildShortcutsTab() {
    const QList<SettingsShortcutRow> rows = settingsShortcutRows();
    auto* list = new QTableWidget(int(rows.size()), 2);
    list->setObjectName(QStringLiteral("shortcuts"));
    list->horizontalHeader()->hide();
    list->verticalHeader()->hide();
    list->setShowGrid(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 8);
    list->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    list->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(list->font().pointSizeF());
    const QColor secondary = secondaryLabelColor(palette());
    for (int row = 0; row < rows.size(); ++row) {
        list->setItem(row, 0,
                      new QTableWidgetItem(localizedString(rows[row].titleKey, m_defaults)));
        auto* keys = new QTableWidgetItem(rows[row].keyText);
        keys->setFont(mono);
        keys->setForeground(secondary);
        keys->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        list->setItem(row, 1, keys);
    }
    return list;
}

} // namespace dunmoss
