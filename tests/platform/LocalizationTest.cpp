#include "platform/Localization.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

const QString kPreferenceKey = QString::fromLatin1(kLanguagePreferenceKey);
const QString kListKey = QString::fromLatin1(kAppleLanguagesKey);

class LocalizationTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("defaults.ini"))};

    // Preferred languages fixed for the process so the bundle's choice does not depend on the
    // machine running the test.
    void preferLanguages(const QStringList& languages) {
        defaults.setArgumentDomain({{kListKey, languages}});
    }
};

const LocalizationTables& sampleTables() {
    static const LocalizationTables tables{
        {QStringLiteral("en"),
         {{QStringLiteral("only.english"), QStringLiteral("English only")},
          {QStringLiteral("both"), QStringLiteral("Both (en)")},
          {QStringLiteral("same.as.key"), QStringLiteral("same.as.key")},
          {QStringLiteral("chinese.is.key"), QStringLiteral("Chinese is key (en)")}}},
        {QStringLiteral("zh-Hans"),
         {{QStringLiteral("both"), QStringLiteral("两者")},
          {QStringLiteral("only.chinese"), QStringLiteral("仅中文")},
          {QStringLiteral("same.as.key"), QStringLiteral("same.as.key")},
          {QStringLiteral("chinese.is.key"), QStringLiteral("chinese.is.key")}}},
    };
    return tables;
}

} // namespace

TEST_F(LocalizationTest, PreferenceRawValuesAndStoredReading) {
    EXPECT_EQ(allLanguagePreferences(),
              (QList<AppLanguagePreference>{AppLanguagePreference::System,
                                            AppLanguagePreference::SimplifiedChinese,
                                            AppLanguagePreference::English}));
    for (AppLanguagePreference p : allLanguagePreferences())
        EXPECT_EQ(languagePreferenceFromRawValue(rawValue(p)), p);
    EXPECT_FALSE(languagePreferenceFromRawValue(QStringLiteral("English")));
    EXPECT_EQ(languageCode(AppLanguagePreference::SimplifiedChinese), QStringLiteral("zh-Hans"));
    EXPECT_EQ(languageCode(AppLanguagePreference::English), QStringLiteral("en"));
    EXPECT_TRUE(languageCode(AppLanguagePreference::System).isEmpty());

    EXPECT_EQ(storedLanguagePreference(defaults), AppLanguagePreference::System);
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    EXPECT_EQ(storedLanguagePreference(defaults), AppLanguagePreference::English);
    defaults.setValue(kPreferenceKey, QStringLiteral("simplifiedchinese"));
    EXPECT_EQ(storedLanguagePreference(defaults), AppLanguagePreference::System);
    defaults.setValue(kPreferenceKey, 1);
    EXPECT_EQ(storedLanguagePreference(defaults), AppLanguagePreference::System);
}

TEST_F(LocalizationTest, FirstChoiceEverNeedsRestartEvenForSystem) {
    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::System, defaults));
    EXPECT_EQ(defaults.string(kPreferenceKey), QStringLiteral("system"));
    // The same choice again with the language list untouched: no restart.
    EXPECT_FALSE(applyLanguagePreference(AppLanguagePreference::System, defaults));
}

TEST_F(LocalizationTest, SameChoiceTwiceNeedsNoRestart) {
    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::English, defaults));
    EXPECT_EQ(defaults.persistentValue(kListKey).toList(), QVariantList{QStringLiteral("en")});
    EXPECT_EQ(defaults.argumentDomain().size(), 1);
    EXPECT_EQ(defaults.stringList(kListKey), QStringList{QStringLiteral("en")});
    EXPECT_FALSE(applyLanguagePreference(AppLanguagePreference::English, defaults));

    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::SimplifiedChinese, defaults));
    EXPECT_EQ(defaults.stringList(kListKey), QStringList{QStringLiteral("zh-Hans")});
    EXPECT_EQ(defaults.argumentDomain().value(kListKey).toStringList(),
              QStringList{QStringLiteral("zh-Hans")});
}

TEST_F(LocalizationTest, SwitchingToSystemRemovesListAndArgumentDomain) {
    defaults.setArgumentDomain({{QStringLiteral("other.argument"), true}});
    applyLanguagePreference(AppLanguagePreference::English, defaults);
    // Choosing a language replaces the whole argument domain.
    EXPECT_FALSE(defaults.argumentDomain().contains(QStringLiteral("other.argument")));

    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::System, defaults));
    EXPECT_FALSE(defaults.persistentValue(kListKey).isValid());
    EXPECT_TRUE(defaults.argumentDomain().isEmpty());
    EXPECT_FALSE(defaults.contains(kListKey));
    EXPECT_EQ(defaults.string(kPreferenceKey), QStringLiteral("system"));
}

TEST_F(LocalizationTest, StoredListThatIsNotStringsCountsAsAbsent) {
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    defaults.setValue(kListKey, QStringLiteral("en"));
    // Same preference; the list goes from "not a list" (absent) to ["en"]: restart.
    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::English, defaults));

    Defaults other(dir.filePath(QStringLiteral("other.ini")));
    other.setValue(kPreferenceKey, QStringLiteral("simplifiedChinese"));
    other.setValue(kListKey, QVariantList{QStringLiteral("zh-Hans"), 3});
    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::SimplifiedChinese, other));
}

TEST_F(LocalizationTest, SameChoiceWithChangedListNeedsRestart) {
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    defaults.setValue(kListKey, QStringList{QStringLiteral("en"), QStringLiteral("fr")});
    EXPECT_TRUE(applyLanguagePreference(AppLanguagePreference::English, defaults));
}

TEST_F(LocalizationTest, LookupOrderOverTables) {
    const LocalizationTables& tables = sampleTables();
    preferLanguages({QStringLiteral("fr")});

    defaults.setValue(kPreferenceKey, QStringLiteral("simplifiedChinese"));
    EXPECT_EQ(localizedString(QStringLiteral("both"), defaults, tables), QStringLiteral("两者"));
    EXPECT_EQ(localizedString(QStringLiteral("only.english"), defaults, tables),
              QStringLiteral("English only"));
    EXPECT_EQ(localizedString(QStringLiteral("missing.key"), defaults, tables),
              QStringLiteral("missing.key"));
    EXPECT_EQ(localizedString(QStringLiteral("same.as.key"), defaults, tables),
              QStringLiteral("same.as.key"));
    // A Chinese text equal to its key counts as missing and English takes over.
    EXPECT_EQ(localizedString(QStringLiteral("chinese.is.key"), defaults, tables),
              QStringLiteral("Chinese is key (en)"));

    // Following the system: the preferred languages choose the table.
    defaults.setValue(kPreferenceKey, QStringLiteral("system"));
    EXPECT_EQ(localizedString(QStringLiteral("both"), defaults, tables),
              QStringLiteral("Both (en)"));
    preferLanguages({QStringLiteral("de"), QStringLiteral("zh-Hans-CN"), QStringLiteral("en")});
    EXPECT_EQ(localizedString(QStringLiteral("both"), defaults, tables), QStringLiteral("两者"));
    EXPECT_EQ(localizedString(QStringLiteral("only.chinese"), defaults, tables),
              QStringLiteral("仅中文"));

    // An explicit English choice wins over preferred Chinese; a key only in Chinese is still
    // found through the preferred languages.
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    EXPECT_EQ(localizedString(QStringLiteral("both"), defaults, tables),
              QStringLiteral("Both (en)"));
    EXPECT_EQ(localizedString(QStringLiteral("only.chinese"), defaults, tables),
              QStringLiteral("仅中文"));

    EXPECT_FALSE(localizedStringInLproj(QStringLiteral("both"), QStringLiteral("fr"), tables));
    EXPECT_FALSE(
        localizedStringInLproj(QStringLiteral("same.as.key"), QStringLiteral("en"), tables));
}

TEST_F(LocalizationTest, LookupFollowsPreferenceChangesAtOnce) {
    preferLanguages({QStringLiteral("en")});
    const QString key = QStringLiteral("byte-count.zero");
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    const QString english = localizedString(key, defaults);
    defaults.setValue(kPreferenceKey, QStringLiteral("simplifiedChinese"));
    const QString chinese = localizedString(key, defaults);
    EXPECT_EQ(english, localizedStringInLproj(key, QStringLiteral("en")));
    EXPECT_EQ(chinese, localizedStringInLproj(key, QStringLiteral("zh-Hans")));
    EXPECT_NE(english, chinese);
    EXPECT_EQ(localizedString(QStringLiteral("no.such.key.anywhere"), defaults),
              QStringLiteral("no.such.key.anywhere"));
}

TEST_F(LocalizationTest, CountsTakeTheSingularOnlyForExactlyOne) {
    preferLanguages({QStringLiteral("en")});
    defaults.setValue(kPreferenceKey, QStringLiteral("english"));
    EXPECT_EQ(localizedCount(1, kCountedFiles, defaults), QStringLiteral("1 file"));
    EXPECT_EQ(localizedCount(0, kCountedFiles, defaults), QStringLiteral("0 files"));
    EXPECT_EQ(localizedCount(21, kCountedMatches, defaults), QStringLiteral("21 matches"));
    EXPECT_EQ(localizedCount(1, kCountedSteps, defaults), QStringLiteral("1 step"));
    defaults.setValue(kPreferenceKey, QStringLiteral("simplifiedChinese"));
    EXPECT_EQ(localizedCount(1, kCountedFiles, defaults), QStringLiteral("1 个文件"));
    EXPECT_EQ(localizedCount(2, kCountedFiles, defaults), QStringLiteral("2 个文件"));
}

TEST(LocalizationTables, BundledTablesAreLoaded) {
    EXPECT_EQ(availableLocalizations(),
              (QStringList{QStringLiteral("en"), QStringLiteral("zh-Hans")}));
    EXPECT_FALSE(localizationTable(QStringLiteral("en")).isEmpty());
    EXPECT_FALSE(localizationTable(QStringLiteral("zh-Hans")).isEmpty());
    EXPECT_TRUE(localizationTable(QStringLiteral("fr")).isEmpty());
}
