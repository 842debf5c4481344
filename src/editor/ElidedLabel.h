#pragma once

#include <QWidget>

namespace dunmoss {

// One line of text that, when the row leaves it less room than the text needs, ends in an
// ellipsis instead of being cut off mid-word. It asks for its whole text but accepts any width
// down to the ellipsis, so a long text never forces the window wider.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void setText(const QString& text);
    // The whole text, whatever is shown.
    QString text() const { return m_text; }
    // What is drawn at the current width.
    QString displayedText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The advance of the whole text in the label's font, measured once per text and font: the
    // layout asks for the size hint many times, and a status label changes at every key.
    int textWidth() const;

    QString m_text;
    mutable int m_textWidth = -1;
};

} // namespace dunmoss
