#pragma once

#include <QString>
#include <QStringView>
#include <exception>
#include <string>

namespace dunmoss {

// Text that is not valid JSON, or JSON whose top level is not an object or an array.
class JsonError : public std::exception {
public:
    enum class Kind {
        UnexpectedEnd,
        UnexpectedCharacter,
        InvalidNumber,
        InvalidEscape,
        ControlCharacter,
        TopLevelNotContainer,
        TooDeep,
        TrailingText,
    };

    JsonError(Kind kind, qsizetype offset, qsizetype line, qsizetype column);

    Kind kind() const { return m_kind; }
    // Where reading stopped: a UTF-16 offset and the 1-based line and column.
    qsizetype offset() const { return m_offset; }
    qsizetype line() const { return m_line; }
    qsizetype column() const { return m_column; }

    QString localizedDescription() const;
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    Kind m_kind;
    qsizetype m_offset;
    qsizetype m_line;
    qsizetype m_column;
    std::string m_what;
};

enum class JsonLayout {
    Pretty,  // four-space indentation, keys sorted by UTF-16 code units
    Minified // one line, keys in the order they came
};

// Nesting deeper than this is refused rather than risking the stack.
inline constexpr int kJsonMaximumDepth = 512;

// Reads JSON (strict RFC 8259; the top level must be an object or an array) and writes it
// again. Numbers keep their exact spelling; strings are re-escaped with "/" left as it is.
// A key given twice keeps its first place and its last value. Throws JsonError.
QString reformatJson(QStringView text, JsonLayout layout);

} // namespace dunmoss
