#include "tools/PanelSheets.h"

#include "editor/IconTable.h"
#include "editor/PaletteFollowing.h"
#include "platform/Localization.h"
#include "tools/ColumnInsert.h"
#include "tools/ExternalCommand.h"
#include "tools/GoToLine.h"
#include "tools/HelpSheet.h"
#include "tools/PanelChrome.h"
#include "tools/ToolSheetDialog.h"
#include "window/EditorWindowModel.h"
#include "window/WindowCommandHandlers.h"
#include "window/WindowDerivedValues.h"

#include <QDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace dunmoss {

namespace {

QString text(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

QLabel* secondaryLabel(const QString& content, QWidget* parent, const QFont& font) {
    auto* label = new QLabel(content, parent);
    label->setFont(font);
    label->setWordWrap(true);
    useSecondaryTextColor(label);
    return label;
}

// A sheet: a vertical stack with spacing 14 inside the padding, of a fixed width, starting
// with its symbol and title.
QVBoxLayout* makeSheet(QDialog* dialog, const char* titleKey, const char* symbol, int width,
                       int padding, const QFont& titleFont) {
    useParentWindowPalette(dialog);
    dialog->setObjectName(QString::fromLatin1(titleKey));
    dialog->setWindowTitle(sheetTitle(text(titleKey)));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFixedWidth(width);
    auto* column = new QVBoxLayout(dialog);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(14);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    auto* icon = new QLabel(dialog);
    const int size = QFontMetrics(titleFont).height();
    useSymbol(icon, QString::fromLatin1(symbol), size, labelColor);
    auto* title = new QLabel(sheetTitle(text(titleKey)), dialog);
    title->setFont(titleFont);
    titleRow->addWidget(icon);
    titleRow->addWidget(title, 1);
    column->addLayout(titleRow);
    return column;
}

QLineEdit* addField(QVBoxLayout* column, QDialog* dialog, const char* placeholderKey,
                    const QString& initial) {
    auto* field = new QLineEdit(initial, dialog);
    field->setObjectName(QStringLiteral("sheetField"));
    field->setPlaceholderText(text(placeholderKey));
    column->addWidget(field);
    return field;
}

// The last row: a spacer, then the cancel button (Escape) when there is one, and the
// confirming button (Return).
QPushButton* addButtons(QVBoxLayout* column, QDialog* dialog, const char* confirmKey,
                        bool withCancel) {
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    if (withCancel) {
        auto* cancel = new QPushButton(text("document.close-cancel"), dialog);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        cancel->setAutoDefault(false);
        QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
        row->addWidget(cancel);
    }
    auto* confirm = new QPushButton(text(confirmKey), dialog);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setDefault(true);
    row->addWidget(confirm);
    column->addLayout(row);
    return confirm;
}

} // namespace

PanelSheets::PanelSheets(EditorWindowModel& model, QWidget* window)
    : QObject(window), m_model(model), m_window(window) {
    refreshAfterModelChanges(model, this, [this] { refresh(); });
}

void PanelSheets::refresh() {
    if (!m_window)
        return;
    const PanelState& panels = m_model.state().panels;
    const auto follow = [](QPointer<QDialog>& sheet, bool wanted, auto open) {
        if (wanted && !sheet) {
            sheet = open();
            sheet->open();
            return;
        }
        if (!wanted && sheet) {
            QDialog* closing = sheet;
            sheet = nullptr;
            closing->close();
        }
    };
    follow(m_goToLine, panels.showGoToLineSheet, [this] { return openGoToLine(); });
    follow(m_columnInsert, panels.showColumnInsertSheet, [this] { return openColumnInsert(); });
    follow(m_externalCommand, panels.showExternalCommandSheet,
           [this] { return openExternalCommand(); });
    follow(m_help, panels.showHelpSheet, [this] { return openHelp(); });
    if (m_goToLineHint)
        m_goToLineHint->setText(
            text("tools.goto-line.range.format").arg(lineCount(m_model.state())));
}

QDialog* PanelSheets::openGoToLine() {
    auto* dialog = new QDialog(m_window);
    QVBoxLayout* column =
        makeSheet(dialog, "tools.goto-line", "text.line.first.and.arrowtriangle.forward", 320, 20,
                  headlineFont(dialog->font()));
    m_goToLineHint = secondaryLabel({}, dialog, captionFont(dialog->font()));
    column->addWidget(m_goToLineHint);
    QLineEdit* field = addField(column, dialog, "tools.goto-line.placeholder",
                                m_model.state().panels.goToLineText);
    field->selectAll();
    QPushButton* go = addButtons(column, dialog, "tools.goto-line.go", true);
    EditorWindowModel* model = &m_model;
    connect(field, &QLineEdit::textEdited, dialog,
            [model](const QString& typed) { GoToLine(*model).setLineText(typed); });
    connect(go, &QPushButton::clicked, dialog, [model] { GoToLine(*model).goToLine(); });
    connect(dialog, &QDialog::finished, this, [model] {
        if (model->state().panels.showGoToLineSheet)
            GoToLine(*model).cancel();
    });
    m_goToLineHint->setText(text("tools.goto-line.range.format").arg(lineCount(m_model.state())));
    return dialog;
}

QDialog* PanelSheets::openColumnInsert() {
    auto* dialog = new QDialog(m_window);
    QVBoxLayout* column = makeSheet(dialog, "tools.column-insert", "tablecells", 340, 20,
                                    headlineFont(dialog->font()));
    QLineEdit* field = addField(column, dialog, "tools.column-insert.placeholder",
                                m_model.state().panels.columnInsertText);
    QPushButton* apply = addButtons(column, dialog, "tools.column-insert.apply", true);
    EditorWindowModel* model = &m_model;
    connect(field, &QLineEdit::textEdited, dialog,
            [model](const QString& typed) { ColumnInsert(*model).setInsertText(typed); });
    connect(apply, &QPushButton::clicked, dialog,
            [model] { ColumnInsert(*model).applyColumnInsert(); });
    connect(dialog, &QDialog::finished, this, [model] {
        if (model->state().panels.showColumnInsertSheet)
            ColumnInsert(*model).cancel();
    });
    return dialog;
}

QDialog* PanelSheets::openExternalCommand() {
    auto* dialog = new QDialog(m_window);
    QVBoxLayout* column = makeSheet(dialog, "tools.external-command", "terminal", 460, 20,
                                    headlineFont(dialog->font()));
    QLineEdit* field = addField(column, dialog, "tools.external-command.placeholder",
                                m_model.state().panels.externalCommandText);
    QPushButton* run = addButtons(column, dialog, "tools.external-command.run", true);
    EditorWindowModel* model = &m_model;
    connect(field, &QLineEdit::textEdited, dialog,
            [model](const QString& typed) { ExternalCommand(*model).setCommandText(typed); });
    connect(run, &QPushButton::clicked, dialog,
            [model] { ExternalCommand(*model).runExternalCommand(); });
    connect(dialog, &QDialog::finished, this, [model] {
        if (model->state().panels.showExternalCommandSheet)
            ExternalCommand(*model).cancel();
    });
    return dialog;
}

QDialog* PanelSheets::openHelp() {
    auto* dialog = new QDialog(m_window);
    QFont titleFont = headlineFont(dialog->font());
    titleFont.setPointSizeF(titleFont.pointSizeF() + 2);
    QVBoxLayout* column =
        makeSheet(dialog, "help.title", "questionmark.circle", 440, 24, titleFont);
    column->addWidget(secondaryLabel(text("help.intro"), dialog, dialog->font()));
    auto* basics = new QLabel(text("help.basics.title"), dialog);
    basics->setFont(headlineFont(dialog->font()));
    column->addWidget(basics);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(6);
    QFont keys = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    keys.setPointSizeF(dialog->font().pointSizeF());
    for (const HelpShortcut& shortcut : helpSheetShortcuts()) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(localizedString(shortcut.titleKey), dialog));
        row->addStretch(1);
        QLabel* key = secondaryLabel(shortcut.keyText, dialog, keys);
        key->setObjectName(QStringLiteral("shortcut:") + shortcut.titleKey);
        key->setWordWrap(false);
        row->addWidget(key);
        rows->addLayout(row);
    }
    column->addLayout(rows);
    column->addWidget(
        secondaryLabel(text("help.shortcuts.note"), dialog, captionFont(dialog->font())));
    column->addWidget(secondaryLabel(text("help.support"), dialog, captionFont(dialog->font())));
    QPushButton* done = addButtons(column, dialog, "privacy.done", false);
    EditorWindowModel* model = &m_model;
    connect(done, &QPushButton::clicked, dialog,
            [model] { WindowCommandHandlers(*model).setHelpSheetPresented(false); });
    connect(dialog, &QDialog::finished, this, [model] {
        if (model->state().panels.showHelpSheet)
            WindowCommandHandlers(*model).setHelpSheetPresented(false);
    });
    return dialog;
}

} // namespace dunmoss
