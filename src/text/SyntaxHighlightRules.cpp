#include "text/SyntaxHighlightRules.h"

namespace dunmoss {

namespace {

using Role = SyntaxColorRole;
constexpr std::optional<SyntaxColorRole> kBold;

// The patterns stay exactly as written here: "." never crosses a line break, "[\s\S]*?" does.

const QList<HighlightPass>& swiftPasses() {
    static const QList<HighlightPass> passes{
        {R"re(\b(actor|any|as|associatedtype|async|await|break|case|catch|class|continue|default|defer|do|else|enum|extension|false|fileprivate|for|func|guard|if|import|in|init|inout|internal|is|let|nil|open|operator|private|protocol|public|repeat|rethrows|return|self|Self|static|struct|subscript|super|switch|throw|throws|true|try|typealias|var|where|while)\b)re",
         IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re("(?:\\.|[^"\\])*")re", IcuRegex::NoOptions, 0, Role::String},
        {R"re(//.*|/\*[\s\S]*?\*/)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
        {R"re(@\w+)re", IcuRegex::NoOptions, 0, Role::Name},
        {R"re(\b[A-Z][A-Za-z0-9_]+\b)re", IcuRegex::NoOptions, 0, Role::TypeName},
        {R"re(\b(TODO|FIXME|MARK):?)re", IcuRegex::NoOptions, 0, Role::Marker},
        {R"re(\bfunc\s+([A-Za-z_][A-Za-z0-9_]*))re", IcuRegex::NoOptions, 1, Role::Declaration},
        {R"re(\b(struct|class|enum|protocol)\s+([A-Za-z_][A-Za-z0-9_]*))re", IcuRegex::NoOptions, 2,
         Role::Declaration},
        {R"re(\b(struct|class|enum|protocol)\s+([A-Za-z_][A-Za-z0-9_]*))re", IcuRegex::NoOptions, 2,
         kBold},
    };
    return passes;
}

const QList<HighlightPass>& jsonPasses() {
    static const QList<HighlightPass> passes{
        {R"re("(?:\\.|[^"\\])*"\s*:)re", IcuRegex::NoOptions, 0, Role::Name},
        {R"re(:\s*("(?:\\.|[^"\\])*"))re", IcuRegex::NoOptions, 1, Role::String},
        {R"re(\b(true|false|null)\b)re", IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(-?\b[0-9]+(?:\.[0-9]+)?(?:[eE][+-]?[0-9]+)?\b)re", IcuRegex::NoOptions, 0,
         Role::Number},
    };
    return passes;
}

const QList<HighlightPass>& markdownPasses() {
    static const QList<HighlightPass> passes{
        {R"re(^#{1,6}\s+.*$)re", IcuRegex::AnchorsMatchLines, 0, Role::Name},
        {R"re(^#{1,6}\s+.*$)re", IcuRegex::AnchorsMatchLines, 0, kBold},
        {R"re(`[^`]+`)re", IcuRegex::NoOptions, 0, Role::InlineCode},
        {R"re(\*\*[^*]+\*\*|__[^_]+__)re", IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\[[^\]]+\]\([^\)]+\))re", IcuRegex::NoOptions, 0, Role::Name},
        {R"re(^>.*$)re", IcuRegex::AnchorsMatchLines, 0, Role::Comment},
    };
    return passes;
}

const QList<HighlightPass>& xmlPasses() {
    static const QList<HighlightPass> passes{
        {R"re(<!--[\s\S]*?-->)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(</?[A-Za-z_][A-Za-z0-9_:\-\.]*)re", IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\s([A-Za-z_:][A-Za-z0-9_:\-\.]*)=)re", IcuRegex::NoOptions, 1, Role::Name},
        {R"re("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*')re", IcuRegex::NoOptions, 0, Role::String},
    };
    return passes;
}

const QList<HighlightPass>& htmlPasses() {
    static const QList<HighlightPass> passes{
        {R"re(<!DOCTYPE[^>]*>)re", IcuRegex::CaseInsensitive, 0, Role::Keyword},
        {R"re(&[A-Za-z0-9#]+;)re", IcuRegex::NoOptions, 0, Role::Name},
    };
    return passes;
}

const QList<HighlightPass>& cssPasses() {
    static const QList<HighlightPass> passes{
        {R"re(/\*[\s\S]*?\*/)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*')re", IcuRegex::NoOptions, 0, Role::String},
        {R"re((@[A-Za-z\-]+|#[A-Fa-f0-9]{3,8}))re", IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?(?:px|rem|em|vh|vw|%|s|ms)?\b)re", IcuRegex::NoOptions, 0,
         Role::Number},
        {R"re(([A-Za-z\-]+)\s*:)re", IcuRegex::NoOptions, 1, Role::Name},
    };
    return passes;
}

const QList<HighlightPass>& pythonPasses() {
    static const QList<HighlightPass> passes{
        {R"re("""[\s\S]*?"""|'''[\s\S]*?'''|"(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*')re",
         IcuRegex::NoOptions, 0, Role::String},
        {R"re(#.*)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b(and|as|assert|async|await|break|class|continue|def|del|elif|else|except|False|finally|for|from|global|if|import|in|is|lambda|None|nonlocal|not|or|pass|raise|return|True|try|while|with|yield)\b)re",
         IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
        {R"re(\b(def|class)\s+([A-Za-z_][A-Za-z0-9_]*))re", IcuRegex::NoOptions, 2,
         Role::Declaration},
    };
    return passes;
}

const QList<HighlightPass>& shellPasses() {
    static const QList<HighlightPass> passes{
        {R"re("(?:\\.|[^"\\])*"|'[^']*')re", IcuRegex::NoOptions, 0, Role::String},
        {R"re(#.*)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b(if|then|else|elif|fi|for|while|do|done|case|esac|function|select|until|in|echo|export|local|return|exit|trap|true|false)\b)re",
         IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\$\{?[A-Za-z_][A-Za-z0-9_]*\}?)re", IcuRegex::NoOptions, 0, Role::Name},
    };
    return passes;
}

const QList<HighlightPass>& sqlPasses() {
    static const QList<HighlightPass> passes{
        {R"re("(?:\\.|[^"\\])*"|'(?:''|[^'])*')re", IcuRegex::NoOptions, 0, Role::String},
        {R"re(--.*|/\*[\s\S]*?\*/)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b(ADD|ALTER|AND|AS|ASC|BETWEEN|BY|CASE|CREATE|DELETE|DESC|DISTINCT|DROP|ELSE|END|EXISTS|FROM|GROUP|HAVING|IN|INSERT|INTO|IS|JOIN|LEFT|LIKE|LIMIT|NOT|NULL|ON|OR|ORDER|OUTER|PRIMARY|RIGHT|SELECT|SET|TABLE|THEN|UNION|UPDATE|VALUES|WHEN|WHERE)\b)re",
         IcuRegex::CaseInsensitive, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
    };
    return passes;
}

const QList<HighlightPass>& yamlPasses() {
    static const QList<HighlightPass> passes{
        {R"re(#.*)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re("(?:\\.|[^"\\])*"|'[^']*')re", IcuRegex::NoOptions, 0, Role::String},
        {R"re(^\s*([A-Za-z0-9_\.\-]+)\s*:)re", IcuRegex::AnchorsMatchLines, 1, Role::Name},
        {R"re(\b(true|false|null|yes|no|on|off)\b)re", IcuRegex::CaseInsensitive, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
    };
    return passes;
}

const QList<HighlightPass>& javascriptPasses() {
    static const QList<HighlightPass> passes{
        {R"re("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*'|`(?:\\.|[^`\\])*`)re", IcuRegex::NoOptions, 0,
         Role::String},
        {R"re(//.*|/\*[\s\S]*?\*/)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b(await|async|break|case|catch|class|const|continue|debugger|default|delete|do|else|export|extends|false|finally|for|from|function|if|import|in|instanceof|let|new|null|of|return|static|super|switch|this|throw|true|try|typeof|undefined|var|void|while|yield|interface|type|enum|implements|private|protected|public|readonly)\b)re",
         IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
        {R"re(\b(function|class)\s+([A-Za-z_$][A-Za-z0-9_$]*))re", IcuRegex::NoOptions, 2,
         Role::Declaration},
    };
    return passes;
}

const QList<HighlightPass>& genericPasses() {
    static const QList<HighlightPass> passes{
        {R"re("(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*')re", IcuRegex::NoOptions, 0, Role::String},
        {R"re(//.*|#.*|/\*[\s\S]*?\*/)re", IcuRegex::NoOptions, 0, Role::Comment},
        {R"re(\b(if|else|for|while|return|class|struct|enum|interface|function|func|let|var|const|import|from|def|try|catch|throw|throws|true|false|null|nil|public|private|protected|static|final|override|package|namespace|using|use|match|impl|trait|type|case|switch|break|continue|new)\b)re",
         IcuRegex::NoOptions, 0, Role::Keyword},
        {R"re(\b[0-9]+(?:\.[0-9]+)?\b)re", IcuRegex::NoOptions, 0, Role::Number},
        {R"re(\b(class|struct|enum|interface|function|func|def)\s+([A-Za-z_][A-Za-z0-9_]*))re",
         IcuRegex::NoOptions, 2, Role::Declaration},
    };
    return passes;
}

// HTML is XML plus its own two rules, run after them.
const QList<HighlightPass>& htmlDocumentPasses() {
    static const QList<HighlightPass> passes = xmlPasses() + htmlPasses();
    return passes;
}

const QList<HighlightPass>& noPasses() {
    static const QList<HighlightPass> passes;
    return passes;
}

} // namespace

const QList<HighlightPass>& highlightPasses(EditorLanguage language) {
    switch (language) {
    case EditorLanguage::PlainText:
        return noPasses();
    case EditorLanguage::Swift:
        return swiftPasses();
    case EditorLanguage::Json:
        return jsonPasses();
    case EditorLanguage::Markdown:
        return markdownPasses();
    case EditorLanguage::Javascript:
    case EditorLanguage::Typescript:
        return javascriptPasses();
    case EditorLanguage::Html:
        return htmlDocumentPasses();
    case EditorLanguage::Css:
        return cssPasses();
    case EditorLanguage::Python:
        return pythonPasses();
    case EditorLanguage::Shell:
        return shellPasses();
    case EditorLanguage::Sql:
        return sqlPasses();
    case EditorLanguage::Yaml:
        return yamlPasses();
    case EditorLanguage::Xml:
        return xmlPasses();
    case EditorLanguage::Cpp:
    case EditorLanguage::Java:
    case EditorLanguage::Csharp:
    case EditorLanguage::Go:
    case EditorLanguage::Rust:
    case EditorLanguage::Ruby:
    case EditorLanguage::Php:
    case EditorLanguage::Kotlin:
    case EditorLanguage::Code:
        return genericPasses();
    }
    return noPasses();
}

QList<const QList<HighlightPass>*> allHighlightPassLists() {
    return {&swiftPasses(), &jsonPasses(), &markdownPasses(),   &xmlPasses(),
            &htmlPasses(),  &cssPasses(),  &pythonPasses(),     &shellPasses(),
            &sqlPasses(),   &yamlPasses(), &javascriptPasses(), &genericPasses()};
}

} // namespace dunmoss
