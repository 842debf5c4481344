// The default-editor association through a stand-in xdg-mime: the real one is never run, and
// XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DATA_DIRS point at a temporary folder.
#include "app/AppSettingsView.h"
#include "app/DefaultTextEditorAssociation.h"
#include "app/SettingsWindow.h"
#include "platform/Defaults.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace dunmoss;

namespace {

// Defaults live as files named after the type ('/' as '_'); a type listed in the file
// "refuse" makes "default" fail with status 5; every call is logged.
const char* const kStandIn = R"sh(#!/bin/sh
state="$XDG_CONFIG_HOME/stand-in"
echo "$*" >> "$state/log"
case "$1" in
query) f="$state/$(echo "$3" | tr / _)"; [ -f "$f" ] && cat "$f"; exit 0 ;;
default) grep -qx "$3" "$state/refuse" 2>/dev/null && exit 5
         echo "$2" > "$state/$(echo "$3" | tr / _)"; exit 0 ;;
esac
exit 1
)sh";

class Association : public ::testing::Test {
protected:
    void SetUp() override {
        saved = {qgetenv("PATH"), qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_DATA_HOME"),
                 qgetenv("XDG_DATA_DIRS")};
        QDir(root.path()).mkpath(QStringLiteral("bin"));
        QDir(root.path()).mkpath(QStringLiteral("config/stand-in"));
        QDir(root.path()).mkpath(QStringLiteral("data"));
        QDir(root.path()).mkpath(QStringLiteral("system/applications"));
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        qputenv("XDG_DATA_HOME", path("data").toUtf8());
        qputenv("XDG_DATA_DIRS", path("system").toUtf8());
        useStandIn(kStandIn);
    }
    void TearDown() override {
        qputenv("PATH", saved[0]);
        qputenv("XDG_CONFIG_HOME", saved[1]);
        qputenv("XDG_DATA_HOME", saved[2]);
        qputenv("XDG_DATA_DIRS", saved[3]);
    }

    QString path(const char* relative) const {
        return root.filePath(QString::fromLatin1(relative));
    }
    void write(const QString& file, const QByteArray& content) const {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    // Only the stand-in (or nothing) is on PATH, so no real xdg-mime is reached.
    void useStandIn(const char* script) {
        QFile::remove(path("bin/xdg-mime"));
        if (script) {
            write(path("bin/xdg-mime"), script);
            QFile::setPermissions(path("bin/xdg-mime"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", (path("bin") + QStringLiteral(":/bin")).toUtf8());
    }
    void installDesktopFile() const {
        write(path("system/applications/dunmoss-notepad.desktop"), "[Desktop Entry]\n");
    }
    void setDefault(const QString& type, const QByteArray& id) const {
        write(path("config/stand-in/") + QString(type).replace(QLatin1Char('/'), QLatin1Char('_')),
              id + "\n");
    }
    QString log() const {
        QFile in(path("config/stand-in/log"));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }

    DefaultTextFileAssociationStatus status(DefaultTextEditorAssociation& association) {
        QSignalSpy spy(&association, &DefaultTextEditorAssociation::statusChanged);
        association.refreshStatus();
        EXPECT_TRUE(spy.wait(10000));
        return spy.isEmpty() ? DefaultTextFileAssociationStatus{-1, -1}
                             : spy.first().first().value<DefaultTextFileAssociationStatus>();
    }
    std::optional<DefaultTextFileAssociationError>
    makeDefault(DefaultTextEditorAssociation& association) {
        QSignalSpy spy(&association, &DefaultTextEditorAssociation::registrationFinished);
        association.makeDefaultTextEditor();
        EXPECT_TRUE(spy.wait(10000));
        return spy.isEmpty()
                   ? std::nullopt
                   : spy.first().first().value<std::optional<DefaultTextFileAssociationError>>();
    }

    QTemporaryDir root;
    QList<QByteArray> saved;
    const QStringList twoTypes = {QStringLiteral("text/plain"), QStringLiteral("text/x-log")};
};

} // namespace

TEST_F(Association, PlainTextIsTheOneHandledType) {
    EXPECT_EQ(handledTextContentTypes(), QStringList{QStringLiteral("text/plain")});
}

TEST_F(Association, StatusCountsTypesWhoseDefaultIsThisProgram) {
    struct Case {
        QByteArray plain, log;
        int handled;
    };
    for (const Case& c : {Case{"other.desktop", "", 0}, Case{"dunmoss-notepad.desktop", "", 1},
                          Case{"dunmoss-notepad.desktop", "dunmoss-notepad.desktop", 2},
                          // Only the first of several ids is the one used.
                          Case{"other.desktop\ndunmoss-notepad.desktop", "", 0}}) {
        QFile::remove(path("config/stand-in/text_plain"));
        QFile::remove(path("config/stand-in/text_x-log"));
        if (!c.plain.isEmpty())
            setDefault(twoTypes[0], c.plain);
        if (!c.log.isEmpty())
            setDefault(twoTypes[1], c.log);
        DefaultTextEditorAssociation association(twoTypes);
        EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{c.handled, 2}))
            << c.plain.constData();
    }
}

TEST_F(Association, MakingTheDefaultRegistersEveryTypeInOrder) {
    installDesktopFile();
    DefaultTextEditorAssociation association(twoTypes);
    EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{0, 2}));
    EXPECT_EQ(makeDefault(association), std::nullopt);
    EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{2, 2}));
    EXPECT_TRUE(log().contains(QStringLiteral("default dunmoss-notepad.desktop text/plain\n"
                                              "default dunmoss-notepad.desktop text/x-log\n")));
}

TEST_F(Association, ARefusalStopsAndNamesTheTypeWithItsStatus) {
    installDesktopFile();
    for (int refused = 0; refused < 2; ++refused) {
        QFile::remove(path("config/stand-in/text_plain"));
        QFile::remove(path("config/stand-in/text_x-log"));
        QFile::remove(path("config/stand-in/log"));
        write(path("config/stand-in/refuse"), twoTypes[refused].toUtf8() + "\n");
        DefaultTextEditorAssociation association(twoTypes);
        const auto error = makeDefault(association);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind, DefaultTextFileAssociationError::Kind::Failed);
        EXPECT_EQ(error->typeIdentifier, twoTypes[refused]);
        EXPECT_EQ(error->status, 5);
        EXPECT_TRUE(error->localizedDescription().contains(twoTypes[refused]));
        EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("5")));
        // Types before the refused one stay registered; later ones are not tried.
        EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{refused, 2}));
        EXPECT_EQ(log().count(QStringLiteral("default dunmoss")), refused + 1);
    }
}

TEST_F(Association, NoDesktopFileOrNoToolIsAClearErrorNeverACrash) {
    DefaultTextEditorAssociation association(twoTypes);
    auto error = makeDefault(association);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, DefaultTextFileAssociationError::Kind::MissingBundleIdentifier);
    EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("dunmoss-notepad.desktop")));
    EXPECT_FALSE(log().contains(QStringLiteral("default dunmoss")));

    installDesktopFile();
    useStandIn(nullptr);
    EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{0, 2}));
    error = makeDefault(association);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, DefaultTextFileAssociationError::Kind::ToolMissing);
    EXPECT_TRUE(error->localizedDescription().contains(QStringLiteral("xdg-utils")));

    // A tool that fails every call (a broken installation) reads as "not default".
    useStandIn("#!/bin/sh\necho broken >&2\nexit 3\n");
    EXPECT_EQ(status(association), (DefaultTextFileAssociationStatus{0, 2}));
    error = makeDefault(association);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, DefaultTextFileAssociationError::Kind::Failed);
    EXPECT_EQ(error->status, 3);
}

TEST_F(Association, TheWindowShowsARefusalAndHowFarTheRegistrationGot) {
    installDesktopFile();
    write(path("config/stand-in/refuse"), "text/x-log\n");
    Defaults defaults(path("settings.ini"));
    auto* association = new DefaultTextEditorAssociation(twoTypes);
    AppSettingsView view(defaults, {}, association, [] { return std::nullopt; });
    auto* label = view.findChild<QLabel*>(QStringLiteral("fileAssociationStatus"));
    QTRY_COMPARE(label->text(), AppSettingsView::fileAssociationStatusText(0, 2, defaults));

    view.findChild<QPushButton*>(QStringLiteral("makeDefault"))->click();
    auto* confirm = view.findChild<QMessageBox*>(QStringLiteral("fileAssociationConfirmation"));
    ASSERT_NE(confirm, nullptr);
    confirm->findChild<QPushButton*>(QStringLiteral("confirmSet"))->click();
    QMessageBox* failure = nullptr;
    QTRY_VERIFY((failure = view.findChild<QMessageBox*>(QStringLiteral("fileAssociationError"))));
    EXPECT_TRUE(failure->informativeText().contains(QStringLiteral("text/x-log")));
    QTRY_COMPARE(label->text(), AppSettingsView::fileAssociationStatusText(1, 2, defaults));
}

TEST_F(Association, OneSettingsWindowRaisedAndRefreshedWhenShownAgain) {
    Defaults defaults(path("settings.ini"));
    AppSettingsView& first = showSettingsWindow(defaults);
    QTRY_VERIFY(log().count(QStringLiteral("query default text/plain")) == 1);
    AppSettingsView& again = showSettingsWindow(defaults);
    EXPECT_EQ(&first, &again);
    EXPECT_TRUE(again.isVisible());
    QTRY_VERIFY(log().count(QStringLiteral("query default text/plain")) == 2);
    delete settingsWindow();
}
