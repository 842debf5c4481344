// Every localisation key the code uses must have a text in both tables, both tables must hold the
// same keys, and each format must take the same placeholders in both languages.
#include "platform/FileError.h"
#include "platform/Localization.h"
#include "text/TextEncoding.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>
#include <map>

using namespace dunmoss;

namespace {

const QString kEnglish = QStringLiteral("en");
const QString kChinese = QStringLiteral("zh-Hans");

// A quote inside a number such as 1'000'000.
bool isDigitSeparator(const QString& source, qsizetype quote) {
    qsizetype start = quote;
    while (start > 0 &&
           (source.at(start - 1).isLetterOrNumber() || source.at(start - 1) == QLatin1Char('_') ||
            source.at(start - 1) == QLatin1Char('\'')))
        --start;
    return start < quote && source.at(start).isDigit();
}

// The source with comments blanked out; string and character literals are kept intact so a
// "//" inside a literal is not mistaken for a comment.
QString withoutComments(const QString& source) {
    QString out;
    out.reserve(source.size());
    const qsizetype n = source.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = source.at(i);
        const QChar next = i + 1 < n ? source.at(i + 1) : QChar();
        if (c == QLatin1Char('/') && next == QLatin1Char('/')) {
            while (i < n && source.at(i) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            i += 2;
            while (i + 1 < n &&
                   !(source.at(i) == QLatin1Char('*') && source.at(i + 1) == QLatin1Char('/')))
                ++i;
            i += 2;
            out.append(QLatin1Char(' '));
        } else if (c == QLatin1Char('"') ||
                   (c == QLatin1Char('\'') && !isDigitSeparator(source, i))) {
            out.append(c);
            ++i;
            while (i < n && source.at(i) != c && source.at(i) != QLatin1Char('\n')) {
                if (source.at(i) == QLatin1Char('\\') && i + 1 < n)
                    out.append(source.at(i++));
                out.append(source.at(i++));
            }
            if (i < n)
                out.append(source.at(i++));
        } else {
            out.append(c);
            ++i;
        }
    }
    return out;
}

// Keys named by literals in one source text: the whole first argument of localizedString (a
// plain literal, u"..."_s, or a literal wrapped in QStringLiteral and its kin), and every
// lkey("...").
QSet<QString> keysInSource(const QString& source) {
    static const QString literal = QStringLiteral(R"re("((?:[^"\\\n]|\\.)*)")re");
    static const QRegularExpression direct(
        QStringLiteral(R"re(\blocalizedString\s*\(\s*(?:u8|u|L)?%1(?:_s|_L1)?\s*(?=[,)]))re")
            .arg(literal));
    static const QRegularExpression wrapped(
        QStringLiteral(R"re(\blocalizedString\s*\(\s*(?:QStringLiteral|QString::fromLatin1|)re"
                       R"re(QString::fromUtf8|QLatin1String|QLatin1StringView|QStringView|)re"
                       R"re(QString)\s*\(\s*(?:u8|u)?%1\s*\)\s*(?=[,)]))re")
            .arg(literal));
    static const QRegularExpression marked(
        QStringLiteral(R"re(\blkey\s*\(\s*%1\s*\))re").arg(literal));

    const QString code = withoutComments(source);
    QSet<QString> keys;
    for (const QRegularExpression* pattern : {&direct, &wrapped, &marked}) {
        auto it = pattern->globalMatch(code);
        while (it.hasNext())
            keys.insert(it.next().captured(1));
    }
    return keys;
}

std::map<QString, QStringList> keysUsedInSources() {
    std::map<QString, QStringList> usedIn;
    const QString root = QStringLiteral(DUNMOSS_SOURCE_DIR "/src");
    QDirIterator it(root, {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.hpp")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString relative = QDir(root).relativeFilePath(path);
        for (const QString& key : keysInSource(QString::fromUtf8(file.readAll())))
            usedIn[key].append(relative);
    }
    return usedIn;
}

// Keys the code builds at run time, enumerated from the same functions that build them.
QStringList dynamicKeys() {
    QStringList keys;
    for (TextFileEncoding encoding : allTextFileEncodings())
        keys.append(displayKey(encoding));
    for (TextLineEnding lineEnding : allTextLineEndings())
        keys.append(displayKey(lineEnding));
    // FileError looks up "error.file.<code>.format" before falling back to the generic text.
    for (int code :
         {4, 256, 257, 258, 259, 260, 261, 262, 263, 264, 512, 513, 514, 516, 517, 640, 642})
        keys.append(QStringLiteral("error.file.%1.format").arg(code));
    return keys;
}

QList<int> placeholders(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("%L?([1-9][0-9]?)"));
    QSet<int> numbers;
    auto it = pattern.globalMatch(text);
    while (it.hasNext())
        numbers.insert(it.next().captured(1).toInt());
    QList<int> sorted(numbers.begin(), numbers.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QString describe(const QList<int>& numbers) {
    QStringList parts;
    for (int n : numbers)
        parts.append(QStringLiteral("%") + QString::number(n));
    return QLatin1Char('[') + parts.join(QLatin1Char(' ')) + QLatin1Char(']');
}

} // namespace

TEST(LocalizationKeys, ScannerFindsEveryLiteralForm) {
    const QString sample = QStringLiteral(R"(
        a = localizedString("plain.key");
        b = dunmoss::localizedString(QStringLiteral("wrapped.key"), defaults);
        c = localizedString(
                QString::fromLatin1("multi.line.key"));
        d = localizedString(u"utf16.key"_s);
        e = lkey("marked.key");
        f = localizedString(QStringLiteral("language.") + name);   // a prefix, not a key
        g = localizedString(key);
        // localizedString("commented.out")
        /* lkey("block.commented") */
        h = QStringLiteral("not // a comment"); i = lkey("after.literal");
        k = 1'000'000; l = lkey("after.number"); m = u'"'; n = lkey("after.char");
        j = localizedStringInLproj("other.function", code);
    )");
    EXPECT_EQ(keysInSource(sample),
              (QSet<QString>{QStringLiteral("plain.key"), QStringLiteral("wrapped.key"),
                             QStringLiteral("multi.line.key"), QStringLiteral("utf16.key"),
                             QStringLiteral("marked.key"), QStringLiteral("after.literal"),
                             QStringLiteral("after.number"), QStringLiteral("after.char")}));
}

TEST(LocalizationKeys, EveryKeyUsedInCodeHasBothTexts) {
    std::map<QString, QStringList> used = keysUsedInSources();
    // Keys this very library is known to use: if they are not found the scan itself is broken.
    ASSERT_TRUE(used.count(QStringLiteral("error.file.generic.format")));
    ASSERT_TRUE(used.count(QStringLiteral("command.save-all.done.format")));
    for (const QString& key : dynamicKeys())
        used[key].append(QStringLiteral("(built at run time)"));

    QStringList missing;
    for (const auto& [key, files] : used) {
        for (const QString& language : {kEnglish, kChinese}) {
            const QString text = localizationTable(language).value(key);
            if (text.isEmpty())
                missing.append(QStringLiteral("%1 missing in %2 (used in %3)")
                                   .arg(key, language, files.join(QStringLiteral(", "))));
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.size() << " missing texts:\n"
                                   << missing.join(QLatin1Char('\n')).toStdString();
}

TEST(LocalizationKeys, TablesHoldTheSameKeysAndPlaceholders) {
    const QHash<QString, QString>& english = localizationTable(kEnglish);
    const QHash<QString, QString>& chinese = localizationTable(kChinese);
    QStringList problems;
    for (auto it = english.begin(); it != english.end(); ++it)
        if (!chinese.contains(it.key()))
            problems.append(QStringLiteral("%1 only in en").arg(it.key()));
    for (auto it = chinese.begin(); it != chinese.end(); ++it) {
        if (!english.contains(it.key())) {
            problems.append(QStringLiteral("%1 only in zh-Hans").arg(it.key()));
            continue;
        }
        if (!it.key().endsWith(QLatin1String(".format")))
            continue;
        const QList<int> en = placeholders(english.value(it.key()));
        const QList<int> zh = placeholders(it.value());
        if (en != zh)
            problems.append(QStringLiteral("%1 placeholders differ: en %2, zh-Hans %3")
                                .arg(it.key(), describe(en), describe(zh)));
    }
    problems.sort();
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}

TEST(LocalizationKeys, AreaFilesAreFlatTextTablesWithoutDuplicates) {
    QStringList problems;
    for (const QString& language : {kEnglish, kChinese}) {
        const QDir dir(QStringLiteral(DUNMOSS_SOURCE_DIR "/resources/l10n/") + language);
        QHash<QString, QString> definedIn;
        for (const QString& name : dir.entryList({QStringLiteral("*.json")}, QDir::Files)) {
            QFile file(dir.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
            const QString where = language + QLatin1Char('/') + name;
            if (error.error != QJsonParseError::NoError || !document.isObject()) {
                problems.append(where + QStringLiteral(": not a JSON object: ") +
                                error.errorString());
                continue;
            }
            const QJsonObject object = document.object();
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!it.value().isString() || it.value().toString().isEmpty())
                    problems.append(where + QStringLiteral(": %1 has no text").arg(it.key()));
                if (definedIn.contains(it.key()))
                    problems.append(where + QStringLiteral(": %1 also defined in %2")
                                                .arg(it.key(), definedIn.value(it.key())));
                definedIn.insert(it.key(), name);
            }
        }
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
}
