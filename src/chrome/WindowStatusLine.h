#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace dunmoss {

// The window's one-line status text (results and refusals of commands) while the find and
// replace bar, which normally shows it, is not on screen. Without it a refused save or a file
// opened through the last-resort decoding would pass without a word. Passive: it shows the text
// it is given and asks to be dismissed through its close button.
class WindowStatusLine : public QWidget {
    Q_OBJECT
public:
    explicit WindowStatusLine(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    // Its height with a message of one line.
    int oneLineHeight() const;
    QToolButton* dismissButton() const { return m_dismiss; }

signals:
    void dismissRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_message = nullptr;
    QToolButton* m_dismiss = nullptr;
};

} // namespace dunmoss
