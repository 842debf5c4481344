#include "platform/ByteCountFormatter.h"
#include "platform/Localization.h"

#include <QHash>
#include <gtest/gtest.h>
#include <limits>

using namespace dunmoss;

namespace {

QString english(qint64 bytes) {
    return formatFileByteCount(bytes, [](const QString& key) {
        return localizedStringInLproj(key, QStringLiteral("en")).value_or(key);
    });
}

} // namespace

TEST(ByteCountFormatter, DecimalUnitsWithAdaptiveDigits) {
    const QList<QPair<qint64, QString>> cases{
        {0, QStringLiteral("Zero KB")},
        {1, QStringLiteral("1 byte")},
        {2, QStringLiteral("2 bytes")},
        {999, QStringLiteral("999 bytes")},
        {1000, QStringLiteral("1 KB")},
        {1499, QStringLiteral("1 KB")},
        {1500, QStringLiteral("2 KB")},
        {999'499, QStringLiteral("999 KB")},
        {999'999, QStringLiteral("1 MB")},
        {1'500'000, QStringLiteral("1.5 MB")},
        {2'000'000, QStringLiteral("2 MB")},
        {5'000'001, QStringLiteral("5 MB")},
        {5'049'999, QStringLiteral("5 MB")},
        {5'050'000, QStringLiteral("5.1 MB")},
        {999'960'000, QStringLiteral("1 GB")},
        {1'230'000'000, QStringLiteral("1.23 GB")},
        {2'500'000'000, QStringLiteral("2.5 GB")},
        {3'000'000'000'000, QStringLiteral("3 TB")},
        {-1500, QStringLiteral("-2 KB")},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(english(bytes), expected) << bytes;
}

TEST(ByteCountFormatter, ExtremesDoNotOverflow) {
    EXPECT_EQ(english(std::numeric_limits<qint64>::max()), QStringLiteral("9.22 EB"));
    EXPECT_EQ(english(std::numeric_limits<qint64>::min()), QStringLiteral("-9.22 EB"));
}

TEST(ByteCountFormatter, UnitWordsComeFromTheLocalizer) {
    QStringList asked;
    const auto localizer = [&asked](const QString& key) {
        asked.append(key);
        return QStringLiteral("<%1>");
    };
    EXPECT_EQ(formatFileByteCount(2'000'000, localizer), QStringLiteral("<2>"));
    EXPECT_EQ(formatFileByteCount(0, localizer), QStringLiteral("<%1>"));
    EXPECT_EQ(asked, (QStringList{QStringLiteral("byte-count.mb.format"),
                                  QStringLiteral("byte-count.zero")}));
    EXPECT_EQ(formatFileByteCount(
                  1,
                  [](const QString& key) {
                      return localizedStringInLproj(key, QStringLiteral("zh-Hans")).value_or(key);
                  }),
              QStringLiteral("1 字节"));
}
