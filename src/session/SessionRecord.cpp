#include "session/SessionRecord.h"

#include "session/JsonTextEscaping.h"
#include "session/StrictJson.h"
#include "text/TextCodecs.h"

#include <QJsonDocument>
#include <QUuid>

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
    if (tab.lastKnownFileIdentity)
        object.insert(QStringLiteral("lastKnownFileIdentity"), *tab.lastKnownFileIdentity);
    if (tab.lastKnownChangeTimestamp)
        object.insert(QStringLiteral("lastKnownChangeTimestamp"), *tab.lastKnownChangeTimestamp);
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
    tab.lastKnownFileIdentity = object.optionalString(QStringLiteral("lastKnownFileIdentity"));
    tab.lastKnownChangeTimestamp =
        object.optionalDouble(QStringLiteral("lastKnownChangeTimestamp"));
    tab.hasExternalChanges = object.optionalBool(QStringLiteral("hasExternalChanges"));
    tab.isReadOnly = object.optionalBool(QStringLiteral("isReadOnly"));
    tab.isLargeFilePreview = object.optionalBool(QStringLiteral("isLargeFilePreview"));
    tab.originalByteCount = object.optionalInteger(QStringLiteral("originalByteCount"));
    return tab;
}

} // namespace

bool writeSessionRecord(const RestoredSession& session, SessionRecordFormat format,
                        QIODevice& device) {
    return writeSessionRecord(
        session, format, device, [&session](QIODevice& out, qsizetype tab, SessionText text) {
            const SessionTab& stored = session.tabs.at(tab);
            return writeEscapedText(out, text == SessionText::Draft ? stored.draftText
                                                                    : stored.savedSnapshot);
        });
}

bool writeSessionRecord(const RestoredSession& session, SessionRecordFormat format,
                        QIODevice& device, const SessionTextWriter& writeText) {
    // The record is encoded with a placeholder for each text, which no other value can hold,
    // then written with the texts in their places. Keys are sorted, so every tab's draft comes
    // before its saved copy, and the tabs keep their order.
    const QString stamp = QUuid::createUuid().toString(QUuid::WithoutBraces);
    RestoredSession skeleton = session;
    for (qsizetype i = 0; i < skeleton.tabs.size(); ++i) {
        skeleton.tabs[i].draftText = stamp + QStringLiteral("-d%1").arg(i);
        skeleton.tabs[i].savedSnapshot = stamp + QStringLiteral("-s%1").arg(i);
    }
    const QByteArray frame = encodeSessionRecord(skeleton, format);
    qsizetype from = 0;
    for (qsizetype i = 0; i < 2 * skeleton.tabs.size(); ++i) {
        const SessionText text = i % 2 ? SessionText::Saved : SessionText::Draft;
        const QByteArray placeholder =
            (stamp + (i % 2 ? QStringLiteral("-s%1") : QStringLiteral("-d%1")).arg(i / 2))
                .toLatin1();
        const qsizetype at = frame.indexOf(placeholder, from);
        if (at < 0)
            return false;
        if (device.write(frame.constData() + from, at - from) != at - from ||
            !writeText(device, i / 2, text))
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
