#include "text/EditorTheme.h"
#include "platform/Defaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

struct AppliedCall {
    bool enabled;
    bool bringToFront;
};

// Installs a recording applier for one test and removes it afterwards.
class RecordingApplier {
public:
    RecordingApplier() {
        setAlwaysOnTopApplier([this](bool enabled, bool bringToFront) {
            calls.push_back({enabled, bringToFront});
        });
    }
    ~RecordingApplier() { setAlwaysOnTopApplier({}); }
    std::vector<AppliedCall> calls;
};

} // namespace

TEST(EditorTheme, RawValuesRoundTripExactly) {
    ASSERT_EQ(allEditorThemes().size(), 4);
    for (EditorTheme theme : allEditorThemes())
        EXPECT_EQ(editorThemeFromRawValue(rawValue(theme)), theme);
    EXPECT_EQ(rawValue(EditorTheme::Graphite), QStringLiteral("graphite"));
    EXPECT_FALSE(editorThemeFromRawValue(QStringLiteral("Midnight")));
    EXPECT_FALSE(editorThemeFromRawValue(QStringLiteral("midnight ")));
    EXPECT_FALSE(editorThemeFromRawValue(QString()));
}

TEST(EditorTheme, ColorSchemes) {
    EXPECT_EQ(colorScheme(EditorTheme::System), ColorScheme::None);
    EXPECT_EQ(colorScheme(EditorTheme::Light), ColorScheme::Light);
    EXPECT_EQ(colorScheme(EditorTheme::Graphite), ColorScheme::Light);
    EXPECT_EQ(colorScheme(EditorTheme::Midnight), ColorScheme::Dark);
}

TEST(EditorTheme, StoredValueOtherThanAThemeReadsAsSystem) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
    const QString key = QString::fromLatin1(kEditorThemeKey);
    EXPECT_EQ(storedEditorTheme(defaults), EditorTheme::System);
    defaults.setValue(key, QStringLiteral("midnight"));
    EXPECT_EQ(storedEditorTheme(defaults), EditorTheme::Midnight);
    defaults.setValue(key, QStringLiteral("midNight"));
    EXPECT_EQ(storedEditorTheme(defaults), EditorTheme::System);
    defaults.setValue(key, QString());
    EXPECT_EQ(storedEditorTheme(defaults), EditorTheme::System);
    defaults.setValue(key, 3);
    EXPECT_EQ(storedEditorTheme(defaults), EditorTheme::System);
}

TEST(AlwaysOnTop, FlagMustBeAWholeArgument) {
    const QString flag = QString::fromLatin1(kUiTestingArgument);
    EXPECT_TRUE(arrayContainsString({QStringLiteral("app"), flag}, flag));
    EXPECT_FALSE(arrayContainsString({QStringLiteral("app"), flag + QStringLiteral("=1")}, flag));
    EXPECT_FALSE(arrayContainsString({QStringLiteral("--DUNMOSS-UI-TESTING")}, flag));
    EXPECT_FALSE(arrayContainsString({}, flag));

    EXPECT_EQ(alwaysOnTopKey({QStringLiteral("app")}), QString::fromLatin1(kAlwaysOnTopKey));
    EXPECT_EQ(alwaysOnTopKey({QStringLiteral("app"), flag}),
              QString::fromLatin1(kUiTestingAlwaysOnTopKey));
    EXPECT_EQ(alwaysOnTopKey({QStringLiteral("app"), flag + QStringLiteral("x")}),
              QString::fromLatin1(kAlwaysOnTopKey));
}

TEST(AlwaysOnTop, UiTestingWritesOnlyItsOwnKey) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
    const QString normal = QString::fromLatin1(kAlwaysOnTopKey);
    const QString testing = QString::fromLatin1(kUiTestingAlwaysOnTopKey);
    defaults.setValue(normal, false);
    const QStringList arguments{QStringLiteral("app"), QString::fromLatin1(kUiTestingArgument)};

    setAlwaysOnTop(true, false, defaults, arguments);
    EXPECT_TRUE(defaults.boolean(testing));
    EXPECT_FALSE(defaults.boolean(normal, true));
    EXPECT_TRUE(alwaysOnTopEnabled(defaults, arguments));
    EXPECT_FALSE(alwaysOnTopEnabled(defaults, {QStringLiteral("app")}));

    setAlwaysOnTop(true, false, defaults, {QStringLiteral("app")});
    EXPECT_TRUE(defaults.boolean(normal));
    setAlwaysOnTop(false, false, defaults, {QStringLiteral("app")});
    EXPECT_FALSE(defaults.boolean(normal, true));
    EXPECT_TRUE(defaults.boolean(testing));
}

TEST(AlwaysOnTop, AppliesAfterStoringAndNeverRaisesWhenSwitchingOff) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
    const QStringList arguments{QStringLiteral("app")};
    RecordingApplier recorder;
    bool storedWhenApplied = false;
    setAlwaysOnTopApplier([&](bool enabled, bool bringToFront) {
        storedWhenApplied = alwaysOnTopEnabled(defaults, arguments) == enabled;
        recorder.calls.push_back({enabled, bringToFront});
    });

    setAlwaysOnTop(true, true, defaults, arguments);
    EXPECT_TRUE(storedWhenApplied);
    setAlwaysOnTop(true, false, defaults, arguments);
    setAlwaysOnTop(false, true, defaults, arguments);
    EXPECT_TRUE(storedWhenApplied);
    ASSERT_EQ(recorder.calls.size(), 3u);
    EXPECT_TRUE(recorder.calls[0].enabled && recorder.calls[0].bringToFront);
    EXPECT_TRUE(recorder.calls[1].enabled && !recorder.calls[1].bringToFront);
    EXPECT_FALSE(recorder.calls[2].enabled || recorder.calls[2].bringToFront);
}

TEST(AlwaysOnTop, WithoutApplierOnlyStores) {
    QTemporaryDir dir;
    Defaults defaults(dir.filePath(QStringLiteral("d.ini")));
    setAlwaysOnTopApplier({});
    setAlwaysOnTop(true, true, defaults, {QStringLiteral("app")});
    EXPECT_TRUE(defaults.boolean(QString::fromLatin1(kAlwaysOnTopKey)));
}
