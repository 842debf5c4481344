// A file whose in-place save a kill cut short is settled before any read of it shows it, through
// whichever name it is read; bytes another program wrote since stay, and the tab says so.
#include "WindowFixture.h"
#include "platform/InPlaceKeptCopy.h"
#include "support/KilledInPlaceWrite.h"
#include "support/WaitForOpening.h"
#include "window/DocumentOpening.h"
#include "window/DocumentReloading.h"
#include "window/KeptCopyPutBack.h"
#include "window/WindowNotices.h"

#include <QDir>
#include <unistd.h>

namespace dunmoss::test {
namespace {

class TornFileRead : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        for (int i = 0; i < 3000; ++i)
            oldBytes += "the old line " + QByteArray::number(i) + '\n';
        for (int i = 0; i < 2000; ++i)
            newBytes += "new " + QByteArray::number(i) + '\n';
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("other")));
        url = writeFile(QStringLiteral("a.txt"), oldBytes);
        ASSERT_EQ(::link(QFile::encodeName(url.toLocalFile()).constData(),
                         QFile::encodeName(otherName.toLocalFile()).constData()),
                  0);
        ASSERT_TRUE(writeKilledAt(KilledAt::HalfWritten, url.toLocalFile(), newBytes));
        ASSERT_NE(readFile(url), oldBytes);
    }
    int open(const QUrl& which) {
        model->opening().openDocument(which, std::nullopt, std::nullopt, false);
        waitForOpening(*model);
        return model->activeTabIndex();
    }
    QString text() const { return QString::fromUtf8(oldBytes); }
    QStringList hiddenCopies() const {
        return QDir(dir.path())
            .entryList({QStringLiteral(".a.txt.dunmoss-*")}, QDir::Files | QDir::Hidden);
    }

    QByteArray oldBytes;
    QByteArray newBytes;
    QUrl url;
    const QUrl otherName = QUrl::fromLocalFile(path(QStringLiteral("other/b.txt")));
};

TEST_F(TornFileRead, OpeningEitherNameShowsTheSettledFile) {
    const int index = open(otherName);
    EXPECT_EQ(tabAt(index).document.text, text());
    EXPECT_FALSE(tabIsModified(tabAt(index)));
    EXPECT_EQ(readFile(url), oldBytes);
    EXPECT_TRUE(hiddenCopies().isEmpty());
    EXPECT_TRUE(state().notices.shown.isEmpty());
}

TEST_F(TornFileRead, AReloadSettlesFirst) {
    writeFile(QStringLiteral("plain.txt"), "plain\n");
    // A tab showing the file from before the kill.
    const int index = open(QUrl::fromLocalFile(path(QStringLiteral("plain.txt"))));
    model->update([&](EditorWindowState& s) { s.tabs[index].fileURL = url; });
    DocumentReloading(*model).reloadTab(tabAt(index).id);
    waitForOpening(*model);
    EXPECT_EQ(tabAt(index).document.text, text());
    EXPECT_TRUE(hiddenCopies().isEmpty());
}

// Another program's fix after the kill stays; the tab shows it, is told, and the earlier bytes
// go back only when the person asks.
TEST_F(TornFileRead, ALaterChangeIsShownToldAndPutBackOnlyWhenAsked) {
    QByteArray fix = oldBytes;
    fix.replace(0, 3, "THE");
    writeFile(QStringLiteral("a.txt"), fix);
    const int index = open(url);
    EXPECT_EQ(tabAt(index).document.text, QString::fromUtf8(fix));
    EXPECT_EQ(readFile(url), fix);
    ASSERT_EQ(state().notices.shown.size(), 1);
    const WindowNotice notice = state().notices.shown.first();
    ASSERT_TRUE(notice.putBack);
    EXPECT_TRUE(notice.message.contains(QStringLiteral("a.txt")));
    EXPECT_EQ(readFile(QUrl::fromLocalFile(notice.putBack->copy)), oldBytes);

    putKeptCopyBack(*model, tabAt(index).id, *notice.putBack);
    waitForOpening(*model);
    EXPECT_EQ(readFile(url), oldBytes);
    EXPECT_EQ(readFile(otherName), oldBytes);
    EXPECT_EQ(tabAt(index).document.text, text());
    EXPECT_FALSE(QFile::exists(notice.putBack->copy));
    EXPECT_TRUE(state().notices.shown.isEmpty());
}

// Changed again after the person was told: the newest bytes win.
TEST_F(TornFileRead, APutBackLeavesAFileChangedSinceTheNotice) {
    writeFile(QStringLiteral("a.txt"), "fix\n");
    const int index = open(url);
    ASSERT_EQ(state().notices.shown.size(), 1);
    const KeptCopyOffer offer = *state().notices.shown.first().putBack;
    writeFile(QStringLiteral("a.txt"), "a second fix, longer\n");
    putKeptCopyBack(*model, tabAt(index).id, offer);
    waitForOpening(*model);
    EXPECT_EQ(readFile(url), "a second fix, longer\n");
    EXPECT_TRUE(QFile::exists(offer.copy));
    EXPECT_TRUE(state().errors.errorMessage);
}

} // namespace
} // namespace dunmoss::test
