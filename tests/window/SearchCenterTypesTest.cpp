#include "window/SearchCenterTypes.h"

#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

TEST(SearchCenterScope, RawValuesAreTheCaseNamesAndNothingElseParses) {
    EXPECT_EQ(rawValue(SearchCenterScope::CurrentDocument), QStringLiteral("currentDocument"));
    EXPECT_EQ(rawValue(SearchCenterScope::OpenDocuments), QStringLiteral("openDocuments"));
    EXPECT_EQ(rawValue(SearchCenterScope::Folder), QStringLiteral("folder"));
    for (SearchCenterScope scope : kAllSearchCenterScopes)
        EXPECT_EQ(searchCenterScopeFromRawValue(rawValue(scope)), scope);
    EXPECT_FALSE(searchCenterScopeFromRawValue(QStringLiteral("Folder")).has_value());
    EXPECT_FALSE(searchCenterScopeFromRawValue(QString()).has_value());
}

TEST(SearchCenterResult, EqualOnlyWhenEveryFieldIsEqual) {
    SearchCenterResult a;
    a.id = QStringLiteral("r1");
    a.groupID = QStringLiteral("/tmp/a.txt");
    a.range = TextRange{3, 2};
    a.line = 1;
    a.column = 4;
    SearchCenterResult b = a;
    EXPECT_EQ(a, b);
    b.range.reset();
    EXPECT_NE(a, b);
    b = a;
    b.scope = SearchCenterScope::Folder;
    EXPECT_NE(a, b);
}

} // namespace
} // namespace dunmoss::test
