#include "window/EditorMacroStep.h"

#include <QSet>
#include <gtest/gtest.h>

namespace dunmoss::test {
namespace {

TEST(EditorMacroStep, EveryStepRoundTripsThroughItsRawValue) {
    const QList<EditorMacroStep>& all = allEditorMacroSteps();
    ASSERT_EQ(all.size(), 14);
    QSet<QString> seen;
    for (EditorMacroStep step : all) {
        const QString raw = rawValue(step);
        EXPECT_FALSE(raw.isEmpty());
        EXPECT_FALSE(seen.contains(raw)) << raw.toStdString();
        seen.insert(raw);
        EXPECT_EQ(editorMacroStepFromRawValue(raw), step) << raw.toStdString();
    }
    // Declaration order is the order of the list; saved macros depend on the names.
    EXPECT_EQ(rawValue(all.first()), QStringLiteral("duplicateLine"));
    EXPECT_EQ(rawValue(all.at(7)), QStringLiteral("toggleLineComment"));
    EXPECT_EQ(rawValue(all.at(9)), QStringLiteral("trimTrailingWhitespace"));
    EXPECT_EQ(rawValue(all.last()), QStringLiteral("lowercaseSelection"));
}

TEST(EditorMacroStep, OnlyExactNamesAreSteps) {
    for (const char* text : {"", "DuplicateLine", "duplicateline", " duplicateLine",
                             "duplicateLine ", "duplicateLine,", "duplicate", "unknownStep"})
        EXPECT_FALSE(editorMacroStepFromRawValue(QString::fromLatin1(text)).has_value()) << text;
}

} // namespace
} // namespace dunmoss::test
