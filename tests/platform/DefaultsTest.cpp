#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>
#include <atomic>
#include <gtest/gtest.h>
#include <limits>
#include <thread>
#include <vector>

using namespace dunmoss;

namespace {

class DefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("settings.ini")); }
};

} // namespace

TEST_F(DefaultsTest, DomainsAreSearchedArgumentThenPersistentThenRegistered) {
    Defaults defaults(path());
    const QString key = QStringLiteral("editor.tab-width");
    EXPECT_FALSE(defaults.contains(key));
    EXPECT_EQ(defaults.integer(key, 7), 7);

    defaults.registerDefaults({{key, 4}});
    EXPECT_EQ(defaults.integer(key), 4);
    EXPECT_FALSE(defaults.persistentValue(key).isValid());

    defaults.setValue(key, 6);
    EXPECT_EQ(defaults.integer(key), 6);

    defaults.setArgumentDomain({{key, 8}});
    EXPECT_EQ(defaults.integer(key), 8);
    EXPECT_EQ(defaults.persistentValue(key).toInt(), 6);

    defaults.removeArgumentDomain();
    EXPECT_EQ(defaults.integer(key), 6);
    defaults.remove(key);
    EXPECT_EQ(defaults.integer(key), 4);
}

TEST_F(DefaultsTest, TypedValuesSurviveReloadFromDisk) {
    const QByteArray bytes("\x00\x01\xff binary", 10);
    QVariantMap nested{{QStringLiteral("path"), QStringLiteral("/tmp/a b")},
                       {QStringLiteral("count"), 3}};
    {
        Defaults defaults(path());
        defaults.setValue(QStringLiteral("flag"), true);
        defaults.setValue(QStringLiteral("number"), 1234567890123LL);
        defaults.setValue(QStringLiteral("ratio"), 1.5);
        defaults.setValue(QStringLiteral("text"), QStringLiteral("中文 = a;b, \"quoted\"\nnext"));
        defaults.setValue(QStringLiteral("looks.like.json"), QStringLiteral("true"));
        defaults.setValue(QStringLiteral("one"), QStringList{QStringLiteral("only")});
        defaults.setValue(QStringLiteral("empty.list"), QStringList{});
        defaults.setValue(QStringLiteral("blob"), bytes);
        defaults.setValue(QStringLiteral("record"), nested);
        defaults.synchronize();
    }
    Defaults reloaded(path());
    EXPECT_TRUE(reloaded.boolean(QStringLiteral("flag")));
    EXPECT_EQ(reloaded.value(QStringLiteral("flag")).typeId(), QMetaType::Bool);
    EXPECT_EQ(reloaded.integer(QStringLiteral("number")), 1234567890123LL);
    EXPECT_DOUBLE_EQ(reloaded.value(QStringLiteral("ratio")).toDouble(), 1.5);
    EXPECT_EQ(reloaded.stringValue(QStringLiteral("text")),
              QStringLiteral("中文 = a;b, \"quoted\"\nnext"));
    EXPECT_EQ(reloaded.stringValue(QStringLiteral("looks.like.json")), QStringLiteral("true"));
    EXPECT_EQ(reloaded.stringList(QStringLiteral("one")), QStringList{QStringLiteral("only")});
    EXPECT_EQ(reloaded.stringList(QStringLiteral("empty.list")), QStringList{});
    EXPECT_FALSE(reloaded.stringValue(QStringLiteral("one")));
    EXPECT_EQ(reloaded.data(QStringLiteral("blob")), bytes);
    EXPECT_FALSE(reloaded.data(QStringLiteral("text")));
    const QVariantMap record = reloaded.value(QStringLiteral("record")).toMap();
    EXPECT_EQ(record.value(QStringLiteral("path")).toString(), QStringLiteral("/tmp/a b"));
    EXPECT_EQ(record.value(QStringLiteral("count")).toInt(), 3);
}

// A listener that writes back the value it is told about (as a window does with the
// always-on-top flag) must not set off an endless chain of notifications.
TEST_F(DefaultsTest, ListenerStoringTheSameValueEndsTheChain) {
    Defaults defaults(path());
    const QString key = QStringLiteral("window.always-on-top.enabled");
    int notifications = 0;
    QObject::connect(&defaults, &Defaults::changed, [&](const QString& changedKey) {
        ASSERT_LT(++notifications, 10);
        defaults.setValue(changedKey, defaults.boolean(changedKey));
    });
    defaults.setValue(key, true);
    EXPECT_EQ(notifications, 1);
}

TEST_F(DefaultsTest, LargeIntegersKeepEveryDigit) {
    const qint64 big = (qint64(1) << 53) + 1;
    {
        Defaults defaults(path());
        defaults.setValue(QStringLiteral("big"), big);
        defaults.setValue(QStringLiteral("max"), std::numeric_limits<qint64>::max());
        defaults.synchronize();
    }
    Defaults reloaded(path());
    EXPECT_EQ(reloaded.integer(QStringLiteral("big")), big);
    EXPECT_EQ(reloaded.integer(QStringLiteral("max")), std::numeric_limits<qint64>::max());

    // Numbers beyond 64 bits written by hand stay numbers without overflowing.
    QSettings(path(), QSettings::IniFormat).setValue(QStringLiteral("huge"), "1e300");
    Defaults edited(path());
    EXPECT_DOUBLE_EQ(edited.value(QStringLiteral("huge")).toDouble(), 1e300);
    EXPECT_EQ(edited.value(QStringLiteral("huge")).typeId(), QMetaType::Double);
}

TEST_F(DefaultsTest, ReadsFromOtherThreadsWhileTheMainThreadWrites) {
    Defaults defaults(path());
    const QString key = QStringLiteral("AppleLanguages");
    const QStringList english{QStringLiteral("en")};
    const QStringList chinese{QStringLiteral("zh-Hans")};
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const std::optional<QStringList> list = defaults.stringList(key);
                if (list && *list != english && *list != chinese)
                    ++unexpected;
                defaults.boolean(QStringLiteral("flag"));
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        defaults.setArgumentDomain({{key, i % 2 ? english : chinese}});
        defaults.setValue(QStringLiteral("flag"), i % 3 == 0);
        if (i % 7 == 0)
            defaults.removeArgumentDomain();
    }
    done = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(unexpected.load(), 0);
}

TEST_F(DefaultsTest, MixedListIsNotAStringList) {
    Defaults defaults(path());
    defaults.setValue(QStringLiteral("mixed"), QVariantList{QStringLiteral("a"), 2});
    EXPECT_FALSE(defaults.stringList(QStringLiteral("mixed")));
    defaults.setValue(QStringLiteral("scalar"), QStringLiteral("a"));
    EXPECT_FALSE(defaults.stringList(QStringLiteral("scalar")));
}

TEST_F(DefaultsTest, ArgumentDomainIsNotPersisted) {
    {
        Defaults defaults(path());
        defaults.setArgumentDomain(
            {{QStringLiteral("AppleLanguages"), QStringList{QStringLiteral("zh-Hans")}}});
        EXPECT_EQ(defaults.stringList(QStringLiteral("AppleLanguages")),
                  QStringList{QStringLiteral("zh-Hans")});
        defaults.synchronize();
    }
    Defaults reloaded(path());
    EXPECT_FALSE(reloaded.contains(QStringLiteral("AppleLanguages")));
}

TEST_F(DefaultsTest, ChangedSignalNamesEveryKeyWhoseValueChanged) {
    Defaults defaults(path());
    QStringList changed;
    QObject::connect(&defaults, &Defaults::changed,
                     [&changed](const QString& key) { changed.append(key); });

    defaults.setValue(QStringLiteral("a"), 1);
    defaults.remove(QStringLiteral("a"));
    defaults.setValue(QStringLiteral("b"), 2);
    defaults.setValue(QStringLiteral("b"), QVariant()); // an invalid value removes the key
    EXPECT_EQ(changed, (QStringList{QStringLiteral("a"), QStringLiteral("a"), QStringLiteral("b"),
                                    QStringLiteral("b")}));

    // Storing what is already there, or removing what is not, changes nothing.
    changed.clear();
    defaults.setValue(QStringLiteral("c"), true);
    defaults.setValue(QStringLiteral("c"), true);
    defaults.remove(QStringLiteral("missing"));
    EXPECT_EQ(changed, QStringList{QStringLiteral("c")});

    // A persistent write hidden by the argument domain changes nothing that is read.
    changed.clear();
    defaults.setArgumentDomain({{QStringLiteral("c"), false}});
    defaults.setValue(QStringLiteral("c"), 5);
    EXPECT_EQ(changed, QStringList{QStringLiteral("c")});
    defaults.removeArgumentDomain();

    changed.clear();
    defaults.setArgumentDomain({{QStringLiteral("x"), 1}});
    defaults.setArgumentDomain({{QStringLiteral("x"), 1}});
    defaults.setArgumentDomain({{QStringLiteral("y"), 1}});
    changed.sort();
    EXPECT_EQ(changed,
              (QStringList{QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("y")}));

    changed.clear();
    defaults.removeArgumentDomain();
    EXPECT_EQ(changed, QStringList{QStringLiteral("y")});
}

TEST_F(DefaultsTest, BooleanReadsTextAndFallsBack) {
    Defaults defaults(path());
    defaults.setValue(QStringLiteral("yes"), QStringLiteral("YES"));
    defaults.setValue(QStringLiteral("no"), QStringLiteral("0"));
    defaults.setValue(QStringLiteral("junk"), QStringLiteral("maybe"));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("yes")));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("no"), true));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("junk"), true));
    EXPECT_FALSE(defaults.boolean(QStringLiteral("absent")));
    EXPECT_EQ(defaults.integer(QStringLiteral("junk"), 9), 9);
}

// The standard store lives for the whole run; what is stored last, with no event loop left to
// write it, must still reach the disk when the program ends. The test runs itself as a child
// with its own home folder (test mode keeps the settings under ~/.qttest).
TEST(DefaultsStandard, LastValuesReachTheDiskWhenTheProgramEnds) {
    const QString key = QStringLiteral("stored.at.the.end");
    if (qEnvironmentVariableIsSet("DUNMOSS_DEFAULTS_CHILD")) {
        Defaults::standard().setValue(key, QStringLiteral("kept"));
        return;
    }
    QTemporaryDir home;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("DUNMOSS_DEFAULTS_CHILD"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral(
                    "--gtest_filter=DefaultsStandard.LastValuesReachTheDiskWhenTheProgramEnds")});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAll().toStdString();

    const QString file =
        home.filePath(QStringLiteral(".qttest/config/Dunmoss Notepad/settings.ini"));
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_EQ(Defaults(file).stringValue(key), QStringLiteral("kept"));
}

// The file is written on a pool thread after a turn of the loop; a failure is told a turn later.
void waitForWrites() {
    QCoreApplication::processEvents();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
}

TEST_F(DefaultsTest, ValuesAreReadAtOnceAndReachTheFileAfterTheirTurn) {
    Defaults defaults(path());
    defaults.setValue(QStringLiteral("group/a"), 1);
    defaults.setValue(QStringLiteral("group/b"), QStringLiteral("two"));
    defaults.setValue(QStringLiteral("single"), true);
    // Read back at once, by QSettings' form of the key too.
    EXPECT_EQ(defaults.integer(QStringLiteral("group//a")), 1);
    EXPECT_EQ(defaults.string(QStringLiteral("/group/b/")), QStringLiteral("two"));
    EXPECT_EQ(defaults.string(QStringLiteral("group\\b")), QStringLiteral("two"));
    waitForWrites();
    EXPECT_EQ(Defaults(path()).integer(QStringLiteral("group/a")), 1);

    // Removing a group removes what is under it, in the store and in the file.
    defaults.remove(QStringLiteral("group"));
    EXPECT_FALSE(defaults.contains(QStringLiteral("group/a")));
    EXPECT_FALSE(defaults.contains(QStringLiteral("group/b")));
    EXPECT_TRUE(defaults.boolean(QStringLiteral("single")));
    waitForWrites();
    const Defaults reread(path());
    EXPECT_FALSE(reread.contains(QStringLiteral("group/a")));
    EXPECT_TRUE(reread.boolean(QStringLiteral("single")));

    // What another writer put in the file is read after a synchronize.
    QSettings(path(), QSettings::IniFormat).setValue(QStringLiteral("outside"), "\"x\"");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.string(QStringLiteral("outside")), QStringLiteral("x"));
    // A store that goes with changes still pending writes them.
    {
        Defaults leaving(path());
        leaving.setValue(QStringLiteral("last"), 7);
    }
    EXPECT_EQ(Defaults(path()).integer(QStringLiteral("last")), 7);
}

TEST_F(DefaultsTest, SettingsThatCannotBeWrittenAreReportedOnce) {
    // A folder stands where the file should be.
    ASSERT_TRUE(QDir().mkpath(path()));
    Defaults defaults(path());
    QStringList failures;
    QObject::connect(&defaults, &Defaults::writeFailed,
                     [&failures](const QString& file) { failures.append(file); });
    defaults.setValue(QStringLiteral("a"), 1);
    defaults.setValue(QStringLiteral("b"), 2);
    waitForWrites();
    EXPECT_EQ(failures, QStringList{path()});
    // The values last for this run; the next failing write says nothing new.
    defaults.setValue(QStringLiteral("c"), 3);
    waitForWrites();
    EXPECT_EQ(failures.size(), 1);
    EXPECT_EQ(defaults.integer(QStringLiteral("c")), 3);

    // A store that can write reports nothing.
    Defaults writable(dir.filePath(QStringLiteral("other.ini")));
    QObject::connect(&writable, &Defaults::writeFailed,
                     [&failures](const QString& file) { failures.append(file); });
    writable.setValue(QStringLiteral("a"), 1);
    waitForWrites();
    EXPECT_EQ(failures.size(), 1);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("other.ini"))));
}
