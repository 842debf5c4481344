#include "editor/IconTable.h"

#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

bool hasVisiblePixels(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 40)
                return true;
    return false;
}

// The symbols the window chrome draws.
const QStringList kChromeSymbols = {
    "doc.plaintext", "circle.fill", "xmark", "speedometer", "text.cursor", "lock", "bookmark.fill",
};

} // namespace

TEST(IconTable, ChromeSymbolsAreKnownAndMapToFreedesktopNames) {
    for (const QString& symbol : kChromeSymbols)
        EXPECT_TRUE(isKnownSymbol(symbol)) << symbol.toStdString();
    EXPECT_TRUE(freedesktopIconNames(QStringLiteral("xmark")).contains("window-close"));
    EXPECT_TRUE(freedesktopIconNames(QStringLiteral("doc.plaintext")).contains("text-x-generic"));
    EXPECT_FALSE(isKnownSymbol(QStringLiteral("no.such.symbol")));
    EXPECT_TRUE(freedesktopIconNames(QStringLiteral("no.such.symbol")).isEmpty());
}

TEST(IconTable, PrivacyShowsARaisedHandNotAForbiddenSign) {
    for (const QString& symbol :
         {QStringLiteral("hand.raised"), QStringLiteral("hand.raised.fill")}) {
        const QStringList names = freedesktopIconNames(symbol);
        ASSERT_FALSE(names.isEmpty());
        EXPECT_EQ(names.first(), "preferences-system-privacy-symbolic");
        for (const QString& name : names)
            EXPECT_FALSE(name.startsWith("action-unavailable") || name.startsWith("process-stop"))
                << name.toStdString();
    }
}

TEST(IconTable, EverySymbolShowsOnABareMachine) {
    const QStringList savedPaths = QIcon::themeSearchPaths();
    const QString savedTheme = QIcon::themeName();
    const QString savedFallback = QIcon::fallbackThemeName();
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("dunmoss-no-theme"));
    QIcon::setFallbackThemeName(QStringLiteral("dunmoss-no-theme"));
    for (const QString& symbol : kChromeSymbols + QStringList{"no.such.symbol", "folder"}) {
        const QPixmap pixmap = symbolPixmap(symbol, 16, Qt::black, 1.0);
        EXPECT_EQ(pixmap.size(), QSize(16, 16)) << symbol.toStdString();
        EXPECT_TRUE(hasVisiblePixels(pixmap)) << symbol.toStdString();
    }
    QIcon::setThemeSearchPaths(savedPaths);
    QIcon::setThemeName(savedTheme);
    QIcon::setFallbackThemeName(savedFallback);
}

TEST(IconTable, SymbolsAreDrawnInTheirColour) {
    const QImage dot = drawnSymbolPixmap(QStringLiteral("circle.fill"), 16, systemOrange())
                           .toImage()
                           .convertToFormat(QImage::Format_ARGB32);
    const QColor centre = dot.pixelColor(8, 8);
    EXPECT_EQ(centre.rgb(), systemOrange().rgb());
    const QPixmap doubled = symbolPixmap(QStringLiteral("lock"), 12, Qt::red, 2.0);
    EXPECT_EQ(doubled.size(), QSize(24, 24));
    EXPECT_DOUBLE_EQ(doubled.devicePixelRatio(), 2.0);
}
