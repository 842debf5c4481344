#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QUuid>
#include <exception>
#include <optional>
#include <string>

namespace dunmoss {

// Stored or outside JSON that does not have the expected shape. The message names the key.
class JsonDecodeError : public std::exception {
public:
    explicit JsonDecodeError(const QString& message);
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    QString m_message;
    std::string m_what;
};

// A JSON object read strictly: a required key that is missing, null or of the wrong type throws
// JsonDecodeError; an optional key may be absent or null, but when present must have the right
// type. Integers must be whole numbers within 64 bits, booleans true or false, identifiers
// 36-character UUIDs, data valid padded Base64. Unknown keys are ignored.
class StrictJsonObject {
public:
    explicit StrictJsonObject(QJsonObject object, QString context = {});

    // The bytes must hold one JSON object.
    static StrictJsonObject parse(const QByteArray& data);
    static StrictJsonObject fromValue(const QJsonValue& value, const QString& context);

    QString requiredString(const QString& key) const;
    std::optional<QString> optionalString(const QString& key) const;
    qint64 requiredInteger(const QString& key) const;
    std::optional<qint64> optionalInteger(const QString& key) const;
    double requiredDouble(const QString& key) const;
    std::optional<double> optionalDouble(const QString& key) const;
    std::optional<bool> optionalBool(const QString& key) const;
    QUuid requiredUuid(const QString& key) const;
    std::optional<QByteArray> optionalData(const QString& key) const;
    QJsonArray requiredArray(const QString& key) const;
    std::optional<QJsonArray> optionalArray(const QString& key) const;

    // Elements of arrays, checked the same way.
    static qint64 integerValue(const QJsonValue& value, const QString& context);
    static QString stringValue(const QJsonValue& value, const QString& context);

private:
    // Nothing for an absent or null key.
    std::optional<QJsonValue> present(const QString& key) const;
    QJsonValue required(const QString& key) const;
    QString where(const QString& key) const;

    QJsonObject m_object;
    QString m_context;
};

// The identifier as stored: 36 characters, upper-case, no braces.
QString uuidString(const QUuid& uuid);

} // namespace dunmoss
