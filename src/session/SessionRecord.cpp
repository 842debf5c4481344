#include "session/SessionRecord.h"

#include "session/StrictJson.h"
#include "text/TextCodecs.h"

#include <QJsonDocument>
#include <QUuid>
#include <array>

namespace dunmoss {

namespace {

QJsonObject encodeTab(const SessionTab& tab) {
    QJsonObject object;
    object.insert(QStringLiteral("id"), uuidString(tab.id));
    if (tab.filePath)
        object.insert(QStringLiteral("filePath"), *tab.filePath);
    if (tab.fileBookmark)
        object.insert(QStringLiteral("fileBookmark"), base64Encode(*tab.fileBookmark));
    if (tab.languageKey)
        object.insert(QStringLiteral("languageKey"), *tab.languageKey);
    object.insert(QStringLiteral("draftText"), tab.draftText);
    object.insert(QStringLiteral("savedSnapshot"), tab.savedSnapshot);
    object.insert(QStringLiteral("selectedLocation"), tab.selectedLocation);
    object.insert(QStringLiteral("selectedLength"), tab.selectedLength);
    if (tab.selectedRanges) {
        QJsonArray ranges;
        for (const SessionRange& range : *tab.selectedRanges)
            ranges.append(QJsonObject{{QStringLiteral("location"), range.location},
                                      {QStringLiteral("length"), range.length}});
        object.insert(QStringLiteral("selectedRanges"), ranges);
    }
    object.insert(QStringLiteral("encodingKey"), tab.encodingKey);
    object.insert(QStringLiteral("lineEndingKey"), tab.lineEndingKey);
    if (tab.savedEncodingKey)
        object.insert(QStringLiteral("savedEncodingKey"), *tab.savedEncodingKey);
    if (tab.savedLineEndingKey)
        object.insert(QStringLiteral("savedLineEndingKey"), *tab.savedLineEndingKey);
    if (tab.bookmarkedLines) {
        QJsonArray lines;
        for (qint64 line : *tab.bookmarkedLines)
            lines.append(line);
        object.insert(QStringLiteral("bookmarkedLines"), lines);
    }
    if (tab.lastKnownModificationTimestamp)
        object.insert(QStringLiteral("lastKnownModificationTimestamp"),
                      *tab.lastKnownModificationTimestamp);
    if (tab.lastKnownFileSize)
        object.insert(QStringLiteral("lastKnownFileSize"), *tab.lastKnownFileSize);
    if (tab.hasExternalChanges)
        object.insert(QStringLiteral("hasExternalChanges"), *tab.hasExternalChanges);
    if (tab.isReadOnly)
        object.insert(QStringLiteral("isReadOnly"), *tab.isReadOnly);
    if (tab.isLargeFilePreview)
        object.insert(QStringLiteral("isLargeFilePreview"), *tab.isLargeFilePreview);
    if (tab.originalByteCount)
        object.insert(QStringLiteral("originalByteCount"), *tab.originalByteCount);
    return object;
}

SessionTab decodeTab(const StrictJsonObject& object) {
    SessionTab tab;
    tab.id = object.requiredUuid(QStringLiteral("id"));
    tab.filePath = object.optionalString(QStringLiteral("filePath"));
    tab.fileBookmark = object.optionalData(QStringLiteral("fileBookmark"));
    tab.languageKey = object.optionalString(QStringLiteral("languageKey"));
    tab.draftText = object.requiredString(QStringLiteral("draftText"));
    tab.savedSnapshot = object.requiredString(QStringLiteral("savedSnapshot"));
    tab.selectedLocation = object.requiredInteger(QStringLiteral("selectedLocation"));
    tab.selectedLength = object.requiredInteger(QStringLiteral("selectedLength"));
    if (const std::optional<QJsonArray> ranges =
            object.optionalArray(QStringLiteral("selectedRanges"))) {
        QList<SessionRange> list;
        for (const QJsonValue& value : *ranges) {
            const StrictJsonObject range =
                StrictJsonObject::fromValue(value, QStringLiteral("selectedRanges"));
            list.append(SessionRange{range.requiredInteger(QStringLiteral("location")),
                                     range.requiredInteger(QStringLiteral("length"))});
        }
        tab.selectedRanges = list;
    }
    tab.encodingKey = object.requiredString(QStringLiteral("encodingKey"));
    tab.lineEndingKey = object.requiredString(QStringLiteral("lineEndingKey"));
    tab.savedEncodingKey = object.optionalString(QStringLiteral("savedEncodingKey"));
    tab.savedLineEndingKey = object.optionalString(QStringLiteral("savedLineEndingKey"));
    if (const std::optional<QJsonArray> lines =
            object.optionalArray(QStringLiteral("bookmarkedLines"))) {
        QList<qint64> list;
        for (const QJsonValue& value : *lines)
            list.append(StrictJsonObject::integerValue(value, QStringLiteral("bookmarkedLines")));
        tab.bookmarkedLines = list;
    }
    tab.lastKnownModificationTimestamp =
        object.optionalDouble(QStringLiteral("lastKnownModificationTimestamp"));
    tab.lastKnownFileSize = object.optionalInteger(QStringLiteral("lastKnownFileSize"));
    tab.hasExternalChanges = object.optionalBool(QStringLiteral("hasExternalChanges"));
    tab.isReadOnly = object.optionalBool(QStringLiteral("isReadOnly"));
    tab.isLargeFilePreview = object.optionalBool(QStringLiteral("isLargeFilePreview"));
    tab.originalByteCount = object.optionalInteger(QStringLiteral("originalByteCount"));
    return tab;
}

// A JSON string's content as the JSON writer escapes it: quote, backslash and control
// characters escaped, a lone surrogate as \uXXXX, everything else in UTF-8. Bytes go straight
// into a fixed buffer: the texts are megabytes, and a call per byte would cost more than the
// write itself.
bool writeEscapedText(QIODevice& device, const QString& text) {
    constexpr qsizetype kChunk = 64 * 1024;
    static constexpr char kHex[] = "0123456789abcdef";
    // Room for a full chunk and the longest escape (six bytes) after it.
    std::array<char, kChunk + 8> buffer;
    char* out = buffer.data();
    const auto put = [&out](char byte) { *out++ = byte; };
    const auto escapeUnit = [&](char16_t unit) {
        put('\\');
        put('u');
        put(kHex[(unit >> 12) & 0xf]);
        put(kHex[(unit >> 8) & 0xf]);
        put(kHex[(unit >> 4) & 0xf]);
        put(kHex[unit & 0xf]);
    };
    const auto flush = [&] {
        const qint64 size = out - buffer.data();
        out = buffer.data();
        return device.write(buffer.data(), size) == size;
    };
    const char16_t* at = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = at + text.size();
    while (at != end) {
        const char16_t unit = *at++;
        if (unit < 0x80) {
            switch (unit) {
            case u'"':
                put('\\');
                put('"');
                break;
            case u'\\':
                put('\\');
                put('\\');
                break;
            case u'\b':
                put('\\');
                put('b');
                break;
            case u'\f':
                put('\\');
                put('f');
                break;
            case u'\n':
                put('\\');
                put('n');
                break;
            case u'\r':
                put('\\');
                put('r');
                break;
            case u'\t':
                put('\\');
                put('t');
                break;
            default:
                if (unit < 0x20)
                    escapeUnit(unit);
                else
                    put(char(unit));
            }
        } else if (unit < 0x800) {
            put(char(0xc0 | (unit >> 6)));
            put(char(0x80 | (unit & 0x3f)));
        } else if (QChar::isHighSurrogate(unit) && at != end && QChar::isLowSurrogate(*at)) {
            const char32_t point = QChar::surrogateToUcs4(unit, *at++);
            put(char(0xf0 | (point >> 18)));
            put(char(0x80 | ((point >> 12) & 0x3f)));
            put(char(0x80 | ((point >> 6) & 0x3f)));
            put(char(0x80 | (point & 0x3f)));
        } else if (QChar::isSurrogate(unit)) {
            escapeUnit(unit);
        } else {
            put(char(0xe0 | (unit >> 12)));
            put(char(0x80 | ((unit >> 6) & 0x3f)));
            put(char(0x80 | (unit & 0x3f)));
        }
        if (out - buffer.data() >= kChunk && !flush())
            return false;
    }
    return out == buffer.data() || flush();
}

} // namespace

bool writeSessionRecord(const RestoredSession& session, SessionRecordFormat format,
                        QIODevice& device) {
    // The record is encoded with a placeholder for each text, which no other value can hold,
    // then written with the texts in their places. Keys are sorted, so every tab's draft comes
    // before its saved copy, and the tabs keep their order.
    const QString stamp = QUuid::createUuid().toString(QUuid::WithoutBraces);
    RestoredSession skeleton = session;
    QList<const QString*> texts;
    for (qsizetype i = 0; i < skeleton.tabs.size(); ++i) {
        skeleton.tabs[i].draftText = stamp + QStringLiteral("-d%1").arg(i);
        skeleton.tabs[i].savedSnapshot = stamp + QStringLiteral("-s%1").arg(i);
        texts.append(&session.tabs.at(i).draftText);
        texts.append(&session.tabs.at(i).savedSnapshot);
    }
    const QByteArray frame = encodeSessionRecord(skeleton, format);
    qsizetype from = 0;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QByteArray placeholder =
            (stamp + (i % 2 ? QStringLiteral("-s%1") : QStringLiteral("-d%1")).arg(i / 2))
                .toLatin1();
        const qsizetype at = frame.indexOf(placeholder, from);
        if (at < 0)
            return false;
        if (device.write(frame.constData() + from, at - from) != at - from ||
            !writeEscapedText(device, *texts.at(i)))
            return false;
        from = at + placeholder.size();
    }
    return device.write(frame.constData() + from, frame.size() - from) == frame.size() - from;
}

QByteArray encodeSessionRecord(const RestoredSession& session, SessionRecordFormat format) {
    QJsonObject object;
    if (session.schemaVersion)
        object.insert(QStringLiteral("schemaVersion"), *session.schemaVersion);
    object.insert(QStringLiteral("activeTabID"), uuidString(session.activeTabID));
    object.insert(QStringLiteral("fontSize"), session.fontSize);
    if (session.savedAt)
        object.insert(QStringLiteral("savedAt"), *session.savedAt);
    QJsonArray tabs;
    for (const SessionTab& tab : session.tabs)
        tabs.append(encodeTab(tab));
    object.insert(QStringLiteral("tabs"), tabs);
    // A JSON object keeps its keys sorted, so the indented form is also the sorted one.
    return QJsonDocument(object).toJson(
        format == SessionRecordFormat::Compact ? QJsonDocument::Compact : QJsonDocument::Indented);
}

bool sameSessionContent(const RestoredSession& a, const RestoredSession& b) {
    return a.schemaVersion == b.schemaVersion && a.activeTabID == b.activeTabID &&
           a.fontSize == b.fontSize && a.tabs == b.tabs;
}

RestoredSession decodeSessionRecord(const QByteArray& data) {
    const StrictJsonObject object = StrictJsonObject::parse(data);
    RestoredSession session;
    session.schemaVersion = object.optionalInteger(QStringLiteral("schemaVersion"));
    session.activeTabID = object.requiredUuid(QStringLiteral("activeTabID"));
    session.fontSize = object.requiredDouble(QStringLiteral("fontSize"));
    session.savedAt = object.optionalDouble(QStringLiteral("savedAt"));
    for (const QJsonValue& value : object.requiredArray(QStringLiteral("tabs")))
        session.tabs.append(decodeTab(StrictJsonObject::fromValue(value, QStringLiteral("tabs"))));
    return session;
}

TextFileEncoding textFileEncodingForKey(const QString& key) {
    return textFileEncodingFromIdentifier(key).value_or(TextFileEncoding::Utf8);
}

TextLineEnding textLineEndingForKey(const QString& key) {
    if (key == QLatin1String("crlf"))
        return TextLineEnding::CarriageReturnLineFeed;
    if (key == QLatin1String("cr"))
        return TextLineEnding::CarriageReturn;
    return TextLineEnding::LineFeed;
}

} // namespace dunmoss
