#include "text/TextToolbox.h"
#include "TextEditPrinter.h"
#include "text/JsonFormatter.h"
#include "text/TextCodecs.h"

#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

QString s(const char* text) {
    return QString::fromUtf8(text);
}

TextEdit edit(const char* text, TextRange selection) {
    return TextEdit{s(text), selection};
}

JsonError::Kind jsonFailure(const QString& text) {
    try {
        prettyPrintJSON(text);
    } catch (const JsonError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "accepted " << text.toStdString();
    return JsonError::Kind::TrailingText;
}

} // namespace

TEST(TextToolboxTest, UniqueAndReversedLines) {
    EXPECT_EQ(uniqueLines(s("b\na\nb\n"), {0, 0}), edit("b\na\n", {0, 4}));
    EXPECT_EQ(uniqueLines(s("a \na\nA\na"), {0, 0}), edit("a \na\nA", {0, 6}));
    // Only the selected lines; the first line's copy below the block stays.
    EXPECT_EQ(uniqueLines(s("x\ny\ny\nx"), {2, 3}), edit("x\ny\nx", {2, 2}));
    EXPECT_EQ(reverseLines(s("x\ny\nz"), {0, 0}), edit("z\ny\nx", {0, 5}));
    EXPECT_EQ(reverseLines(s("x\ny\nz\n"), {0, 0}), edit("z\ny\nx\n", {0, 6}));
    EXPECT_EQ(reverseLines(s("a\nx\ny\nb"), {3, 2}), edit("a\ny\nx\nb", {2, 4}));
    EXPECT_EQ(reverseLines(QString(), {0, 0}), edit("", {0, 0}));
    EXPECT_EQ(uniqueLines(s("\n\n"), {0, 0}), edit("\n", {0, 1}));
}

TEST(TextToolboxTest, Extraction) {
    EXPECT_EQ(extractMatches(kUrlExtractionPattern,
                             s("see https://a.example/x?q=1, and http://b.c\n"),
                             IcuRegex::NoOptions),
              s("https://a.example/x?q=1,\nhttp://b.c\n"));
    EXPECT_EQ(extractMatches(kUrlExtractionPattern, s("<https://x.y>\"http://z\" HTTPS://no"),
                             IcuRegex::NoOptions),
              s("https://x.y\nhttp://z\n"));
    EXPECT_EQ(extractMatches(kUrlExtractionPattern, s("no links"), IcuRegex::NoOptions), QString());
    EXPECT_EQ(extractMatches(kEmailExtractionPattern, s("Ann@Example.COM, bob@x.io bob@x.io"),
                             IcuRegex::CaseInsensitive),
              s("Ann@Example.COM\nbob@x.io\nbob@x.io\n"));
    EXPECT_EQ(extractMatches(kEmailExtractionPattern, s("a@b.c"), IcuRegex::CaseInsensitive),
              QString());
    EXPECT_FALSE(extractMatches(s("("), s("x"), IcuRegex::NoOptions));
}

TEST(TextToolboxTest, ExtractionFindsWhatFollowsALongRunOrReportsAnError) {
    // An address after a long unbroken Base64 run (every character of it could start one).
    QString text = QStringLiteral("data:");
    const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+");
    for (int i = 0; i < 30000; ++i)
        text.append(alphabet[(i * 7 + i / 13) % alphabet.size()]);
    text.append(QStringLiteral("== from ann@example.com"));
    EXPECT_EQ(extractMatches(kEmailExtractionPattern, text, IcuRegex::CaseInsensitive),
              s("ann@example.com\n"));
    // Matching that stops is an error, never "nothing found".
    EXPECT_THROW(extractMatches(s("(a+)+$"), QString(40, u'a') + u'!', IcuRegex::NoOptions,
                                RegexWorkBound{2, 1000}),
                 RegexError);
}

TEST(TextToolboxTest, Base64) {
    EXPECT_EQ(base64EncodeText(s("xabcx"), {1, 3}), edit("xYWJjx", {1, 4}));
    EXPECT_EQ(base64EncodeText(s("你"), {0, 0}), edit("5L2g", {0, 4}));
    EXPECT_EQ(base64EncodeText(s("ab"), {0, 0}), edit("YWI=", {0, 4}));
    EXPECT_EQ(base64EncodeText(QString(), {0, 0}), edit("", {0, 0}));
    EXPECT_EQ(base64DecodeText(s("  YWJj\n"), {0, 0}), edit("abc", {0, 3}));
    EXPECT_EQ(base64DecodeText(s("[YWI=]"), {1, 4}), edit("[ab]", {1, 2}));
    EXPECT_EQ(base64DecodeText(s("YQ=="), {0, 0}), edit("a", {0, 1}));
    for (const char* bad : {"YW Jj", "YWJ", "YW\nJj", "Y===", "YQ=a", "YQ==YQ==", "=YWJ",
                            "YWJj=", "YW-j", "/w==", "7aCA"}) {
        try {
            base64DecodeText(s(bad), {0, 0});
            ADD_FAILURE() << "decoded " << bad;
        } catch (const TextToolboxError& error) {
            EXPECT_EQ(error, TextToolboxError(TextToolboxError::Kind::InvalidBase64));
            EXPECT_EQ(error.localizedDescription(), s("Invalid Base64 text"));
        }
    }
}

TEST(TextToolboxTest, DecodedLineBreaksBecomeLineFeeds) {
    // "a\r\nb\rc\n" in both forms; the result is selected at its new length.
    EXPECT_EQ(urlDecodeText(s("x a%0D%0Ab%0Dc%0A x"), {2, 15}), edit("x a\nb\nc\n x", {2, 6}));
    EXPECT_EQ(urlDecodeText(s("%0d%0d%0a"), {0, 0}), edit("\n\n", {0, 2}));
    EXPECT_EQ(base64DecodeText(s("YQ0KYg1jCg=="), {0, 0}), edit("a\nb\nc\n", {0, 6}));
}

TEST(TextToolboxTest, EncodingWritesUnpairedSurrogatesAsReplacementCharacters) {
    EXPECT_EQ(utf8Bytes(QString(QChar(0xD800))), QByteArray("\xEF\xBF\xBD"));
    EXPECT_EQ(utf8Bytes(QStringLiteral("a\U0001F600")), QByteArray("a\xF0\x9F\x98\x80"));
    EXPECT_EQ(base64EncodeText(QString(QChar(0xDC00)), {0, 0}).text, s("77+9"));
}

TEST(TextToolboxTest, PercentEncoding) {
    EXPECT_EQ(urlEncodeText(s("a b&c"), {0, 0}), edit("a%20b&c", {0, 7}));
    EXPECT_EQ(urlEncodeText(s("é/?#"), {0, 0}), edit("%C3%A9/?%23", {0, 11}));
    EXPECT_EQ(urlEncodeText(s("!$&'()*+,-./:;=?_~@"), {0, 0}).text, s("!$&'()*+,-./:;=?_~@"));
    EXPECT_EQ(urlEncodeText(s("\"%<>[]^`{|}\\"), {0, 0}).text,
              s("%22%25%3C%3E%5B%5D%5E%60%7B%7C%7D%5C"));
    // An unpaired surrogate cannot be encoded: the text stays as it was.
    const QString lone = s("a") + QChar(0xD800);
    EXPECT_EQ(urlEncodeText(lone, {0, 0}), (TextEdit{lone, {0, 0}}));

    EXPECT_EQ(urlDecodeText(s("%E4%BD%A0"), {0, 0}), edit("你", {0, 1}));
    EXPECT_EQ(urlDecodeText(s("a+b%20c"), {0, 0}), edit("a+b c", {0, 5}));
    EXPECT_EQ(urlDecodeText(s("%e4%bd%a0x"), {0, 0}), edit("你x", {0, 2}));
    for (const char* bad : {"%ZZ", "%", "%4", "abc%", "%E4%BD", "%C0%AF", "%FF", "%E4x%BD%A0"})
        EXPECT_EQ(urlDecodeText(s(bad), {0, 1}), edit(bad, {0, 1})) << bad;
}

TEST(TextToolboxTest, JsonPrettyAndMinified) {
    const QString pretty =
        prettyPrintJSON(s("{\"b\": \"x/y\", \"a\": [1, {\"d\": null, \"c\": true}, [], {}]}"));
    EXPECT_EQ(pretty, s("{\n"
                        "    \"a\": [\n"
                        "        1,\n"
                        "        {\n"
                        "            \"c\": true,\n"
                        "            \"d\": null\n"
                        "        },\n"
                        "        [],\n"
                        "        {}\n"
                        "    ],\n"
                        "    \"b\": \"x/y\"\n"
                        "}\n"));
    EXPECT_EQ(minifyJSON(pretty), s("{\"a\":[1,{\"c\":true,\"d\":null},[],{}],\"b\":\"x/y\"}"));
    // Minified keys keep the order they came in.
    EXPECT_EQ(minifyJSON(s(" { \"z\" : 1 , \"a\" : false } ")), s("{\"z\":1,\"a\":false}"));
    EXPECT_EQ(prettyPrintJSON(s("[]")), s("[]\n"));
}

TEST(TextToolboxTest, JsonKeepsNumbersAndStringsExact) {
    EXPECT_EQ(minifyJSON(s("[12345678901234567890, 1.0, -0, 1E+400, 0.5e-3]")),
              s("[12345678901234567890,1.0,-0,1E+400,0.5e-3]"));
    EXPECT_EQ(minifyJSON(s(R"(["\u00e9\/\"\\\b\f\n\r\t\u0001\ud83d\ude00", "\ud800"])")),
              s("[\"é/\\\"\\\\\\b\\f\\n\\r\\t\\u0001\U0001F600\",\"\\ud800\"]"));
    // A key given twice keeps its first place and its last value.
    EXPECT_EQ(minifyJSON(s(R"({"k":1,"j":2,"k":3})")), s(R"({"k":3,"j":2})"));
    // Keys sort by code units.
    EXPECT_EQ(minifyJSON(prettyPrintJSON(s(R"({"b":1,"B":2,"a10":3,"a2":4,"é":5})"))),
              s(R"({"B":2,"a10":3,"a2":4,"b":1,"é":5})"));
}

TEST(TextToolboxTest, JsonRejectsWhatIsNotJson) {
    EXPECT_EQ(jsonFailure(s("1")), JsonError::Kind::TopLevelNotContainer);
    EXPECT_EQ(jsonFailure(s("\"a\"")), JsonError::Kind::TopLevelNotContainer);
    EXPECT_EQ(jsonFailure(QString()), JsonError::Kind::UnexpectedEnd);
    EXPECT_EQ(jsonFailure(s("{\"a\":1,}")), JsonError::Kind::UnexpectedCharacter);
    EXPECT_EQ(jsonFailure(s("[1,]")), JsonError::Kind::UnexpectedCharacter);
    EXPECT_EQ(jsonFailure(s("[01]")), JsonError::Kind::UnexpectedCharacter);
    EXPECT_EQ(jsonFailure(s("[1.]")), JsonError::Kind::InvalidNumber);
    EXPECT_EQ(jsonFailure(s("[-]")), JsonError::Kind::InvalidNumber);
    EXPECT_EQ(jsonFailure(s("[1e]")), JsonError::Kind::InvalidNumber);
    EXPECT_EQ(jsonFailure(s("[\"\\x\"]")), JsonError::Kind::InvalidEscape);
    EXPECT_EQ(jsonFailure(s("[\"\\u12G4\"]")), JsonError::Kind::InvalidEscape);
    EXPECT_EQ(jsonFailure(s("[\"a\nb\"]")), JsonError::Kind::ControlCharacter);
    EXPECT_EQ(jsonFailure(s("[\"abc")), JsonError::Kind::UnexpectedEnd);
    EXPECT_EQ(jsonFailure(s("{} {}")), JsonError::Kind::TrailingText);
    EXPECT_EQ(jsonFailure(s("[tru]")), JsonError::Kind::UnexpectedCharacter);
    EXPECT_EQ(jsonFailure(s("{1:2}")), JsonError::Kind::UnexpectedCharacter);
    EXPECT_EQ(jsonFailure(s("[NaN]")), JsonError::Kind::UnexpectedCharacter);
    try {
        minifyJSON(s("{\n  \"a\": x\n}"));
        ADD_FAILURE() << "accepted a bare word";
    } catch (const JsonError& error) {
        EXPECT_EQ(error.line(), 2);
        EXPECT_EQ(error.column(), 8);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(TextToolboxTest, JsonNestingIsBoundedInsteadOfOverflowingTheStack) {
    const QString deepest = QString(kJsonMaximumDepth, u'[') + QString(kJsonMaximumDepth, u']');
    EXPECT_EQ(minifyJSON(deepest), deepest);
    EXPECT_EQ(
        jsonFailure(QString(kJsonMaximumDepth + 1, u'[') + QString(kJsonMaximumDepth + 1, u']')),
        JsonError::Kind::TooDeep);
    EXPECT_EQ(jsonFailure(QString(1000000, u'[')), JsonError::Kind::TooDeep);
    QString objects;
    for (int i = 0; i < 100000; ++i)
        objects.append(QStringLiteral("{\"a\":"));
    EXPECT_EQ(jsonFailure(objects), JsonError::Kind::TooDeep);
}
