#include "platform/Localization.h"

#include "platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <mutex>

namespace dunmoss {

namespace {

const QString kEnglish = QStringLiteral("en");
const QString kChinese = QStringLiteral("zh-Hans");

// The tables are compiled-in resources and cannot change while the program runs, so parsing
// them once is safe; the preference itself is read on every lookup.
const LocalizationTables& bundledTables() {
    static LocalizationTables loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        for (const QString& code : {kEnglish, kChinese}) {
            QHash<QString, QString> table;
            QDir dir(QStringLiteral(":/l10n/") + code);
            const QStringList files =
                dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
            for (const QString& name : files) {
                QFile file(dir.filePath(name));
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
                // A value that is not text would show as an empty label: leave the key
                // untranslated instead, so the fallback chain still finds a text.
                for (auto it = object.begin(); it != object.end(); ++it)
                    if (it.value().isString())
                        table.insert(it.key(), it.value().toString());
            }
            loaded.insert(code, table);
        }
    });
    return loaded;
}

QString normalizedLanguage(const QString& code) {
    const QString lower = code.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    if (lower == QLatin1String("zh") || lower.startsWith(QLatin1String("zh-hans")) ||
        lower == QLatin1String("zh-cn") || lower == QLatin1String("zh-sg"))
        return kChinese;
    if (lower == QLatin1String("en") || lower.startsWith(QLatin1String("en-")))
        return kEnglish;
    return {};
}

// The system's preferred languages. Asking the locale for them costs far more than the table
// lookup itself, and every label and undo step asks, so the answer is kept while the system
// locale stays the same.
QStringList systemUiLanguages() {
    // Never destroyed: writer threads may still look texts up while the process ends.
    static std::mutex& mutex = *new std::mutex;
    static QString& knownLocale = *new QString;
    static QStringList& known = *new QStringList;
    const QLocale system = QLocale::system();
    const QString name = system.name();
    std::lock_guard lock(mutex);
    if (known.isEmpty() || name != knownLocale) {
        known = system.uiLanguages();
        knownLocale = name;
    }
    return known;
}

// The table the process's preferred languages choose, falling back to English.
QString bundleLanguage(const Defaults& defaults) {
    QStringList preferred =
        defaults.stringList(QString::fromLatin1(kAppleLanguagesKey)).value_or(QStringList());
    if (preferred.isEmpty())
        preferred = systemUiLanguages();
    for (const QString& code : preferred) {
        const QString match = normalizedLanguage(code);
        if (!match.isEmpty())
            return match;
    }
    return kEnglish;
}

} // namespace

QString rawValue(AppLanguagePreference preference) {
    switch (preference) {
    case AppLanguagePreference::SimplifiedChinese:
        return QStringLiteral("simplifiedChinese");
    case AppLanguagePreference::English:
        return QStringLiteral("english");
    case AppLanguagePreference::System:
        break;
    }
    return QStringLiteral("system");
}

std::optional<AppLanguagePreference> languagePreferenceFromRawValue(const QString& raw) {
    for (AppLanguagePreference p : allLanguagePreferences())
        if (rawValue(p) == raw)
            return p;
    return std::nullopt;
}

const QList<AppLanguagePreference>& allLanguagePreferences() {
    static const QList<AppLanguagePreference> all{AppLanguagePreference::System,
                                                  AppLanguagePreference::SimplifiedChinese,
                                                  AppLanguagePreference::English};
    return all;
}

QString languageCode(AppLanguagePreference preference) {
    switch (preference) {
    case AppLanguagePreference::SimplifiedChinese:
        return kChinese;
    case AppLanguagePreference::English:
        return kEnglish;
    case AppLanguagePreference::System:
        break;
    }
    return {};
}

AppLanguagePreference storedLanguagePreference(const Defaults& defaults) {
    const auto raw = defaults.stringValue(QString::fromLatin1(kLanguagePreferenceKey));
    if (!raw)
        return AppLanguagePreference::System;
    return languagePreferenceFromRawValue(*raw).value_or(AppLanguagePreference::System);
}

AppLanguagePreference storedLanguagePreference() {
    return storedLanguagePreference(Defaults::standard());
}

bool applyLanguagePreference(AppLanguagePreference preference, Defaults& defaults) {
    const QString prefKey = QString::fromLatin1(kLanguagePreferenceKey);
    const QString listKey = QString::fromLatin1(kAppleLanguagesKey);
    const std::optional<QString> previousPreference = defaults.stringValue(prefKey);
    const std::optional<QStringList> previousList = defaults.stringList(listKey);

    const QString code = languageCode(preference);
    if (code.isEmpty()) {
        defaults.remove(listKey);
        defaults.removeArgumentDomain();
    } else {
        defaults.setValue(listKey, QStringList{code});
        defaults.setArgumentDomain({{listKey, QStringList{code}}});
    }
    defaults.setValue(prefKey, rawValue(preference));
    defaults.synchronize();

    const std::optional<QStringList> newList = defaults.stringList(listKey);
    if (!previousPreference)
        return true;
    if (*previousPreference != rawValue(preference))
        return true;
    return previousList != newList;
}

bool applyLanguagePreference(AppLanguagePreference preference) {
    return applyLanguagePreference(preference, Defaults::standard());
}

std::optional<QString> localizedStringInLproj(const QString& key, const QString& languageCode,
                                              const LocalizationTables& tables) {
    auto table = tables.constFind(languageCode);
    if (table == tables.constEnd())
        return std::nullopt;
    auto it = table->constFind(key);
    if (it == table->constEnd() || it.value() == key)
        return std::nullopt;
    return it.value();
}

std::optional<QString> localizedStringInLproj(const QString& key, const QString& languageCode) {
    return localizedStringInLproj(key, languageCode, bundledTables());
}

QString interfaceLanguage(const Defaults& defaults) {
    const QString chosen = languageCode(storedLanguagePreference(defaults));
    return chosen.isEmpty() ? bundleLanguage(defaults) : chosen;
}

QString localizedString(const QString& key, const Defaults& defaults,
                        const LocalizationTables& tables) {
    const QString chosen = languageCode(storedLanguagePreference(defaults));
    if (!chosen.isEmpty()) {
        if (auto text = localizedStringInLproj(key, chosen, tables))
            return *text;
    }
    if (auto text = localizedStringInLproj(key, bundleLanguage(defaults), tables))
        return *text;
    if (auto text = localizedStringInLproj(key, kEnglish, tables))
        return *text;
    return key;
}

QString localizedString(const QString& key, const Defaults& defaults) {
    return localizedString(key, defaults, bundledTables());
}

namespace {

// Strings looked up against the standard settings, kept until any setting changes: some are
// asked for at every key (the name of a typing step), and a lookup reads the settings twice.
struct StandardStrings {
    QMutex mutex;
    quint64 generation = 0;
    QHash<QString, QString> byKey;
};

StandardStrings& standardStrings() {
    static StandardStrings* strings = [] {
        auto* made = new StandardStrings;
        QObject::connect(&Defaults::standard(), &Defaults::changed, [made](const QString&) {
            QMutexLocker lock(&made->mutex);
            ++made->generation;
            made->byKey.clear();
        });
        return made;
    }();
    return *strings;
}

} // namespace

QString localizedString(const QString& key) {
    StandardStrings& strings = standardStrings();
    quint64 generation = 0;
    {
        QMutexLocker lock(&strings.mutex);
        const auto found = strings.byKey.constFind(key);
        if (found != strings.byKey.constEnd())
            return *found;
        generation = strings.generation;
    }
    QString text = localizedString(key, Defaults::standard());
    QMutexLocker lock(&strings.mutex);
    if (strings.generation == generation)
        strings.byKey.insert(key, text);
    return text;
}

QString localizedCount(qint64 count, CountedNoun noun, const Defaults& defaults) {
    return localizedString(QString::fromLatin1(count == 1 ? noun.one : noun.other), defaults)
        .arg(count);
}

QString localizedCount(qint64 count, CountedNoun noun) {
    return localizedCount(count, noun, Defaults::standard());
}

QStringList availableLocalizations() {
    return {kEnglish, kChinese};
}

const QHash<QString, QString>& localizationTable(const QString& languageCode) {
    static const QHash<QString, QString> empty;
    const auto& all = bundledTables();
    auto it = all.constFind(languageCode);
    return it == all.constEnd() ? empty : it.value();
}

} // namespace dunmoss
