#pragma once

// Script text as a minifier leaves it: statements, calls, function literals, member chains,
// indexing, numbers and strings, one line without a single line feed.
#include <QByteArray>
#include <QRandomGenerator>
#include <iterator>

namespace dunmoss::bench {

class MinifiedScript {
public:
    // About `bytes` bytes (never fewer), the same for the same seed.
    static QByteArray make(qsizetype bytes, quint32 seed = 1) {
        MinifiedScript script(seed);
        while (script.m_out.size() < bytes)
            script.statement(0);
        return script.m_out;
    }

private:
    explicit MinifiedScript(quint32 seed) : m_random(seed) {}

    int pick(int count) { return int(m_random.bounded(count)); }
    void put(const char* text) { m_out += text; }

    void name() {
        static const char* const kNames[] = {
            "a",      "b",      "c",      "d",        "e",      "f",         "g",     "h",
            "i",      "n",      "o",      "r",        "s",      "t",         "u",     "l",
            "this",   "value",  "length", "push",     "call",   "apply",     "data",  "node",
            "parent", "render", "state",  "children", "props",  "prototype", "index", "key",
            "Object", "Array",  "Math",   "window",   "module", "exports",   "_e",    "$t"};
        put(kNames[pick(int(std::size(kNames)))]);
    }
    void number() {
        switch (pick(4)) {
        case 0:
            m_out += QByteArray::number(pick(10));
            break;
        case 1:
            m_out += QByteArray::number(pick(1000));
            break;
        case 2:
            m_out += QByteArray::number(pick(100000));
            break;
        default:
            m_out += "0x" + QByteArray::number(pick(65536), 16);
            break;
        }
    }
    void string() {
        static const char* const kStrings[] = {"\"use strict\"", "\"\"",      "\"div\"",
                                               "'object'",       "\"click\"", "'undefined'",
                                               "\"%s: %s\"",     "\"px\"",    "'function'"};
        put(kStrings[pick(int(std::size(kStrings)))]);
    }
    void params() {
        const int count = pick(4);
        for (int i = 0; i < count; ++i) {
            if (i)
                put(",");
            name();
        }
    }
    void block(int depth) {
        put("{");
        const int count = 1 + pick(4);
        for (int i = 0; i < count; ++i)
            statement(depth + 1);
        put("}");
    }
    void expression(int depth) {
        const int kind = depth > 3 ? pick(4) : pick(11);
        switch (kind) {
        case 0:
            name();
            break;
        case 1:
            number();
            break;
        case 2:
            string();
            break;
        case 3:
            name();
            put(".");
            name();
            break;
        case 4:
            name();
            put("[");
            if (pick(2))
                number();
            else
                name();
            put("]");
            break;
        case 5:
            put("function(");
            params();
            put(")");
            block(depth);
            break;
        case 6:
            name();
            put("(");
            for (int i = 0, count = pick(4); i < count; ++i) {
                if (i)
                    put(",");
                expression(depth + 1);
            }
            put(")");
            break;
        case 7: {
            static const char* const kOperators[] = {"+",  "-", "*",  "===", "!==", "&&",
                                                     "||", "<", ">=", "|",   "&",   "/"};
            expression(depth + 1);
            put(kOperators[pick(int(std::size(kOperators)))]);
            expression(depth + 1);
            break;
        }
        case 8:
            expression(depth + 1);
            put("?");
            expression(depth + 1);
            put(":");
            expression(depth + 1);
            break;
        case 9:
            put("[");
            for (int i = 0, count = pick(5); i < count; ++i) {
                if (i)
                    put(",");
                expression(depth + 1);
            }
            put("]");
            break;
        default:
            put("{");
            for (int i = 0, count = pick(3); i < count; ++i) {
                if (i)
                    put(",");
                name();
                put(":");
                expression(depth + 1);
            }
            put("}");
            break;
        }
    }
    void statement(int depth) {
        const int kind = depth > 3 ? pick(3) : pick(8);
        switch (kind) {
        case 0:
            put("var ");
            name();
            put("=");
            expression(depth);
            break;
        case 1:
            put("return ");
            expression(depth);
            break;
        case 2:
            name();
            put(pick(2) ? "." : "=");
            expression(depth);
            break;
        case 3:
            put("if(");
            expression(depth + 1);
            put(")");
            block(depth);
            if (pick(3) == 0) {
                put("else");
                block(depth);
            }
            return;
        case 4:
            put("function ");
            name();
            put("(");
            params();
            put(")");
            block(depth);
            return;
        case 5:
            put("for(var ");
            name();
            put("=0;");
            name();
            put("<");
            name();
            put(".length;");
            name();
            put("++)");
            block(depth);
            return;
        default:
            name();
            put("(");
            expression(depth + 1);
            put(",");
            expression(depth + 1);
            put(")");
            break;
        }
        put(pick(6) ? ";" : ",");
    }

    QRandomGenerator m_random;
    QByteArray m_out;
};

} // namespace dunmoss::bench
