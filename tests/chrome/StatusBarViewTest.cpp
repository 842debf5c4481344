#include "chrome/StatusBarView.h"
#include "chrome/LargeFileBanner.h"
#include "platform/ByteCountFormatter.h"
#include "platform/Localization.h"
#include "text/LanguageCatalogue.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QString l(const char* key) {
    return localizedString(QString::fromLatin1(key));
}

} // namespace

TEST(StatusBarTexts, EmptyTextShowsTheFirstPosition) {
    const StatusBarTexts texts = statusBarTexts(StatusBarValues{});
    EXPECT_EQ(texts.cursor, l("status.cursor.format").arg(1).arg(1));
    EXPECT_EQ(texts.lines, l("status.lines.format").arg(1));
    EXPECT_EQ(texts.characters, l("status.characters.format").arg(0));
    EXPECT_FALSE(texts.selection);
    EXPECT_FALSE(texts.largeFileMode);
    EXPECT_FALSE(texts.readOnly);
    EXPECT_FALSE(texts.bookmarks);
    EXPECT_EQ(texts.savedState, l("status.saved"));
    EXPECT_EQ(texts.language, l("language.plain-text"));
    EXPECT_EQ(texts.encoding, l("encoding.utf8"));
    EXPECT_EQ(texts.lineEnding, l("line-ending.lf"));
}

TEST(StatusBarTexts, FlagsSelectionAndDocumentFacts) {
    StatusBarValues values;
    values.text = QStringLiteral("ab\ncd");
    values.selectedRange = {1, 2};
    values.encoding = TextFileEncoding::Gb18030;
    values.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    values.language = EditorLanguage::Python;
    values.isDirty = true;
    values.isReadOnly = true;
    values.isLargeFileMode = true;
    values.bookmarkedLineCount = 1;
    const StatusBarTexts texts = statusBarTexts(values);
    EXPECT_EQ(texts.selection, l("status.selection.format").arg(2).arg(2));
    EXPECT_EQ(texts.largeFileMode, l("status.large-file-mode"));
    EXPECT_EQ(texts.readOnly, l("status.read-only"));
    EXPECT_EQ(texts.bookmarks, l("status.bookmarks.format").arg(1));
    EXPECT_EQ(texts.savedState, l("document.unsaved-badge"));
    EXPECT_EQ(texts.language, localizedString(displayName(EditorLanguage::Python)));
    EXPECT_EQ(texts.encoding, l("encoding.gb18030"));
    EXPECT_EQ(texts.lineEnding, l("line-ending.crlf"));
    values.bookmarkedLineCount = 0;
    EXPECT_FALSE(statusBarTexts(values).bookmarks);
}

TEST(StatusBarView, ShowsItemsInOrderAndHidesAbsentOnes) {
    StatusBarView bar;
    StatusBarValues values;
    values.text = QStringLiteral("one\ntwo");
    values.selectedRange = {4, 0};
    bar.setValues(values);
    const QStringList plain = bar.visibleItemTexts();
    ASSERT_EQ(plain.size(), 7);
    EXPECT_EQ(plain[0], l("status.cursor.format").arg(2).arg(1));
    EXPECT_EQ(plain[1], l("status.lines.format").arg(2));
    EXPECT_EQ(plain[2], l("status.characters.format").arg(7));
    EXPECT_EQ(plain[3], l("status.saved"));
    values.selectedRange = {0, 3};
    values.isReadOnly = true;
    values.bookmarkedLineCount = 2;
    bar.setValues(values);
    const QStringList flagged = bar.visibleItemTexts();
    ASSERT_EQ(flagged.size(), 10);
    EXPECT_EQ(flagged[3], l("status.selection.format").arg(3).arg(1));
    EXPECT_EQ(flagged[4], l("status.read-only"));
    EXPECT_EQ(flagged[5], l("status.bookmarks.format").arg(2));
}

TEST(StatusBarView, ANarrowRowElidesItsTextsInsteadOfCuttingThem) {
    QWidget window;
    auto* bar = new StatusBarView(&window);
    StatusBarValues values;
    values.text = QStringLiteral("one\ntwo three");
    values.selectedRange = {0, 9};
    values.isReadOnly = true;
    values.bookmarkedLineCount = 3;
    values.encoding = TextFileEncoding::Utf16LittleEndian;
    values.lineEnding = TextLineEnding::CarriageReturnLineFeed;
    bar->setValues(values);
    const QStringList whole = bar->visibleItemTexts();
    // The row asks for room for all its texts but never forces a window that wide.
    EXPECT_LT(bar->minimumSizeHint().width(), 420);
    EXPECT_GT(bar->sizeHint().width(), 600);
    window.resize(420, 40);
    bar->setGeometry(0, 0, 420, bar->sizeHint().height());
    window.show();
    QApplication::processEvents();

    const QStringList shown = bar->displayedItemTexts();
    ASSERT_EQ(shown.size(), whole.size());
    int elided = 0;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (shown[i] == whole[i])
            continue;
        ASSERT_TRUE(shown[i].endsWith(QChar(0x2026))) << shown[i].toStdString();
        EXPECT_TRUE(whole[i].startsWith(shown[i].chopped(1))) << shown[i].toStdString();
        ++elided;
    }
    EXPECT_GT(elided, 0);
    // Nothing is drawn past the end of the row.
    for (QWidget* child : bar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible()) {
            EXPECT_LE(child->geometry().right(), bar->contentsRect().right());
        }

    // With room again, every text is whole.
    bar->setGeometry(0, 0, bar->sizeHint().width(), bar->sizeHint().height());
    QApplication::processEvents();
    EXPECT_EQ(bar->displayedItemTexts(), whole);
}

TEST(LargeFileBanner, MessageNamesBothSizes) {
    const auto localizer = [](const QString& key) { return localizedString(key); };
    LargeFileBanner banner;
    banner.setValues(qint64(7'340'032), LargeFileBanner::kPreviewBytes);
    EXPECT_EQ(banner.message(), l("large-file.banner.format")
                                    .arg(formatFileByteCount(7'340'032, localizer),
                                         formatFileByteCount(2'000'000, localizer)));
    EXPECT_TRUE(banner.message().contains(formatFileByteCount(2'000'000, localizer)));
    banner.setValues(std::nullopt, LargeFileBanner::kPreviewBytes);
    EXPECT_EQ(banner.message(),
              l("large-file.banner.format")
                  .arg(l("large-file.unknown-size"), formatFileByteCount(2'000'000, localizer)));
}
