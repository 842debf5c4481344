#include "platform/RegexFreeSpacing.h"

#include "platform/RegexSyntax.h"

namespace dunmoss::regex_syntax {

namespace {

// What ICU passes over in free spacing (Pattern_White_Space).
bool isPatternWhiteSpace(char16_t u) {
    return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0x200E || u == 0x200F ||
           u == 0x2028 || u == 0x2029;
}

// What ends a "#" comment for ICU: not a paragraph separator.
bool endsComment(char16_t u) {
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028;
}

class FreeSpacingReader {
public:
    FreeSpacingReader(QStringView p, bool freeSpacing) : m_p(p), m_free(freeSpacing) {}

    FreeSpacingReading read() {
        for (passIgnored(); m_i < m_p.size(); passIgnored()) {
            const QChar c = m_p[m_i];
            if (c == u'\\') {
                const QChar kind = m_i + 1 < m_p.size() ? m_p[m_i + 1] : QChar();
                if (m_setDepth == 0 && (kind == u'b' || kind == u'B'))
                    m_reading.boundaries.push_back(m_i);
                const qsizetype end = afterEscape(m_p, m_i);
                m_i = end < 0 ? m_p.size() : end;
            } else if (c == u'[') {
                openSet();
            } else if (m_setDepth > 0) {
                if (c == u']')
                    --m_setDepth;
                ++m_i;
            } else if (c == u'(') {
                openGroup();
            } else if (c == u')') {
                // Closing a group brings back the flags in force where it opened.
                if (!m_outer.empty()) {
                    m_free = m_outer.back();
                    m_outer.pop_back();
                }
                ++m_i;
            } else {
                ++m_i;
            }
        }
        return std::move(m_reading);
    }

private:
    // Past white space and comments, where free spacing is in force.
    void passIgnored() {
        while (m_free && m_i < m_p.size()) {
            const char16_t u = m_p[m_i].unicode();
            if (u == u'#') {
                while (m_i < m_p.size() && !endsComment(m_p[m_i].unicode()))
                    ++m_i;
            } else if (isPatternWhiteSpace(u)) {
                ++m_i;
            } else {
                break;
            }
        }
    }

    // A "]" first in a set, after "[" or "[^", is itself.
    void openSet() {
        ++m_setDepth;
        ++m_i;
        passIgnored();
        if (m_i < m_p.size() && m_p[m_i] == u'^') {
            ++m_i;
            passIgnored();
        }
        if (m_i < m_p.size() && m_p[m_i] == u']')
            ++m_i;
    }

    void openGroup() {
        ++m_i;
        passIgnored();
        if (m_i < m_p.size() && m_p[m_i] == u'?') {
            ++m_i;
            passIgnored();
            if (m_i < m_p.size() && m_p[m_i] == u'#') {
                passComment();
                return;
            }
            if (m_i < m_p.size() && (isAsciiLetter(m_p[m_i]) || m_p[m_i] == u'-') && readFlags())
                return;
        }
        m_outer.push_back(m_free);
    }

    // "(?#...)" ends at the first ")" not quoted by "\Q...\E" (a backslash before it does not).
    void passComment() {
        while (m_i < m_p.size()) {
            if (m_p[m_i] == u')') {
                ++m_i;
                return;
            }
            if (m_p[m_i] == u'\\' && m_i + 1 < m_p.size() && m_p[m_i + 1] == u'Q')
                m_i = afterEscape(m_p, m_i);
            else if (m_p[m_i] == u'\\' && m_i + 1 < m_p.size() && m_p[m_i + 1] != u')')
                m_i += 2;
            else
                ++m_i;
        }
    }

    // Inline flags, read with free spacing as it was before them: "(?x)" sets it for the rest of
    // the group around it, "(?x:" inside its own scope. False when the group is no flag group
    // (ICU refuses it).
    bool readFlags() {
        bool free = m_free;
        bool setting = true;
        for (; m_i < m_p.size(); ++m_i, passIgnored()) {
            const QChar c = m_p[m_i];
            if (c == u'-')
                setting = false;
            else if (c == u'x')
                free = setting;
            else if (!isAsciiLetter(c))
                break;
        }
        if (m_i >= m_p.size() || (m_p[m_i] != u')' && m_p[m_i] != u':'))
            return false;
        if (m_p[m_i] == u':')
            m_outer.push_back(m_free);
        m_reading.turnedOn = m_reading.turnedOn || (free && !m_free);
        m_free = free;
        ++m_i;
        return true;
    }

    QStringView m_p;
    qsizetype m_i = 0;
    bool m_free;
    int m_setDepth = 0;
    // Free spacing in force outside each open group.
    std::vector<bool> m_outer;
    FreeSpacingReading m_reading;
};

} // namespace

FreeSpacingReading readFreeSpacing(QStringView pattern, bool freeSpacing) {
    return FreeSpacingReader(pattern, freeSpacing).read();
}

} // namespace dunmoss::regex_syntax
