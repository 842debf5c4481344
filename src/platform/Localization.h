#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace dunmoss {

class Defaults;

// The user's choice of interface language, stored by its raw value.
enum class AppLanguagePreference { System, SimplifiedChinese, English };

inline constexpr const char* kLanguagePreferenceKey = "app.language.preference";
inline constexpr const char* kAppleLanguagesKey = "AppleLanguages";

QString rawValue(AppLanguagePreference preference);
std::optional<AppLanguagePreference> languagePreferenceFromRawValue(const QString& raw);
const QList<AppLanguagePreference>& allLanguagePreferences();
// "zh-Hans", "en", or empty for the system choice.
QString languageCode(AppLanguagePreference preference);

// Reads the stored choice on every call; anything unrecognised is the system choice.
AppLanguagePreference storedLanguagePreference(const Defaults& defaults);
AppLanguagePreference storedLanguagePreference();

// Applies a choice to the language list of this process and of later launches, stores it, and
// tells whether a restart is needed for it to take full effect.
bool applyLanguagePreference(AppLanguagePreference preference, Defaults& defaults);
bool applyLanguagePreference(AppLanguagePreference preference);

// Language code -> key -> text. The program uses the tables compiled into it.
using LocalizationTables = QHash<QString, QHash<QString, QString>>;

// The key's text in one language's table ("en" or "zh-Hans"); nothing when the table lacks it
// or holds the key itself as the text.
std::optional<QString> localizedStringInLproj(const QString& key, const QString& languageCode);
std::optional<QString> localizedStringInLproj(const QString& key, const QString& languageCode,
                                              const LocalizationTables& tables);

// The language the interface speaks ("en" or "zh-Hans"): the chosen one, else the one the
// process's preferred languages pick.
QString interfaceLanguage(const Defaults& defaults);

// The program-wide lookup: chosen language, then the table the process's preferred languages
// pick, then English, then the key itself. Never fails.
QString localizedString(const QString& key, const Defaults& defaults);
QString localizedString(const QString& key);
// The same lookup over other tables.
QString localizedString(const QString& key, const Defaults& defaults,
                        const LocalizationTables& tables);

// Marks a literal as a localisation key so the key check finds it where the lookup happens
// later (status keys handed to another function, for example).
constexpr const char* lkey(const char* key) {
    return key;
}

// A noun as status texts count it: one key for exactly one ("%1 file"), one for any other count
// ("%1 files"). A language without plural forms gives both keys one text.
struct CountedNoun {
    const char* one;
    const char* other;
};

inline constexpr CountedNoun kCountedMatches{lkey("count.match.one"), lkey("count.match.other")};
inline constexpr CountedNoun kCountedResults{lkey("count.result.one"), lkey("count.result.other")};
inline constexpr CountedNoun kCountedFiles{lkey("count.file.one"), lkey("count.file.other")};
inline constexpr CountedNoun kCountedLines{lkey("count.line.one"), lkey("count.line.other")};
inline constexpr CountedNoun kCountedItems{lkey("count.item.one"), lkey("count.item.other")};
inline constexpr CountedNoun kCountedSteps{lkey("count.step.one"), lkey("count.step.other")};
inline constexpr CountedNoun kCountedReplacements{lkey("count.replacement.one"),
                                                  lkey("count.replacement.other")};

// The count with its noun in the form the count takes ("1 file", "3 files").
QString localizedCount(qint64 count, CountedNoun noun);
QString localizedCount(qint64 count, CountedNoun noun, const Defaults& defaults);

// The table names the lookup knows, and a whole table (for the key check).
QStringList availableLocalizations();
const QHash<QString, QString>& localizationTable(const QString& languageCode);

} // namespace dunmoss
