#pragma once

#include "window/StatusBarItems.h"

#include <QWidget>

class QLabel;

namespace dunmoss {

class ElidedLabel;
class StatusBarSymbolLabel;

// The row along the bottom of the window: caret position, text statistics, state flags,
// language, encoding and line ending of the active tab. Passive: the window hands it new values
// after every edit and selection change; it keeps nothing but its labels.
class StatusBarView : public QWidget {
    Q_OBJECT
public:
    explicit StatusBarView(QWidget* parent = nullptr);

    void setValues(const StatusBarValues& values);
    const StatusBarTexts& texts() const { return m_texts; }

    // The texts of the items shown, left to right (dividers and the spacer left out).
    QStringList visibleItemTexts() const;
    // The same as drawn at the current width: a text without room ends in an ellipsis.
    QStringList displayedItemTexts() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void apply(const StatusBarTexts& texts);

    StatusBarTexts m_texts;
    bool m_hasTexts = false;
    StatusBarSymbolLabel* m_cursor = nullptr;
    ElidedLabel* m_lines = nullptr;
    ElidedLabel* m_characters = nullptr;
    ElidedLabel* m_selection = nullptr;
    StatusBarSymbolLabel* m_largeFileMode = nullptr;
    StatusBarSymbolLabel* m_readOnly = nullptr;
    StatusBarSymbolLabel* m_bookmarks = nullptr;
    ElidedLabel* m_savedState = nullptr;
    ElidedLabel* m_language = nullptr;
    ElidedLabel* m_encoding = nullptr;
    ElidedLabel* m_lineEnding = nullptr;
    QList<QWidget*> m_order;
};

// A symbol followed by a caption, as the status bar shows its flags.
class StatusBarSymbolLabel : public QWidget {
    Q_OBJECT
public:
    StatusBarSymbolLabel(const QString& symbolName, QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const;
    QString displayedText() const;
    QString symbolName() const { return m_symbolName; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QString m_symbolName;
    QLabel* m_symbol = nullptr;
    ElidedLabel* m_text = nullptr;
};

// Applies the chrome's caption style (smaller font, secondary colour) to a widget.
void applyCaptionStyle(QWidget* widget);

} // namespace dunmoss
