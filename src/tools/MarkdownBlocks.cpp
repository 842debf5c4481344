#include "tools/MarkdownBlocks.h"

#include <QChar>

namespace dunmoss {

namespace {

// Unicode space separators and the tab; line breaks are not white space here.
bool isWhitespace(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

bool isNewline(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QStringView trimmed(QStringView line) {
    qsizetype start = 0;
    qsizetype end = line.size();
    while (start < end && isWhitespace(line.at(start)))
        ++start;
    while (end > start && isWhitespace(line.at(end - 1)))
        --end;
    return line.sliced(start, end - start);
}

} // namespace

std::optional<MarkdownPreviewBlock> parseMarkdownHeading(QStringView line) {
    qsizetype marks = 0;
    while (marks < line.size() && line.at(marks) == u'#')
        ++marks;
    if (marks == 0 || marks > 6)
        return std::nullopt;
    const QStringView rest = trimmed(line.sliced(marks));
    if (rest.isEmpty())
        return std::nullopt;
    return MarkdownPreviewBlock{MarkdownPreviewBlock::Kind::Heading, int(marks), rest.toString()};
}

QList<MarkdownPreviewBlock> parseMarkdownBlocks(const QString& text) {
    using Kind = MarkdownPreviewBlock::Kind;
    QList<MarkdownPreviewBlock> blocks;
    QString pendingCode;
    bool hasPendingCode = false;
    bool inCode = false;
    const auto emitCode = [&] {
        blocks.append({Kind::Code, 0, pendingCode});
        pendingCode.clear();
        hasPendingCode = false;
    };
    const QStringView all(text);
    qsizetype start = 0;
    while (true) {
        qsizetype end = start;
        while (end < all.size() && !isNewline(all.at(end)))
            ++end;
        const QStringView line = all.sliced(start, end - start);
        const QStringView t = trimmed(line);
        if (t.startsWith(u"```")) {
            if (inCode)
                emitCode();
            inCode = !inCode;
        } else if (inCode) {
            if (hasPendingCode)
                pendingCode.append(u'\n');
            pendingCode.append(line);
            hasPendingCode = true;
        } else if (!t.isEmpty()) {
            if (std::optional<MarkdownPreviewBlock> heading = parseMarkdownHeading(t))
                blocks.append(std::move(*heading));
            else if (t.startsWith(u"- ") || t.startsWith(u"* "))
                blocks.append({Kind::Bullet, 0, t.sliced(2).toString()});
            else
                blocks.append({Kind::Paragraph, 0, t.toString()});
        }
        if (end >= all.size())
            break;
        start = end + 1;
    }
    // A fence never closed: what followed it is one block; nothing when nothing followed.
    if (hasPendingCode)
        emitCode();
    return blocks;
}

MarkdownBlockChange markdownBlockChange(const QList<MarkdownPreviewBlock>& before,
                                        const QList<MarkdownPreviewBlock>& after) {
    const qsizetype oldCount = before.size();
    const qsizetype newCount = after.size();
    qsizetype prefix = 0;
    while (prefix < oldCount && prefix < newCount && before.at(prefix) == after.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < oldCount - prefix && suffix < newCount - prefix &&
           before.at(oldCount - 1 - suffix) == after.at(newCount - 1 - suffix))
        ++suffix;
    return {prefix, oldCount - suffix, newCount - suffix};
}

} // namespace dunmoss
