#include "platform/RegexLongReads.h"

#include "platform/RegexSyntax.h"

#include <QList>
#include <algorithm>
#include <vector>

namespace dunmoss {

using namespace regex_syntax;

bool mayReadFarWithoutTicks(QStringView p) {
    // For each open group, whether it is a look-around or inside one.
    std::vector<bool> lookingAround;
    const auto insideLookAround = [&] { return !lookingAround.empty() && lookingAround.back(); };
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p[i];
        if (c == u'\\') {
            const QChar kind = i + 1 < p.size() ? p[i + 1] : QChar();
            if ((kind >= u'1' && kind <= u'9') || kind == u'k')
                return true;
            i = afterEscape(p, i);
        } else if (c == u'[') {
            i = afterSet(p, i);
        } else if (c == u'(') {
            const QStringView rest = p.sliced(i);
            if (rest.startsWith(u"(?#")) {
                i = afterComment(p, i);
                continue;
            }
            if (rest.startsWith(u"(?>"))
                return true;
            const bool around = rest.startsWith(u"(?=") || rest.startsWith(u"(?!") ||
                                rest.startsWith(u"(?<=") || rest.startsWith(u"(?<!");
            if (rest.startsWith(u"(?") && !around) {
                // Inline flags: "x" lets spaces and comments hide what follows.
                qsizetype f = i + 2;
                while (f < p.size() && (isAsciiLetter(p[f]) || p[f] == u'-')) {
                    if (p[f] == u'x')
                        return true;
                    ++f;
                }
            }
            lookingAround.push_back(around || insideLookAround());
            ++i;
        } else if (c == u')') {
            if (!lookingAround.empty())
                lookingAround.pop_back();
            ++i;
        } else if (c == u'*' || c == u'+' || c == u'?' || c == u'{') {
            // Any loop but "?" may read far; a counted one as far as its count.
            if (c != u'?' && insideLookAround())
                return true;
            if (c == u'{') {
                const qsizetype close = p.indexOf(u'}', i);
                if (close < 0)
                    return true;
                // A count in the thousands repeats without a saved state until its least.
                for (const QStringView number : p.sliced(i + 1, close - i - 1).split(u','))
                    if (number.size() > 3)
                        return true;
                i = close + 1;
            } else {
                ++i;
            }
            if (i < p.size() && p[i] == u'+')
                return true; // possessive
        } else {
            ++i;
        }
        if (i < 0)
            return true;
    }
    return false;
}

QString withBoundariesReadInPlace(QStringView p, bool commentsAnywhere) {
    QString out;
    qsizetype copied = -1;
    for (qsizetype i = 0; i < p.size() && i >= 0;) {
        const QChar c = p[i];
        if (c == u'\\') {
            const QChar kind = i + 1 < p.size() ? p[i + 1] : QChar();
            if (kind == u'b' || kind == u'B') {
                const qsizetype from = std::max<qsizetype>(copied, 0);
                out.append(p.sliced(from, i - from)).append(u"(?>(?<=[\\s\\S])|)");
                copied = i;
            }
            i = afterEscape(p, i);
        } else if (c == u'[') {
            i = afterSet(p, i);
        } else if (c == u'(' && p.sliced(i).startsWith(u"(?#")) {
            i = afterComment(p, i);
        } else if (c == u'#' && commentsAnywhere) {
            while (i < p.size() && !QStringView(u"\n\r\u0085\u2028\u2029").contains(p[i]))
                ++i;
        } else {
            ++i;
        }
    }
    if (copied < 0)
        return p.toString();
    return out.append(p.sliced(copied));
}

} // namespace dunmoss
