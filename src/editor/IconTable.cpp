#include "editor/IconTable.h"

#include "editor/PaletteFollowing.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QToolButton>

namespace dunmoss {

namespace {

// What to draw when no theme has the symbol.
enum class Shape {
    Dot,
    Cross,
    Document,
    Lock,
    Bookmark,
    Cursor,
    Gauge,
    Folder,
    Magnifier,
    Check,
    ChevronDown,
    ChevronUp,
    Plus,
    Ring,
    Pin,
    Scissors,
    Rectangle,
    // A short text standing for the symbol ("{}", "¶", "Aa").
    Glyph,
    Generic,
};

struct SymbolEntry {
    const char* symbol;
    QStringList names;
    Shape shape;
    // The text drawn by Shape::Glyph (UTF-8).
    const char* glyph = nullptr;
};

const QHash<QString, SymbolEntry>& table() {
    static const QHash<QString, SymbolEntry> entries = [] {
        const QList<SymbolEntry> list = {
            // Drawn directly: an exact coloured dot reads better than any theme icon.
            {"circle.fill", {}, Shape::Dot},
            {"xmark", {"window-close-symbolic", "window-close"}, Shape::Cross},
            {"xmark.square", {"window-close-symbolic", "window-close"}, Shape::Cross},
            {"doc.plaintext", {"text-x-generic-symbolic", "text-x-generic"}, Shape::Document},
            {"doc", {"text-x-generic-symbolic", "text-x-generic"}, Shape::Document},
            {"doc.text", {"text-x-generic-symbolic", "text-x-generic"}, Shape::Document},
            {"doc.richtext", {"format-text-rich-symbolic", "x-office-document"}, Shape::Document},
            {"doc.badge.plus", {"document-new-symbolic", "document-new"}, Shape::Document},
            {"doc.on.doc", {"edit-copy-symbolic", "edit-copy"}, Shape::Document},
            {"doc.text.magnifyingglass",
             {"edit-find-replace-symbolic", "edit-find-replace"},
             Shape::Magnifier},
            {"speedometer", {"power-profile-performance-symbolic", "speedometer"}, Shape::Gauge},
            // The themes' insert-text icons do not read as a caret; the drawn I-beam does.
            {"text.cursor", {}, Shape::Cursor},
            {"character.cursor.ibeam", {}, Shape::Cursor},
            {"lock",
             {"changes-prevent-symbolic", "system-lock-screen-symbolic", "system-lock-screen"},
             Shape::Lock},
            {"bookmark.fill",
             {"user-bookmarks-symbolic", "bookmark-new-symbolic", "user-bookmarks"},
             Shape::Bookmark},
            {"arrow.clockwise", {"view-refresh-symbolic", "view-refresh"}, Shape::Generic},
            {"arrow.triangle.2.circlepath",
             {"view-refresh-symbolic", "view-refresh"},
             Shape::Generic},
            {"arrow.left", {"go-previous-symbolic", "go-previous"}, Shape::Generic},
            {"arrow.right", {"go-next-symbolic", "go-next"}, Shape::Generic},
            {"arrow.up", {"go-up-symbolic", "go-up"}, Shape::ChevronUp},
            {"arrow.down", {"go-down-symbolic", "go-down"}, Shape::ChevronDown},
            {"arrow.up.to.line.compact", {"go-top-symbolic", "go-top"}, Shape::ChevronUp},
            {"arrow.down.to.line.compact", {"go-bottom-symbolic", "go-bottom"}, Shape::ChevronDown},
            {"arrow.left.to.line.compact", {"go-first-symbolic", "go-first"}, Shape::Generic},
            {"arrow.right.to.line.compact", {"go-last-symbolic", "go-last"}, Shape::Generic},
            {"arrow.up.arrow.down", {"view-sort-ascending-symbolic"}, Shape::Generic},
            {"arrow.down.right.and.arrow.up.left", {"view-restore-symbolic"}, Shape::Generic},
            {"chevron.down",
             {"pan-down-symbolic", "go-down-symbolic", "go-down"},
             Shape::ChevronDown},
            {"chevron.up", {"pan-up-symbolic", "go-up-symbolic", "go-up"}, Shape::ChevronUp},
            {"chevron.left.forwardslash.chevron.right",
             {"text-x-script-symbolic", "text-x-script"},
             Shape::Generic},
            {"checkmark", {"object-select-symbolic", "emblem-ok-symbolic"}, Shape::Check},
            {"clock", {"document-open-recent-symbolic", "document-open-recent"}, Shape::Generic},
            {"command", {"system-run-symbolic", "system-run"}, Shape::Generic},
            {"folder", {"folder-symbolic", "folder"}, Shape::Folder},
            {"folder.badge.plus", {"folder-new-symbolic", "folder-new"}, Shape::Folder},
            {"magnifyingglass", {"edit-find-symbolic", "edit-find"}, Shape::Magnifier},
            {"magnifyingglass.circle",
             {"system-search-symbolic", "system-search"},
             Shape::Magnifier},
            {"questionmark.circle", {"help-about-symbolic", "help-browser"}, Shape::Generic},
            {"record.circle", {"media-record-symbolic", "media-record"}, Shape::Dot},
            {"stop.circle",
             {"media-playback-stop-symbolic", "media-playback-stop"},
             Shape::Generic},
            {"play.circle",
             {"media-playback-start-symbolic", "media-playback-start"},
             Shape::Generic},
            {"play.square",
             {"media-playback-start-symbolic", "media-playback-start"},
             Shape::Generic},
            {"rectangle.split.2x1", {"view-dual-symbolic"}, Shape::Generic},
            {"rectangle.split.3x1",
             {"view-continuous-symbolic", "view-dual-symbolic"},
             Shape::Generic},
            {"rectangle.on.rectangle",
             {"view-paged-symbolic", "edit-copy-symbolic"},
             Shape::Generic},
            {"rectangle.stack", {"view-paged-symbolic"}, Shape::Generic},
            {"rectangle.stack.badge.play", {"media-playback-start-symbolic"}, Shape::Generic},
            {"rectangle.stack.badge.plus", {"list-add-symbolic", "list-add"}, Shape::Plus},
            {"plus.square.on.square", {"tab-new-symbolic", "tab-new"}, Shape::Plus},
            {"sidebar.left", {"sidebar-show-symbolic"}, Shape::Generic},
            {"list.bullet.indent", {"view-list-bullet-symbolic", "view-list"}, Shape::Generic},
            {"line.3.horizontal.decrease", {"view-list-symbolic", "view-list"}, Shape::Generic},
            {"line.3.horizontal.decrease.circle",
             {"view-list-symbolic", "view-list"},
             Shape::Generic},
            {"tablecells", {"view-grid-symbolic", "x-office-spreadsheet"}, Shape::Generic},
            {"terminal", {"utilities-terminal-symbolic", "utilities-terminal"}, Shape::Generic},
            {"trash",
             {"user-trash-symbolic", "edit-delete-symbolic", "user-trash"},
             Shape::Generic},
            {"wand.and.sparkles",
             {"tools-check-spelling-symbolic", "preferences-desktop-appearance-symbolic"},
             Shape::Generic},
            {"wrench.and.screwdriver",
             {"applications-system-symbolic", "preferences-system-symbolic"},
             Shape::Generic},
            {"text.badge.plus", {"list-add-symbolic", "list-add"}, Shape::Plus},
            {"link", {"insert-link-symbolic", "insert-link"}, Shape::Generic},
            {"envelope",
             {"mail-unread-symbolic", "mail-message-new-symbolic", "mail-unread"},
             Shape::Generic},
            {"checklist", {"checkbox-checked-symbolic", "view-list-symbolic"}, Shape::Check},
            {"swift", {"text-x-script-symbolic", "text-x-generic-symbolic"}, Shape::Document},
            {"plus.circle", {"list-add-symbolic", "list-add"}, Shape::Plus},
            {"minus.circle", {"list-remove-symbolic", "list-remove"}, Shape::Generic},
            {"gearshape",
             {"preferences-system-symbolic", "emblem-system-symbolic"},
             Shape::Generic},
            {"globe", {"preferences-desktop-locale-symbolic", "globe-symbolic"}, Shape::Ring},
            {"keyboard", {"input-keyboard-symbolic", "input-keyboard"}, Shape::Rectangle},
            // Privacy: the raised hand, else a shield; never a "forbidden" sign.
            {"hand.raised",
             {"preferences-system-privacy-symbolic", "preferences-system-privacy",
              "security-high-symbolic", "security-high"},
             Shape::Generic},
            {"hand.raised.fill",
             {"preferences-system-privacy-symbolic", "preferences-system-privacy",
              "security-high-symbolic", "security-high"},
             Shape::Generic},
            {"text.line.first.and.arrowtriangle.forward",
             {"go-jump-symbolic", "go-jump"},
             Shape::Generic},
            {"increase.indent",
             {"format-indent-more-symbolic", "format-indent-more"},
             Shape::Generic},
            {"decrease.indent",
             {"format-indent-less-symbolic", "format-indent-less"},
             Shape::Generic},
            {"textformat.size.larger", {"zoom-in-symbolic", "zoom-in"}, Shape::Plus},
            {"textformat.size.smaller", {"zoom-out-symbolic", "zoom-out"}, Shape::Generic},
            {"textformat.abc", {"format-text-plaintext-symbolic"}, Shape::Generic},
            {"textformat.123", {"format-text-plaintext-symbolic"}, Shape::Generic},
            {"text.quote", {"format-justify-left-symbolic"}, Shape::Generic},
            {"text.alignleft",
             {"format-justify-left-symbolic", "format-justify-left"},
             Shape::Generic},
            {"square.and.arrow.down", {"document-save-symbolic", "document-save"}, Shape::Document},
            {"square.and.arrow.down.on.square",
             {"document-save-as-symbolic", "document-save-as"},
             Shape::Document},
            {"tray.and.arrow.down", {"document-save-symbolic", "document-save"}, Shape::Document},
            {"exclamationmark.triangle",
             {"dialog-warning-symbolic", "dialog-warning"},
             Shape::Generic},
            {"circle.lefthalf.filled",
             {"display-brightness-symbolic", "preferences-desktop-appearance-symbolic"},
             Shape::Dot},
            {"character.bubble", {"preferences-desktop-locale-symbolic"}, Shape::Generic},
            {"curlybraces", {"text-x-script-symbolic"}, Shape::Glyph, "{}"},
            {"circle", {"radio-symbolic", "checkbox-symbolic"}, Shape::Ring},
            {"rectangle", {"window-maximize-symbolic", "window-maximize"}, Shape::Rectangle},
            {"paragraphsign", {"format-text-direction-ltr-symbolic"}, Shape::Glyph, "\xc2\xb6"},
            {"pin", {"view-pin-symbolic", "view-pin"}, Shape::Pin},
            {"bookmark",
             {"user-bookmarks-symbolic", "bookmark-new-symbolic", "user-bookmarks"},
             Shape::Bookmark},
            {"bookmark.slash", {"edit-clear-all-symbolic", "edit-clear"}, Shape::Bookmark},
            {"scissors", {"edit-cut-symbolic", "edit-cut"}, Shape::Scissors},
            {"textformat", {"font-x-generic-symbolic", "font-x-generic"}, Shape::Glyph, "Aa"},
        };
        QHash<QString, SymbolEntry> map;
        for (const SymbolEntry& entry : list)
            map.insert(QString::fromLatin1(entry.symbol), entry);
        return map;
    }();
    return entries;
}

Shape shapeFor(const QString& symbolName) {
    const auto it = table().constFind(symbolName);
    return it == table().constEnd() ? Shape::Generic : it->shape;
}

QString glyphFor(const QString& symbolName) {
    const auto it = table().constFind(symbolName);
    return it == table().constEnd() || !it->glyph ? QString() : QString::fromUtf8(it->glyph);
}

void drawShape(QPainter& p, Shape shape, const QRectF& r, const QColor& color,
               const QString& glyph) {
    const qreal w = r.width();
    QPen pen(color, qMax<qreal>(1.0, w / 9.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF inner = r.adjusted(w * 0.15, w * 0.15, -w * 0.15, -w * 0.15);
    switch (shape) {
    case Shape::Dot:
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(r.adjusted(w * 0.2, w * 0.2, -w * 0.2, -w * 0.2));
        break;
    case Shape::Cross:
        p.drawLine(inner.topLeft(), inner.bottomRight());
        p.drawLine(inner.topRight(), inner.bottomLeft());
        break;
    case Shape::Document: {
        const QRectF d = inner.adjusted(w * 0.08, 0, -w * 0.08, 0);
        const qreal fold = d.width() * 0.35;
        QPainterPath path;
        path.moveTo(d.left(), d.top());
        path.lineTo(d.right() - fold, d.top());
        path.lineTo(d.right(), d.top() + fold);
        path.lineTo(d.right(), d.bottom());
        path.lineTo(d.left(), d.bottom());
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Shape::Lock: {
        const QRectF body(inner.left(), inner.center().y() - w * 0.05, inner.width(),
                          inner.height() * 0.55);
        p.setBrush(color);
        p.drawRoundedRect(body, w * 0.06, w * 0.06);
        p.setBrush(Qt::NoBrush);
        const QRectF shackle(inner.left() + inner.width() * 0.2, inner.top(), inner.width() * 0.6,
                             inner.height() * 0.7);
        p.drawArc(shackle, 0, 180 * 16);
        break;
    }
    case Shape::Bookmark: {
        QPolygonF ribbon;
        ribbon << QPointF(inner.left() + w * 0.1, inner.top())
               << QPointF(inner.right() - w * 0.1, inner.top())
               << QPointF(inner.right() - w * 0.1, inner.bottom())
               << QPointF(inner.center().x(), inner.bottom() - w * 0.2)
               << QPointF(inner.left() + w * 0.1, inner.bottom());
        p.setBrush(color);
        p.drawPolygon(ribbon);
        break;
    }
    case Shape::Cursor: {
        const qreal x = inner.center().x();
        p.drawLine(QPointF(x, inner.top()), QPointF(x, inner.bottom()));
        p.drawLine(QPointF(x - w * 0.15, inner.top()), QPointF(x + w * 0.15, inner.top()));
        p.drawLine(QPointF(x - w * 0.15, inner.bottom()), QPointF(x + w * 0.15, inner.bottom()));
        break;
    }
    case Shape::Gauge: {
        const QRectF dial = inner.adjusted(0, w * 0.1, 0, w * 0.3);
        p.drawArc(dial, 0, 180 * 16);
        p.drawLine(dial.center(),
                   QPointF(dial.center().x() + w * 0.22, dial.center().y() - w * 0.25));
        break;
    }
    case Shape::Folder: {
        QPainterPath path;
        path.moveTo(inner.left(), inner.top() + w * 0.1);
        path.lineTo(inner.left() + inner.width() * 0.4, inner.top() + w * 0.1);
        path.lineTo(inner.left() + inner.width() * 0.5, inner.top() + w * 0.22);
        path.lineTo(inner.right(), inner.top() + w * 0.22);
        path.lineTo(inner.right(), inner.bottom() - w * 0.05);
        path.lineTo(inner.left(), inner.bottom() - w * 0.05);
        path.closeSubpath();
        p.drawPath(path);
        break;
    }
    case Shape::Magnifier: {
        const QRectF lens(inner.left(), inner.top(), inner.width() * 0.65, inner.height() * 0.65);
        p.drawEllipse(lens);
        p.drawLine(QPointF(lens.right() - w * 0.05, lens.bottom() - w * 0.05), inner.bottomRight());
        break;
    }
    case Shape::Check:
        p.drawPolyline(QPolygonF() << QPointF(inner.left(), inner.center().y())
                                   << QPointF(inner.left() + inner.width() * 0.38, inner.bottom())
                                   << inner.topRight());
        break;
    case Shape::ChevronDown:
        p.drawPolyline(QPolygonF()
                       << QPointF(inner.left(), inner.top() + inner.height() * 0.3)
                       << QPointF(inner.center().x(), inner.bottom() - inner.height() * 0.2)
                       << QPointF(inner.right(), inner.top() + inner.height() * 0.3));
        break;
    case Shape::ChevronUp:
        p.drawPolyline(QPolygonF()
                       << QPointF(inner.left(), inner.bottom() - inner.height() * 0.3)
                       << QPointF(inner.center().x(), inner.top() + inner.height() * 0.2)
                       << QPointF(inner.right(), inner.bottom() - inner.height() * 0.3));
        break;
    case Shape::Plus:
        p.drawLine(QPointF(inner.center().x(), inner.top()),
                   QPointF(inner.center().x(), inner.bottom()));
        p.drawLine(QPointF(inner.left(), inner.center().y()),
                   QPointF(inner.right(), inner.center().y()));
        break;
    case Shape::Ring:
        p.drawEllipse(inner);
        break;
    case Shape::Rectangle:
        p.drawRoundedRect(inner.adjusted(0, w * 0.08, 0, -w * 0.08), w * 0.08, w * 0.08);
        break;
    case Shape::Pin: {
        const QRectF head(inner.center().x() - w * 0.2, inner.top(), w * 0.4, w * 0.4);
        p.setBrush(color);
        p.drawEllipse(head);
        p.drawLine(QPointF(head.center().x(), head.bottom()),
                   QPointF(head.center().x(), inner.bottom()));
        break;
    }
    case Shape::Scissors: {
        const qreal ring = w * 0.22;
        p.drawEllipse(QRectF(inner.left(), inner.bottom() - ring, ring, ring));
        p.drawEllipse(QRectF(inner.right() - ring, inner.bottom() - ring, ring, ring));
        p.drawLine(QPointF(inner.left() + ring, inner.bottom() - ring), inner.topRight());
        p.drawLine(QPointF(inner.right() - ring, inner.bottom() - ring), inner.topLeft());
        break;
    }
    case Shape::Glyph: {
        QFont font = p.font();
        font.setPixelSize(qMax(6, int(w * 0.72)));
        font.setBold(true);
        p.setFont(font);
        p.drawText(r, Qt::AlignCenter, glyph);
        break;
    }
    case Shape::Generic:
        p.drawRoundedRect(inner, w * 0.18, w * 0.18);
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(
            QRectF(inner.center().x() - w * 0.1, inner.center().y() - w * 0.1, w * 0.2, w * 0.2));
        break;
    }
}

QPixmap recolored(const QPixmap& source, const QColor& color) {
    QPixmap result(source.size());
    result.setDevicePixelRatio(source.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter p(&result);
    p.drawPixmap(0, 0, source);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(QRect(QPoint(0, 0), source.size()), color);
    return result;
}

} // namespace

QStringList freedesktopIconNames(const QString& symbolName) {
    const auto it = table().constFind(symbolName);
    return it == table().constEnd() ? QStringList() : it->names;
}

bool isKnownSymbol(const QString& symbolName) {
    return table().contains(symbolName);
}

QPixmap drawnSymbolPixmap(const QString& symbolName, int size, const QColor& color,
                          qreal devicePixelRatio) {
    const int device = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pixmap(device, device);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        drawShape(p, shapeFor(symbolName), QRectF(0, 0, device, device), color,
                  glyphFor(symbolName));
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QPixmap symbolPixmap(const QString& symbolName, int size, const QColor& color,
                     qreal devicePixelRatio) {
    const QString cacheKey = QStringLiteral("dunmoss-symbol:%1:%2:%3:%4")
                                 .arg(symbolName)
                                 .arg(size)
                                 .arg(color.name(QColor::HexArgb))
                                 .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(cacheKey, &cached))
        return cached;

    QPixmap result;
    for (const QString& name : freedesktopIconNames(symbolName)) {
        if (!QIcon::hasThemeIcon(name))
            continue;
        const QIcon icon = QIcon::fromTheme(name);
        QPixmap themed = icon.pixmap(QSize(size, size), devicePixelRatio);
        const int device = qMax(1, qRound(size * devicePixelRatio));
        if (!themed.isNull() && themed.size() != QSize(device, device)) {
            // Themes without the exact size hand back the nearest one; keep layouts exact.
            themed = themed.scaled(device, device, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            themed.setDevicePixelRatio(devicePixelRatio);
        }
        if (!themed.isNull()) {
            result = recolored(themed, color);
            break;
        }
    }
    if (result.isNull())
        result = drawnSymbolPixmap(symbolName, size, color, devicePixelRatio);
    QPixmapCache::insert(cacheKey, result);
    return result;
}

QIcon symbolIcon(const QString& symbolName, const QColor& color, int size) {
    QIcon icon;
    icon.addPixmap(symbolPixmap(symbolName, size, color, 1.0));
    icon.addPixmap(symbolPixmap(symbolName, size, color, 2.0));
    return icon;
}

QColor secondaryLabelColor(const QPalette& palette) {
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.62);
    return text;
}

void useSecondaryTextColor(QWidget* widget) {
    useTextColor(widget, secondaryLabelColor);
}

QColor systemOrange() {
    return QColor(255, 149, 0);
}

QColor barMaterialColor(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    return window.lightness() > 128 ? window.darker(104) : window.lighter(118);
}

QToolButton* makeCloseSymbolButton(const QString& toolTip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(toolTip);
    button->setIconSize(QSize(9, 9));
    button->setFixedSize(14, 14);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    // Drawn again whenever the inherited palette changes (a window switching to dark).
    useSymbol(button, QStringLiteral("xmark"), 9, secondaryLabelColor);
    return button;
}

void configureIconThemeFallback() {
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == "hicolor")
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        for (const QString& base : QIcon::themeSearchPaths())
            if (QDir(base + QStringLiteral("/Adwaita")).exists()) {
                QIcon::setThemeName(QStringLiteral("Adwaita"));
                break;
            }
    }
}

} // namespace dunmoss
