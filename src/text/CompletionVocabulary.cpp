#include "text/CompletionVocabulary.h"

namespace dunmoss {

namespace {

enum class Vocabulary { Swift, Python, Sql, Script, Data, Markup, Css, Shell, Code, Prose };

Vocabulary vocabularyOf(EditorLanguage language) {
    switch (language) {
    case EditorLanguage::Swift:
        return Vocabulary::Swift;
    case EditorLanguage::Python:
        return Vocabulary::Python;
    case EditorLanguage::Sql:
        return Vocabulary::Sql;
    case EditorLanguage::Javascript:
    case EditorLanguage::Typescript:
        return Vocabulary::Script;
    case EditorLanguage::Json:
    case EditorLanguage::Yaml:
        return Vocabulary::Data;
    case EditorLanguage::Html:
    case EditorLanguage::Xml:
        return Vocabulary::Markup;
    case EditorLanguage::Css:
        return Vocabulary::Css;
    case EditorLanguage::Shell:
        return Vocabulary::Shell;
    case EditorLanguage::Cpp:
    case EditorLanguage::Java:
    case EditorLanguage::Csharp:
    case EditorLanguage::Go:
    case EditorLanguage::Rust:
    case EditorLanguage::Ruby:
    case EditorLanguage::Php:
    case EditorLanguage::Kotlin:
    case EditorLanguage::Code:
        return Vocabulary::Code;
    case EditorLanguage::PlainText:
    case EditorLanguage::Markdown:
        break;
    }
    return Vocabulary::Prose;
}

QStringList words(const char* spaceSeparated) {
    return QString::fromLatin1(spaceSeparated).split(u' ', Qt::SkipEmptyParts);
}

// Function names and their hints are known for four vocabularies; the rest share `other`.
template <typename Table>
const Table& byFunctionVocabulary(EditorLanguage language, const Table& swift, const Table& python,
                                  const Table& sql, const Table& script, const Table& other) {
    switch (vocabularyOf(language)) {
    case Vocabulary::Swift:
        return swift;
    case Vocabulary::Python:
        return python;
    case Vocabulary::Sql:
        return sql;
    case Vocabulary::Script:
        return script;
    default:
        return other;
    }
}

} // namespace

const QStringList& completionApiList(EditorLanguage language) {
    static const QStringList swift{"append()",    "contains()", "filter()", "first(where:)",
                                   "forEach()",   "map()",      "print()",  "reduce()",
                                   "removeAll()", "sorted()"};
    static const QStringList python{"enumerate()", "filter()", "len()",   "list()",   "map()",
                                    "open()",      "print()",  "range()", "sorted()", "str()"};
    static const QStringList sql{"COUNT()", "MAX()", "MIN()", "SUM()", "AVG()"};
    static const QStringList script{"addEventListener()", "console.log()", "filter()",
                                    "forEach()",          "map()",         "querySelector()",
                                    "reduce()",           "setTimeout()"};
    static const QStringList other{"filter()", "forEach()", "map()", "print()", "sort()"};
    return byFunctionVocabulary(language, swift, python, sql, script, other);
}

const QStringList& completionKeywordList(EditorLanguage language) {
    static const QStringList swift =
        words("actor any as associatedtype async await case catch class defer else enum "
              "extension for func guard if import in init let private protocol public return "
              "self static struct switch throws try var where");
    static const QStringList python =
        words("and as async await break class def elif else except False finally for from if "
              "import in lambda None return True try while with yield");
    static const QStringList sql{"ALTER",       "CREATE", "DELETE", "FROM",     "GROUP BY",
                                 "INSERT INTO", "JOIN",   "LIMIT",  "ORDER BY", "SELECT",
                                 "TABLE",       "UPDATE", "VALUES", "WHERE"};
    static const QStringList script =
        words("async await case catch class const else export extends false for from function "
              "if import interface let new null return static switch this throw true try type "
              "undefined");
    static const QStringList data = words("false null true");
    static const QStringList markup =
        words("article body button div footer head header html input link main meta script "
              "section span style title");
    static const QStringList css =
        words("align-items background border color display flex font-size gap grid height "
              "justify-content margin padding position width");
    static const QStringList shell =
        words("case done echo elif else export fi for function if local then while");
    static const QStringList code =
        words("break case catch class const continue else enum false for func function if "
              "import interface let return static struct switch throw true try var while");
    static const QStringList none;
    switch (vocabularyOf(language)) {
    case Vocabulary::Swift:
        return swift;
    case Vocabulary::Python:
        return python;
    case Vocabulary::Sql:
        return sql;
    case Vocabulary::Script:
        return script;
    case Vocabulary::Data:
        return data;
    case Vocabulary::Markup:
        return markup;
    case Vocabulary::Css:
        return css;
    case Vocabulary::Shell:
        return shell;
    case Vocabulary::Code:
        return code;
    case Vocabulary::Prose:
        break;
    }
    return none;
}

const QHash<QString, QString>& parameterHintTable(EditorLanguage language) {
    static const QHash<QString, QString> swift{
        {"append", "append(_ newElement: Element)"},
        {"contains", "contains(_ element: Element)"},
        {"filter", "filter(_ isIncluded: (Element) throws -> Bool)"},
        {"first", "first(where predicate: (Element) throws -> Bool)"},
        {"forEach", "forEach(_ body: (Element) throws -> Void)"},
        {"map", "map<T>(_ transform: (Element) throws -> T)"},
        {"print", "print(_:separator:terminator:)"},
        {"reduce", "reduce<Result>(_ initialResult: Result, _ nextPartialResult: (Result, "
                   "Element) throws -> Result)"},
        {"sorted", "sorted(by areInIncreasingOrder: (Element, Element) throws -> Bool)"},
    };
    static const QHash<QString, QString> script{
        {"addEventListener", "addEventListener(type, listener, options)"},
        {"filter", "filter(callbackFn, thisArg)"},
        {"forEach", "forEach(callbackFn, thisArg)"},
        {"log", "console.log(...data)"},
        {"map", "map(callbackFn, thisArg)"},
        {"querySelector", "querySelector(selectors)"},
        {"reduce", "reduce(callbackFn, initialValue)"},
        {"setTimeout", "setTimeout(handler, timeout, ...arguments)"},
    };
    // The print hint ends in a backslash and the letter n, not a line break.
    static const QHash<QString, QString> python{
        {"enumerate", "enumerate(iterable, start=0)"},
        {"filter", "filter(function, iterable)"},
        {"len", "len(obj)"},
        {"map", "map(function, iterable, ...)"},
        {"open", "open(file, mode='r', encoding=None)"},
        {"print", R"(print(*objects, sep=' ', end='\n'))"},
        {"range", "range(start, stop, step)"},
        {"sorted", "sorted(iterable, key=None, reverse=False)"},
    };
    static const QHash<QString, QString> sql{
        {"COUNT", "COUNT(expression)"}, {"MAX", "MAX(expression)"}, {"MIN", "MIN(expression)"},
        {"SUM", "SUM(expression)"},     {"AVG", "AVG(expression)"},
    };
    static const QHash<QString, QString> other{
        {"filter", "filter(predicate)"}, {"forEach", "forEach(callback)"},
        {"map", "map(transform)"},       {"print", "print(value)"},
        {"sort", "sort(compare)"},
    };
    return byFunctionVocabulary(language, swift, python, sql, script, other);
}

} // namespace dunmoss
