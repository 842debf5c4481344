#include "platform/FileNames.h"

#include <gtest/gtest.h>

using namespace dunmoss;

TEST(FileNames, ReadableFormsShowEveryByteThatIsNotUtf8) {
    EXPECT_TRUE(isValidUtf8Name("caf\xC3\xA9.txt"));
    EXPECT_EQ(readableFileName("caf\xC3\xA9.txt"), QStringLiteral("café.txt"));
    for (const char* invalid :
         {"caf\xE9.txt", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xBD"}) {
        EXPECT_FALSE(isValidUtf8Name(invalid)) << invalid;
        EXPECT_TRUE(readableFileName(invalid).contains(QStringLiteral("\\x"))) << invalid;
    }
    EXPECT_EQ(readableFileName("caf\xE9\xE4\xBD\xA0"), QStringLiteral("caf\\xE9你"));
    EXPECT_EQ(readableFileName("\xED\xA0\x80!"), QStringLiteral("\\xED\\xA0\\x80!"));
}
