// Feeds arbitrary text to the Markdown preview's block parser and checks it against a plain
// restatement of the line rules built on Qt's own splitting and trimming.
#include "tools/MarkdownBlocks.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

using namespace dunmoss;

namespace {

using Kind = MarkdownPreviewBlock::Kind;

QList<MarkdownPreviewBlock> reference(const QString& text) {
    // Every break becomes a line feed before splitting. (Qt's regular expressions match nothing
    // in text that holds a lone surrogate, so they cannot split such text at its breaks.)
    QString unified = text;
    for (const char16_t lineBreak : {u'\v', u'\f', u'\r', u'\u0085', u'\u2028', u'\u2029'})
        unified.replace(QChar(lineBreak), QChar(u'\n'));
    QList<MarkdownPreviewBlock> blocks;
    QStringList code;
    bool inCode = false;
    for (const QString& line : unified.split(u'\n')) {
        // Lines hold no breaks, so Qt's white space is exactly the spaces and the tab.
        const QString t = line.trimmed();
        if (t.startsWith(QStringLiteral("```"))) {
            if (inCode) {
                blocks.append({Kind::Code, 0, code.join(QLatin1Char('\n'))});
                code.clear();
            }
            inCode = !inCode;
        } else if (inCode) {
            code.append(line);
        } else if (!t.isEmpty()) {
            qsizetype marks = 0;
            while (marks < t.size() && t.at(marks) == u'#')
                ++marks;
            const QString rest = t.mid(marks).trimmed();
            if (marks >= 1 && marks <= 6 && !rest.isEmpty())
                blocks.append({Kind::Heading, int(marks), rest});
            else if (t.startsWith(QStringLiteral("- ")) || t.startsWith(QStringLiteral("* ")))
                blocks.append({Kind::Bullet, 0, t.mid(2)});
            else
                blocks.append({Kind::Paragraph, 0, t});
        }
    }
    if (!code.isEmpty())
        blocks.append({Kind::Code, 0, code.join(QLatin1Char('\n'))});
    return blocks;
}

void check(const QString& text) {
    if (parseMarkdownBlocks(text) != reference(text))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    check(QString::fromUtf8(bytes, qsizetype(size)));
    check(QString::fromUtf16(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2)));
    return 0;
}
