#include "session/StrictJson.h"

#include "text/TextCodecs.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <cmath>

namespace dunmoss {

namespace {

bool isHexDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F');
}

std::optional<QUuid> parseUuid(const QString& text) {
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? text.at(i) != QLatin1Char('-') : !isHexDigit(text.at(i)))
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

} // namespace

JsonDecodeError::JsonDecodeError(const QString& message)
    : m_message(message), m_what(message.toStdString()) {}

StrictJsonObject::StrictJsonObject(QJsonObject object, QString context)
    : m_object(std::move(object)), m_context(std::move(context)) {}

StrictJsonObject StrictJsonObject::parse(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        throw JsonDecodeError(QStringLiteral("The data is not valid JSON (%1 at offset %2).")
                                  .arg(error.errorString())
                                  .arg(error.offset));
    if (!document.isObject())
        throw JsonDecodeError(QStringLiteral("The data is not a JSON object."));
    return StrictJsonObject(document.object());
}

StrictJsonObject StrictJsonObject::fromValue(const QJsonValue& value, const QString& context) {
    if (!value.isObject())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not an object.").arg(context));
    return StrictJsonObject(value.toObject(), context);
}

QString StrictJsonObject::where(const QString& key) const {
    return m_context.isEmpty() ? key : m_context + QLatin1Char('.') + key;
}

std::optional<QJsonValue> StrictJsonObject::present(const QString& key) const {
    const auto it = m_object.constFind(key);
    if (it == m_object.constEnd() || it->isNull())
        return std::nullopt;
    return *it;
}

QJsonValue StrictJsonObject::required(const QString& key) const {
    std::optional<QJsonValue> value = present(key);
    if (!value)
        throw JsonDecodeError(QStringLiteral("The key \"%1\" is missing.").arg(where(key)));
    return *value;
}

QString StrictJsonObject::stringValue(const QJsonValue& value, const QString& context) {
    if (!value.isString())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a string.").arg(context));
    return value.toString();
}

qint64 StrictJsonObject::integerValue(const QJsonValue& value, const QString& context) {
    if (!value.isDouble())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a number.").arg(context));
    // Whole numbers that fit are kept exactly; a double is accepted only when it is integral
    // and inside the 64-bit range.
    const QVariant number = value.toVariant();
    if (number.typeId() == QMetaType::LongLong)
        return number.toLongLong();
    const double d = value.toDouble();
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || std::trunc(d) != d || d < -kLimit || d >= kLimit)
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a whole number.").arg(context));
    return static_cast<qint64>(d);
}

QString StrictJsonObject::requiredString(const QString& key) const {
    return stringValue(required(key), where(key));
}

std::optional<QString> StrictJsonObject::optionalString(const QString& key) const {
    const std::optional<QJsonValue> value = present(key);
    if (!value)
        return std::nullopt;
    return stringValue(*value, where(key));
}

qint64 StrictJsonObject::requiredInteger(const QString& key) const {
    return integerValue(required(key), where(key));
}

std::optional<qint64> StrictJsonObject::optionalInteger(const QString& key) const {
    const std::optional<QJsonValue> value = present(key);
    if (!value)
        return std::nullopt;
    return integerValue(*value, where(key));
}

double StrictJsonObject::requiredDouble(const QString& key) const {
    const QJsonValue value = required(key);
    if (!value.isDouble())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a number.").arg(where(key)));
    return value.toDouble();
}

std::optional<double> StrictJsonObject::optionalDouble(const QString& key) const {
    if (!present(key))
        return std::nullopt;
    return requiredDouble(key);
}

std::optional<bool> StrictJsonObject::optionalBool(const QString& key) const {
    const std::optional<QJsonValue> value = present(key);
    if (!value)
        return std::nullopt;
    if (!value->isBool())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not true or false.").arg(where(key)));
    return value->toBool();
}

QUuid StrictJsonObject::requiredUuid(const QString& key) const {
    const std::optional<QUuid> uuid = parseUuid(requiredString(key));
    if (!uuid)
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a UUID.").arg(where(key)));
    return *uuid;
}

std::optional<QByteArray> StrictJsonObject::optionalData(const QString& key) const {
    const std::optional<QString> text = optionalString(key);
    if (!text)
        return std::nullopt;
    std::optional<QByteArray> bytes = base64DecodeStrict(*text);
    if (!bytes)
        throw JsonDecodeError(QStringLiteral("\"%1\" is not valid Base64.").arg(where(key)));
    return bytes;
}

QJsonArray StrictJsonObject::requiredArray(const QString& key) const {
    const QJsonValue value = required(key);
    if (!value.isArray())
        throw JsonDecodeError(QStringLiteral("\"%1\" is not a list.").arg(where(key)));
    return value.toArray();
}

std::optional<QJsonArray> StrictJsonObject::optionalArray(const QString& key) const {
    if (!present(key))
        return std::nullopt;
    return requiredArray(key);
}

QString uuidString(const QUuid& uuid) {
    return uuid.toString(QUuid::WithoutBraces).toUpper();
}

} // namespace dunmoss
