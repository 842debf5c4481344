#include "editor/PaletteFollowing.h"

#include "editor/IconTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPointer>
#include <QWidget>

namespace dunmoss {

namespace {

// Watches the widget and its parent: the parent's change arrives first (the widget's own palette
// is still the old one then) and reaches a widget with a style sheet only that way.
class PaletteFollower : public QObject {
public:
    PaletteFollower(QWidget* widget, std::function<void()> apply)
        : QObject(widget), m_widget(widget), m_apply(std::move(apply)) {
        widget->installEventFilter(this);
        watchParent();
        run();
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == m_widget && type == QEvent::ParentChange) {
            watchParent();
            run();
        } else if (type == QEvent::PaletteChange && (watched == m_widget || watched == m_parent)) {
            run();
        }
        return false;
    }

private:
    void watchParent() {
        QWidget* parent = m_widget->parentWidget();
        if (parent == m_parent)
            return;
        if (m_parent)
            m_parent->removeEventFilter(this);
        m_parent = parent;
        if (parent)
            parent->installEventFilter(this);
    }

    void run() {
        // Colours the step sets on the widget change its palette once more.
        if (m_running)
            return;
        m_running = true;
        m_apply();
        m_running = false;
    }

    QWidget* m_widget;
    QPointer<QWidget> m_parent;
    std::function<void()> m_apply;
    bool m_running = false;
};

void setRoles(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
              const QColor& color) {
    QPalette palette = widget->palette();
    bool same = true;
    for (QPalette::ColorRole role : roles)
        same = same && palette.isBrushSet(QPalette::Active, role) && palette.color(role) == color;
    if (same)
        return;
    for (QPalette::ColorRole role : roles)
        palette.setColor(role, color);
    widget->setPalette(palette);
}

} // namespace

QPalette inheritedPalette(const QWidget* widget) {
    const QWidget* parent = widget->parentWidget();
    if (parent && (!widget->isWindow() || widget->testAttribute(Qt::WA_WindowPropagation)))
        return parent->palette();
    return QApplication::palette(widget);
}

void followPalette(QWidget* widget, std::function<void()> apply) {
    new PaletteFollower(widget, std::move(apply));
}

void useParentWindowPalette(QWidget* sheet) {
    sheet->setAttribute(Qt::WA_WindowPropagation);
    // Resolved again, now from the parent.
    sheet->setPalette(QPalette());
}

QColor labelColor(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}

QColor buttonLabelColor(const QPalette& palette) {
    return palette.color(QPalette::ButtonText);
}

QColor baseColor(const QPalette& palette) {
    return palette.color(QPalette::Base);
}

void useBackgroundColor(QWidget* widget, PaletteColor color) {
    widget->setAutoFillBackground(true);
    followPalette(widget, [widget, color] {
        setRoles(widget, {QPalette::Window}, color(inheritedPalette(widget)));
    });
}

void useTextColor(QWidget* widget, PaletteColor color) {
    followPalette(widget, [widget, color] {
        setRoles(widget, {QPalette::WindowText, QPalette::Text, QPalette::ButtonText},
                 color(inheritedPalette(widget)));
    });
}

void useSymbol(QLabel* label, const QString& symbolName, int size, PaletteColor color) {
    followPalette(label, [label, symbolName, size, color] {
        label->setPixmap(symbolPixmap(symbolName, size, color(inheritedPalette(label)),
                                      label->devicePixelRatioF()));
    });
}

void useSymbol(QAbstractButton* button, const QString& symbolName, int size, PaletteColor color) {
    followPalette(button, [button, symbolName, size, color] {
        button->setIcon(symbolIcon(symbolName, color(inheritedPalette(button)), size));
    });
}

} // namespace dunmoss
