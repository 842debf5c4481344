#include "text/JsonFormatter.h"

#include "platform/HexDigit.h"
#include "platform/Localization.h"

#include <QHash>
#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

namespace dunmoss {

namespace {

struct JsonNode {
    enum class Type : unsigned char { Null, True, False, Number, String, Array, Object };
    Type type = Type::Null;
    QString text;                // a number's spelling or a string's value
    std::vector<JsonNode> items; // array elements, or object values
    std::vector<QString> keys;   // object keys, one per value
};

// The escapes with a letter of their own: the letter after the backslash and the unit it
// stands for. "\/" is read as well, but a solidus is written as it is.
constexpr std::pair<char16_t, char16_t> kShortEscapes[] = {
    {u'"', u'"'},  {u'\\', u'\\'}, {u'b', u'\b'}, {u'f', u'\f'},
    {u'n', u'\n'}, {u'r', u'\r'},  {u't', u'\t'},
};

char16_t unitForEscape(char16_t letter) {
    for (const auto& [escape, unit] : kShortEscapes) {
        if (escape == letter)
            return unit;
    }
    return letter == u'/' ? u'/' : 0;
}

char16_t escapeForUnit(char16_t c) {
    for (const auto& [escape, unit] : kShortEscapes) {
        if (unit == c)
            return escape;
    }
    return 0;
}

bool isJsonSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

class JsonReader {
public:
    explicit JsonReader(QStringView text) : m_text(text) {}

    JsonNode readDocument() {
        if (!m_text.isEmpty() && m_text[0] == QChar(0xFEFF))
            m_pos = 1;
        skipSpace();
        if (atEnd())
            fail(JsonError::Kind::UnexpectedEnd);
        if (peek() != u'{' && peek() != u'[')
            fail(JsonError::Kind::TopLevelNotContainer);
        JsonNode root = readValue(0);
        skipSpace();
        if (!atEnd())
            fail(JsonError::Kind::TrailingText);
        return root;
    }

private:
    [[noreturn]] void fail(JsonError::Kind kind) const {
        qsizetype line = 1;
        qsizetype lineStart = 0;
        const qsizetype at = std::min(m_pos, m_text.size());
        for (qsizetype i = 0; i < at; ++i) {
            if (m_text[i] == u'\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        throw JsonError(kind, at, line, at - lineStart + 1);
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    char16_t peek() const { return m_text[m_pos].unicode(); }

    void skipSpace() {
        while (!atEnd() && isJsonSpace(peek()))
            ++m_pos;
    }

    void expect(char16_t c) {
        if (atEnd())
            fail(JsonError::Kind::UnexpectedEnd);
        if (peek() != c)
            fail(JsonError::Kind::UnexpectedCharacter);
        ++m_pos;
    }

    JsonNode readValue(int depth) {
        skipSpace();
        if (atEnd())
            fail(JsonError::Kind::UnexpectedEnd);
        const char16_t c = peek();
        if (c == u'{' || c == u'[') {
            if (depth >= kJsonMaximumDepth)
                fail(JsonError::Kind::TooDeep);
            return c == u'{' ? readObject(depth + 1) : readArray(depth + 1);
        }
        JsonNode node;
        if (c == u'"') {
            node.type = JsonNode::Type::String;
            node.text = readString();
        } else if (c == u'-' || isDigit(c)) {
            node.type = JsonNode::Type::Number;
            node.text = readNumber();
        } else if (readLiteral(u"true")) {
            node.type = JsonNode::Type::True;
        } else if (readLiteral(u"false")) {
            node.type = JsonNode::Type::False;
        } else if (readLiteral(u"null")) {
            node.type = JsonNode::Type::Null;
        } else {
            fail(JsonError::Kind::UnexpectedCharacter);
        }
        return node;
    }

    bool readLiteral(QStringView word) {
        if (!m_text.sliced(m_pos).startsWith(word))
            return false;
        m_pos += word.size();
        return true;
    }

    JsonNode readArray(int depth) {
        JsonNode node;
        node.type = JsonNode::Type::Array;
        ++m_pos; // '['
        skipSpace();
        if (!atEnd() && peek() == u']') {
            ++m_pos;
            return node;
        }
        while (true) {
            node.items.push_back(readValue(depth));
            skipSpace();
            if (atEnd())
                fail(JsonError::Kind::UnexpectedEnd);
            if (peek() == u']') {
                ++m_pos;
                return node;
            }
            expect(u',');
        }
    }

    JsonNode readObject(int depth) {
        JsonNode node;
        node.type = JsonNode::Type::Object;
        QHash<QString, size_t> seen;
        ++m_pos; // '{'
        skipSpace();
        if (!atEnd() && peek() == u'}') {
            ++m_pos;
            return node;
        }
        while (true) {
            skipSpace();
            if (atEnd())
                fail(JsonError::Kind::UnexpectedEnd);
            if (peek() != u'"')
                fail(JsonError::Kind::UnexpectedCharacter);
            QString key = readString();
            skipSpace();
            expect(u':');
            JsonNode value = readValue(depth);
            const auto it = seen.constFind(key);
            if (it != seen.constEnd()) {
                node.items[it.value()] = std::move(value);
            } else {
                seen.insert(key, node.items.size());
                node.keys.push_back(std::move(key));
                node.items.push_back(std::move(value));
            }
            skipSpace();
            if (atEnd())
                fail(JsonError::Kind::UnexpectedEnd);
            if (peek() == u'}') {
                ++m_pos;
                return node;
            }
            expect(u',');
        }
    }

    QString readString() {
        ++m_pos; // opening quote
        QString value;
        while (true) {
            const qsizetype runStart = m_pos;
            while (!atEnd() && peek() != u'"' && peek() != u'\\' && peek() >= 0x20)
                ++m_pos;
            value.append(m_text.sliced(runStart, m_pos - runStart));
            if (atEnd())
                fail(JsonError::Kind::UnexpectedEnd);
            const char16_t c = peek();
            if (c == u'"') {
                ++m_pos;
                return value;
            }
            if (c < 0x20)
                fail(JsonError::Kind::ControlCharacter);
            ++m_pos; // backslash
            if (atEnd())
                fail(JsonError::Kind::UnexpectedEnd);
            const char16_t escape = peek();
            if (escape == u'u') {
                if (m_pos + 4 >= m_text.size())
                    fail(JsonError::Kind::UnexpectedEnd);
                int code = 0;
                for (int k = 1; k <= 4; ++k) {
                    const int digit = hexDigitValue(m_text[m_pos + k].unicode());
                    if (digit < 0) {
                        m_pos += k;
                        fail(JsonError::Kind::InvalidEscape);
                    }
                    code = code * 16 + digit;
                }
                // Surrogates, paired or not, are kept as the units they name.
                value.append(QChar(char16_t(code)));
                m_pos += 4;
            } else if (const char16_t unit = unitForEscape(escape)) {
                value.append(QChar(unit));
            } else {
                fail(JsonError::Kind::InvalidEscape);
            }
            ++m_pos;
        }
    }

    QString readNumber() {
        const qsizetype start = m_pos;
        if (peek() == u'-')
            ++m_pos;
        if (atEnd())
            fail(JsonError::Kind::UnexpectedEnd);
        if (peek() == u'0') {
            ++m_pos;
        } else if (isDigit(peek())) {
            while (!atEnd() && isDigit(peek()))
                ++m_pos;
        } else {
            fail(JsonError::Kind::InvalidNumber);
        }
        if (!atEnd() && peek() == u'.') {
            ++m_pos;
            if (atEnd() || !isDigit(peek()))
                fail(atEnd() ? JsonError::Kind::UnexpectedEnd : JsonError::Kind::InvalidNumber);
            while (!atEnd() && isDigit(peek()))
                ++m_pos;
        }
        if (!atEnd() && (peek() == u'e' || peek() == u'E')) {
            ++m_pos;
            if (!atEnd() && (peek() == u'+' || peek() == u'-'))
                ++m_pos;
            if (atEnd() || !isDigit(peek()))
                fail(atEnd() ? JsonError::Kind::UnexpectedEnd : JsonError::Kind::InvalidNumber);
            while (!atEnd() && isDigit(peek()))
                ++m_pos;
        }
        return m_text.sliced(start, m_pos - start).toString();
    }

    QStringView m_text;
    qsizetype m_pos = 0;
};

class JsonWriter {
public:
    explicit JsonWriter(JsonLayout layout) : m_pretty(layout == JsonLayout::Pretty) {}

    QString write(const JsonNode& root) {
        writeValue(root, 0);
        return std::move(m_out);
    }

private:
    void newline(int depth) {
        m_out.append(u'\n');
        m_out.append(QString(depth * 4, u' '));
    }

    void writeValue(const JsonNode& node, int depth) {
        switch (node.type) {
        case JsonNode::Type::Null:
            m_out.append(QLatin1String("null"));
            break;
        case JsonNode::Type::True:
            m_out.append(QLatin1String("true"));
            break;
        case JsonNode::Type::False:
            m_out.append(QLatin1String("false"));
            break;
        case JsonNode::Type::Number:
            m_out.append(node.text);
            break;
        case JsonNode::Type::String:
            writeString(node.text);
            break;
        case JsonNode::Type::Array:
            writeArray(node, depth);
            break;
        case JsonNode::Type::Object:
            writeObject(node, depth);
            break;
        }
    }

    void writeArray(const JsonNode& node, int depth) {
        m_out.append(u'[');
        for (size_t i = 0; i < node.items.size(); ++i) {
            if (i > 0)
                m_out.append(u',');
            if (m_pretty)
                newline(depth + 1);
            writeValue(node.items[i], depth + 1);
        }
        if (m_pretty && !node.items.empty())
            newline(depth);
        m_out.append(u']');
    }

    void writeObject(const JsonNode& node, int depth) {
        std::vector<size_t> order(node.keys.size());
        std::iota(order.begin(), order.end(), size_t(0));
        if (m_pretty) {
            std::sort(order.begin(), order.end(),
                      [&](size_t a, size_t b) { return node.keys[a] < node.keys[b]; });
        }
        m_out.append(u'{');
        for (size_t i = 0; i < order.size(); ++i) {
            if (i > 0)
                m_out.append(u',');
            if (m_pretty)
                newline(depth + 1);
            writeString(node.keys[order[i]]);
            m_out.append(m_pretty ? QLatin1String(": ") : QLatin1String(":"));
            writeValue(node.items[order[i]], depth + 1);
        }
        if (m_pretty && !order.empty())
            newline(depth);
        m_out.append(u'}');
    }

    void writeString(const QString& value) {
        static constexpr char kHex[] = "0123456789abcdef";
        m_out.append(u'"');
        const qsizetype n = value.size();
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t c = value[i].unicode();
            if (c < 0x20 || c == u'"' || c == u'\\') {
                if (const char16_t letter = escapeForUnit(c)) {
                    m_out.append(u'\\').append(QChar(letter));
                    continue;
                }
            }
            bool escape = c < 0x20;
            if (QChar::isHighSurrogate(c)) {
                if (i + 1 < n && QChar::isLowSurrogate(value[i + 1].unicode())) {
                    m_out.append(QChar(c)).append(value[i + 1]);
                    ++i;
                    continue;
                }
                escape = true;
            } else if (QChar::isLowSurrogate(c)) {
                escape = true; // an unpaired surrogate stays readable as an escape
            }
            if (escape) {
                m_out.append(QLatin1String("\\u"));
                for (int shift = 12; shift >= 0; shift -= 4)
                    m_out.append(QLatin1Char(kHex[(c >> shift) & 15]));
            } else {
                m_out.append(QChar(c));
            }
        }
        m_out.append(u'"');
    }

    bool m_pretty;
    QString m_out;
};

const char* kindKey(JsonError::Kind kind) {
    switch (kind) {
    case JsonError::Kind::UnexpectedEnd:
        return lkey("json.error.unexpected-end");
    case JsonError::Kind::UnexpectedCharacter:
        return lkey("json.error.unexpected-character");
    case JsonError::Kind::InvalidNumber:
        return lkey("json.error.invalid-number");
    case JsonError::Kind::InvalidEscape:
        return lkey("json.error.invalid-escape");
    case JsonError::Kind::ControlCharacter:
        return lkey("json.error.control-character");
    case JsonError::Kind::TopLevelNotContainer:
        return lkey("json.error.top-level");
    case JsonError::Kind::TooDeep:
        return lkey("json.error.too-deep");
    case JsonError::Kind::TrailingText:
        return lkey("json.error.trailing-text");
    }
    return lkey("json.error.unexpected-character");
}

} // namespace

JsonError::JsonError(Kind kind, qsizetype offset, qsizetype line, qsizetype column)
    : m_kind(kind), m_offset(offset), m_line(line), m_column(column) {
    m_what = "invalid JSON at line " + std::to_string(line) + ", column " + std::to_string(column);
}

QString JsonError::localizedDescription() const {
    return localizedString(QStringLiteral("json.error.format"))
        .arg(localizedString(QString::fromLatin1(kindKey(m_kind))))
        .arg(m_line)
        .arg(m_column);
}

QString reformatJson(QStringView text, JsonLayout layout) {
    const JsonNode root = JsonReader(text).readDocument();
    return JsonWriter(layout).write(root);
}

} // namespace dunmoss
