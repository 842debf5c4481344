#include "search/SearchCenterRunCodec.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>

namespace dunmoss {

namespace {

// 2001-01-01 00:00:00 UTC in milliseconds since the Unix epoch.
constexpr qint64 kReferenceDateMSecs = 978307200000LL;

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

// Exactly 8-4-4-4-12 hexadecimal digits, either case; braces and other forms are refused.
std::optional<QUuid> uuidFromText(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < 36; ++i) {
        const char16_t c = text.at(i).unicode();
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (dash ? c != '-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

void appendJsonString(QString& out, const QString& text) {
    static const char hexDigits[] = "0123456789abcdef";
    out.append(QLatin1Char('"'));
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        bool escapeAsCode = c < 0x20;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < n && QChar::isLowSurrogate(text.at(i + 1).unicode())) {
                out.append(text.at(i));
                out.append(text.at(++i));
                continue;
            }
            escapeAsCode = true;
        } else if (QChar::isLowSurrogate(c)) {
            escapeAsCode = true;
        }
        if (c == '"' || c == '\\') {
            out.append(QLatin1Char('\\'));
            out.append(QChar(c));
        } else if (c == '\n') {
            out.append(QLatin1String("\\n"));
        } else if (c == '\t') {
            out.append(QLatin1String("\\t"));
        } else if (c == '\r') {
            out.append(QLatin1String("\\r"));
        } else if (escapeAsCode) {
            out.append(QLatin1String("\\u"));
            for (int shift = 12; shift >= 0; shift -= 4)
                out.append(QLatin1Char(hexDigits[(c >> shift) & 0xF]));
        } else {
            out.append(QChar(c));
        }
    }
    out.append(QLatin1Char('"'));
}

void appendKey(QString& out, const char* key) {
    out.append(QLatin1Char('"'));
    out.append(QLatin1String(key));
    out.append(QLatin1String("\":"));
}

void appendResult(QString& out, const SearchCenterResult& result) {
    out.append(QLatin1Char('{'));
    appendKey(out, "id");
    appendJsonString(out, result.id);
    out.append(QLatin1Char(','));
    appendKey(out, "scope");
    appendJsonString(out, rawValue(result.scope));
    out.append(QLatin1Char(','));
    appendKey(out, "groupID");
    appendJsonString(out, result.groupID);
    out.append(QLatin1Char(','));
    appendKey(out, "groupTitle");
    appendJsonString(out, result.groupTitle);
    out.append(QLatin1Char(','));
    appendKey(out, "groupSubtitle");
    appendJsonString(out, result.groupSubtitle);
    if (result.tabID) {
        out.append(QLatin1Char(','));
        appendKey(out, "tabID");
        appendJsonString(out, uuidText(*result.tabID));
    }
    if (result.fileURL) {
        out.append(QLatin1Char(','));
        appendKey(out, "filePath");
        appendJsonString(out, result.fileURL->toLocalFile());
    }
    if (result.range) {
        out.append(QLatin1Char(','));
        appendKey(out, "rangeLocation");
        out.append(QString::number(result.range->location));
        out.append(QLatin1Char(','));
        appendKey(out, "rangeLength");
        out.append(QString::number(result.range->length));
    }
    out.append(QLatin1Char(','));
    appendKey(out, "line");
    out.append(QString::number(result.line));
    out.append(QLatin1Char(','));
    appendKey(out, "column");
    out.append(QString::number(result.column));
    out.append(QLatin1Char(','));
    appendKey(out, "preview");
    appendJsonString(out, result.preview);
    out.append(QLatin1Char('}'));
}

// Thrown inside the reader when the stored value does not have the expected shape.
struct Malformed {};

const QJsonValue& required(const QJsonValue& value) {
    if (value.isUndefined() || value.isNull())
        throw Malformed{};
    return value;
}

QString requiredString(const QJsonObject& object, const char* key) {
    // By value: `required` hands back the temporary it was given.
    const QJsonValue value = required(object.value(QLatin1String(key)));
    if (!value.isString())
        throw Malformed{};
    return value.toString();
}

qint64 integerValue(const QJsonValue& value) {
    if (!value.isDouble())
        throw Malformed{};
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || std::fabs(number) > 9.0e15)
        throw Malformed{};
    return static_cast<qint64>(number);
}

qint64 requiredInteger(const QJsonObject& object, const char* key) {
    return integerValue(required(object.value(QLatin1String(key))));
}

std::optional<qint64> optionalInteger(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return integerValue(value);
}

std::optional<QString> optionalString(const QJsonObject& object, const char* key) {
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString())
        throw Malformed{};
    return value.toString();
}

QUuid requiredUuid(const QString& text) {
    const std::optional<QUuid> id = uuidFromText(text);
    if (!id)
        throw Malformed{};
    return *id;
}

QJsonObject requiredObject(const QJsonValue& value) {
    if (!value.isObject())
        throw Malformed{};
    return value.toObject();
}

SearchCenterResult readResult(const QJsonObject& object) {
    SearchCenterResult result;
    result.id = requiredString(object, "id");
    result.scope = searchCenterScopeFromRawValue(requiredString(object, "scope"))
                       .value_or(SearchCenterScope::CurrentDocument);
    result.groupID = requiredString(object, "groupID");
    result.groupTitle = requiredString(object, "groupTitle");
    result.groupSubtitle = requiredString(object, "groupSubtitle");
    if (const std::optional<QString> tab = optionalString(object, "tabID"))
        result.tabID = requiredUuid(*tab);
    if (std::optional<QString> path = optionalString(object, "filePath")) {
        // A path starting with "//" would read as a host name and come back changed; on this
        // system it names the same file as with one "/".
        while (path->startsWith(QLatin1String("//")))
            path->remove(0, 1);
        result.fileURL = QUrl::fromLocalFile(*path);
    }
    const std::optional<qint64> location = optionalInteger(object, "rangeLocation");
    const std::optional<qint64> length = optionalInteger(object, "rangeLength");
    if (location && length)
        result.range = TextRange{*location, *length};
    result.line = requiredInteger(object, "line");
    result.column = requiredInteger(object, "column");
    result.preview = requiredString(object, "preview");
    return result;
}

} // namespace

QByteArray encodeSearchCenterRuns(const QList<SearchCenterRun>& runs) {
    QString out;
    out.append(QLatin1Char('['));
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const SearchCenterRun& run = runs.at(i);
        if (i > 0)
            out.append(QLatin1Char(','));
        out.append(QLatin1Char('{'));
        appendKey(out, "id");
        appendJsonString(out, uuidText(run.id));
        out.append(QLatin1Char(','));
        appendKey(out, "scope");
        appendJsonString(out, rawValue(run.scope));
        out.append(QLatin1Char(','));
        appendKey(out, "query");
        appendJsonString(out, run.query);
        out.append(QLatin1Char(','));
        appendKey(out, "createdAt");
        const double seconds =
            static_cast<double>(run.createdAt.toMSecsSinceEpoch() - kReferenceDateMSecs) / 1000.0;
        out.append(QString::number(seconds, 'g', QLocale::FloatingPointShortest));
        out.append(QLatin1Char(','));
        appendKey(out, "results");
        out.append(QLatin1Char('['));
        for (qsizetype r = 0; r < run.results.size(); ++r) {
            if (r > 0)
                out.append(QLatin1Char(','));
            appendResult(out, run.results.at(r));
        }
        out.append(QLatin1String("]}"));
    }
    out.append(QLatin1Char(']'));
    return out.toUtf8();
}

std::optional<QList<SearchCenterRun>> decodeSearchCenterRuns(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<SearchCenterRun> runs;
    try {
        for (const QJsonValue& entry : document.array()) {
            const QJsonObject object = requiredObject(entry);
            SearchCenterRun run;
            run.id = requiredUuid(requiredString(object, "id"));
            const std::optional<SearchCenterScope> scope =
                searchCenterScopeFromRawValue(requiredString(object, "scope"));
            run.query = requiredString(object, "query");
            const QJsonValue created = required(object.value(QLatin1String("createdAt")));
            if (!created.isDouble() || !std::isfinite(created.toDouble()) ||
                std::fabs(created.toDouble()) > 1.0e14)
                throw Malformed{};
            run.createdAt = QDateTime::fromMSecsSinceEpoch(
                kReferenceDateMSecs + std::llround(created.toDouble() * 1000.0), Qt::UTC);
            const QJsonValue results = required(object.value(QLatin1String("results")));
            if (!results.isArray())
                throw Malformed{};
            for (const QJsonValue& result : results.toArray())
                run.results.append(readResult(requiredObject(result)));
            if (!scope)
                continue;
            run.scope = *scope;
            runs.append(std::move(run));
        }
    } catch (const Malformed&) {
        return std::nullopt;
    }
    return runs;
}

} // namespace dunmoss
