// The writer escapes only what changed in a text since it last wrote it: whatever the edits,
// the bytes are those of the whole text escaped, and a record written that way is the record a
// whole write gives.
#include "session/SessionTextMemo.h"
#include "SessionFixture.h"
#include "session/JsonTextEscaping.h"
#include "session/SessionRecord.h"
#include "session/SessionWriter.h"

#include <QBuffer>
#include <QRandomGenerator>

using namespace dunmoss;
using namespace dunmoss::test;

namespace {

// Units that escape in every way: plain, escaped, control, two and three bytes, both halves of
// a pair (together or alone).
QString randomText(QRandomGenerator& random, qsizetype length) {
    static const char16_t kUnits[] = {u'a', u'z', u' ',   u'\n',  u'"',   u'\\',  u'\t',  0x01,
                                      0x1f, 0xe9, 0x4e2d, 0xd83d, 0xde00, 0xdbff, 0xdc00, 0xfffd};
    QString text;
    for (qsizetype i = 0; i < length; ++i) {
        // Mostly plain letters, as in a document, so that the shared ends are long.
        const quint32 pick = random.bounded(40);
        text += QChar(pick < std::size(kUnits) ? kUnits[pick] : char16_t(u'a' + pick % 26));
    }
    return text;
}

// One edit as typing, pasting or deleting makes it, anywhere (also between a pair's halves).
QString edited(QRandomGenerator& random, const QString& text) {
    QString out = text;
    const qsizetype at = random.bounded(int(out.size()) + 1);
    const qsizetype removed = random.bounded(3) == 0 ? random.bounded(int(out.size() - at) + 1) / 4
                                                     : std::min<qsizetype>(1, out.size() - at);
    out.replace(at, removed, randomText(random, random.bounded(1, 6)));
    return out;
}

QByteArray escapedWhole(const QString& text) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(writeEscapedText(buffer, text));
    return buffer.data();
}

QByteArray memoWritten(SessionTextMemo& memo, const QUuid& tab, SessionText which,
                       SessionTextMemo::Version version) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(memo.write(buffer, tab, which, version));
    return buffer.data();
}

class SessionSnapshotBytes : public SessionFixture {
protected:
    // What a whole write of the record read back gives, in the file's own form.
    void expectWholeWriteBytes(const QString& file, SessionRecordFormat format) {
        const QByteArray bytes = readFile(file);
        const RestoredSession stored = decodeSessionRecord(bytes);
        ASSERT_TRUE(encodeSessionRecord(stored, format) == bytes) << file.toStdString();
        ASSERT_EQ(stored.tabs.size(), model->state().tabs.size());
        for (qsizetype i = 0; i < stored.tabs.size(); ++i) {
            ASSERT_TRUE(stored.tabs[i].draftText == tabAt(int(i)).document.text) << i;
            ASSERT_TRUE(stored.tabs[i].savedSnapshot == tabAt(int(i)).savedSnapshot) << i;
        }
    }
};

} // namespace

TEST(EscapedTextSplice, PiecesPutTogetherAreTheWholeTextEscaped) {
    QRandomGenerator random(33);
    for (int round = 0; round < 40; ++round) {
        QString text = randomText(random, random.bounded(1, 20'000));
        EscapedText escaped = escapeText(text);
        ASSERT_TRUE(escaped.bytes == escapedWhole(text));
        for (int step = 0; step < 10; ++step) {
            const QString next = edited(random, text);
            const SharedEnds ends = sharedEnds(text, next);
            ASSERT_LE(ends.prefix + ends.suffix, std::min(text.size(), next.size()));
            escaped = spliceEscaped(std::move(escaped), text, next, ends.prefix, ends.suffix);
            ASSERT_TRUE(escaped.bytes == escapedWhole(next))
                << "round " << round << " step " << step;
            text = next;
        }
        // Every mark still says where its unit starts.
        for (const EscapedText::Mark& mark : escaped.marks)
            ASSERT_EQ(mark.byte, escapedWhole(text.left(mark.unit)).size()) << mark.unit;
        const qsizetype unit = random.bounded(int(text.size()) + 1);
        if (unit == 0 || !(text[unit - 1].isHighSurrogate() && unit < text.size() &&
                           text[unit].isLowSurrogate())) {
            EXPECT_EQ(escapedOffset(escaped, text, unit), escapedWhole(text.left(unit)).size());
        }
    }
}

TEST(EscapedTextSplice, SharedEndsNeverSplitAPair) {
    const QString pair = QString::fromUtf16(u"\U0001F600");
    // The texts differ in the low half only, then in the high half only.
    const QString a = QStringLiteral("ab") + pair + QStringLiteral("cd");
    QString b = a;
    b[3] = QChar(0xde01);
    SharedEnds ends = sharedEnds(a, b);
    EXPECT_EQ(ends.prefix, 2);
    EXPECT_EQ(ends.suffix, 2);
    b = a;
    b[2] = QChar(0xd83e);
    ends = sharedEnds(a, b);
    EXPECT_EQ(ends.prefix, 2);
    EXPECT_EQ(ends.suffix, 2);
    EXPECT_EQ(spliceEscaped(escapeText(a), a, b, ends.prefix, ends.suffix).bytes, escapedWhole(b));
}

TEST(SessionTextMemoTest, EveryVersionIsWrittenAsTheWholeTextAndEqualTextsShareOne) {
    SessionTextMemo memo;
    QRandomGenerator random(7);
    const QUuid tabs[] = {QUuid::createUuid(), QUuid::createUuid()};
    QString saved[] = {randomText(random, 30'000), randomText(random, 5'000)};
    QString draft[] = {saved[0], saved[1]};
    SessionTextMemo::Version lastDraft[] = {0, 0};
    for (int round = 0; round < 60; ++round) {
        const int i = round % 2;
        // Typing, typing back to the saved text (an equal string, not the same one), saving.
        const quint32 action = random.bounded(10);
        if (action == 0)
            draft[i] = QString(saved[i].constData(), saved[i].size());
        else if (action == 1)
            saved[i] = draft[i];
        else
            draft[i] = edited(random, draft[i]);
        const QString before(draft[i].constData(), draft[i].size());
        memo.beginRecord();
        const SessionTextMemo::Version savedVersion =
            memo.resolve(tabs[i], SessionText::Saved, saved[i]);
        const SessionTextMemo::Version draftVersion =
            memo.resolve(tabs[i], SessionText::Draft, draft[i]);
        if (lastDraft[i] && action == 1) {
            EXPECT_EQ(draftVersion, lastDraft[i]) << "an unchanged draft keeps its version";
        }
        lastDraft[i] = draftVersion;
        ASSERT_TRUE(memoWritten(memo, tabs[i], SessionText::Draft, draftVersion) ==
                    escapedWhole(draft[i]))
            << "round " << round;
        ASSERT_TRUE(memoWritten(memo, tabs[i], SessionText::Saved, savedVersion) ==
                    escapedWhole(saved[i]))
            << "round " << round;
        // The memo keeps a draft in a copy of its own: the text it was given was left as it
        // was, held by nobody else.
        EXPECT_EQ(draft[i], before);
        EXPECT_TRUE(draft[i].isDetached() || draft[i].constData() == saved[i].constData());
        if (round == 30)
            memo.dropEscaped();
    }
    // A text being typed into is kept escaped; a version no longer the newest is not written.
    EXPECT_TRUE(memo.holdsEscaped(tabs[0], SessionText::Draft));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(memo.write(buffer, tabs[0], SessionText::Draft, lastDraft[0] - 1));
}

TEST(SessionTextMemoTest, TextsOfTabsNoRecordNamesAnyMoreAreLetGo) {
    SessionTextMemo memo;
    const QUuid closed = QUuid::createUuid();
    const QUuid open = QUuid::createUuid();
    memo.resolve(closed, SessionText::Saved, QStringLiteral("closed"));
    for (int i = 0; i < 20; ++i) {
        memo.beginRecord();
        memo.resolve(open, SessionText::Saved, QStringLiteral("open"));
    }
    EXPECT_EQ(memo.size(), 1);
}

TEST_F(SessionSnapshotBytes, RecordsOfTabsEditedAtRandomAreWhatAWholeWriteGives) {
    QRandomGenerator random(1234);
    QList<QByteArray> contents;
    for (int i = 0; i < 3; ++i) {
        contents.append(randomText(random, 20'000 + 10'000 * i).toUtf8());
        open(writeFile(QStringLiteral("doc%1.txt").arg(i), contents.last()));
    }
    for (int round = 0; round < 40; ++round) {
        const int index = int(random.bounded(3));
        // Mostly typing; now and then the text goes back to the saved one, or is saved.
        const quint32 action = random.bounded(8);
        if (action == 0) {
            edit(index, QString(tabAt(index).savedSnapshot));
        } else if (action == 1) {
            model->update([index](EditorWindowState& state) { markSaved(state.tabs[index]); });
        } else {
            edit(index, edited(random, tabAt(index).document.text));
        }
        // Snapshots, and now and then a full save of both copies.
        WindowSession::of(*model).persistence().cancelRecoverySnapshot();
        if (round % 5 == 4) {
            model->persistSession();
            flush();
            expectWholeWriteBytes(recordFile(), SessionRecordFormat::Compact);
        } else {
            const EditorWindowState& state = model->state();
            WindowSession::of(*model).store().writeRecoverySnapshot(
                makeSessionRecord(state.tabs, state.activeTabID, 14));
            flush();
        }
        expectWholeWriteBytes(recoveryFile(), SessionRecordFormat::PrettySorted);
        if (HasFatalFailure())
            return;
    }
}

TEST_F(SessionSnapshotBytes, TheWriterLetsTheTypedTextGoOnceItHasTakenItIn) {
    open(writeFile(QStringLiteral("doc.txt"), QByteArray(100'000, 'x')));
    edit(0, tabAt(0).document.text + QStringLiteral("typed"));
    ASSERT_TRUE(tabAt(0).document.text.isDetached());
    model->persistSession();
    flush();
    // The next key changes the text in place: nobody else holds it.
    EXPECT_TRUE(tabAt(0).document.text.isDetached());
    EXPECT_TRUE(readFile(recoveryFile()).contains("xtyped"));
    // Unchanged, it is not written again.
    const int writes = WindowSession::of(*model).store().writeCount();
    model->persistSession();
    flush();
    EXPECT_EQ(WindowSession::of(*model).store().writeCount(), writes);
}
