// The stored form of a session: what is written, and the strict reading of what comes back.
#include "session/SessionRecord.h"
#include "session/StrictJson.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

SessionTab fullTab() {
    SessionTab tab;
    tab.id = QUuid::createUuid();
    tab.filePath = QStringLiteral("/tmp/a b/ü.txt");
    tab.fileBookmark = QByteArray("\x00\x01\xff bookmark", 13);
    tab.languageKey = QStringLiteral("swift");
    tab.draftText = QStringLiteral("draft \U0001F600\n") + QChar(0xD800); // a lone surrogate too
    tab.savedSnapshot = QStringLiteral("saved");
    tab.selectedLocation = 3;
    tab.selectedLength = 2;
    tab.selectedRanges = QList<SessionRange>{{3, 2}, {7, 0}};
    tab.encodingKey = QStringLiteral("gb18030");
    tab.lineEndingKey = QStringLiteral("crlf");
    tab.savedEncodingKey = QStringLiteral("utf8");
    tab.savedLineEndingKey = QStringLiteral("lf");
    tab.bookmarkedLines = QList<qint64>{1, 5};
    tab.lastKnownModificationTimestamp = 1733560000.123456789;
    tab.lastKnownFileSize = 9007199254740993LL; // above 2^53: must keep every digit
    tab.lastKnownFileIdentity = QStringLiteral("66306:18446744073709551615");
    tab.lastKnownChangeTimestamp = 1733560001.5;
    tab.hasExternalChanges = false;
    tab.isReadOnly = true;
    tab.isLargeFilePreview = true;
    tab.originalByteCount = 6'000'000;
    return tab;
}

RestoredSession fullSession() {
    RestoredSession session;
    session.schemaVersion = 3;
    session.activeTabID = QUuid::createUuid();
    session.fontSize = 12.5;
    session.savedAt = 1733560000.25;
    session.tabs = {fullTab(), fullTab()};
    return session;
}

QByteArray minimalRecord(const QString& tabExtra = {}, const QString& recordExtra = {}) {
    return QStringLiteral(R"({"activeTabID":"6F9619FF-8B86-D011-B42D-00C04FC964FF","fontSize":14%2,
        "tabs":[{"id":"6f9619ff-8b86-d011-b42d-00c04fc964ff","draftText":"d","savedSnapshot":"s",
                 "selectedLocation":1,"selectedLength":0,"encodingKey":"utf8","lineEndingKey":"lf"%1}]})")
        .arg(tabExtra, recordExtra)
        .toUtf8();
}

} // namespace

TEST(SessionRecord, BothFormsReadBackExactly) {
    const RestoredSession session = fullSession();
    const QByteArray compact = encodeSessionRecord(session, SessionRecordFormat::Compact);
    const QByteArray pretty = encodeSessionRecord(session, SessionRecordFormat::PrettySorted);
    EXPECT_EQ(decodeSessionRecord(compact), session);
    EXPECT_EQ(decodeSessionRecord(pretty), session);

    // The record is one line; the recovery form is indented with its keys in sorted order.
    EXPECT_FALSE(compact.contains('\n'));
    EXPECT_TRUE(pretty.contains("\n    \"activeTabID\""));
    EXPECT_LT(pretty.indexOf("\"activeTabID\""), pretty.indexOf("\"fontSize\""));
    EXPECT_LT(pretty.indexOf("\"fontSize\""), pretty.indexOf("\"savedAt\""));
    EXPECT_LT(pretty.indexOf("\"draftText\""), pretty.indexOf("\"encodingKey\""));
    // Identifiers are upper-case without braces.
    EXPECT_TRUE(compact.contains(uuidString(session.activeTabID).toUtf8()));
    EXPECT_FALSE(
        compact.contains('{' + session.activeTabID.toString(QUuid::WithoutBraces).toUtf8()));
    EXPECT_TRUE(compact.contains("9007199254740993"));
}

TEST(SessionRecord, OptionalKeysMayBeAbsentOrNullAndUnknownKeysAreIgnored) {
    const RestoredSession plain = decodeSessionRecord(minimalRecord());
    ASSERT_EQ(plain.tabs.size(), 1);
    EXPECT_FALSE(plain.schemaVersion);
    EXPECT_FALSE(plain.savedAt);
    EXPECT_FALSE(plain.tabs[0].selectedRanges);
    EXPECT_FALSE(plain.tabs[0].isReadOnly);
    EXPECT_EQ(plain.tabs[0].id, plain.activeTabID); // either case reads

    const RestoredSession nulls = decodeSessionRecord(minimalRecord(
        QStringLiteral(R"(,"filePath":null,"bookmarkedLines":null,"isReadOnly":null,"extra":[1])"),
        QStringLiteral(R"(,"schemaVersion":99,"savedAt":null,"future":{"x":1})")));
    EXPECT_EQ(nulls.schemaVersion, 99);
    EXPECT_FALSE(nulls.tabs[0].filePath);
    EXPECT_FALSE(nulls.tabs[0].bookmarkedLines);
    // An integral number written with a fraction is still an integer.
    EXPECT_EQ(decodeSessionRecord(minimalRecord(QStringLiteral(R"(,"lastKnownFileSize":7.0)")))
                  .tabs[0]
                  .lastKnownFileSize,
              7);
}

TEST(SessionRecord, AnyMissingOrMistypedValueMakesTheRecordUndecodable) {
    const QList<QByteArray> bad = {
        QByteArray(),
        minimalRecord().left(60), // truncated
        QByteArray("[]"),
        QByteArray("{\"activeTabID\":\"6F9619FF-8B86-D011-B42D-00C04FC964FF\",\"fontSize\":14}"),
        minimalRecord().replace("\"draftText\":\"d\",", ""),
        minimalRecord().replace("\"draftText\":\"d\"", "\"draftText\":null"),
        minimalRecord().replace("\"selectedLocation\":1", "\"selectedLocation\":1.5"),
        minimalRecord().replace("\"selectedLocation\":1", "\"selectedLocation\":\"1\""),
        minimalRecord().replace("\"selectedLocation\":1", "\"selectedLocation\":1e30"),
        minimalRecord().replace("\"fontSize\":14", "\"fontSize\":\"14\""),
        minimalRecord().replace("6F9619FF-8B86", "{6F9619FF-8B86"),
        minimalRecord().replace("6f9619ff-8b86", "6g9619ff-8b86"),
        minimalRecord(QStringLiteral(R"(,"isReadOnly":1)")),
        minimalRecord(QStringLiteral(R"(,"fileBookmark":"not base64!")")),
        minimalRecord(QStringLiteral(R"(,"fileBookmark":"QUJD")")).replace("QUJD", "QUJ"),
        minimalRecord(QStringLiteral(R"(,"selectedRanges":[{"location":1}])")),
        minimalRecord(QStringLiteral(R"(,"selectedRanges":{"location":1,"length":0})")),
        minimalRecord(QStringLiteral(R"(,"bookmarkedLines":[1,"2"])")),
        minimalRecord(QStringLiteral(R"(,"lastKnownModificationTimestamp":true)")),
        minimalRecord({}, QStringLiteral(R"(,"schemaVersion":"3")")),
        QByteArray("{\"tabs\":") + QByteArray(100000, '[') + QByteArray(100000, ']') + "}",
    };
    for (const QByteArray& data : bad)
        EXPECT_THROW(decodeSessionRecord(data), JsonDecodeError) << data.left(200).constData();
}

TEST(SessionRecord, KeysReadBackExactlyOrFallBack) {
    EXPECT_EQ(textFileEncodingForKey(QStringLiteral("shift-jis")), TextFileEncoding::ShiftJIS);
    EXPECT_EQ(textFileEncodingForKey(QStringLiteral("utf8-bom")), TextFileEncoding::Utf8WithBOM);
    EXPECT_EQ(textFileEncodingForKey(QStringLiteral("Shift-JIS")), TextFileEncoding::Utf8);
    EXPECT_EQ(textFileEncodingForKey(QString()), TextFileEncoding::Utf8);
    EXPECT_EQ(textLineEndingForKey(QStringLiteral("crlf")), TextLineEnding::CarriageReturnLineFeed);
    EXPECT_EQ(textLineEndingForKey(QStringLiteral("cr")), TextLineEnding::CarriageReturn);
    EXPECT_EQ(textLineEndingForKey(QStringLiteral("CRLF")), TextLineEnding::LineFeed);
}

TEST(SessionRecord, TheWrittenFormIsTheEncodedOneByteForByte) {
    RestoredSession session = fullSession();
    QString every;
    for (char16_t unit = 0; unit < 0x80; ++unit)
        every += QChar(unit);
    // Escapes, two- and three-byte characters, a pair, lone surrogates at either end.
    session.tabs[0].draftText = every + QStringLiteral("é中\U0001F600") + QChar(0xDC00) +
                                QStringLiteral("\\\"") + QChar(0xD83D);
    session.tabs[1].savedSnapshot = QString(200'000, QChar(0x4E2D)) + QChar(0xD800);
    session.tabs[1].draftText.clear();
    for (const SessionRecordFormat format :
         {SessionRecordFormat::Compact, SessionRecordFormat::PrettySorted}) {
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        ASSERT_TRUE(writeSessionRecord(session, format, written));
        EXPECT_EQ(written.data(), encodeSessionRecord(session, format));
        EXPECT_EQ(decodeSessionRecord(written.data()), session);
    }
    // A device that refuses is told.
    QBuffer closed;
    EXPECT_FALSE(writeSessionRecord(session, SessionRecordFormat::Compact, closed));
}
