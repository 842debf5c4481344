#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QVBoxLayout;

namespace dunmoss {

// One message of the bar: its text, the buttons that answer it and what closing it does.
struct MessageBarEntry {
    struct Button {
        QString title;
        std::function<void()> action;
    };
    // Stays the same while the message is about the same thing.
    QString key;
    QString text;
    QList<Button> buttons;
    std::function<void()> dismiss;
};

// The row above the editor that tells the person news they did not ask for, one line per
// message, each with its buttons. It never takes the keyboard: no button of it accepts focus,
// so keys typed in the editor stay there, and an answer (a reload that throws edits away) takes
// a click. Rebuilt only when what it shows changes.
class MessageBar : public QWidget {
    Q_OBJECT
public:
    explicit MessageBar(QWidget* parent = nullptr);

    void setEntries(const QList<MessageBarEntry>& entries);
    bool isEmpty() const { return m_entries.isEmpty(); }

    // What the bar shows, for tests: each message's text, and a message's buttons in order, the
    // close button last.
    QStringList texts() const;
    QList<QAbstractButton*> buttons(int message) const;

    // As tall as its lines are at the window's width (a wrapping text's own hint guesses two
    // lines for one that fits in one).
    QSize sizeHint() const override;
    // One line of news with an answer, at the window's width: the room the window keeps for it.
    int oneLineHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* makeRow(int index, const MessageBarEntry& entry);

    QVBoxLayout* m_column = nullptr;
    QList<MessageBarEntry> m_entries;
    QList<QWidget*> m_rows;
};

} // namespace dunmoss
