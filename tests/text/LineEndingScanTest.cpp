// Line-ending detection and normalisation against a plain reference: the vectorised scan counts
// breaks in blocks and lanes, so pairs across blocks and very many breaks must come out exact.
#include "text/EncodingDetection.h"
#include "text/TextEncoding.h"
#include "text/TextFileLoader.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

TextLineEnding referenceLineEnding(const QString& text) {
    qsizetype pairs = 0, loneCr = 0, loneLf = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            ++pairs;
            ++i;
        } else if (text[i] == u'\r') {
            ++loneCr;
        } else if (text[i] == u'\n') {
            ++loneLf;
        }
    }
    if (pairs > 0 && pairs + 1 > loneCr && pairs + 1 > loneLf)
        return TextLineEnding::CarriageReturnLineFeed;
    if (loneCr > 0 && loneLf < loneCr)
        return TextLineEnding::CarriageReturn;
    return TextLineEnding::LineFeed;
}

QString referenceNormalized(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

} // namespace

TEST(LineEndingScan, RandomTextsMatchThePlainReference) {
    QRandomGenerator random(20261207);
    const char16_t alphabet[] = {u'a', u'\r', u'\n', u'é'};
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = random.bounded(round < 2000 ? 40 : 400);
        for (int i = 0; i < length; ++i)
            text.append(QChar(alphabet[random.bounded(int(std::size(alphabet)))]));
        const auto [ending, normalized] = lineEndingAndNormalizedText(text);
        ASSERT_EQ(ending, referenceLineEnding(text)) << text.toStdString();
        ASSERT_EQ(detectLineEnding(text), ending);
        ASSERT_EQ(normalized, referenceNormalized(text)) << text.toStdString();
        // A text nobody else holds is changed where it lies.
        QString unshared(text.constData(), text.size());
        ASSERT_EQ(normalizeLineEndings(std::move(unshared)), normalized);
    }
}

TEST(LineEndingScan, CountsStayExactOverMillionsOfBreaks) {
    // As many lone line feeds as pairs, give or take one: the tie rule needs every count exact.
    const qsizetype many = 700'000;
    const QString lineFeeds(many, u'\n');
    const QString pairs = QStringLiteral("\r\n").repeated(many);
    EXPECT_EQ(detectLineEnding(lineFeeds + pairs), TextLineEnding::CarriageReturnLineFeed);
    EXPECT_EQ(detectLineEnding(lineFeeds + u'x' + pairs.sliced(2)), TextLineEnding::LineFeed);
    const auto [ending, text] = lineEndingAndNormalizedText(lineFeeds);
    EXPECT_EQ(ending, TextLineEnding::LineFeed);
    EXPECT_TRUE(text.isSharedWith(lineFeeds)); // nothing to change, nothing copied
}

TEST(LineEndingScan, DecodedFilesKeepTheirLineEndingInEveryEncoding) {
    struct Case {
        TextFileEncoding encoding;
        QString text;
    };
    const QString cjk = QString::fromUtf8("中文 字\n第二行");
    const QList<Case> cases = {
        {TextFileEncoding::Utf8, cjk},
        {TextFileEncoding::Gb18030, cjk},
        {TextFileEncoding::Big5, QString::fromUtf8("中文 字\n第二行")},
        {TextFileEncoding::ShiftJIS, QString::fromUtf8("日本語の\nテキスト")},
        {TextFileEncoding::IsoLatin1, QString::fromUtf8("Stéphane\nça va")},
        {TextFileEncoding::Utf16LittleEndian, cjk},
    };
    for (const Case& c : cases) {
        for (const TextLineEnding ending :
             {TextLineEnding::LineFeed, TextLineEnding::CarriageReturnLineFeed,
              TextLineEnding::CarriageReturn}) {
            const QByteArray bytes = encodeText(textWithLineEnding(c.text, ending), c.encoding);
            const PlainTextDocument document = decodeDocumentData(bytes);
            EXPECT_EQ(document.lineEnding, ending) << int(c.encoding) << int(ending);
            EXPECT_EQ(document.text, c.text) << int(c.encoding) << int(ending);
        }
    }
}
