#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace dunmoss::bench {

// Types one letter into the widget as a real key press and release, cycling through a to z.
inline void typeOneKey(QWidget* target, int& counter) {
    const QString text(QChar(u'a' + (counter++ % 26)));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

} // namespace dunmoss::bench
