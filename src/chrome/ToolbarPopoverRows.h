#pragma once

#include "window/ToolbarPopoverContent.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QWidget>

class QLabel;

namespace dunmoss {

class ElidedLabel;

// The one look of a clickable popover row: symbol and text (a file entry: its name over its
// folder in the caption style), padded 8 by 6, the whole width clickable, a faint rounded fill
// only while the mouse button is held on it and no hover highlight. Texts too long for the row
// end in an ellipsis on one line.
class ToolbarPopoverRowButton : public QAbstractButton {
    Q_OBJECT
public:
    ToolbarPopoverRowButton(const ToolbarPopoverRow& row, QWidget* parent = nullptr);

    const QString& symbolName() const { return m_symbol; }
    const QString& titleText() const { return m_title; }
    const QString& subtitleText() const { return m_subtitle; }
    // A file's row: its name and folder are cut to the popover's width.
    bool showsFile() const { return m_isFile; }
    // The texts as drawn at the current width.
    QString displayedTitle() const;
    QString displayedSubtitle() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // Return and Enter choose the focused row, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QRect textRect() const;
    QFont captionFont() const;

    QString m_symbol;
    QString m_title;
    QString m_subtitle;
    bool m_isFile = false;
};

// A setting's checkbox with its symbol and text, padded 8 by 5; the whole row is clickable.
class ToolbarPopoverToggle : public QCheckBox {
    Q_OBJECT
public:
    ToolbarPopoverToggle(const ToolbarPopoverRow& row, QWidget* parent = nullptr);
    const QString& symbolName() const { return m_symbol; }

protected:
    void changeEvent(QEvent* event) override;
    bool hitButton(const QPoint& position) const override;

private:
    QString m_symbol;
};

// The line standing for an empty list: symbol and text in the secondary colour, not clickable.
class ToolbarPopoverEmptyState : public QWidget {
    Q_OBJECT
public:
    ToolbarPopoverEmptyState(const ToolbarPopoverRow& row, QWidget* parent = nullptr);
    const QString& symbolName() const { return m_symbol; }
    QString text() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QString m_symbol;
    QLabel* m_symbolLabel = nullptr;
    ElidedLabel* m_text = nullptr;
};

// Builds the widget of one row, or of a titled section with its rows.
QWidget* makeToolbarPopoverRow(const ToolbarPopoverRow& row, QWidget* parent);
QWidget* makeToolbarPopoverSection(const ToolbarPopoverSection& section, QWidget* parent);

} // namespace dunmoss
