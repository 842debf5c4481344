#pragma once

#include "platform/IcuRegex.h"
#include "text/EditorLanguage.h"

#include <QList>
#include <QString>
#include <optional>

namespace dunmoss {

// The colour roles of syntax colouring; the view maps each to a colour of its theme.
enum class SyntaxColorRole : quint8 {
    Keyword,
    String,
    Comment,
    Number,
    Name,
    TypeName,
    Marker,
    Declaration,
    InlineCode,
};
inline constexpr int kSyntaxColorRoleCount = 9;

// One colouring rule: every match of the pattern (the given group of it) takes the role's
// colour, or the bold font when there is no role. A later rule overrides an earlier one on the
// same characters; colour and bold are independent.
struct HighlightPass {
    QString pattern;
    IcuRegex::Options options = IcuRegex::NoOptions;
    int group = 0;
    std::optional<SyntaxColorRole> role; // none: bold

    bool isBold() const { return !role.has_value(); }
};

// The passes of a language, in the order they run (none for plain text).
const QList<HighlightPass>& highlightPasses(EditorLanguage language);

// Every distinct list of passes, for checking that each pattern compiles.
QList<const QList<HighlightPass>*> allHighlightPassLists();

} // namespace dunmoss
